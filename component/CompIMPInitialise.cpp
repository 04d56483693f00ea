#include "CompIMPInitialise.h"

#include "ApplicationWindow.h"
#include "CForeignWindowWrapper.h"
#include "ClientIUnknown.h"
#include "CompDorvo2Comp.h"
#include "CompIMPEventFilter.h"
#include "CompIMPNotificationSink.h"
#include "CompIPersistStream.h"
#include "CompISpecifyPropertyPages.h"
#include "CompRecords.h"
#include "DorvoAssert.h"
#include "InterfaceReference.h"
#include "TComponentServer.h"
#include "TOuterEditorPages.h"
#include "TPusherThread.h"

#include <dorvo/winuser.h>

#include <CAppServer.h>

#include <QMutexLocker>
#include <QThread>

#include <chrono>
#include <new>
#include <set>
#include <thread>

namespace {

// The component objects that exist, so that a page given an object can tell whether it is one
// of this library's.
std::mutex liveObjectsLock;
std::set<const IMPInitialise*> liveObjects;

using Clock = std::chrono::steady_clock;
constexpr auto kPollStep = std::chrono::milliseconds(50);
// How long an outer thread waits for the GUI thread to finish a carried disconnect, and for
// it to begin a carried load.
constexpr auto kDisconnectWait = std::chrono::milliseconds(30000);
constexpr auto kLoadStartWait = std::chrono::milliseconds(1000);
// How often an outer thread that waits for an answer looks for it.
constexpr auto kAnswerPollStep = std::chrono::milliseconds(1);

} // namespace

CompIMPInitialise* CompIMPInitialise::create(IUnknown* outer) {
    auto* object = new (std::nothrow) CompIMPInitialise(outer);
    if (!object)
        return nullptr;
    if (!object->build()) {
        object->Release();
        return nullptr;
    }
    return object;
}

CompIMPInitialise::CompIMPInitialise(IUnknown* outer) : m_outer(outer) {
    TComponentServer::trace(
        "CompIMPInitialise::CompIMPInitialise() Constructor called - useCount: 1");
    std::lock_guard<std::mutex> lock(liveObjectsLock);
    liveObjects.insert(static_cast<IMPInitialise*>(this));
}

CompIMPInitialise* CompIMPInitialise::fromUnknown(IUnknown* object) {
    IMPInitialise* candidate = nullptr;
    if (!object ||
        FAILED(object->QueryInterface(IID_IMPInitialise, reinterpret_cast<void**>(&candidate))) ||
        !candidate)
        return nullptr;
    {
        std::lock_guard<std::mutex> lock(liveObjectsLock);
        if (liveObjects.count(candidate))
            return static_cast<CompIMPInitialise*>(candidate);
    }
    candidate->Release();
    return nullptr;
}

bool CompIMPInitialise::build() {
    m_shuttingDown = false;
    TComponentServer::objectCreated();
    TComponentServer::attachApplicationServer();
    m_pusher.reset(new (std::nothrow)
                       TPusherThread([this](const MPEVENT& event) { deliver(event); }));
    m_sink = new (std::nothrow) CompIMPNotificationSink(this);
    m_pages = new (std::nothrow) CompISpecifyPropertyPages(this);
    m_filter = new (std::nothrow) CompIMPEventFilter(this);
    m_dorvo2Comp = new (std::nothrow) CompDorvo2Comp(this);
    m_persistence = new (std::nothrow) CompIPersistStream(this);
    // Counted twice and never taken back: once a component object existed the library stays
    // loaded, since the toolkit's GUI thread runs in it.
    TComponentServer::objectCreated();
    if (!m_pusher || !m_sink || !m_pages || !m_filter || !m_dorvo2Comp || !m_persistence)
        return false;
    m_pusher->start(QThread::NormalPriority);
    return true;
}

CompIMPInitialise::~CompIMPInitialise() {
    {
        std::lock_guard<std::mutex> lock(liveObjectsLock);
        liveObjects.erase(static_cast<IMPInitialise*>(this));
    }
    DORVO_CHECK_TEXT(TComponentServer::mainThreadRunning(), "mainThreadRunning()");
    m_shuttingDown = true;
    if (m_pusher)
        m_pusher->stopAndWait();
    m_pusher.reset();
    {
        QMutexLocker lock(&m_objectLock);
        deleteWorkspaceWindow(!TComponentServer::mainThreadRunning());
        dorvo::releaseReference(m_pageHost);
        dorvo::releaseReference(m_output);
        dorvo::releaseReference(m_host);
    }
    CAppServer::endOwnGuiThreadFirstAtExit();
    // The parts count their own references now that the owner is being destroyed.
    for (IUnknown* part : {static_cast<IUnknown*>(m_dorvo2Comp),
                           static_cast<IUnknown*>(m_persistence), static_cast<IUnknown*>(m_filter),
                           static_cast<IUnknown*>(m_pages), static_cast<IUnknown*>(m_sink)})
        if (part)
            part->Release();
}

