#include "MIDIThroughFilter.h"

#include "ClientIUnknown.h"

#include <algorithm>

namespace {

constexpr BYTE kAllNotesOffController = 123;
constexpr DWORD kChannels = 16;

} // namespace

MIDIThroughFilter::MIDIThroughFilter(ClientIUnknown* host, DWORD firstOutputPort)
    : TInnerObject(nullptr), m_host(host), m_outputPorts{firstOutputPort} {}

HRESULT MIDIThroughFilter::FilterEvents(IMPEventQueue* queue, const MPFILTERINFO*) {
    if (!queue)
        return E_POINTER;
    // The sends may wait for a port that carries a long message: the settings are taken first,
    // so that the GUI thread can change them meanwhile.
    const Route route = currentRoute();
    // Asking for short kinds only: system exclusive is not passed, and asking for it would
    // make the queue copy its bytes for nothing.
    BOOL found = FALSE;
    BOOL more = FALSE;
    MPEVENT event;
    if (FAILED(queue->GetFirstEvent(&found, &event, &more, MPEVENT_MASK_SHORT)))
        return E_FAIL;
    bool failed = found && !passThrough(event, route);
    while (more) {
        if (FAILED(queue->GetNextEvent(&found, &event, &more, MPEVENT_MASK_SHORT)))
            break;
        if (found && !passThrough(event, route))
            failed = true;
    }
    return failed ? E_FAIL : S_OK;
}

MIDIThroughFilter::Route MIDIThroughFilter::currentRoute() {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    Route route;
    route.ports.append(m_outputPorts.data(), qsizetype(m_outputPorts.size()));
    route.channel = m_thruChannel;
    return route;
}

bool MIDIThroughFilter::passThrough(MPEVENT& event, const Route& route) {
    if (!(event.type & MPEVENT_MASK_SHORT))
        return true;
    if (route.channel != 0)
        event.channel = route.channel - 1;
    bool sent = true;
    for (DWORD port : route.ports) {
        event.port = port;
        if (FAILED(m_host->sendEvent(&event, 1)))
            sent = false;
    }
    return sent;
}

HRESULT MIDIThroughFilter::GetFilterInfo(DWORD*, DWORD*, DWORD*) {
    return S_OK;
}

HRESULT MIDIThroughFilter::FilterSlot5(DWORD) {
    return S_OK;
}

void MIDIThroughFilter::addOutputPort(DWORD port) {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    m_outputPorts.push_back(port);
}

void MIDIThroughFilter::removeOutputPort(DWORD port) {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    std::erase(m_outputPorts, port);
}

void MIDIThroughFilter::clearOutputPorts() {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    m_outputPorts.clear();
}

bool MIDIThroughFilter::routesOnlyTo(DWORD port) {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    return std::all_of(m_outputPorts.begin(), m_outputPorts.end(),
                       [port](DWORD output) { return output == port; });
}

std::vector<DWORD> MIDIThroughFilter::outputPorts() {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    return m_outputPorts;
}

void MIDIThroughFilter::setThruChannel(DWORD channel) {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    m_thruChannel = channel;
}

DWORD MIDIThroughFilter::thruChannel() {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    return m_thruChannel;
}

HRESULT MIDIThroughFilter::sendAllNotesOff(ClientIUnknown* host, DWORD port) {
    MPEVENT event{};
    event.type = MPEVENT_CONTROLCHANGE;
    event.port = port;
    event.data[0] = kAllNotesOffController;
    event.data[1] = 0;
    HRESULT result = S_OK;
    for (DWORD channel = 0; channel < kChannels; ++channel) {
        event.channel = channel;
        if (FAILED(host->sendEvent(&event, 1)))
            result = E_FAIL;
    }
    return result;
}
