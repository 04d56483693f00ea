// Holding interface pointers by hand, the way the interface set counts references: a field
// that takes a new pointer adds a reference to it and lets go of the one it held.
#pragma once

namespace dorvo {

// field holds value afterwards (referenced); the pointer it held before is released. Either
// may be null.
template <class Interface> void holdReference(Interface*& field, Interface* value) {
    if (value)
        value->AddRef();
    if (field)
        field->Release();
    field = value;
}

// Releases what field holds and leaves it null.
template <class Interface> void releaseReference(Interface*& field) {
    if (field)
        field->Release();
    field = nullptr;
}

} // namespace dorvo
