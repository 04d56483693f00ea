#include "CVEXWrapper.h"

#include "ApplicationWindow.h"
#include "CWrapContainer.h"
#include "DorvoAssert.h"
#include "Images.h"
#include "TSyncThread.h"
#include "singleProgress.h"

#include <dorvo/objbase.h>

#include <CAppServer.h>

#include <QIcon>
#include <QListWidget>
#include <QUrl>
#include <algorithm>

namespace {

// In-process server or in-process handler.
constexpr DWORD kClassContext = 3;
constexpr int kMinimumSide = 100;
// A page larger than this is a component's mistake; the window would not fit any screen and
// its backing store alone could exhaust memory.
constexpr LONG kLargestPageSide = 4096;

template <typename Interface> void releaseAndClear(Interface*& pointer) {
    if (pointer) {
        pointer->Release();
        pointer = nullptr;
    }
}

HWND nativeHandle(QWidget* window) {
    return reinterpret_cast<HWND>(window->winId());
}

RECT clientRect(const QWidget* window) {
    return {0, 0, window->width(), window->height()};
}

QSize boundedPageSize(const SIZE& size) {
    const QSize bounded(std::clamp<LONG>(size.cx, 1, kLargestPageSide),
                        std::clamp<LONG>(size.cy, 1, kLargestPageSide));
    if (bounded != QSize(size.cx, size.cy))
        qWarning("A property page of %d x %d pixels is shown at %d x %d", int(size.cx),
                 int(size.cy), bounded.width(), bounded.height());
    return bounded;
}

void freePageInfoTexts(PROPPAGEINFO& info) {
    CoTaskMemFree(info.pszTitle);
    CoTaskMemFree(info.pszDocString);
    CoTaskMemFree(info.pszHelpFile);
}

} // namespace

CVEXWrapper::CVEXWrapper(ApplicationWindow* workspaceWindow, QListWidget* iconView,
                         const TCatalogueEntry& entry, const QString& instanceName)
    : QListWidgetItem(instanceName, iconView), m_workspaceWindow(workspaceWindow), m_entry(entry),
      m_instanceName(instanceName) {
    // Renamable; neither dragged nor a drop target.
    setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable);
    setToolTip(instanceName);
}

CVEXWrapper::~CVEXWrapper() {
    closeEditor(true);
    // The worker calls into the component; it ends before the component's pointers go.
    setSyncThread(nullptr);
    // Also after a refused MPConnect: the component may have taken host pointers already.
    if (m_initialise)
        m_initialise->MPDisconnect();
    if (m_workspaceWindow && m_component)
        m_workspaceWindow->dropComponentPorts(m_component);
    CoTaskMemFree(m_pages.pElems);
    m_pages = {0, nullptr};
    m_keptWindow = nullptr;
    m_editorWindow = nullptr;
    m_progressLine = nullptr;
    releaseInterfaces();
}

void CVEXWrapper::releaseInterfaces() {
    releaseAndClear(m_sync2);
    releaseAndClear(m_sync1);
    releaseAndClear(m_eventFilter);
    releaseAndClear(m_persistence);
    releaseAndClear(m_component);
    releaseAndClear(m_initialise);
}

// ---- Creation and connection -----------------------------------------------------------------

template <typename Interface> Interface* CVEXWrapper::queryComponent(REFIID iid) const {
    if (!m_component)
        return nullptr;
    void* out = nullptr;
    // A failing answer owns nothing, whatever it left in out.
    if (FAILED(m_component->QueryInterface(iid, &out)))
        return nullptr;
    return static_cast<Interface*>(out);
}

