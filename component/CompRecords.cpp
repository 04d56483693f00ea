#include "CompRecords.h"

#include "CompIMPInitialise.h"

namespace {

// The target as it was given: the records of this file are only built for component objects.
CompIMPInitialise* owner(IUnknown* target) {
    return static_cast<CompIMPInitialise*>(static_cast<IMPInitialise*>(target));
}

IUnknown* asUnknown(CompIMPInitialise* target) {
    return static_cast<IMPInitialise*>(target);
}

IPropertyPage* page(IUnknown* target) {
    return static_cast<IPropertyPage*>(target);
}

} // namespace

IMPInitialise_MPDisconnect_params::IMPInitialise_MPDisconnect_params(CompIMPInitialise* target)
    : TSimpleMarshaller(asUnknown(target), true) {}

HRESULT IMPInitialise_MPDisconnect_params::call(IUnknown* target) {
    return static_cast<IMPInitialise*>(target)->MPDisconnect();
}

CompIMPInitialise_LoadStream2_params::CompIMPInitialise_LoadStream2_params(
    CompIMPInitialise* target, QByteArray document, quint64 connection)
    : TSimpleMarshaller(asUnknown(target), true), m_document(std::move(document)),
      m_connection(connection) {}

HRESULT CompIMPInitialise_LoadStream2_params::call(IUnknown* target) {
    const HRESULT result = owner(target)->loadCore(m_document, m_connection);
    m_document.clear();
    return result;
}

CompIMPInitialise_LoadStream3_params::CompIMPInitialise_LoadStream3_params(
    CompIMPInitialise* target)
    : TSimpleMarshaller(asUnknown(target), true) {}

HRESULT CompIMPInitialise_LoadStream3_params::call(IUnknown* target) {
    owner(target)->afterLoad();
    return S_OK;
}

CompIMPInitialise_DisplayEditor_params::CompIMPInitialise_DisplayEditor_params(
    CompIMPInitialise* target, IUnknown* component)
    : TSimpleMarshaller(asUnknown(target), true), m_component(component) {}

HRESULT CompIMPInitialise_DisplayEditor_params::call(IUnknown* target) {
    return owner(target)->displayEditorCore(m_component);
}

CompIMPInitialise_Run_params::CompIMPInitialise_Run_params(CompIMPInitialise* target,
                                                           std::function<HRESULT()> work,
                                                           std::shared_ptr<Completion> completion)
    : TSimpleMarshaller(asUnknown(target), true), m_work(std::move(work)),
      m_completion(std::move(completion)) {}

HRESULT CompIMPInitialise_Run_params::call(IUnknown*) {
    m_completion->result = m_work();
    m_completion->done.store(true);
    return m_completion->result;
}

CompIMPInitialise_Resync_params::CompIMPInitialise_Resync_params(CompIMPInitialise* target,
                                                                 LONGLONG value)
    : TSimpleMarshaller(asUnknown(target), true), m_value(value) {}

HRESULT CompIMPInitialise_Resync_params::call(IUnknown* target) {
    return owner(target)->resyncCore(m_value);
}

IPropertyPage_Activate_params::IPropertyPage_Activate_params(IPropertyPage* target, HWND parent,
                                                             const RECT& rect, BOOL modal)
    : TSimpleMarshaller(target, true), m_parent(parent), m_rect(rect), m_modal(modal) {}

HRESULT IPropertyPage_Activate_params::call(IUnknown* target) {
    return page(target)->Activate(m_parent, &m_rect, m_modal);
}

IPropertyPage_Move_params::IPropertyPage_Move_params(IPropertyPage* target, const RECT& rect)
    : TSimpleMarshaller(target, true), m_rect(rect) {}

HRESULT IPropertyPage_Move_params::call(IUnknown* target) {
    return page(target)->Move(&m_rect);
}

IPropertyPage_Deactivate_params::IPropertyPage_Deactivate_params(IPropertyPage* target)
    : TSimpleMarshaller(target, true) {}

HRESULT IPropertyPage_Deactivate_params::call(IUnknown* target) {
    return page(target)->Deactivate();
}

IPropertyPage_Show_params::IPropertyPage_Show_params(IPropertyPage* target, UINT command)
    : TSimpleMarshaller(target, true), m_command(command) {}

HRESULT IPropertyPage_Show_params::call(IUnknown* target) {
    return page(target)->Show(m_command);
}
