#include "ProxyIPropertyPage.h"

#include "WideText.h"

#include <new>

namespace {

constexpr ULONG kPageInfoSize = 48;
constexpr LONG kUnknownPageSide = 100;

} // namespace

ProxyIPropertyPage* ProxyIPropertyPage::create(IPropertyPage* page, const QString& title) {
    if (!page)
        return nullptr;
    return new (std::nothrow) ProxyIPropertyPage(page, title);
}

ProxyIPropertyPage::ProxyIPropertyPage(IPropertyPage* page, const QString& title)
    : TInnerObject(nullptr), m_page(page), m_title(title) {
    m_page->AddRef();
}

ProxyIPropertyPage::~ProxyIPropertyPage() {
    m_page->Release();
}

void ProxyIPropertyPage::setTitle(const QString& title) {
    std::lock_guard<std::mutex> lock(m_titleLock);
    m_title = title;
}

HRESULT ProxyIPropertyPage::GetPageInfo(PROPPAGEINFO* info) {
    if (!info)
        return E_POINTER;
    *info = PROPPAGEINFO{};
    info->cb = kPageInfoSize;
    info->size = SIZE{kUnknownPageSide, kUnknownPageSide};
    const HRESULT result = m_page->GetPageInfo(info);
    if (SUCCEEDED(result)) {
        CoTaskMemFree(info->pszTitle);
        QString title;
        {
            std::lock_guard<std::mutex> lock(m_titleLock);
            title = m_title;
        }
        // The outer application reads titles in the local encoding.
        info->pszTitle = dorvo::taskAllocatedText(QString::fromLocal8Bit(title.toLocal8Bit()));
    }
    return result;
}

HRESULT ProxyIPropertyPage::SetObjects(ULONG, IUnknown**) {
    return S_OK;
}

HRESULT ProxyIPropertyPage::SetPageSite(IPropertyPageSite* site) {
    return m_page->SetPageSite(site);
}

HRESULT ProxyIPropertyPage::Activate(HWND parent, LPCRECT rect, BOOL modal) {
    return m_page->Activate(parent, rect, modal);
}

HRESULT ProxyIPropertyPage::Deactivate() {
    m_shown = false;
    return m_page->Deactivate();
}

HRESULT ProxyIPropertyPage::Show(UINT command) {
    return m_page->Show(command);
}

HRESULT ProxyIPropertyPage::Move(LPCRECT rect) {
    return m_page->Move(rect);
}

HRESULT ProxyIPropertyPage::IsPageDirty() {
    return m_page->IsPageDirty();
}

HRESULT ProxyIPropertyPage::Apply() {
    return m_page->Apply();
}

HRESULT ProxyIPropertyPage::Help(LPCOLESTR helpDir) {
    return m_page->Help(helpDir);
}

HRESULT ProxyIPropertyPage::TranslateAccelerator(MSG* message) {
    return m_page->TranslateAccelerator(message);
}