bool CVEXWrapper::connectComponent(IUnknown* hostObject, IMPAsyncOutput* hostOutput) {
    if (!createComponent())
        return false;
    releaseAndClear(m_initialise);
    m_initialise = queryComponent<IMPInitialise>(IID_IMPInitialise);
    if (!m_initialise)
        return false;
    DWORD flags = MPCONNECT_LIVEINPUT;
    if (FAILED(m_initialise->MPConnect(hostObject, hostOutput, 1, 0, &flags)))
        return false;
    fetchPropertyPages();
    m_eventFilter = queryComponent<IMPEventFilter>(IID_IMPEventFilter);
    fetchSyncInterface();
    readIconsAndRecall();
    refreshIcon();
    return true;
}

bool CVEXWrapper::createComponent() {
    void* created = nullptr;
    const HRESULT result =
        CoCreateInstance(m_entry.classId, nullptr, kClassContext, IID_IMPInitialise, &created);
    releaseAndClear(m_component);
    if (FAILED(result) || !created)
        return false;
    m_component = static_cast<IMPInitialise*>(created);
    return true;
}

void CVEXWrapper::fetchPropertyPages() {
    ISpecifyPropertyPages* specify =
        queryComponent<ISpecifyPropertyPages>(IID_ISpecifyPropertyPages);
    if (!specify)
        return;
    CAUUID pages{0, nullptr};
    const HRESULT result = specify->GetPages(&pages);
    specify->Release();
    if (FAILED(result))
        return;
    CoTaskMemFree(m_pages.pElems);
    m_pages = pages;
    // A count without an array (or an array without a count) means no page.
    if (m_pages.cElems == 0 || !m_pages.pElems) {
        CoTaskMemFree(m_pages.pElems);
        m_pages = {0, nullptr};
    }
}

void CVEXWrapper::fetchSyncInterface() {
    m_sync2 = queryComponent<IMPDeviceSync2>(IID_IMPDeviceSync2);
    if (!m_sync2)
        m_sync1 = queryComponent<IMPDeviceSync>(IID_IMPDeviceSync);
}

void CVEXWrapper::readIconsAndRecall() {
    if (!hasSyncInterface()) {
        m_iconUrls[0] = m_entry.iconUrl;
        return;
    }
    LPWSTR icons[2] = {nullptr, nullptr};
    const HRESULT result =
        withSync([&](auto* sync) { return sync->GetIconURLs(&icons[0], &icons[1]); });
    for (int i = 0; i < 2; ++i) {
        if (result == S_OK && icons[i])
            m_iconUrls[i] = QString::fromUtf16(icons[i]);
        // Only a success hands the strings over.
        if (SUCCEEDED(result))
            CoTaskMemFree(icons[i]);
    }
    m_recallEnabled = true;
    DWORD defaultMask = 0;
    const HRESULT recall = getRecallInfo(nullptr, nullptr, nullptr, nullptr, &defaultMask);
    m_recallMask = recall == S_OK ? defaultMask : 0;
}

// ---- Names, icons, component services ---------------------------------------------------------

void CVEXWrapper::rename(const QString& text) {
    if (text.isEmpty())
        return;
    m_instanceName = text;
    setText(text);
    setToolTip(text);
    if (m_editorWindow)
        m_editorWindow->setWindowTitle(text);
}

void CVEXWrapper::refreshIcon() {
    const QString& url = m_iconUrls[m_recallEnabled ? 1 : 0];
    QPixmap image;
    if (!url.isEmpty()) {
        const QUrl parsed(url);
        image.load(parsed.isLocalFile() ? parsed.toLocalFile() : url);
    }
    if (image.isNull())
        image = dorvo::lookupImage(m_recallEnabled ? QStringLiteral("Generic_02.png")
                                                   : QStringLiteral("Generic_01.png"));
    if (!image.isNull())
        setIcon(QIcon(image));
}

IPersistStream* CVEXWrapper::persistence() {
    if (!m_persistenceAsked) {
        m_persistenceAsked = true;
        m_persistence = queryComponent<IPersistStream>(IID_IPersistStream);
    }
    return m_persistence;
}

