// The host's own event filter for MIDI Thru: registered on an input like a component's filter,
// it sends every short event it receives on to its output ports, on the thru channel when one
// is set. System exclusive is not passed through.
#pragma once

#include "TInnerObject.h"

#include <dorvo/dorvo2.h>

#include <QVarLengthArray>

#include <mutex>
#include <vector>

class ClientIUnknown;

class MIDIThroughFilter : public TInnerObject<IMPEventFilter, IID_IMPEventFilter> {
public:
    // No outer object; the host object owns the filter and outlives its deliveries.
    MIDIThroughFilter(ClientIUnknown* host, DWORD firstOutputPort);

    // MIDI receive thread: E_FAIL when a send to one of the output ports failed.
    HRESULT STDMETHODCALLTYPE FilterEvents(IMPEventQueue* queue, const MPFILTERINFO* info) override;
    HRESULT STDMETHODCALLTYPE GetFilterInfo(DWORD* a, DWORD* b, DWORD* c) override;
    HRESULT STDMETHODCALLTYPE FilterSlot5(DWORD a) override;

    // GUI thread. None waits for a delivery under way, which may be held up behind a long
    // message to one of its ports: once it returns, the next delivery takes the new settings.
    void addOutputPort(DWORD port);
    // Removes every occurrence.
    void removeOutputPort(DWORD port);
    void clearOutputPorts();
    // True when the list is empty or holds nothing but `port`.
    bool routesOnlyTo(DWORD port);
    std::vector<DWORD> outputPorts();
    // 0 keeps each event's channel; 1-16 sends on channel value - 1.
    void setThruChannel(DWORD channel);
    DWORD thruChannel();

    // Controller 123 (all notes off) on all 16 channels of `port` through `host`. E_FAIL when
    // a send failed.
    static HRESULT sendAllNotesOff(ClientIUnknown* host, DWORD port);

private:
    // What one delivery sends by: taken under the lock, used after it.
    struct Route {
        QVarLengthArray<DWORD, 4> ports;
        DWORD channel = 0;
    };
    Route currentRoute();
    bool passThrough(MPEVENT& event, const Route& route);

    ClientIUnknown* const m_host;
    // Guards the port list and the channel; never held across a send.
    std::recursive_mutex m_lock;
    std::vector<DWORD> m_outputPorts;
    DWORD m_thruChannel = 0;
};
