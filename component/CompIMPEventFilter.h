// The component object's event filter: live MIDI input of the outer application, taken on any
// of its threads and queued, whole event by whole event, for the object's event pusher.
#pragma once

#include "TInnerObject.h"

#include <dorvo/dorvo2.h>

#include <QRecursiveMutex>

class CompIMPInitialise;

class CompIMPEventFilter : public TInnerObject<IMPEventFilter, IID_IMPEventFilter> {
public:
    explicit CompIMPEventFilter(CompIMPInitialise* owner);

    // Queues the batch's events when its flags mark live input; always S_OK.
    HRESULT STDMETHODCALLTYPE FilterEvents(IMPEventQueue* queue, const MPFILTERINFO* info) override;
    // 2, 2 and 7.
    HRESULT STDMETHODCALLTYPE GetFilterInfo(DWORD* a, DWORD* b, DWORD* c) override;
    HRESULT STDMETHODCALLTYPE FilterSlot5(DWORD a) override;

private:
    CompIMPInitialise* const m_owner;
    // One batch at a time, in the order the outer application's threads hand them over.
    QRecursiveMutex m_pmutex;
};
