// Stand-ins for the port services' surroundings: the Workspace window, the Workspace's port
// list, a transport fed by the test, event filters that record what they are given, and the
// virtual MIDI devices.
#pragma once

#include "TMIDIPortAccessor.h"
#include "TMIDITransport.h"
#include "TWinMIDIPortAccessor.h"
#include "TWorkspaceComponents.h"

#include <dorvo/dorvo2.h>
#include <dorvo/virtualmidi.h>

#include <QThread>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

namespace dorvo2test {

namespace vm = dorvo::virtualmidi;
using Bytes = std::vector<BYTE>;

inline const std::string kLoopback1 = "Dorvo Loopback 1";
inline const std::string kLoopback2 = "Dorvo Loopback 2";

// Before the first device call of the process: the tests run on the in-process devices.
inline void useVirtualDevices() {
    setenv("DORVO2_MIDI", "virtual", 1);
}

// The port number (device position + 1) of a device of the given direction; 0 when absent.
inline int portNumberOf(int direction, const std::string& name) {
    TWinMIDIPortAccessor ports;
    for (int index = 0; index < ports.deviceCount(direction); ++index) {
        if (ports.deviceName(direction, index) == QString::fromStdString(name))
            return index + 1;
    }
    return 0;
}

// Waits until the output device recorded at least `count` messages (or 5 s passed).
inline std::vector<vm::SentMessage> waitForSent(const std::string& name, std::size_t count) {
    const auto deadline = vm::Clock::now() + std::chrono::seconds(5);
    std::vector<vm::SentMessage> sent = vm::sentMessages(name);
    while (sent.size() < count && vm::Clock::now() < deadline) {
        QThread::msleep(2);
        sent = vm::sentMessages(name);
    }
    return sent;
}

inline std::vector<Bytes> bytesOf(const std::vector<vm::SentMessage>& sent) {
    std::vector<Bytes> result;
    for (const vm::SentMessage& message : sent)
        result.push_back(message.bytes);
    return result;
}

inline GUID guidOf(const QUuid& id) {
    GUID guid;
    guid.Data1 = id.data1;
    guid.Data2 = id.data2;
    guid.Data3 = id.data3;
    std::copy(std::begin(id.data4), std::end(id.data4), guid.Data4);
    return guid;
}

// The Workspace window as the host object sees it.
class FakeWorkspace : public TWorkspaceComponents {
public:
    QList<IMPEventFilter*> componentEventFilters() const override { return filters; }
    std::optional<QString> componentInstanceName(const IUnknown* component) const override {
        const auto it = names.find(component);
        if (it == names.end())
            return std::nullopt;
        return it->second;
    }

    QList<IMPEventFilter*> filters;
    std::map<const IUnknown*, QString> names;
};

// A port list of the test's own making.
class FakePortList : public TMIDIPortAccessor {
public:
    void setPort(int direction, const QUuid& id, int number, const QString& name) {
        m_ports[direction].insert(id, entryText(number, name));
    }
    void clearPorts() {
        m_ports[kInput].clear();
        m_ports[kOutput].clear();
    }
};

// A transport whose input is fed by the test, on the test's thread, through the real parser.
class FedTransport : public TMIDITransport {
public:
    explicit FedTransport(bool opens = true) : m_opens(opens) {}
    bool openInput(int, TMIDIReaderRefConInterface* sink) override {
        m_sink = sink;
        return m_opens;
    }
    void closeInput() override { m_sink = nullptr; }
    bool openOutput(int) override { return false; }
    void closeOutput() override {}
    bool send(int, const BYTE*, BYTE) override { return false; }

    void feed(const Bytes& bytes) { processInput(int(bytes.size()), bytes.data()); }

private:
    const bool m_opens;
};

// What a filter was given in one FilterEvents call.
struct FilteredEvent {
    HRESULT result = E_UNEXPECTED;
    BOOL found = FALSE;
    MPEVENT event{};
    Bytes longBytes; // a long event's own copy, read before it was freed
    MPFILTERINFO info{};
};

// A component's event filter on the test's stack. It sets the given selectors, asks for the
// event with its type mask, keeps what it got and frees a long event's copy; it answers the
// given result, which the host must ignore.
class RecordingFilter : public IMPEventFilter {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IMPEventFilter))
            return E_NOINTERFACE;
        *out = static_cast<IMPEventFilter*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE FilterEvents(IMPEventQueue* queue,
                                           const MPFILTERINFO* info) override {
        FilteredEvent got;
        got.info = *info;
        if (selectPorts || selectValues)
            queue->SetSelectors(selectPorts ? &portList : nullptr,
                                selectValues ? &valueList : nullptr);
        BOOL more = TRUE;
        got.result = queue->GetFirstEvent(&got.found, &got.event, &more, typeMask);
        if (got.found && (got.event.type & MPEVENT_MASK_LONG) && got.event.longData) {
            got.longBytes.assign(got.event.longData, got.event.longData + got.event.dataLength);
            CoTaskMemFree(got.event.longData);
        }
        if (onFilter)
            onFilter(queue);
        std::lock_guard<std::mutex> lock(m_mutex);
        m_calls.push_back(std::move(got));
        return answer;
    }
    HRESULT STDMETHODCALLTYPE GetFilterInfo(DWORD*, DWORD*, DWORD*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE FilterSlot5(DWORD) override { return S_OK; }

    void selectOnly(std::vector<DWORD> ports, std::vector<DWORD> values) {
        portValues = std::move(ports);
        selectorValues = std::move(values);
        portList = {DWORD(portValues.size()), portValues.data()};
        valueList = {DWORD(selectorValues.size()), selectorValues.data()};
        selectPorts = !portValues.empty();
        selectValues = !selectorValues.empty();
    }
    std::vector<FilteredEvent> calls() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_calls;
    }
    std::size_t callCount() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_calls.size();
    }
    bool waitForCalls(std::size_t count,
                      std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (callCount() < count && std::chrono::steady_clock::now() < deadline)
            QThread::msleep(1);
        return callCount() >= count;
    }

    DWORD typeMask = MPEVENT_MASK_ALL;
    HRESULT answer = S_OK;
    std::function<void(IMPEventQueue*)> onFilter;

private:
    std::vector<DWORD> portValues, selectorValues;
    MPSELECTORLIST portList{0, nullptr}, valueList{0, nullptr};
    bool selectPorts = false, selectValues = false;
    mutable std::mutex m_mutex;
    std::vector<FilteredEvent> m_calls;
};

} // namespace dorvo2test
