/* Record layouts and table slots as C sees them, in the order of AllHeaders.c. */
#ifndef DORVO_TEST_CLAYOUT_H
#define DORVO_TEST_CLAYOUT_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif
extern const size_t cLayout[];
extern const size_t cLayoutCount;
#ifdef __cplusplus
}
#endif

#endif
