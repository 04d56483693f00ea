#include "TOuterOutput.h"

#include "TAppMIDIOut.h"
#include "TOuterConsole.h"

#include <cstdio>
#include <string>

namespace {

std::string hex(const BYTE* bytes, std::size_t count) {
    std::string text;
    char byte[4];
    for (std::size_t i = 0; i < count; ++i) {
        std::snprintf(byte, sizeof byte, i ? " %02X" : "%02X", bytes[i]);
        text += byte;
    }
    return text;
}

bool isLong(const MPEVENT& event) {
    return (event.type & MPEVENT_MASK_LONG) != 0;
}

} // namespace

TOuterOutput::TOuterOutput() = default;

TOuterOutput::~TOuterOutput() = default;

bool TOuterOutput::openPort(int port) {
    auto writer = std::make_unique<TAppMIDIOut>();
    if (!writer->open(port))
        return false;
    std::lock_guard<std::mutex> lock(m_portLock);
    m_port = std::move(writer);
    return true;
}

HRESULT TOuterOutput::QueryInterface(REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IMPAsyncOutput)) {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    *out = static_cast<IMPAsyncOutput*>(this);
    AddRef();
    return S_OK;
}

ULONG TOuterOutput::AddRef() {
    return ++m_referenceCount;
}

ULONG TOuterOutput::Release() {
    const ULONG count = --m_referenceCount;
    if (count == 0)
        delete this;
    return count;
}

HRESULT TOuterOutput::SendEvent(const MPEVENT* event, DWORD flags) {
    if (!event)
        return E_POINTER;
    if (!(flags & 1))
        return S_OK;
    ++m_eventsSent;
    if (isLong(*event)) {
        TOuterConsole::print("out port=%u sysex F0 %s", event->port,
                             hex(event->longData, event->longData ? event->dataLength : 0).c_str());
    } else {
        TOuterConsole::print("out port=%u type=0x%X channel=%u data=%s", event->port, event->type,
                             event->channel, hex(event->data, 4).c_str());
    }
    std::lock_guard<std::mutex> lock(m_portLock);
    return m_port ? m_port->send(*event) : S_OK;
}
