#include "CVEXWrapper.h"

#include "CWrapContainer.h"
#include "DorvoAssert.h"
#include "Images.h"
#include "TEditorPageHosting.h"
#include "TSyncThread.h"
#include "WindowForward.h"
#include "singleProgress.h"

#include <dorvo/objbase.h>

#include <CAppServer.h>

#include <QIcon>
#include <QListWidget>
#include <QUrl>
#include <algorithm>

namespace {

constexpr int kMinimumSide = 100;
// A page larger than this is a component's mistake; the window would not fit any screen and
// its backing store alone could exhaust memory.
constexpr LONG kLargestPageSide = 4096;

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

CVEXWrapper::CVEXWrapper(TComponentInstance* instance, QListWidget* iconView)
    : QListWidgetItem(instance->instanceName(), iconView), m_instance(instance) {
    // Renamable; neither dragged nor a drop target.
    setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable);
    setToolTip(instance->instanceName());
    refreshIcon();
}

CVEXWrapper::~CVEXWrapper() {
    closeEditor(true);
    if (m_pageHosting)
        m_pageHosting->releaseEditorPage(*this);
    // The worker calls into the component; it ends before the instance can go.
    setSyncThread(nullptr);
    m_keptWindow = nullptr;
    m_editorWindow = nullptr;
    m_progressLine = nullptr;
}

// ---- Names and icons ---------------------------------------------------------

void CVEXWrapper::showName() {
    const QString& name = instanceName();
    setText(name);
    setToolTip(name);
    if (m_editorWindow)
        m_editorWindow->setWindowTitle(name);
    if (m_pageHosting)
        m_pageHosting->renameEditorPage(*this);
}

void CVEXWrapper::refreshIcon() {
    const bool recall = recallEnabled();
    const QString& url = iconUrl(recall);
    QPixmap image;
    if (!url.isEmpty()) {
        const QUrl parsed(url);
        image.load(parsed.isLocalFile() ? parsed.toLocalFile() : url);
    }
    if (image.isNull())
        image = dorvo::lookupImage(recall ? QStringLiteral("Generic_02.png")
                                          : QStringLiteral("Generic_01.png"));
    if (!image.isNull())
        setIcon(QIcon(image));
}

// ---- Synchronization ---------------------------------------------------------------------------

HRESULT CVEXWrapper::requestCancel(CVEXWrapper* wrapper) {
    if (!DORVO_CHECK_TEXT(wrapper, "this"))
        return E_UNEXPECTED;
    return wrapper->m_instance->requestCancel();
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

bool CVEXWrapper::hasEditorWindow() const {
    return !m_editorWindow.isNull() || (m_pageHosting && m_pageHosting->isEditorPageShown(*this));
}

bool CVEXWrapper::showsEditorAsPage() const {
    return m_pageHosting && m_pageHosting->canShowPages();
}

bool CVEXWrapper::hasPropertyPage() const {
    return m_instance->hasPropertyPage();
}

void CVEXWrapper::showEditor() {
    if (m_editorWindow) {
        dorvo::bringWindowForward(m_editorWindow);
        return;
    }
    if (!hasPropertyPage())
        return;
    m_editorWasOpen = false;
    // Inside an outer application the editor is one of its pages; one it refuses is not shown.
    if (showsEditorAsPage())
        m_pageHosting->showEditorPage(*this);
    else
        openEditor();
}

void CVEXWrapper::showEditorAt(const QRect& rect) {
    if (!hasPropertyPage())
        return;
    // The outer application places its pages itself.
    if (showsEditorAsPage()) {
        showEditor();
        return;
    }
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
    window->setWindowTitle(instanceName());
    if (window->isMinimized())
        dorvo::bringWindowForward(window);
    else
        window->show();
    m_activePage->Show(SW_SHOW);
    return true;
}

void CVEXWrapper::releasePage(IPropertyPage* page) {
    page->SetObjects(0, nullptr);
    page->Release();
}

void CVEXWrapper::openEditor() {
    if (reopenKeptWindow())
        return;
    IPropertyPage* page = m_instance->createPropertyPage();
    if (!page)
        return;
    CAppServer::PrepareForBusyAction(nullptr);
    IUnknown* objects[1] = {component()};
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
    window->setWindowTitle(instanceName());
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
        qWarning("The property page of \"%s\" could not be activated", qPrintable(instanceName()));
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
    if ((entry().kind & TComponentCatalogue::kKeepEditorWindow) && !force) {
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
    if (m_pageHosting)
        m_pageHosting->closeEditorPage(
            *this, !force && (entry().kind & TComponentCatalogue::kKeepEditorWindow));
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
