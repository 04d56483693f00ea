// The component object of the component build: the whole Workspace host as one component of an
// outer application. The outer application connects it, feeds it MIDI through its event filter,
// notifications through its sink, stores and restores it through IPersistStream and finally
// disconnects and releases it, all from its own threads. The Workspace window it owns lives on
// the application server's GUI thread; calls that need it are carried there.
//
// The object owns five part objects, one per further interface; every interface answers every
// other and they share the owner's reference count.
#pragma once

#include "TClientWindow.h"
#include "TInnerObject.h"

#include <dorvo/dorvo2.h>

#include <QByteArray>
#include <QPointer>
#include <QRecursiveMutex>
#include <QSize>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class ApplicationWindow;
class CForeignWindowWrapper;
class ClientIUnknown;
class CompDorvo2Comp;
class CompIMPEventFilter;
class CompIMPNotificationSink;
class CompIPersistStream;
class CompISpecifyPropertyPages;
class TPusherThread;

class CompIMPInitialise : public IMPInitialise, public TReferenceCount {
public:
    // Any thread (the class factory): a built object with one reference, its event pusher
    // running; null without memory. outer is kept as given.
    static CompIMPInitialise* create(IUnknown* outer);
    // Any thread: the component object of this library behind an interface pointer, referenced;
    // null for anything else (also another library's object).
    static CompIMPInitialise* fromUnknown(IUnknown* object);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE MPConnect(IUnknown* host, IMPAsyncOutput* output, DWORD unused1,
                                        DWORD unused2, DWORD* flags) override;
    // On the GUI thread at once; from any other thread carried there and waited for.
    HRESULT STDMETHODCALLTYPE MPDisconnect() override;

    // ---- For the part objects and the carried calls ----

    // Serialises the outer application's calls on this object; taken before the window's lock.
    QRecursiveMutex& objectLock() { return m_objectLock; }
    bool isShuttingDown() const { return m_shuttingDown.load(); }
    // GUI thread, or under the object lock: the Workspace window; null until first needed.
    ApplicationWindow* workspaceWindow() const { return m_window; }

    // Any thread (the event filter): queues one event for the pusher; false when it was
    // dropped (its system-exclusive data is freed then).
    bool queueEvent(const MPEVENT& event);

    // GUI thread: reads a workspace document from the bytes into a new or emptied Workspace.
    // connection is the connection the load was asked in; a load that arrives after a
    // disconnect does nothing.
    HRESULT loadCore(const QByteArray& document, quint64 connection);
    // GUI thread: what follows a load (editors opened again); S_OK.
    HRESULT afterLoad();
    HRESULT displayEditorCore(IUnknown* component);
    HRESULT resyncCore(LONGLONG value);
    HRESULT disconnectCore();

    // Outer thread, under the object lock: a load carried to the GUI thread, waited for as
    // long as it runs, or a second when it does not begin; the result is that of making the
    // outer thread's window, not of the load.
    HRESULT loadFromOuterThread(QByteArray document);

    // Any thread: work done on the GUI thread, at once there, else carried there and waited
    // for without a limit, handling meanwhile what the GUI thread sends to this thread. The
    // caller holds no lock that the GUI thread might want.
    HRESULT runOnGuiThread(std::function<HRESULT()> work);

    // ---- The property page (CompIPropertyPage) ----

    // GUI thread: the Workspace window placed into the outer application's window at the
    // rectangle and shown; the first activation of a Workspace that was never loaded starts a
    // new, untitled one.
    HRESULT activateCore(HWND parent, const RECT& rect);
    // Any thread: the Workspace window taken out of the outer application's window again;
    // E_UNEXPECTED while it is not shown there.
    HRESULT deactivateCore();
    // GUI thread: E_UNEXPECTED while the page is not shown.
    HRESULT moveCore(const RECT& rect);
    // The page's size: the last one it was activated or moved to, 400 x 300 before.
    QSize pageSize();
    // Outer thread, before an activation is carried to the GUI thread: the window through
    // which the GUI thread calls back into this thread (only with a page-hosting interface).
    HRESULT prepareClientWindow();

    // The connection count: raised by every disconnect.
    quint64 connection() const { return m_connection.load(); }

    CompIMPInitialise(const CompIMPInitialise&) = delete;
    CompIMPInitialise& operator=(const CompIMPInitialise&) = delete;

private:
    explicit CompIMPInitialise(IUnknown* outer);
    virtual ~CompIMPInitialise();

    bool build();
    HRESULT makeWorkspaceWindow();
    void deleteWorkspaceWindow(bool deferred);
    void adviseHost();
    void unadviseHost();
    void deliver(const MPEVENT& event);

    IUnknown* const m_outer;
    QRecursiveMutex m_objectLock;
    CompIMPNotificationSink* m_sink = nullptr;
    CompISpecifyPropertyPages* m_pages = nullptr;
    CompIMPEventFilter* m_filter = nullptr;
    CompIPersistStream* m_persistence = nullptr;
    CompDorvo2Comp* m_dorvo2Comp = nullptr;
    IUnknown* m_host = nullptr;
    IMPAsyncOutput* m_output = nullptr;
    IMPPageHost* m_pageHost = nullptr;
    DWORD m_adviseCookie = 0;
    ApplicationWindow* m_window = nullptr;
    // The Workspace window lives inside it; it goes into the outer application's window.
    QPointer<CForeignWindowWrapper> m_wrapper;
    // Until a load or the first activation: that activation starts an untitled workspace.
    bool m_firstShowPending = true;
    std::atomic<bool> m_pageShown{false};
    QSize m_lastSize{-1, -1};
    std::atomic<int> m_loadsStarted{0};
    std::atomic<int> m_loadsFinished{0};
    std::atomic<int> m_disconnectDone{0};
    std::atomic<quint64> m_connection{0};
    TClientWindow m_clientWindow;
    bool m_clientWindowPending = false;
    std::unique_ptr<TPusherThread> m_pusher;
    std::atomic<bool> m_shuttingDown{false};
    // The window's host object as the pusher thread sees it, referenced, under its own lock.
    std::mutex m_deliveryLock;
    ClientIUnknown* m_deliveryHost = nullptr;
};
