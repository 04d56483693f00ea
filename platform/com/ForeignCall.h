// Calls into a loaded library. Such code is not ours: an exception that escapes it must not
// unwind through the caller of an interface, so it becomes a failure result here.
#pragma once

#include <dorvo/objbase.h>

#include <QtGlobal>

#include <exception>

template <typename Call> HRESULT callForeign(const char* what, Call&& call) {
    try {
        return call();
    } catch (const std::exception& e) {
        qWarning("%s threw an exception: %s", what, e.what());
    } catch (...) {
        qWarning("%s threw an exception", what);
    }
    return E_UNEXPECTED;
}

// True when a reference came from a C caller's null pointer. The compiler may assume that a
// reference is never null, so the test goes through an opaque copy of the address.
inline bool isNullReference(const void* address) {
    asm("" : "+r"(address));
    return address == nullptr;
}
