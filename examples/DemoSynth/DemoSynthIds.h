// The Demo Synth's class identifiers and its own result codes.
#pragma once

#include <dorvo/objbase.h>

// {2D03EBBD-4426-42DD-9FAF-3774B65DF4BD}
DORVO_DEFINE_GUID(CLSID_DemoSynth, 0x2D03EBBD, 0x4426, 0x42DD, 0x9F, 0xAF, 0x37, 0x74, 0xB6, 0x5D,
                  0xF4, 0xBD);
// {ACDA425A-FBA3-4EB9-A94D-75DBCD28B825}
DORVO_DEFINE_GUID(CLSID_DemoSynthPage, 0xACDA425A, 0xFBA3, 0x4EB9, 0xA9, 0x4D, 0x75, 0xDB, 0xCD,
                  0x28, 0xB8, 0x25);
// Answered only by this library's component, so that its page finds it behind the IUnknown the
// host hands over.
// {F2634DCB-E63F-4868-9960-62643A81E6B3}
DORVO_DEFINE_GUID(IID_DemoSynthComponent, 0xF2634DCB, 0xE63F, 0x4868, 0x99, 0x60, 0x62, 0x64, 0x3A,
                  0x81, 0xE6, 0xB3);

// Synchronize's own failures; GetStatusText describes them.
#define DEMOSYNTH_E_NOOUTPUT DORVO_HR(0x80047D01)   // no output port chosen or available
#define DEMOSYNTH_E_NOINPUT DORVO_HR(0x80047D02)    // no input port chosen or available
#define DEMOSYNTH_E_NOANSWER DORVO_HR(0x80047D03)   // the synthesizer did not answer in time
#define DEMOSYNTH_E_DAMAGED DORVO_HR(0x80047D04)    // its dumps arrived damaged
#define DEMOSYNTH_E_REFUSED DORVO_HR(0x80047D05)    // it refused a block dump
#define DEMOSYNTH_E_SENDFAILED DORVO_HR(0x80047D06) // the host could not send
#define DEMOSYNTH_E_BUSY DORVO_HR(0x80047D07)       // a synchronization is running already
