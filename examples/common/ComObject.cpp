#include "ComObject.h"

#include "ModuleCounts.h"

namespace examples {

ComObject::ComObject() {
    ModuleCounts::objectMade();
}

ComObject::~ComObject() {
    ModuleCounts::objectGone();
}

HRESULT ComObject::queryInterface(REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    *out = findInterface(iid);
    if (!*out)
        return E_NOINTERFACE;
    addRef();
    return S_OK;
}

ULONG ComObject::addRef() {
    return ++m_references;
}

ULONG ComObject::release() {
    const ULONG references = --m_references;
    if (references == 0)
        delete this;
    return references;
}

} // namespace examples
