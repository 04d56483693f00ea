#include "ClientIMPEventQueue.h"

#include <algorithm>
#include <cstring>

namespace {

void clearIfGiven(BOOL* flag) {
    if (flag)
        *flag = FALSE;
}

} // namespace

HRESULT ClientIMPEventQueue::SetSelectors(const MPSELECTORLIST* ports,
                                          const MPSELECTORLIST* selectors) {
    // Checked before anything changes, so a refused call leaves the previous lists in force.
    if (!isValidList(ports) || !isValidList(selectors))
        return E_POINTER;
    // clear() keeps the capacity: resetting the lists before each filter allocates nothing.
    m_portSelectors.clear();
    m_selectors.clear();
    appendValues(m_portSelectors, ports);
    appendValues(m_selectors, selectors);
    return S_OK;
}

bool ClientIMPEventQueue::isValidList(const MPSELECTORLIST* list) {
    return !list || list->count == 0 || list->values;
}

void ClientIMPEventQueue::appendValues(std::vector<DWORD>& target, const MPSELECTORLIST* list) {
    if (list && list->count)
        target.insert(target.end(), list->values, list->values + list->count);
}

HRESULT ClientIMPEventQueue::GetFirstEvent(BOOL* found, MPEVENT* event, BOOL* more,
                                           DWORD typeMask) {
    if (!found || !event || !more)
        return E_FAIL;
    *found = FALSE;
    *more = FALSE;
    if (!qualifies(typeMask))
        return S_OK;
    *found = TRUE;
    std::memcpy(event, &m_event, sizeof(MPEVENT));
    if (m_event.type & MPEVENT_MASK_LONG)
        return copyLongData(*event);
    return S_OK;
}

bool ClientIMPEventQueue::qualifies(DWORD typeMask) const {
    return (m_event.type & typeMask) != 0 && accepts(m_portSelectors, m_event.port) &&
           accepts(m_selectors, m_event.selector);
}

bool ClientIMPEventQueue::accepts(const std::vector<DWORD>& list, DWORD value) {
    return list.empty() || std::find(list.begin(), list.end(), value) != list.end();
}

HRESULT ClientIMPEventQueue::copyLongData(MPEVENT& copy) const {
    // The stored pointer is the transport's buffer, valid only during delivery: the caller gets
    // bytes of its own or none.
    copy.dataLength = 0;
    copy.longData = nullptr;
    if (m_event.dataLength == 0 || !m_event.longData)
        return S_OK;
    auto* bytes = static_cast<BYTE*>(CoTaskMemAlloc(m_event.dataLength));
    if (!bytes)
        return E_OUTOFMEMORY;
    std::memcpy(bytes, m_event.longData, m_event.dataLength);
    copy.longData = bytes;
    copy.dataLength = m_event.dataLength;
    return S_OK;
}

HRESULT ClientIMPEventQueue::GetNextEvent(BOOL* found, MPEVENT*, BOOL* more, DWORD) {
    clearIfGiven(found);
    clearIfGiven(more);
    return S_OK;
}

HRESULT ClientIMPEventQueue::GetNextEvent2(BOOL* found, MPEVENT* event, BOOL* more,
                                           DWORD typeMask) {
    return GetNextEvent(found, event, more, typeMask);
}

HRESULT ClientIMPEventQueue::PeekEvent(DWORD, MPEVENT* event, DWORD typeMask) {
    // Without a found flag, which GetFirstEvent refuses.
    return GetFirstEvent(nullptr, event, nullptr, typeMask);
}

HRESULT ClientIMPEventQueue::PutEvents(DWORD count, const MPEVENT* events) {
    if (count != 1)
        return S_OK;
    if (!events)
        return E_POINTER;
    std::memcpy(&m_event, events, sizeof(MPEVENT));
    return S_OK;
}

HRESULT ClientIMPEventQueue::QueueSlot9(DWORD, DWORD) {
    return E_FAIL;
}

HRESULT ClientIMPEventQueue::QueueSlot10(DWORD) {
    return E_FAIL;
}

void ClientIMPEventQueue::forgetEvent() {
    // No kind at all: even the parser's idle kind would match a mask of every kind.
    m_event.type = 0;
    m_event.dataLength = 0;
    m_event.longData = nullptr;
}