HRESULT CompIMPInitialise::QueryInterface(REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IMPInitialise)) {
        *out = static_cast<IMPInitialise*>(this);
        AddRef();
        return S_OK;
    }
    if (answeredBy(m_filter, iid, out) || answeredBy(m_persistence, iid, out) ||
        answeredBy(m_sink, iid, out) || answeredBy(m_dorvo2Comp, iid, out) ||
        answeredBy(m_pages, iid, out))
        return S_OK;
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG CompIMPInitialise::AddRef() {
    if (isBeingDestroyed())
        return 1;
    return incrementReferenceCount();
}

ULONG CompIMPInitialise::Release() {
    if (isBeingDestroyed())
        return 1;
    const ULONG count = decrementReferenceCount();
    TComponentServer::trace("CompIMPInitialise::Release() yields:%d", int(count));
    if (count == 0) {
        markBeingDestroyed();
        delete this;
    }
    return count;
}

// ---- Connection ------------------------------------------------------------------------------

HRESULT CompIMPInitialise::MPConnect(IUnknown* host, IMPAsyncOutput* output, DWORD, DWORD,
                                     DWORD* flags) {
    if (!host || !flags)
        return E_POINTER;
    if (m_host) {
        TComponentServer::trace("WARNING: MPConnect - MPDisconnect sequence error");
        MPDisconnect();
    }
    QMutexLocker lock(&m_objectLock);
    dorvo::holdReference(m_host, host);
    dorvo::holdReference(m_output, output);
    adviseHost();
    IMPPageHost* pageHost = nullptr;
    if (FAILED(host->QueryInterface(IID_IMPPageHost, reinterpret_cast<void**>(&pageHost))))
        pageHost = nullptr;
    dorvo::holdReference(m_pageHost, pageHost);
    if (pageHost)
        pageHost->Release();
    *flags &= MPFILTER_LIVEINPUT;
    return S_OK;
}

void CompIMPInitialise::adviseHost() {
    IConnectionPointContainer* container = nullptr;
    if (FAILED(m_host->QueryInterface(IID_IConnectionPointContainer,
                                      reinterpret_cast<void**>(&container))) ||
        !container)
        return;
    IConnectionPoint* point = nullptr;
    if (SUCCEEDED(container->FindConnectionPoint(IID_IMPNotificationSink, &point)) && point) {
        DWORD cookie = 0;
        if (SUCCEEDED(point->Advise(static_cast<IMPNotificationSink*>(m_sink), &cookie)))
            m_adviseCookie = cookie;
        point->Release();
    }
    container->Release();
}

void CompIMPInitialise::unadviseHost() {
    if (!m_host || !m_adviseCookie)
        return;
    IConnectionPointContainer* container = nullptr;
    if (SUCCEEDED(m_host->QueryInterface(IID_IConnectionPointContainer,
                                         reinterpret_cast<void**>(&container))) &&
        container) {
        IConnectionPoint* point = nullptr;
        if (SUCCEEDED(container->FindConnectionPoint(IID_IMPNotificationSink, &point)) && point) {
            point->Unadvise(m_adviseCookie);
            point->Release();
        }
        container->Release();
    }
    m_adviseCookie = 0;
}

HRESULT CompIMPInitialise::MPDisconnect() {
    if (TComponentServer::mainThreadRunning())
        return disconnectCore();
    // What needs this thread is done before the GUI thread is asked to disconnect, so that it
    // never waits for a thread that is waiting for it. The editors' pages close first; a GUI
    // thread that holds the object (and may be waiting for this thread) leaves them to the
    // window's end.
    if (m_objectLock.tryLock()) {
        if (m_window)
            m_window->closeEditorPages();
        m_objectLock.unlock();
    }
    m_clientWindow.destroy();
    m_disconnectDone = 0;
    (new IMPInitialise_MPDisconnect_params(this))->post();
    const auto deadline = Clock::now() + kDisconnectWait;
    while (m_disconnectDone.load() == 0 && Clock::now() < deadline)
        std::this_thread::sleep_for(kPollStep);
    return S_OK;
}

HRESULT CompIMPInitialise::disconnectCore() {
    QMutexLocker lock(&m_objectLock);
    unadviseHost();
    if (m_window)
        m_window->eraseCurrentDocument();
    dorvo::releaseReference(m_output);
    dorvo::releaseReference(m_host);
    dorvo::releaseReference(m_pageHost);
    deleteWorkspaceWindow(false);
    // Loads still in transit belong to the connection that ended.
    ++m_connection;
    m_disconnectDone = -1;
    return S_OK;
}

// ---- The Workspace window --------------------------------------------------------------------

