// The host object's open ports, the sends to them and the MIDI Thru routes between them.
//
// Lock order: an output port's own lock, then the port map lock; the port map lock is never
// held while waiting for a port's lock. A thru filter's lock is never held while it sends;
// an input's lock comes before the filter's.
#include "ClientIUnknown.h"

#include "MIDIThroughFilter.h"
#include "TAppMIDIIn.h"
#include "TAppMIDIOut.h"

#include <QTimer>

#include <algorithm>
#include <new>
#include <vector>

namespace {

void appendUnique(std::vector<DWORD>& ports, const std::vector<DWORD>& more) {
    for (DWORD port : more)
        if (std::find(ports.begin(), ports.end(), port) == ports.end())
            ports.push_back(port);
}

} // namespace

bool ClientIUnknown::openPort(bool isOutput, int port) {
    if (port <= 0)
        return false;
    return isOutput ? openOutputPort(port) : openInputPort(port);
}

bool ClientIUnknown::openInputPort(int port) {
    if (m_inputs.count(port))
        return true;
    std::unique_ptr<TAppMIDIIn> input(new (std::nothrow) TAppMIDIIn);
    if (!input)
        return false;
    if (m_workspaceWindow) {
        for (IMPEventFilter* filter : m_workspaceWindow->componentEventFilters())
            input->addFilter(filter);
    }
    // The outer application's input is fed through receiveForeignEvent.
    if (!(ownsMachinePorts() ? input->open(port) : input->openFed(port)))
        return false;
    std::lock_guard<std::recursive_mutex> inputLock(m_inputMapLock);
    m_inputs.emplace(port, std::move(input));
    return true;
}

bool ClientIUnknown::openOutputPort(int port) {
    if (!m_portMapLock)
        return false;
    if (!ownsMachinePorts()) {
        std::lock_guard<std::recursive_mutex> mapLock(*m_portMapLock);
        m_outerOutputs.insert(port);
        return true;
    }
    PortLock* existingLock = nullptr;
    {
        std::lock_guard<std::recursive_mutex> mapLock(*m_portMapLock);
        if (m_outputs.count(port))
            return true;
        existingLock = portLockOf(port);
    }
    std::unique_ptr<PortLock> newLock;
    if (!existingLock) {
        newLock.reset(new (std::nothrow) PortLock);
        if (!newLock)
            return false;
    }
    std::unique_ptr<TAppMIDIOut> writer(new (std::nothrow) TAppMIDIOut);
    if (!writer || !writer->open(port))
        return false;
    std::lock_guard<std::recursive_mutex> mapLock(*m_portMapLock);
    m_outputs.emplace(port, std::move(writer));
    if (newLock)
        m_outputLocks.emplace(port, std::move(newLock));
    return true;
}

void ClientIUnknown::closePort(bool isOutput, int port) {
    if (isOutput)
        closeOutputPort(port);
    else
        closeInputPort(port);
}

void ClientIUnknown::closeInputPort(int port) {
    // Destroying the input closes its transport and waits for a delivery under way.
    std::unique_ptr<TAppMIDIIn> input;
    {
        std::lock_guard<std::recursive_mutex> inputLock(m_inputMapLock);
        const auto it = m_inputs.find(port);
        if (it == m_inputs.end())
            return;
        input = std::move(it->second);
        m_inputs.erase(it);
    }
}

void ClientIUnknown::receiveForeignEvent(MPEVENT* event) {
    if (!event)
        return;
    std::lock_guard<std::recursive_mutex> inputLock(m_inputMapLock);
    if (TAppMIDIIn* input = inputOf(int(event->port)))
        input->receiveEvent(event);
}

