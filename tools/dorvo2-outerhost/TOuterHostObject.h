// The host object that this outer application hands to the component it loads: its own MIDI
// ports listed through the client services, a clock, a client-information interface, and a
// connection point through which it notifies the component. Port uses that the component's
// editors report are printed. With windows, it also hosts the component's editor pages
// (IMPPageHost), which it passes on to the page host it was given.
#pragma once

#include <dorvo/dorvo2.h>
#include <dorvo/objbase.h>

#include <atomic>
#include <mutex>
#include <vector>

class TOuterPageHost;

class TOuterHostObject : public IMPClientServices2,
                         public IMPTimeInfo,
                         public IMPClientInfo,
                         public IConnectionPointContainer,
                         public IConnectionPoint,
                         public IMPPageHost {
public:
    TOuterHostObject();

    IUnknown* identity() { return static_cast<IMPClientServices2*>(this); }
    // Calls OnNotify of every advised sink with a notification of this id; how many heard it.
    int notify(const GUID& id);
    std::size_t sinkCount();
    // IMPPageHost is answered while a page host is set (before the connection), and its calls
    // go there; null takes it away again (after the disconnection). Not referenced.
    void setPageHost(TOuterPageHost* pages) { m_pages = pages; }

    // IUnknown, answered once for every interface.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IMPClientServices2
    HRESULT STDMETHODCALLTYPE GetPortList(DWORD direction, MPPORTLIST* list) override;
    HRESULT STDMETHODCALLTYPE ServicesSlot4(DWORD, DWORD, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ServicesSlot5(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ServicesSlot6(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetPortUsage(DWORD operation, const GUID* portId, LPCWSTR name,
                                           ULONG_PTR, IUnknown* component, DWORD index) override;

    // IMPTimeInfo
    HRESULT STDMETHODCALLTYPE CheckConversion(LONGLONG, DWORD sourceFormat, DWORD, DWORD,
                                              DWORD targetFormat, DWORD) override;
    HRESULT STDMETHODCALLTYPE TimeInfoSlot4(LONGLONG, DWORD, DWORD, DWORD, DWORD, DWORD) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE TimeInfoSlot5(DWORD, DWORD, DWORD, DWORD, DWORD, DWORD) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetTimeValue(DWORD which, DWORD* value) override;

    // IMPClientInfo: nothing this outer application has to tell.
    HRESULT STDMETHODCALLTYPE ClientInfoSlot3(ULONG_PTR, ULONG_PTR, ULONG_PTR, ULONG_PTR) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ClientInfoSlot4(ULONG_PTR, ULONG_PTR, ULONG_PTR, ULONG_PTR) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ClientInfoSlot5(ULONG_PTR, ULONG_PTR, ULONG_PTR, ULONG_PTR) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ClientInfoSlot6(ULONG_PTR, ULONG_PTR, ULONG_PTR, ULONG_PTR) override {
        return E_NOTIMPL;
    }

    // IConnectionPointContainer: one point, for IMPNotificationSink.
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;

    // IConnectionPoint
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** out) override;
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

    // IMPPageHost: on the thread that runs the session only.
    HRESULT STDMETHODCALLTYPE Call(IPropertyPage* page, DWORD code, LPVOID data) override;

private:
    virtual ~TOuterHostObject() = default;

    struct Sink {
        DWORD cookie;
        IMPNotificationSink* sink;
    };

    std::atomic<ULONG> m_referenceCount{1};
    std::mutex m_sinkLock;
    std::vector<Sink> m_sinks;
    DWORD m_nextCookie = 1;
    // Read by QueryInterface on any thread.
    std::atomic<TOuterPageHost*> m_pages{nullptr};
};
