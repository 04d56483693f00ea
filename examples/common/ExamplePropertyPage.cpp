#include "ExamplePropertyPage.h"

#include "ModuleCounts.h"
#include "WideText.h"

#include <dorvo/qtpage.h>

namespace examples {

ExamplePropertyPage::ExamplePropertyPage(QString title, const IID& componentIid)
    : m_title(std::move(title)), m_componentIid(componentIid) {}

ExamplePropertyPage::~ExamplePropertyPage() {
    detach();
    if (m_site)
        m_site->Release();
}

void* ExamplePropertyPage::findInterface(REFIID iid) {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPropertyPage))
        return static_cast<IPropertyPage*>(this);
    return nullptr;
}

QWidget* ExamplePropertyPage::widget() {
    if (!m_widget && m_component) {
        ModuleCounts::pinForQt();
        m_widget = createWidget();
    }
    return m_widget;
}

void ExamplePropertyPage::dropWidget() {
    if (!m_widget)
        return;
    dorvo::qtpage::detachPage(m_widget);
    delete m_widget;
}

void ExamplePropertyPage::detach() {
    dropWidget();
    if (m_component)
        m_component->release();
    m_component = nullptr;
}

HRESULT ExamplePropertyPage::SetPageSite(IPropertyPageSite* site) {
    if (site)
        site->AddRef();
    if (m_site)
        m_site->Release();
    m_site = site;
    return S_OK;
}

HRESULT ExamplePropertyPage::SetObjects(ULONG count, IUnknown** objects) {
    detach();
    if (count == 0)
        return S_OK;
    if (!objects || !objects[0])
        return E_POINTER;
    void* found = nullptr;
    if (FAILED(objects[0]->QueryInterface(m_componentIid, &found)) || !found)
        return E_NOINTERFACE;
    m_component = ExampleComponent::fromPrivateInterface(found);
    return S_OK;
}

HRESULT ExamplePropertyPage::GetPageInfo(PROPPAGEINFO* info) {
    if (!info)
        return E_POINTER;
    QWidget* page = widget();
    if (!page)
        return E_UNEXPECTED;
    const QSize size = page->sizeHint().expandedTo(page->minimumSizeHint());
    info->cb = sizeof(PROPPAGEINFO);
    info->pszTitle = taskString(m_title);
    info->size = {size.width(), size.height()};
    info->pszDocString = nullptr;
    info->pszHelpFile = nullptr;
    info->dwHelpContext = 0;
    return info->pszTitle ? S_OK : E_OUTOFMEMORY;
}

HRESULT ExamplePropertyPage::Activate(HWND parent, LPCRECT rect, BOOL) {
    QWidget* page = widget();
    if (!page)
        return E_UNEXPECTED;
    return dorvo::qtpage::embedPage(page, parent, rect);
}

HRESULT ExamplePropertyPage::Deactivate() {
    dropWidget();
    return S_OK;
}

HRESULT ExamplePropertyPage::Show(UINT showCommand) {
    return m_widget ? dorvo::qtpage::showPage(m_widget, showCommand) : E_UNEXPECTED;
}

HRESULT ExamplePropertyPage::Move(LPCRECT rect) {
    return m_widget ? dorvo::qtpage::movePage(m_widget, rect) : E_UNEXPECTED;
}

HRESULT ExamplePropertyPage::IsPageDirty() {
    return S_FALSE;
}

HRESULT ExamplePropertyPage::Apply() {
    return S_OK;
}

HRESULT ExamplePropertyPage::Help(LPCOLESTR) {
    return E_NOTIMPL;
}

HRESULT ExamplePropertyPage::TranslateAccelerator(MSG*) {
    return S_FALSE;
}

} // namespace examples