QString CVEXWrapper::statusText(HRESULT code) {
    QString text = QString::number(code);
    LPWSTR own = nullptr;
    const HRESULT result = withSync([&](auto* sync) { return sync->GetStatusText(code, &own); });
    if (SUCCEEDED(result)) {
        if (own)
            text = QString::fromUtf16(own);
        CoTaskMemFree(own);
    }
    return text;
}

HRESULT CVEXWrapper::getRecallInfo(DWORD* selectionMode, LPWSTR* itemNames, DWORD* group,
                                   BOOL* offline, DWORD* defaultMask) {
    return withSync([&](auto* sync) {
        return sync->GetRecallInfo(selectionMode, itemNames, group, offline, defaultMask);
    });
}

HRESULT CVEXWrapper::synchronize(DWORD direction, IMPClientProgressHandler* progress,
                                 DWORD recallMask) {
    return withSync([&](auto* sync) { return sync->Synchronize(direction, progress, recallMask); });
}

// ---- Synchronization ---------------------------------------------------------------------------

HRESULT CVEXWrapper::requestCancel(CVEXWrapper* wrapper) {
    if (!DORVO_CHECK_TEXT(wrapper, "this"))
        return E_UNEXPECTED;
    if (!wrapper->hasSyncInterface())
        return E_UNEXPECTED;
    return wrapper->withSync([](auto* sync) { return sync->CancelSynchronize(); });
}

void CVEXWrapper::cancelSynchronization() {
    if (m_syncThread)
        m_syncThread->requestStop(ERROR_CANCELLED);
}

void CVEXWrapper::setSyncThread(TSyncThread* thread) {
    if (m_syncThread && m_syncThread != thread) {
        // Destroying a running thread would end the program: it is stopped and joined first.
        if (!DORVO_CHECK_TEXT(!m_syncThread->isRunning(), "m_syncThread->finished()")) {
            m_syncThread->requestStop(ERROR_CANCELLED);
            m_syncThread->wait();
        }
        delete m_syncThread;
    }
    m_syncThread = thread;
}

void CVEXWrapper::setProgressLine(singleProgress* line) {
    m_progressLine = line;
}

singleProgress* CVEXWrapper::progressLine() const {
    return qobject_cast<singleProgress*>(m_progressLine.data());
}

// ---- Editor ------------------------------------------------------------------------------------

CWrapContainer* CVEXWrapper::editorWindow() const {
    return m_editorWindow;
}

CWrapContainer* CVEXWrapper::keptWindow() const {
    return m_keptWindow;
}

bool CVEXWrapper::hasPropertyPage() const {
    return m_pages.cElems > 0 && m_pages.pElems;
}

void CVEXWrapper::showEditor() {
    if (m_editorWindow) {
        if (m_workspaceWindow)
            m_workspaceWindow->bringWindowForward(m_editorWindow);
        return;
    }
    if (hasPropertyPage())
        openEditor();
}

void CVEXWrapper::showEditorAt(const QRect& rect) {
    if (!hasPropertyPage())
        return;
    m_editorGeometry = rect;
    if (m_editorWindow) {
        m_editorWindow->setGeometry(rect);
        return;
    }
    openEditor();
}

bool CVEXWrapper::reopenKeptWindow() {
    if (!m_keptWindow || !m_activePage)
        return false;
    CWrapContainer* window = m_keptWindow;
    m_editorWindow = window;
    m_keptWindow = nullptr;
    window->setWindowTitle(m_instanceName);
    if (window->isMinimized() && m_workspaceWindow)
        m_workspaceWindow->bringWindowForward(window);
    else
        window->show();
    m_activePage->Show(SW_SHOW);
    return true;
}

IPropertyPage* CVEXWrapper::createPage() {
    void* created = nullptr;
    const HRESULT result =
        CoCreateInstance(m_pages.pElems[0], nullptr, kClassContext, IID_IPropertyPage, &created);
    if (FAILED(result) || !created)
        return nullptr;
    return static_cast<IPropertyPage*>(created);
}