void ClientIUnknown::closeOutputPort(int port) {
    if (!m_portMapLock)
        return;
    if (!ownsMachinePorts()) {
        std::lock_guard<std::recursive_mutex> mapLock(*m_portMapLock);
        m_outerOutputs.erase(port);
        return;
    }
    PortLock* portLock = nullptr;
    {
        std::lock_guard<std::recursive_mutex> mapLock(*m_portMapLock);
        if (!m_outputs.count(port))
            return;
        portLock = portLockOf(port);
    }
    std::unique_ptr<TAppMIDIOut> writer;
    {
        // A send under way finishes first; later ones no longer find the writer.
        std::unique_lock<PortLock> sendLock;
        if (portLock)
            sendLock = std::unique_lock<PortLock>(*portLock);
        std::lock_guard<std::recursive_mutex> mapLock(*m_portMapLock);
        const auto it = m_outputs.find(port);
        if (it == m_outputs.end())
            return;
        writer = std::move(it->second);
        m_outputs.erase(it);
    }
    // Closed outside the locks: nobody can reach the writer any more.
    writer.reset();
}

bool ClientIUnknown::isPortOpen(bool isOutput, int port) {
    if (!isOutput)
        return m_inputs.count(port) != 0;
    if (!m_portMapLock)
        return false;
    std::lock_guard<std::recursive_mutex> mapLock(*m_portMapLock);
    return m_outputs.count(port) != 0 || m_outerOutputs.count(port) != 0;
}

HRESULT ClientIUnknown::sendEvent(const MPEVENT* event, DWORD flags) {
    if (!event)
        return E_POINTER;
    if (!ownsMachinePorts())
        return m_asyncOutput ? m_asyncOutput->SendEvent(event, flags) : E_FAIL;
    if (!(flags & 1))
        return S_OK;
    if (!m_portMapLock)
        return E_FAIL;
    const int port = static_cast<int>(event->port);
    PortLock* portLock = nullptr;
    {
        std::lock_guard<std::recursive_mutex> mapLock(*m_portMapLock);
        portLock = portLockOf(port);
    }
    if (!portLock)
        return E_FAIL;
    // Held for the whole conversion: the messages of one event (a parameter number, a split
    // system-exclusive message) reach the port without another sender's between them.
    std::lock_guard<PortLock> sendLock(*portLock);
    TAppMIDIOut* writer = nullptr;
    {
        std::lock_guard<std::recursive_mutex> mapLock(*m_portMapLock);
        const auto it = m_outputs.find(port);
        if (it == m_outputs.end())
            return E_FAIL;
        writer = it->second.get();
    }
    writer->send(*event);
    return S_OK;
}

ClientIUnknown::PortLock* ClientIUnknown::portLockOf(int port) {
    const auto it = m_outputLocks.find(port);
    return it == m_outputLocks.end() ? nullptr : it->second.get();
}

TAppMIDIIn* ClientIUnknown::inputOf(int port) const {
    const auto it = m_inputs.find(port);
    return it == m_inputs.end() ? nullptr : it->second.get();
}

void ClientIUnknown::registerEventFilter(IMPEventFilter* filter) {
    if (!filter)
        return;
    for (auto& [port, input] : m_inputs)
        input->addFilter(filter);
}

void ClientIUnknown::removeEventFilter(IMPEventFilter* filter) {
    for (auto& [port, input] : m_inputs)
        input->removeFilter(filter);
}

void ClientIUnknown::closeAllPorts() {
    while (!m_inputs.empty())
        closeInputPort(m_inputs.begin()->first);
    if (!m_portMapLock)
        return;
    std::vector<int> outputs;
    {
        std::lock_guard<std::recursive_mutex> mapLock(*m_portMapLock);
        for (const auto& [port, writer] : m_outputs)
            outputs.push_back(port);
    }
    for (int port : outputs)
        closeOutputPort(port);
}

void ClientIUnknown::destroyPortLocks() {
    if (!m_portMapLock)
        return;
    {
        std::lock_guard<std::recursive_mutex> mapLock(*m_portMapLock);
        m_outputLocks.clear();
    }
    m_portMapLock.reset();
}

// ---- MIDI Thru ---------------------------------------------------------------------------------

MIDIThroughFilter* ClientIUnknown::thruFilterOf(int port) const {
    const auto it = m_thruFilters.find(port);
    return it == m_thruFilters.end() ? nullptr : it->second;
}

