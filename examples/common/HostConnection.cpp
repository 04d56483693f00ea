#include "HostConnection.h"

#include "WideText.h"

namespace examples {

namespace {

template <typename T> void releaseAndClear(T*& pointer) {
    if (pointer)
        pointer->Release();
    pointer = nullptr;
}

// The host's notification point, with a reference; null when it has none.
IConnectionPoint* notificationPoint(IUnknown* host) {
    IConnectionPointContainer* container = nullptr;
    if (FAILED(host->QueryInterface(IID_IConnectionPointContainer,
                                    reinterpret_cast<void**>(&container))) ||
        !container)
        return nullptr;
    IConnectionPoint* point = nullptr;
    if (FAILED(container->FindConnectionPoint(IID_IMPNotificationSink, &point)))
        point = nullptr;
    container->Release();
    return point;
}

} // namespace

HostConnection::~HostConnection() {
    disconnect();
}

HRESULT HostConnection::connect(IUnknown* host, IMPAsyncOutput* output, IUnknown* sink) {
    if (!host)
        return E_POINTER;
    disconnect();
    IMPClientServices* services = nullptr;
    if (FAILED(host->QueryInterface(IID_IMPClientServices2, reinterpret_cast<void**>(&services))) &&
        FAILED(host->QueryInterface(IID_IMPClientServices, reinterpret_cast<void**>(&services))))
        return E_NOINTERFACE;
    if (output)
        output->AddRef();
    else if (FAILED(host->QueryInterface(IID_IMPAsyncOutput, reinterpret_cast<void**>(&output))))
        output = nullptr;

    // Without the notification point the component works on, it only misses port changes.
    IConnectionPoint* point = sink ? notificationPoint(host) : nullptr;
    DWORD cookie = 0;
    if (point && FAILED(point->Advise(sink, &cookie)))
        releaseAndClear(point);

    std::lock_guard lock(m_mutex);
    m_services = services;
    m_output = output;
    m_point = point;
    m_cookie = cookie;
    return S_OK;
}

void HostConnection::disconnect() {
    IMPClientServices* services = nullptr;
    IMPAsyncOutput* output = nullptr;
    IConnectionPoint* point = nullptr;
    DWORD cookie = 0;
    {
        std::lock_guard lock(m_mutex);
        std::swap(services, m_services);
        std::swap(output, m_output);
        std::swap(point, m_point);
        std::swap(cookie, m_cookie);
    }
    // The point holds the sink, which may be the component that holds this connection: the
    // unadvise must come before anything that could end it.
    if (point)
        point->Unadvise(cookie);
    releaseAndClear(point);
    releaseAndClear(output);
    releaseAndClear(services);
}

bool HostConnection::isConnected() const {
    std::lock_guard lock(m_mutex);
    return m_services != nullptr;
}

IMPClientServices* HostConnection::services() const {
    std::lock_guard lock(m_mutex);
    if (m_services)
        m_services->AddRef();
    return m_services;
}

IMPAsyncOutput* HostConnection::output() const {
    std::lock_guard lock(m_mutex);
    if (m_output)
        m_output->AddRef();
    return m_output;
}

std::vector<PortInfo> HostConnection::portList(DWORD direction) const {
    std::vector<PortInfo> ports;
    IMPClientServices* services = this->services();
    if (!services)
        return ports;
    MPPORTLIST list{0, nullptr};
    if (SUCCEEDED(services->GetPortList(direction, &list)) && list.ports) {
        for (DWORD i = 0; i < list.count; ++i) {
            ports.push_back(
                {list.ports[i].port, list.ports[i].portId, fromWide(list.ports[i].name)});
            CoTaskMemFree(list.ports[i].name);
        }
        CoTaskMemFree(list.ports);
    }
    services->Release();
    return ports;
}

HRESULT HostConnection::setPortUsage(DWORD operation, const GUID& portId, const QString& name,
                                     IUnknown* component, DWORD index) const {
    IMPClientServices* services = this->services();
    if (!services)
        return E_UNEXPECTED;
    const HRESULT hr = services->SetPortUsage(operation, &portId, wide(name), 0, component, index);
    services->Release();
    return hr;
}

HRESULT HostConnection::send(const MPEVENT& event) const {
    IMPAsyncOutput* output = this->output();
    if (!output)
        return E_UNEXPECTED;
    const HRESULT hr = output->SendEvent(&event, 1);
    output->Release();
    return hr;
}

HRESULT HostConnection::sendSysex(DWORD port, const std::vector<BYTE>& message) const {
    if (message.size() < 2 || message.front() != 0xF0 || message.back() != 0xF7)
        return E_INVALIDARG;
    // The event carries the bytes after F0, the closing F7 included.
    std::vector<BYTE> body(message.begin() + 1, message.end());
    MPEVENT event{};
    event.type = MPEVENT_SYSEX;
    event.port = port;
    event.dataLength = DWORD(body.size());
    event.longData = body.data();
    return send(event);
}

} // namespace examples