void CVEXWrapper::releasePage(IPropertyPage* page) {
    page->SetObjects(0, nullptr);
    page->Release();
}

void CVEXWrapper::openEditor() {
    if (reopenKeptWindow())
        return;
    IPropertyPage* page = createPage();
    if (!page)
        return;
    CAppServer::PrepareForBusyAction(nullptr);
    IUnknown* objects[1] = {m_component};
    page->SetObjects(1, objects);
    PROPPAGEINFO info{};
    info.cb = sizeof info;
    if (FAILED(page->GetPageInfo(&info))) {
        releasePage(page);
        return;
    }
    freePageInfoTexts(info);
    const QSize pageSize = boundedPageSize(info.size);

    auto* window = new CWrapContainer(this);
    m_editorWindow = window;
    window->setMinimumSize(std::min(pageSize.width(), kMinimumSide),
                           std::min(pageSize.height(), kMinimumSide));
    window->setWindowTitle(m_instanceName);
    if (!m_editorGeometry.isValid())
        window->resize(pageSize);
    else
        window->setGeometry(m_editorGeometry);
    if (m_maximized) {
        window->showMaximized();
    } else {
        window->show();
        saveGeometry(window);
    }
    const RECT rect = clientRect(window);
    if (FAILED(page->Activate(nativeHandle(window), &rect, FALSE))) {
        // An editor window without its page would only be an empty frame.
        qWarning("The property page of \"%s\" could not be activated", qPrintable(m_instanceName));
        releasePage(page);
        m_editorWindow = nullptr;
        delete window;
        return;
    }
    page->Show(SW_SHOW);
    m_activePage = page;
}

bool CVEXWrapper::hideEditor(bool force) {
    if (!m_activePage)
        return true;
    CWrapContainer* window = m_editorWindow;
    if (window) {
        m_maximized = window->isMaximized();
        window->hide();
    }
    m_activePage->Show(SW_HIDE);
    if ((m_entry.kind & TComponentCatalogue::kKeepEditorWindow) && !force) {
        m_keptWindow = window;
        m_editorWindow = nullptr;
        return false;
    }
    IPropertyPage* page = m_activePage;
    m_activePage = nullptr;
    page->Deactivate();
    releasePage(page);
    return true;
}

void CVEXWrapper::closeEditor(bool force) {
    if (force && m_keptWindow) {
        m_editorWindow = m_keptWindow.data();
        m_keptWindow = nullptr;
    }
    if (!m_editorWindow)
        return;
    hideEditor(force);
    if (m_editorWindow)
        delete m_editorWindow.data();
}

void CVEXWrapper::saveGeometry(CWrapContainer* window) {
    m_editorGeometry = window->geometry();
}

void CVEXWrapper::containerResized(CWrapContainer* window) {
    if (window != m_editorWindow)
        return;
    if (m_activePage) {
        const RECT rect = clientRect(window);
        m_activePage->Move(&rect);
    }
    if (!window->isMaximized())
        saveGeometry(window);
}

void CVEXWrapper::containerMoved(CWrapContainer* window) {
    if (window == m_editorWindow && !window->isMaximized())
        saveGeometry(window);
}

void CVEXWrapper::containerClosed(CWrapContainer* window) {
    if (window == m_editorWindow)
        m_editorWindow = nullptr;
}

// ---- Icon view ---------------------------------------------------------------------------------

bool CVEXWrapper::operator<(const QListWidgetItem& other) const {
    if (const auto* wrapper = dynamic_cast<const CVEXWrapper*>(&other))
        return m_key < wrapper->m_key;
    return QListWidgetItem::operator<(other);
}

void CVEXWrapper::propPageShow() {
    showEditor();
}

void CVEXWrapper::propPageShowByMenu() {
    showEditor();
}