HRESULT CompIMPInitialise::makeWorkspaceWindow() {
    if (!m_wrapper) {
        m_wrapper = new (std::nothrow) CForeignWindowWrapper(nullptr, -1, -1);
        if (!m_wrapper)
            return E_FAIL;
    }
    if (!m_window) {
        m_window = new (std::nothrow) ApplicationWindow(m_host, m_output, m_pageHost);
        if (!m_window)
            return E_FAIL;
        m_wrapper->setCentralWidget(m_window);
        if (m_pageHost)
            m_window->setEditorPageHosting(
                std::make_unique<TOuterEditorPages>(*m_window, m_pageHost));
        m_window->move(0, 0);
        m_window->show();
        // Each window counts while it lives. (Counting the window's end against the object's
        // own count would let a second window's end allow the library to be unloaded under a
        // living object.)
        TComponentServer::objectCreated();
        QObject::connect(m_window, &QObject::destroyed,
                         [] { TComponentServer::objectDestroyed(); });
        std::lock_guard<std::mutex> lock(m_deliveryLock);
        dorvo::holdReference(m_deliveryHost, m_window->hostObject());
    }
    if (m_clientWindowPending) {
        m_window->setClientWindow(m_clientWindow.window(), m_clientWindow.thread());
        m_clientWindowPending = false;
    }
    return S_OK;
}

void CompIMPInitialise::deleteWorkspaceWindow(bool deferred) {
    {
        // The pusher delivers to nobody from here on.
        std::lock_guard<std::mutex> lock(m_deliveryLock);
        dorvo::releaseReference(m_deliveryHost);
    }
    if (m_window) {
        if (deferred)
            m_window->deleteLater();
        else
            delete m_window;
        m_window = nullptr;
    }
    m_pageShown = false;
    if (m_wrapper) {
        if (deferred)
            m_wrapper->deleteLater();
        else
            delete m_wrapper;
    }
}

// ---- MIDI from the outer application ---------------------------------------------------------

bool CompIMPInitialise::queueEvent(const MPEVENT& event) {
    return m_pusher && m_pusher->offer(event);
}

void CompIMPInitialise::deliver(const MPEVENT& event) {
    ClientIUnknown* host = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_deliveryLock);
        dorvo::holdReference(host, m_deliveryHost);
    }
    if (!host)
        return;
    MPEVENT copy = event;
    host->receiveForeignEvent(&copy);
    host->Release();
}

// ---- Carried calls ---------------------------------------------------------------------------

HRESULT CompIMPInitialise::loadCore(const QByteArray& document, quint64 connection) {
    ++m_loadsStarted;
    HRESULT result = E_ABORT;
    if (connection == m_connection.load()) {
        result = makeWorkspaceWindow();
        if (result == S_OK) {
            QMutexLocker workspaceLock(&m_window->workspaceLock());
            m_window->eraseCurrentDocument();
            QDataStream stream(document);
            result = m_window->loadFromStream(stream, true);
            m_firstShowPending = false;
        }
    }
    ++m_loadsFinished;
    return result;
}

HRESULT CompIMPInitialise::loadFromOuterThread(QByteArray document) {
    if (m_window)
        m_window->closeEditorPages();
    const HRESULT result = prepareClientWindow();
    if (result != S_OK)
        return result;
    m_loadsStarted = 0;
    m_loadsFinished = 0;
    (new CompIMPInitialise_LoadStream2_params(this, std::move(document), m_connection.load()))
        ->post();
    const auto startDeadline = Clock::now() + kLoadStartWait;
    while (m_loadsFinished.load() == 0) {
        if (m_loadsStarted.load() == 0 && Clock::now() > startDeadline)
            break;
        std::this_thread::sleep_for(kPollStep);
    }
    (new CompIMPInitialise_LoadStream3_params(this))->post();
    return result;
}

HRESULT CompIMPInitialise::prepareClientWindow() {
    if (!m_pageHost || m_clientWindow.exists())
        return S_OK;
    const HRESULT result = m_clientWindow.create(TComponentServer::module());
    if (result == S_OK)
        m_clientWindowPending = true;
    return result;
}

HRESULT CompIMPInitialise::runOnGuiThread(std::function<HRESULT()> work) {
    if (TComponentServer::mainThreadRunning())
        return work();
    auto call = std::make_shared<CompIMPInitialise_Run_params::Completion>();
    (new CompIMPInitialise_Run_params(this, std::move(work), call))->post();
    // The GUI thread may need this thread meanwhile (a page-hosting call): what it sends is
    // handled; what is posted waits for this thread's own loop.
    MSG message{};
    while (!call->done.load()) {
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
        std::this_thread::sleep_for(kAnswerPollStep);
    }
    return call->result;
}

HRESULT CompIMPInitialise::afterLoad() {
    // Without the object lock: reopening waits for the outer application's thread, which may
    // be holding it for its next call.
    if (m_window) {
        QMutexLocker workspaceLock(&m_window->workspaceLock());
        m_window->reopenEditors();
    }
    return S_OK;
}

HRESULT CompIMPInitialise::displayEditorCore(IUnknown* component) {
    QMutexLocker lock(&m_objectLock);
    return m_window ? m_window->displayEditor(component) : E_FAIL;
}

HRESULT CompIMPInitialise::resyncCore(LONGLONG value) {
    QMutexLocker lock(&m_objectLock);
    if (m_window)
        m_window->resyncComponents(value);
    return S_OK;
}
