#include "ProxyVEX1IPropertyPage.h"

#include "CForeignWindowWrapper.h"
#include "CompRecords.h"
#include "GuiThread.h"
#include "InterfaceReference.h"
#include "WideText.h"

#include <CAppServer.h>

#include <QMetaObject>
#include <QThread>

#include <cstdint>
#include <new>
#include <utility>

namespace {

HWND nativeHandle(QWidget* widget) {
    return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(widget->winId()));
}

// The Workspace window's thread, which the editors' pages belong to.
bool onGuiThread() {
    return dorvo::guiThread() && QThread::currentThread() == dorvo::guiThread();
}

} // namespace

ProxyVEX1IPropertyPage* ProxyVEX1IPropertyPage::create() {
    return new (std::nothrow) ProxyVEX1IPropertyPage;
}

ProxyVEX1IPropertyPage::~ProxyVEX1IPropertyPage() {
    IPropertyPage* page = std::exchange(m_editorPage, nullptr);
    const bool activated = m_activatedOnce;
    QPointer<CForeignWindowWrapper> wrapper = m_wrapper;
    auto close = [page, activated, wrapper] {
        closePage(page, activated);
        delete wrapper.data();
    };
    if (onGuiThread())
        close();
    else
        QMetaObject::invokeMethod(CAppServer::MS(), close, Qt::QueuedConnection);
}

void ProxyVEX1IPropertyPage::closePage(IPropertyPage* page, bool activated) {
    if (!page)
        return;
    if (activated)
        page->Deactivate();
    page->SetObjects(0, nullptr);
    page->Release();
}

IPropertyPage* ProxyVEX1IPropertyPage::editorPage() {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (m_editorPage)
        m_editorPage->AddRef();
    return m_editorPage;
}

void ProxyVEX1IPropertyPage::setEditorPage(IPropertyPage* page) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    dorvo::holdReference(m_editorPage, page);
    m_activatedOnce = false;
    m_hasPageInfo = false;
    PROPPAGEINFO info{};
    info.cb = sizeof info;
    if (page && SUCCEEDED(page->GetPageInfo(&info))) {
        m_hasPageInfo = true;
        m_pageTitle = dorvo::textOfWide(info.pszTitle);
        m_pageSize = info.size;
    }
    CoTaskMemFree(info.pszTitle);
    CoTaskMemFree(info.pszDocString);
    CoTaskMemFree(info.pszHelpFile);
}

bool ProxyVEX1IPropertyPage::hasEditorPage() {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return m_editorPage != nullptr;
}

// ---- Passed on to the editor's page ----------------------------------------------------------

HRESULT ProxyVEX1IPropertyPage::SetPageSite(IPropertyPageSite* site) {
    IPropertyPage* page = editorPage();
    const HRESULT result = page ? page->SetPageSite(site) : E_UNEXPECTED;
    dorvo::releaseReference(page);
    return result;
}

HRESULT ProxyVEX1IPropertyPage::GetPageInfo(PROPPAGEINFO* info) {
    if (!info)
        return E_POINTER;
    if (!onGuiThread()) {
        std::lock_guard<std::recursive_mutex> lock(m_mutex);
        if (!m_hasPageInfo)
            return E_UNEXPECTED;
        info->pszTitle = dorvo::taskAllocatedText(m_pageTitle);
        info->size = m_pageSize;
        info->pszDocString = nullptr;
        info->pszHelpFile = nullptr;
        info->dwHelpContext = 0;
        return info->pszTitle ? S_OK : E_OUTOFMEMORY;
    }
    IPropertyPage* page = editorPage();
    const HRESULT result = page ? page->GetPageInfo(info) : E_UNEXPECTED;
    dorvo::releaseReference(page);
    return result;
}

HRESULT ProxyVEX1IPropertyPage::IsPageDirty() {
    IPropertyPage* page = editorPage();
    const HRESULT result = page ? page->IsPageDirty() : S_FALSE;
    dorvo::releaseReference(page);
    return result;
}

HRESULT ProxyVEX1IPropertyPage::Apply() {
    IPropertyPage* page = editorPage();
    const HRESULT result = page ? page->Apply() : S_OK;
    dorvo::releaseReference(page);
    return result;
}

HRESULT ProxyVEX1IPropertyPage::Help(LPCOLESTR helpDir) {
    IPropertyPage* page = editorPage();
    const HRESULT result = page ? page->Help(helpDir) : E_NOTIMPL;
    dorvo::releaseReference(page);
    return result;
}

