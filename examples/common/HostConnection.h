// A component's hold on the host: the host object's client services and output, and the
// advise of the component's notification sink on the host's connection point. Usable from any
// thread: a call takes its own reference on the service it needs, so a disconnect on the GUI
// thread never pulls a pointer from under a worker.
#pragma once

#include <dorvo/dorvo2.h>

#include <QString>

#include <mutex>
#include <vector>

namespace examples {

struct PortInfo {
    DWORD number = 0; // 1-based port number; 0 = none
    GUID id{};
    QString name;
};

class HostConnection {
public:
    HostConnection() = default;
    ~HostConnection();
    HostConnection(const HostConnection&) = delete;
    HostConnection& operator=(const HostConnection&) = delete;

    // GUI thread (MPConnect): keeps the services of host and the output (the host object's own
    // when output is null), and advises sink for IID_IMPNotificationSink. E_POINTER without a
    // host; E_NOINTERFACE when the host has no client services.
    HRESULT connect(IUnknown* host, IMPAsyncOutput* output, IUnknown* sink);
    // GUI thread (MPDisconnect): unadvises the sink and lets go of the host.
    void disconnect();
    bool isConnected() const;

    // Any thread: the host's ports of one direction (0 input, 1 output); empty without a host.
    std::vector<PortInfo> portList(DWORD direction) const;
    // Any thread: IMPClientServices::SetPortUsage; E_UNEXPECTED without a host.
    HRESULT setPortUsage(DWORD operation, const GUID& portId, const QString& name,
                         IUnknown* component, DWORD index) const;
    // Any thread: sends the event; E_UNEXPECTED without a host. Long messages block until sent.
    HRESULT send(const MPEVENT& event) const;
    // Any thread: one complete system-exclusive message (F0 ... F7) to the output port.
    HRESULT sendSysex(DWORD port, const std::vector<BYTE>& message) const;

private:
    IMPClientServices* services() const;
    IMPAsyncOutput* output() const;

    mutable std::mutex m_mutex;
    IMPClientServices* m_services = nullptr;
    IMPAsyncOutput* m_output = nullptr;
    IConnectionPoint* m_point = nullptr;
    DWORD m_cookie = 0;
};

} // namespace examples
