#include "TOuterMidiFeed.h"

#include "TMIDITransport.h"
#include "TWinMIDI.h"

#include <dorvo/objbase.h>

#include <algorithm>
#include <cstring>
#include <thread>

namespace {

// One event as the queue of one batch: the component reads it with GetFirstEvent and gets a
// long event's bytes as a copy of its own (it frees them when it is done).
class SingleEventQueue : public IMPEventQueue {
public:
    explicit SingleEventQueue(const MPEVENT& event) : m_event(event) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out)
            return E_POINTER;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IMPEventQueue)) {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        *out = this;
        return S_OK;
    }
    // Lives on the delivering thread's stack for the one call.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE SetSelectors(const MPSELECTORLIST*, const MPSELECTORLIST*) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetFirstEvent(BOOL* found, MPEVENT* event, BOOL* more,
                                            DWORD typeMask) override {
        if (!found || !event || !more)
            return E_POINTER;
        *more = FALSE;
        *found = (m_event.type & typeMask) != 0;
        if (!*found)
            return S_OK;
        *event = m_event;
        if (m_event.type & MPEVENT_MASK_LONG) {
            event->longData = static_cast<BYTE*>(CoTaskMemAlloc(m_event.dataLength));
            if (!event->longData) {
                *found = FALSE;
                return E_OUTOFMEMORY;
            }
            std::memcpy(event->longData, m_event.longData, m_event.dataLength);
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetNextEvent(BOOL* found, MPEVENT*, BOOL* more, DWORD) override {
        if (found)
            *found = FALSE;
        if (more)
            *more = FALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetNextEvent2(BOOL* found, MPEVENT* event, BOOL* more,
                                            DWORD mask) override {
        return GetNextEvent(found, event, more, mask);
    }
    HRESULT STDMETHODCALLTYPE PeekEvent(DWORD, MPEVENT*, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE PutEvents(DWORD, const MPEVENT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueueSlot9(DWORD, DWORD) override { return E_FAIL; }
    HRESULT STDMETHODCALLTYPE QueueSlot10(DWORD) override { return E_FAIL; }

private:
    const MPEVENT& m_event;
};

// The project's receive parser over bytes that come from a file rather than a device.
class ByteParser : public TMIDITransport {
public:
    bool openInput(int, TMIDIReaderRefConInterface* sink) override {
        m_sink = sink;
        return true;
    }
    void closeInput() override { m_sink = nullptr; }
    bool openOutput(int) override { return false; }
    void closeOutput() override {}
    bool send(int, const BYTE*, BYTE) override { return false; }
};

// How many bytes of a byte stream the message at its start takes: a device driver hands the
// parser one message at a time. A system-exclusive message runs to its closing byte (or to the
// end); anything else that is no channel message is taken a byte at a time, and the parser
// drops what means nothing to components.
std::size_t messageLength(const std::uint8_t* bytes, std::size_t available) {
    const std::uint8_t status = bytes[0];
    if (status == 0xF0) {
        const auto* end = static_cast<const std::uint8_t*>(std::memchr(bytes, 0xF7, available));
        return end ? std::size_t(end - bytes) + 1 : available;
    }
    if (status < 0x80 || status >= 0xF0)
        return 1;
    const std::uint8_t kind = status & 0xF0;
    return std::min<std::size_t>(kind == 0xC0 || kind == 0xD0 ? 2 : 3, available);
}

} // namespace

// What one input port, or one played file, delivers: its events, labelled with its port.
struct TOuterMidiFeed::Input : TMIDIReaderRefConInterface {
    Input(TOuterMidiFeed& feed, int port) : feed(feed), port(port) {}
    void receiveEvent(MPEVENT* event) override {
        if (event)
            feed.deliver(*event, port);
    }

    TOuterMidiFeed& feed;
    const int port;
    std::unique_ptr<TMIDITransport> transport;
};

TOuterMidiFeed::TOuterMidiFeed(IMPEventFilter* filter) : m_filter(filter) {}

TOuterMidiFeed::~TOuterMidiFeed() {
    closeInputs();
    if (m_filter)
        m_filter->Release();
}

bool TOuterMidiFeed::openInput(int port) {
    auto input = std::make_unique<Input>(*this, port);
    input->transport = std::make_unique<TWinMIDI>();
    if (!input->transport->openInput(port, input.get()))
        return false;
    m_inputs.push_back(std::move(input));
    return true;
}

void TOuterMidiFeed::closeInputs() {
    for (auto& input : m_inputs)
        input->transport->closeInput();
    m_inputs.clear();
}

int TOuterMidiFeed::play(const std::vector<std::uint8_t>& bytes, int port) {
    const int before = m_delivered.load();
    std::thread player([&] {
        Input source(*this, port);
        ByteParser parser;
        parser.openInput(port, &source);
        for (std::size_t at = 0; at < bytes.size();) {
            const std::size_t length = messageLength(bytes.data() + at, bytes.size() - at);
            parser.processInput(int(length), bytes.data() + at);
            at += length;
        }
    });
    player.join();
    return m_delivered.load() - before;
}

void TOuterMidiFeed::deliver(const MPEVENT& received, int port) {
    if (!m_filter)
        return;
    MPEVENT event = received;
    event.port = DWORD(port);
    event.sequence = m_sequence++;
    event.received = 1;
    SingleEventQueue queue(event);
    const MPFILTERINFO info{event.sequence, event.sequence + 1, 1, 0, MPFILTER_LIVEINPUT, 0};
    m_filter->FilterEvents(&queue, &info);
    ++m_delivered;
}