HRESULT ProxyVEX1IPropertyPage::SetObjects(ULONG, IUnknown**) {
    return S_OK;
}

HRESULT ProxyVEX1IPropertyPage::TranslateAccelerator(MSG*) {
    return S_OK;
}

// ---- Its own, on the GUI thread --------------------------------------------------------------

HRESULT ProxyVEX1IPropertyPage::Activate(HWND parent, LPCRECT rect, BOOL modal) {
    if (!rect)
        return E_POINTER;
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (onGuiThread())
        return activateHere(parent, *rect, modal);
    if (m_activationPending) {
        m_pendingParent = parent;
        m_pendingRect = *rect;
        m_activationRecorded = true;
        return S_OK;
    }
    (new IPropertyPage_Activate_params(this, parent, *rect, modal))->post();
    return S_OK;
}

HRESULT ProxyVEX1IPropertyPage::activateHere(HWND parent, const RECT& rect, BOOL modal) {
    if (!m_editorPage)
        return E_UNEXPECTED;
    if (!m_wrapper) {
        m_wrapper = new (std::nothrow) CForeignWindowWrapper(nullptr, -1, -1);
        if (!m_wrapper)
            return E_OUTOFMEMORY;
    }
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    const RECT local{0, 0, width, height};
    m_wrapper->resize(width, height);
    HRESULT result = S_OK;
    if (m_activatedOnce) {
        result = m_editorPage->Move(&local);
    } else {
        result = m_editorPage->Activate(nativeHandle(m_wrapper), &local, modal);
        m_activatedOnce = SUCCEEDED(result);
    }
    if (SUCCEEDED(result)) {
        if (!m_wrapper->attach(parent, width, height))
            result = E_FAIL;
        m_wrapper->move(rect.left, rect.top);
        m_wrapper->show();
    }
    m_editorPage->Show(SW_SHOW);
    m_active = true;
    return result;
}

void ProxyVEX1IPropertyPage::setActivationPending() {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_activationPending = true;
    m_activationRecorded = false;
}

void ProxyVEX1IPropertyPage::completeActivation(bool accepted) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_activationPending = false;
    const bool replay = accepted && m_activationRecorded && !m_active;
    m_activationRecorded = false;
    if (replay)
        Activate(m_pendingParent, &m_pendingRect, FALSE);
}

HRESULT ProxyVEX1IPropertyPage::Deactivate() {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (!onGuiThread()) {
        (new IPropertyPage_Deactivate_params(this))->post();
        return S_OK;
    }
    if (!m_active)
        return E_UNEXPECTED;
    hideAndDetachWrapper();
    if (m_editorPage)
        m_editorPage->Show(SW_HIDE);
    m_active = false;
    return S_OK;
}

void ProxyVEX1IPropertyPage::hideAndDetachWrapper() {
    if (!m_wrapper)
        return;
    m_wrapper->hide();
    m_wrapper->attach(nullptr, -1, -1);
}

HRESULT ProxyVEX1IPropertyPage::Show(UINT command) {
    if (command != SW_HIDE && command != SW_SHOWNORMAL && command != SW_SHOW)
        return E_INVALIDARG;
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (!onGuiThread()) {
        if (!m_activationPending)
            (new IPropertyPage_Show_params(this, command))->post();
        return S_OK;
    }
    if (!m_active)
        return E_UNEXPECTED;
    if (m_wrapper)
        m_wrapper->setVisible(command != SW_HIDE);
    if (m_editorPage)
        m_editorPage->Show(command);
    return S_OK;
}

HRESULT ProxyVEX1IPropertyPage::Move(LPCRECT rect) {
    if (!rect)
        return E_POINTER;
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (!onGuiThread()) {
        if (m_activationPending)
            m_pendingRect = *rect;
        else
            (new IPropertyPage_Move_params(this, *rect))->post();
        return S_OK;
    }
    if (!m_active)
        return E_UNEXPECTED;
    const int width = rect->right - rect->left;
    const int height = rect->bottom - rect->top;
    if (m_wrapper)
        m_wrapper->setGeometry(rect->left, rect->top, width, height);
    const RECT local{0, 0, width, height};
    if (m_editorPage)
        m_editorPage->Move(&local);
    return S_OK;
}

void ProxyVEX1IPropertyPage::closeEditorPage() {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (m_active)
        hideAndDetachWrapper();
    closePage(std::exchange(m_editorPage, nullptr), m_activatedOnce);
    m_activatedOnce = false;
    m_active = false;
}
