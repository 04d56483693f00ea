/* Every header of the SDK, for checking that each compiles in C and C++, 64-bit and 32-bit. */
#ifndef DORVO_TEST_INCLUDEALLHEADERS_H
#define DORVO_TEST_INCLUDEALLHEADERS_H

#include <dorvo/dorvo2.h>
#include <dorvo/dorvo2comp.h>
#include <dorvo/objbase.h>
#include <dorvo/winreg.h>
#include <dorvo/wintypes.h>
#include <dorvo/winuser.h>

#endif
