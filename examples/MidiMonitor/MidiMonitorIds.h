// The MIDI Monitor's class identifiers.
#pragma once

#include <dorvo/objbase.h>

// {83A48702-E814-4B78-A9CA-CBFF99ABAFF1}
DORVO_DEFINE_GUID(CLSID_MidiMonitor, 0x83A48702, 0xE814, 0x4B78, 0xA9, 0xCA, 0xCB, 0xFF, 0x99, 0xAB,
                  0xAF, 0xF1);
// {8A9C65B2-3A26-4048-910A-F79A20AB1C3E}
DORVO_DEFINE_GUID(CLSID_MidiMonitorPage, 0x8A9C65B2, 0x3A26, 0x4048, 0x91, 0x0A, 0xF7, 0x9A, 0x20,
                  0xAB, 0x1C, 0x3E);
// Answered only by this library's component, for its page.
// {D680EED8-8027-49C2-A9E2-4C38BC0CA904}
DORVO_DEFINE_GUID(IID_MidiMonitorComponent, 0xD680EED8, 0x8027, 0x49C2, 0xA9, 0xE2, 0x4C, 0x38,
                  0xBC, 0x0C, 0xA9, 0x04);
