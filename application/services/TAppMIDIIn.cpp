#include "TAppMIDIIn.h"

#include "ClientIMPEventQueue.h"
#include "TWinMIDI.h"

#include <algorithm>
#include <atomic>
#include <new>

namespace {

// Every input's reader thread draws from it without a common lock: fetch_add hands out each
// value exactly once, and each input's values grow because its deliveries are serialised.
std::atomic<ULONGLONG> receiveCounter{0};

} // namespace

TAppMIDIIn::TAppMIDIIn() = default;

TAppMIDIIn::~TAppMIDIIn() {
    if (m_transport)
        m_transport->closeInput();
    m_transport.reset();
    if (m_queue)
        m_queue->Release();
}

bool TAppMIDIIn::open(int port) {
    std::unique_ptr<TMIDITransport> transport(new (std::nothrow) TWinMIDI);
    return open(port, std::move(transport));
}

bool TAppMIDIIn::open(int port, std::unique_ptr<TMIDITransport> transport) {
    if (!openFed(port) || !transport)
        return false;
    m_transport = std::move(transport);
    return m_transport->openInput(port, this);
}

bool TAppMIDIIn::openFed(int port) {
    if (!m_queue)
        m_queue = new (std::nothrow) ClientIMPEventQueue(nullptr);
    if (!m_queue)
        return false;
    m_port = port;
    return true;
}

void TAppMIDIIn::receiveEvent(MPEVENT* event) {
    if (!event)
        return;
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (m_filters.empty() || !m_queue)
        return;
    deliver(*event);
}

void TAppMIDIIn::deliver(MPEVENT& event) {
    event.port = static_cast<DWORD>(m_port);
    event.sequence = receiveCounter.fetch_add(1, std::memory_order_relaxed);
    event.received = 1;
    m_queue->PutEvents(1, &event);
    const MPFILTERINFO info{event.sequence, event.sequence + 1, 1, 0, MPFILTER_LIVEINPUT, 0};
    // By index: a filter that changes the list from inside its call (the lock is recursive)
    // must not leave this loop on a stale iterator.
    for (std::size_t i = 0; i < m_filters.size(); ++i) {
        // Each filter starts without the selectors the previous one set.
        m_queue->SetSelectors(nullptr, nullptr);
        m_filters[i]->FilterEvents(m_queue, &info);
    }
    m_queue->forgetEvent();
}

void TAppMIDIIn::addFilter(IMPEventFilter* filter) {
    if (!filter)
        return;
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (std::find(m_filters.begin(), m_filters.end(), filter) == m_filters.end())
        m_filters.push_back(filter);
}

void TAppMIDIIn::removeFilter(IMPEventFilter* filter) {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    const auto it = std::find(m_filters.begin(), m_filters.end(), filter);
    if (it != m_filters.end())
        m_filters.erase(it);
}

bool TAppMIDIIn::hasFilter(IMPEventFilter* filter) {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    return std::find(m_filters.begin(), m_filters.end(), filter) != m_filters.end();
}

ULONGLONG TAppMIDIIn::nextSequence() {
    return receiveCounter.load(std::memory_order_relaxed);
}
