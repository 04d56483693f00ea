// The queue an input hands to each event filter with the event it just received. It holds one
// event; a filter narrows what it sees with selector lists (ports and selector values) and the
// type mask of GetFirstEvent.
#pragma once

#include "TInnerObject.h"

#include <dorvo/dorvo2.h>

#include <vector>

class ClientIMPEventQueue : public TInnerObject<IMPEventQueue, IID_IMPEventQueue> {
public:
    using TInnerObject::TInnerObject;

    // E_POINTER when a list has values but no array; otherwise both lists are replaced (a null
    // list leaves its side empty, which accepts every value).
    HRESULT STDMETHODCALLTYPE SetSelectors(const MPSELECTORLIST* ports,
                                           const MPSELECTORLIST* selectors) override;
    // E_FAIL for any null pointer. A long event comes with the caller's own task-allocated
    // copy of its bytes, which the caller frees.
    HRESULT STDMETHODCALLTYPE GetFirstEvent(BOOL* found, MPEVENT* event, BOOL* more,
                                            DWORD typeMask) override;
    HRESULT STDMETHODCALLTYPE GetNextEvent(BOOL* found, MPEVENT* event, BOOL* more,
                                           DWORD typeMask) override;
    HRESULT STDMETHODCALLTYPE GetNextEvent2(BOOL* found, MPEVENT* event, BOOL* more,
                                            DWORD typeMask) override;
    HRESULT STDMETHODCALLTYPE PeekEvent(DWORD value, MPEVENT* event, DWORD typeMask) override;
    // With count 1 the event becomes the queue's event; other counts store nothing.
    HRESULT STDMETHODCALLTYPE PutEvents(DWORD count, const MPEVENT* events) override;
    HRESULT STDMETHODCALLTYPE QueueSlot9(DWORD a, DWORD b) override;
    HRESULT STDMETHODCALLTYPE QueueSlot10(DWORD a) override;

    // MIDI receive thread, after the filters ran: the stored event's bytes belong to the
    // transport and go away with the delivery, so a filter that kept the queue finds nothing
    // afterwards instead of reading freed memory.
    void forgetEvent();

private:
    bool qualifies(DWORD typeMask) const;
    static bool accepts(const std::vector<DWORD>& list, DWORD value);
    static bool isValidList(const MPSELECTORLIST* list);
    static void appendValues(std::vector<DWORD>& target, const MPSELECTORLIST* list);
    HRESULT copyLongData(MPEVENT& copy) const;

    std::vector<DWORD> m_portSelectors;
    std::vector<DWORD> m_selectors;
    MPEVENT m_event{};
};
