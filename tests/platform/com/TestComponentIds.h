// The class of the test component library, shared by the component and its tests.
#pragma once

#include <dorvo/objbase.h>

DORVO_DEFINE_GUID(CLSID_DorvoTestComponent, 0x3F1C2A77, 0x5B0E, 0x4D39, 0x9A, 0x61, 0x2E, 0x7C,
                  0x44, 0x18, 0xB5, 0x0D);

inline constexpr char16_t kTestComponentDescription[] = u"Dorvo test component";
inline constexpr char16_t kTestComponentThreadingModel[] = u"Both";
