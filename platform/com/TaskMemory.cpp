// The task allocator: memory that crosses an interface is allocated on one side and freed on
// the other, so both sides must reach the same allocator through this one library.
#include <dorvo/objbase.h>

#include <cstdlib>

STDAPI_(LPVOID) CoTaskMemAlloc(SIZE_T cb) {
    return std::malloc(cb ? cb : 1);
}

STDAPI_(LPVOID) CoTaskMemRealloc(LPVOID pv, SIZE_T cb) {
    return std::realloc(pv, cb ? cb : 1);
}

STDAPI_(void) CoTaskMemFree(LPVOID pv) {
    std::free(pv);
}
