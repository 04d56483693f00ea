#include "TOuterHostObject.h"

#include "TOuterConsole.h"
#include "TOuterPageHost.h"

#include <dorvo/mmsystem.h>

#include <chrono>
#include <cstring>

namespace {

// The outer application's own time base, in ticks per quarter note.
constexpr DWORD kTicksPerQuarter = 960;

LPWSTR taskCopy(const WCHAR* text) {
    std::size_t length = 0;
    while (text[length])
        ++length;
    auto* copy = static_cast<LPWSTR>(CoTaskMemAlloc((length + 1) * sizeof(WCHAR)));
    if (copy)
        std::memcpy(copy, text, (length + 1) * sizeof(WCHAR));
    return copy;
}

// A port's identity: fixed by its direction and number, which is all this outer application
// knows of it between runs.
GUID portIdentity(DWORD direction, DWORD port) {
    return GUID{0x0D0E7000u + port,
                WORD(direction ? 1 : 0),
                0x4F00,
                {0x80, 0x4F, 0x55, 0x54, 0x45, 0x52, 0x00, 0x01}};
}

} // namespace

TOuterHostObject::TOuterHostObject() = default;

HRESULT TOuterHostObject::QueryInterface(REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IMPClientServices) ||
        IsEqualIID(iid, IID_IMPClientServices2))
        *out = static_cast<IMPClientServices2*>(this);
    else if (IsEqualIID(iid, IID_IMPTimeInfo))
        *out = static_cast<IMPTimeInfo*>(this);
    else if (IsEqualIID(iid, IID_IMPClientInfo))
        *out = static_cast<IMPClientInfo*>(this);
    else if (IsEqualIID(iid, IID_IConnectionPointContainer))
        *out = static_cast<IConnectionPointContainer*>(this);
    else if (IsEqualIID(iid, IID_IMPPageHost) && m_pages.load())
        *out = static_cast<IMPPageHost*>(this);
    else {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG TOuterHostObject::AddRef() {
    return ++m_referenceCount;
}

ULONG TOuterHostObject::Release() {
    const ULONG count = --m_referenceCount;
    if (count == 0)
        delete this;
    return count;
}

HRESULT TOuterHostObject::GetPortList(DWORD direction, MPPORTLIST* list) {
    if (!list)
        return E_POINTER;
    const UINT count = direction ? midiOutGetNumDevs() : midiInGetNumDevs();
    list->count = 0;
    list->ports =
        static_cast<MPPORTINFO*>(CoTaskMemAlloc(sizeof(MPPORTINFO) * (count ? count : 1)));
    if (!list->ports)
        return E_OUTOFMEMORY;
    for (UINT device = 0; device < count; ++device) {
        WCHAR name[MAXPNAMELEN] = {};
        if (direction) {
            MIDIOUTCAPSW caps{};
            if (midiOutGetDevCapsW(device, &caps, sizeof caps) == MMSYSERR_NOERROR)
                std::memcpy(name, caps.szPname, sizeof name);
        } else {
            MIDIINCAPSW caps{};
            if (midiInGetDevCapsW(device, &caps, sizeof caps) == MMSYSERR_NOERROR)
                std::memcpy(name, caps.szPname, sizeof name);
        }
        MPPORTINFO& port = list->ports[list->count++];
        port.port = device + 1;
        port.portId = portIdentity(direction, device + 1);
        port.name = taskCopy(name);
    }
    return S_OK;
}

HRESULT TOuterHostObject::SetPortUsage(DWORD operation, const GUID* portId, LPCWSTR name, ULONG_PTR,
                                       IUnknown*, DWORD index) {
    TOuterConsole::print("port-usage operation=%u port=%u index=%u name=\"%s\"", operation,
                         portId ? unsigned(portId->Data1 - 0x0D0E7000u) : 0u, index,
                         TOuterConsole::utf8(name).c_str());
    return S_OK;
}

HRESULT TOuterHostObject::CheckConversion(LONGLONG, DWORD sourceFormat, DWORD, DWORD,
                                          DWORD targetFormat, DWORD) {
    return sourceFormat == targetFormat ? S_OK : E_NOTIMPL;
}

HRESULT TOuterHostObject::GetTimeValue(DWORD which, DWORD* value) {
    if (!value)
        return E_POINTER;
    switch (which) {
    case 1:
        *value = 1;
        return S_OK;
    case 2:
        *value = kTicksPerQuarter;
        return S_OK;
    default:
        return E_INVALIDARG;
    }
}

HRESULT TOuterHostObject::Call(IPropertyPage* page, DWORD code, LPVOID data) {
    TOuterPageHost* pages = m_pages.load();
    return pages ? pages->call(page, code, data) : E_UNEXPECTED;
}

HRESULT TOuterHostObject::FindConnectionPoint(REFIID iid, IConnectionPoint** point) {
    if (!point)
        return E_POINTER;
    *point = nullptr;
    if (!IsEqualIID(iid, IID_IMPNotificationSink))
        return CONNECT_E_NOCONNECTION;
    *point = this;
    AddRef();
    return S_OK;
}

HRESULT TOuterHostObject::GetConnectionInterface(IID* iid) {
    if (!iid)
        return E_POINTER;
    *iid = IID_IMPNotificationSink;
    return S_OK;
}

HRESULT TOuterHostObject::GetConnectionPointContainer(IConnectionPointContainer** out) {
    if (!out)
        return E_POINTER;
    *out = this;
    AddRef();
    return S_OK;
}

HRESULT TOuterHostObject::Advise(IUnknown* sink, DWORD* cookie) {
    if (!sink || !cookie)
        return E_POINTER;
    IMPNotificationSink* notificationSink = nullptr;
    if (FAILED(sink->QueryInterface(IID_IMPNotificationSink,
                                    reinterpret_cast<void**>(&notificationSink))) ||
        !notificationSink)
        return CONNECT_E_CANNOTCONNECT;
    std::lock_guard<std::mutex> lock(m_sinkLock);
    *cookie = m_nextCookie++;
    m_sinks.push_back({*cookie, notificationSink});
    return S_OK;
}

HRESULT TOuterHostObject::Unadvise(DWORD cookie) {
    IMPNotificationSink* sink = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_sinkLock);
        for (auto it = m_sinks.begin(); it != m_sinks.end(); ++it) {
            if (it->cookie == cookie) {
                sink = it->sink;
                m_sinks.erase(it);
                break;
            }
        }
    }
    if (!sink)
        return CONNECT_E_NOCONNECTION;
    sink->Release();
    return S_OK;
}

std::size_t TOuterHostObject::sinkCount() {
    std::lock_guard<std::mutex> lock(m_sinkLock);
    return m_sinks.size();
}

int TOuterHostObject::notify(const GUID& id) {
    std::vector<IMPNotificationSink*> sinks;
    {
        std::lock_guard<std::mutex> lock(m_sinkLock);
        for (const Sink& entry : m_sinks) {
            entry.sink->AddRef();
            sinks.push_back(entry.sink);
        }
    }
    MPNOTIFICATION notification{};
    notification.id = id;
    int heard = 0;
    for (IMPNotificationSink* sink : sinks) {
        if (sink->OnNotify(&notification) == S_OK)
            ++heard;
        sink->Release();
    }
    return heard;
}
