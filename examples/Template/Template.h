// The Template component: the smallest editor component worth copying. It counts the MIDI events
// that arrive on one MIDI channel, saves that channel with the Workspace, and shows both on its
// property page. Rename the classes, make new class identifiers, and grow it from here.
#pragma once

#include <dorvo/dorvo2.h>

#include <QPointer>
#include <QWidget>

#include <atomic>

namespace tmpl {

// Class identifiers of the component and of its property page. Make new ones for a component of
// your own (uuidgen): two components must never share one.
// {0A133C89-3656-46AB-8ECC-287B66436FE8}
DORVO_DEFINE_GUID(CLSID_Template, 0x0A133C89, 0x3656, 0x46AB, 0x8E, 0xCC, 0x28, 0x7B, 0x66, 0x43,
                  0x6F, 0xE8);
// {C9E37D94-B515-492B-8A94-7379E6E741F2}
DORVO_DEFINE_GUID(CLSID_TemplatePage, 0xC9E37D94, 0xB515, 0x492B, 0x8A, 0x94, 0x73, 0x79, 0xE6,
                  0xE7, 0x41, 0xF2);
// Answered only by this library's component, so that its page can reach the C++ object.
// {5D3CE392-8EC5-4ED3-A1D8-5422625B0B2E}
DORVO_DEFINE_GUID(IID_TemplateComponent, 0x5D3CE392, 0x8EC5, 0x4ED3, 0xA1, 0xD8, 0x54, 0x22, 0x62,
                  0x5B, 0x0B, 0x2E);

// What keeps the library loaded (DllCanUnloadNow): living objects, LockServer, and widgets once
// made (Qt keeps data of the library's code beyond the life of the widgets).
inline std::atomic<long> g_objects{0};
inline std::atomic<long> g_locks{0};
inline std::atomic<bool> g_madeWidgets{false};

// Reference counting shared by the library's objects; each counts as one living object.
class Counted {
public:
    Counted() { ++g_objects; }
    virtual ~Counted() { --g_objects; }
    Counted(const Counted&) = delete;
    Counted& operator=(const Counted&) = delete;

protected:
    ULONG addRef() { return ++m_references; }
    ULONG release() {
        const ULONG left = --m_references;
        if (left == 0)
            delete this;
        return left;
    }

private:
    std::atomic<ULONG> m_references{1};
};

class TemplateComponent final : public Counted,
                                public IMPInitialise,
                                public IMPEventFilter,
                                public IPersistStream,
                                public ISpecifyPropertyPages {
public:
    ~TemplateComponent() override;

    // IUnknown (any thread). The IMPInitialise pointer is the component's identity.
    STDMETHOD(QueryInterface)(REFIID iid, void** out) override;
    STDMETHOD_(ULONG, AddRef)() override { return addRef(); }
    STDMETHOD_(ULONG, Release)() override { return release(); }

    // IMPInitialise (GUI thread).
    STDMETHOD(MPConnect)
    (IUnknown* host, IMPAsyncOutput* output, DWORD a3, DWORD a4, DWORD* flags) override;
    STDMETHOD(MPDisconnect)() override;

    // IMPEventFilter: FilterEvents on a MIDI reader thread, once per received event.
    STDMETHOD(FilterEvents)(IMPEventQueue* queue, const MPFILTERINFO* info) override;
    STDMETHOD(GetFilterInfo)(DWORD*, DWORD*, DWORD*) override { return E_NOTIMPL; }
    STDMETHOD(FilterSlot5)(DWORD) override { return S_OK; }

    // IPersistStream (GUI thread): the state is "TMPL", a format version and the channel.
    STDMETHOD(GetClassID)(CLSID* clsid) override;
    STDMETHOD(IsDirty)() override { return m_dirty ? S_OK : S_FALSE; }
    STDMETHOD(Load)(IStream* stream) override;
    STDMETHOD(Save)(IStream* stream, BOOL clearDirty) override;
    STDMETHOD(GetSizeMax)(ULARGE_INTEGER* size) override;

    // ISpecifyPropertyPages (GUI thread).
    STDMETHOD(GetPages)(CAUUID* pages) override;

    // For the page: any thread.
    int channel() const { return m_channel; }
    unsigned long eventCount() const { return m_events; }
    // GUI thread: 0 to 15.
    void setChannel(int channel);

private:
    IMPAsyncOutput* m_output = nullptr; // GUI thread; a sending component keeps it
    std::atomic<int> m_channel{0};
    std::atomic<unsigned long> m_events{0};
    std::atomic<bool> m_dirty{false};
};

class TemplatePage final : public Counted, public IPropertyPage {
public:
    ~TemplatePage() override;

    // IUnknown (any thread).
    STDMETHOD(QueryInterface)(REFIID iid, void** out) override;
    STDMETHOD_(ULONG, AddRef)() override { return addRef(); }
    STDMETHOD_(ULONG, Release)() override { return release(); }

    // IPropertyPage (GUI thread, for all methods).
    STDMETHOD(SetPageSite)(IPropertyPageSite*) override { return S_OK; }
    STDMETHOD(Activate)(HWND parent, LPCRECT rect, BOOL modal) override;
    STDMETHOD(Deactivate)() override;
    STDMETHOD(GetPageInfo)(PROPPAGEINFO* info) override;
    STDMETHOD(SetObjects)(ULONG count, IUnknown** objects) override;
    STDMETHOD(Show)(UINT showCommand) override;
    STDMETHOD(Move)(LPCRECT rect) override;
    // Every change takes effect at once: never dirty, nothing to apply.
    STDMETHOD(IsPageDirty)() override { return S_FALSE; }
    STDMETHOD(Apply)() override { return S_OK; }
    STDMETHOD(Help)(LPCOLESTR) override { return E_NOTIMPL; }
    STDMETHOD(TranslateAccelerator)(MSG*) override { return S_FALSE; }

private:
    QWidget* widget();
    void dropWidget();

    TemplateComponent* m_component = nullptr; // one reference
    // The host's container window owns the widget while it is embedded and may delete it first.
    QPointer<QWidget> m_widget;
};

} // namespace tmpl
