/* The class of the C test component and the values it passes to the host, shared by the
 * component (C) and its test (C++). */
#ifndef DORVO_TEST_CCOMPONENTIDS_H
#define DORVO_TEST_CCOMPONENTIDS_H

#include <dorvo/objbase.h>

DORVO_DEFINE_GUID(CLSID_DorvoCTestComponent, 0x9D2B6E14, 0x07A3, 0x4C58, 0xB1, 0x3F, 0x6A, 0x90,
                  0xD2, 0x5E, 0x81, 0x47);

/* MPConnect asks the host's IMPTimeInfo CheckConversion(kCTestTime, 2, a3, a4, 0, kCTestLastWord)
 * with the a3 and a4 it was given, then GetTimeValue(2). GetFilterInfo answers the value it got,
 * the result of CheckConversion and kCTestFilterWord. */
#define CTEST_TIME 0x123456789ABCDEF0LL
#define CTEST_LAST_WORD 0xA5A5A5A5u
#define CTEST_FILTER_WORD 7u

/* FilterEvents sends the queue's first event back through the host's output with its channel
 * raised by one and its selector set to the low word of the batch's first sequence. */

#endif
