// The SysEx Librarian's class identifiers.
#pragma once

#include <dorvo/objbase.h>

// {ACBA237A-70D5-4A61-A79F-0A6AF29C4AE3}
DORVO_DEFINE_GUID(CLSID_SysExLibrarian, 0xACBA237A, 0x70D5, 0x4A61, 0xA7, 0x9F, 0x0A, 0x6A, 0xF2,
                  0x9C, 0x4A, 0xE3);
// {13832105-2A48-4DAC-896A-579AF567A3A2}
DORVO_DEFINE_GUID(CLSID_SysExLibrarianPage, 0x13832105, 0x2A48, 0x4DAC, 0x89, 0x6A, 0x57, 0x9A,
                  0xF5, 0x67, 0xA3, 0xA2);
// Answered only by this library's component, for its page.
// {7CC2A470-922C-4679-A26E-0D951105EDAC}
DORVO_DEFINE_GUID(IID_SysExLibrarianComponent, 0x7CC2A470, 0x922C, 0x4679, 0xA2, 0x6E, 0x0D, 0x95,
                  0x11, 0x05, 0xED, 0xAC);