bool ClientIUnknown::addThruRoute(int inPort, int outPort) {
    TAppMIDIIn* input = inputOf(inPort);
    if (!input || !isPortOpen(true, outPort))
        return false;
    if (MIDIThroughFilter* filter = thruFilterOf(inPort)) {
        filter->addOutputPort(static_cast<DWORD>(outPort));
        return true;
    }
    auto* filter = new (std::nothrow) MIDIThroughFilter(this, static_cast<DWORD>(outPort));
    if (!filter)
        return false;
    m_thruFilters.emplace(inPort, filter);
    input->addFilter(filter);
    return true;
}

bool ClientIUnknown::removeThruRoute(int inPort, int outPort) {
    MIDIThroughFilter* filter = thruFilterOf(inPort);
    if (!filter)
        return true;
    TAppMIDIIn* input = inputOf(inPort);
    const auto output = static_cast<DWORD>(outPort);
    // Every output of the input hears all notes off, the removed one only after it no longer
    // receives anything, and none waits for a long message under way.
    std::vector<DWORD> outputs = filter->outputPorts();
    if (!input || filter->routesOnlyTo(output)) {
        // Taken off the input before the notes are switched off, so that no note slips out
        // after them.
        if (input)
            input->removeFilter(filter);
        dropThruFilter(inPort);
    } else {
        filter->removeOutputPort(output);
    }
    sendNotesOffWhenFree(std::move(outputs));
    return true;
}

void ClientIUnknown::dropThruFilter(int inPort) {
    const auto it = m_thruFilters.find(inPort);
    if (it == m_thruFilters.end())
        return;
    MIDIThroughFilter* filter = it->second;
    m_thruFilters.erase(it);
    filter->clearOutputPorts();
    filter->Release();
}

void ClientIUnknown::thruOff() {
    std::vector<DWORD> outputs;
    for (const auto& [inPort, filter] : m_thruFilters) {
        if (TAppMIDIIn* input = inputOf(inPort)) {
            input->removeFilter(filter);
            appendUnique(outputs, filter->outputPorts());
        }
    }
    sendNotesOffWhenFree(std::move(outputs));
}

void ClientIUnknown::thruOn() {
    for (const auto& [inPort, filter] : m_thruFilters) {
        if (TAppMIDIIn* input = inputOf(inPort))
            input->addFilter(filter);
    }
}

void ClientIUnknown::setThruChannel(DWORD channel) {
    constexpr DWORD kLastChannel = 16;
    std::vector<DWORD> ports;
    for (const auto& [inPort, filter] : m_thruFilters) {
        if (!inputOf(inPort))
            continue;
        // The channel changes first: the notes switched off below include any that a delivery
        // under the old channel just started.
        if (channel <= kLastChannel)
            filter->setThruChannel(channel);
        appendUnique(ports, filter->outputPorts());
    }
    sendNotesOffWhenFree(std::move(ports));
}

void ClientIUnknown::sendNotesOffWhenFree(std::vector<DWORD> ports) {
    constexpr int kRetryMs = 20;
    std::erase_if(ports, [this](DWORD port) { return sendNotesOffIfFree(port); });
    if (ports.empty())
        return;
    // Kept alive until the last port heard them.
    AddRef();
    QTimer::singleShot(kRetryMs, [this, ports] {
        sendNotesOffWhenFree(ports);
        Release();
    });
}

bool ClientIUnknown::sendNotesOffIfFree(DWORD port) {
    PortLock* lock = nullptr;
    {
        std::lock_guard<std::recursive_mutex> mapLock(*m_portMapLock);
        lock = portLockOf(static_cast<int>(port));
    }
    if (!lock)
        return true;
    // A long message holds the port for the whole of it: notes off cannot go between its
    // chunks, and the GUI thread does not wait for it.
    std::unique_lock<PortLock> free(*lock, std::try_to_lock);
    if (!free.owns_lock())
        return false;
    MIDIThroughFilter::sendAllNotesOff(this, port);
    return true;
}

void ClientIUnknown::releaseThruFilters() {
    for (const auto& [inPort, filter] : m_thruFilters)
        filter->Release();
    m_thruFilters.clear();
}
