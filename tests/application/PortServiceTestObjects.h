// Stand-ins for the port services' surroundings (the Workspace window, its port list, a
// transport fed by the test, component filters that record what they read) and helpers for the
// virtual MIDI devices.
#pragma once

#include "DevicePortNumber.h"
#include "TMIDIPortAccessor.h"
#include "TMIDITransport.h"
#include "TWinMIDIPortAccessor.h"
#include "TWorkspaceComponents.h"

#include <dorvo/virtualmidi.h>

#include <QThread>
#include <cstdlib>
#include <functional>
#include <map>
#include <mutex>

namespace dorvo2test {

namespace vm = dorvo::virtualmidi;
using Bytes = std::vector<BYTE>;

inline const std::string kLoopback1 = "Dorvo Loopback 1";
inline const std::string kLoopback2 = "Dorvo Loopback 2";
inline const std::string kLoopback3 = "Dorvo Loopback 3";

// Before the first device call of the process.
inline void useVirtualDevices() {
    setenv("DORVO2_MIDI", "virtual", 1);
}

// The bytes of what the output device recorded, once it has at least `count` (or after 5 s).
inline std::vector<Bytes> sentBytes(const std::string& device, std::size_t count = 0) {
    std::vector<vm::SentMessage> sent = vm::sentMessages(device);
    for (int wait = 0; sent.size() < count && wait < 5000; ++wait) {
        QThread::msleep(1);
        sent = vm::sentMessages(device);
    }
    std::vector<Bytes> bytes;
    for (const vm::SentMessage& message : sent)
        bytes.push_back(message.bytes);
    return bytes;
}

inline GUID guidOf(const QUuid& id) {
    GUID guid{id.data1, id.data2, id.data3, {}};
    std::copy(std::begin(id.data4), std::end(id.data4), guid.Data4);
    return guid;
}

class FakeWorkspace : public TWorkspaceComponents {
public:
    QList<IMPEventFilter*> componentEventFilters() const override { return filters; }
    std::optional<QString> componentInstanceName(const IUnknown* component) const override {
        const auto it = names.find(component);
        return it == names.end() ? std::nullopt : std::optional<QString>(it->second);
    }
    QList<IMPEventFilter*> filters;
    std::map<const IUnknown*, QString> names;
};

class FakePortList : public TMIDIPortAccessor {
public:
    void setPort(int direction, const QUuid& id, int number, const QString& name) {
        m_ports[direction].insert(id, entryText(number, name));
    }
    void clearPorts() { m_ports[kInput].clear(), m_ports[kOutput].clear(); }
};

// An input transport fed on the test's thread, through the real receive parser.
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

// What a filter read in one FilterEvents call.
struct FilteredEvent {
    BOOL found = FALSE;
    MPEVENT event{};
    Bytes longBytes; // a long event's own copy, read before the filter freed it
    MPFILTERINFO info{};
};

// A component's event filter: sets its selectors (when given), reads the event with its type
// mask, frees a long event's copy, and answers `answer`, which the host must ignore.
class RecordingFilter : public IMPEventFilter {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE FilterEvents(IMPEventQueue* queue,
                                           const MPFILTERINFO* info) override {
        FilteredEvent got;
        got.info = *info;
        if (!ports.empty() || !selectors.empty()) {
            const MPSELECTORLIST portList{DWORD(ports.size()), ports.data()};
            const MPSELECTORLIST selectorList{DWORD(selectors.size()), selectors.data()};
            queue->SetSelectors(&portList, &selectorList);
        }
        BOOL more = TRUE;
        queue->GetFirstEvent(&got.found, &got.event, &more, typeMask);
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

    std::vector<FilteredEvent> calls() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_calls;
    }
    std::size_t callCount() const { return calls().size(); }
    bool waitForCalls(std::size_t count) const {
        for (int wait = 0; callCount() < count && wait < 5000; ++wait)
            QThread::msleep(1);
        return callCount() >= count;
    }

    std::vector<DWORD> ports, selectors;
    DWORD typeMask = MPEVENT_MASK_ALL;
    HRESULT answer = S_OK;
    std::function<void(IMPEventQueue*)> onFilter;

private:
    mutable std::mutex m_mutex;
    std::vector<FilteredEvent> m_calls;
};

} // namespace dorvo2test
