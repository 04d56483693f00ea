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
