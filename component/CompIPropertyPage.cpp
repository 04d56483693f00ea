#include "CompIPropertyPage.h"

#include "CompIMPInitialise.h"
#include "CompRecords.h"
#include "TComponentServer.h"
#include "WideText.h"

#include <new>

namespace {

constexpr ULONG kPageInfoSize = 48;

void fillPageInfo(PROPPAGEINFO& info, QSize size) {
    info.cb = kPageInfoSize;
    info.pszTitle = dorvo::taskAllocatedText(QStringLiteral("Dorvo"));
    info.size = SIZE{size.width(), size.height()};
    info.pszDocString = dorvo::taskAllocatedText(QString());
    info.pszHelpFile = dorvo::taskAllocatedText(QString());
    info.dwHelpContext = 0;
}

} // namespace

CompIPropertyPage* CompIPropertyPage::create(IUnknown* outer) {
    TComponentServer::attachApplicationServer();
    return new (std::nothrow) CompIPropertyPage(outer);
}

CompIPropertyPage::CompIPropertyPage(IUnknown* outer) : TInnerObject(nullptr), m_outer(outer) {
    TComponentServer::objectCreated();
}

CompIPropertyPage::~CompIPropertyPage() {
    setHeldObject(nullptr);
    TComponentServer::objectDestroyed();
}

CompIMPInitialise* CompIPropertyPage::heldObject() {
    std::lock_guard<std::mutex> lock(m_holderLock);
    if (m_held)
        m_held->AddRef();
    return m_held;
}

void CompIPropertyPage::setHeldObject(CompIMPInitialise* object) {
    CompIMPInitialise* previous = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_holderLock);
        previous = m_held;
        m_held = object;
    }
    // Outside the lock: the last release of an object ends its Workspace.
    if (previous)
        previous->Release();
}

HRESULT CompIPropertyPage::SetPageSite(IPropertyPageSite*) {
    return S_OK;
}

HRESULT CompIPropertyPage::SetObjects(ULONG count, IUnknown** objects) {
    setHeldObject(nullptr);
    if (count == 0)
        return S_OK;
    if (count != 1)
        return E_INVALIDARG;
    if (!objects)
        return E_POINTER;
    if (!objects[0])
        return E_UNEXPECTED;
    // The page works on the object's own fields: only this library's component object will do.
    CompIMPInitialise* object = CompIMPInitialise::fromUnknown(objects[0]);
    if (!object)
        return E_NOINTERFACE;
    setHeldObject(object);
    return S_OK;
}

HRESULT CompIPropertyPage::GetPageInfo(PROPPAGEINFO* info) {
    if (!info)
        return E_POINTER;
    QSize size(400, 300);
    if (CompIMPInitialise* object = heldObject()) {
        size = object->pageSize();
        object->Release();
    }
    fillPageInfo(*info, size);
    return S_OK;
}

HRESULT CompIPropertyPage::Activate(HWND parent, LPCRECT rect, BOOL modal) {
    if (!rect)
        return E_POINTER;
    CompIMPInitialise* object = heldObject();
    if (!object)
        return E_UNEXPECTED;
    HRESULT result = S_OK;
    if (TComponentServer::mainThreadRunning()) {
        result = object->activateCore(parent, *rect);
    } else {
        result = object->prepareClientWindow();
        if (result == S_OK)
            (new IPropertyPage_Activate_params(this, parent, *rect, modal))->post();
    }
    object->Release();
    return result;
}

HRESULT CompIPropertyPage::Deactivate() {
    CompIMPInitialise* object = heldObject();
    if (!object)
        return E_UNEXPECTED;
    // The Workspace's widgets are the GUI thread's: an outer thread waits for it there.
    const HRESULT result = object->runOnGuiThread([object] { return object->deactivateCore(); });
    object->Release();
    return result;
}

HRESULT CompIPropertyPage::Show(UINT command) {
    if (command == SW_HIDE || command == SW_SHOWNORMAL || command == SW_SHOW)
        return S_OK;
    return E_INVALIDARG;
}

HRESULT CompIPropertyPage::Move(LPCRECT rect) {
    if (!rect)
        return E_POINTER;
    if (!TComponentServer::mainThreadRunning()) {
        (new IPropertyPage_Move_params(this, *rect))->post();
        return S_OK;
    }
    CompIMPInitialise* object = heldObject();
    if (!object)
        return E_UNEXPECTED;
    const HRESULT result = object->moveCore(*rect);
    object->Release();
    return result;
}

HRESULT CompIPropertyPage::IsPageDirty() {
    return S_OK;
}

HRESULT CompIPropertyPage::Apply() {
    return S_OK;
}

HRESULT CompIPropertyPage::Help(LPCOLESTR) {
    return E_NOTIMPL;
}

HRESULT CompIPropertyPage::TranslateAccelerator(MSG*) {
    return E_NOTIMPL;
}
