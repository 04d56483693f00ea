/* The component build's classes, for an outer application that creates them: the Workspace host
 * as one component (IMPInitialise, IMPEventFilter, IMPNotificationSink, IPersistStream,
 * ISpecifyPropertyPages and IDorvo2Comp from dorvo2.h), and its property page. The library is
 * libdorvo2comp.so; its registration writes both classes. */
#ifndef DORVO_DORVO2COMP_H
#define DORVO_DORVO2COMP_H

#include <dorvo/objbase.h>

DORVO_DEFINE_GUID(CLSID_Dorvo2Comp, 0x3D6E2B14, 0x8C51, 0x4F0A, 0x9B, 0x27, 0x61, 0xD4, 0x0E, 0x85,
                  0xA3, 0x4C);
DORVO_DEFINE_GUID(CLSID_Dorvo2CompPropertyPage, 0x3D6E2B15, 0x8C51, 0x4F0A, 0x9B, 0x27, 0x61, 0xD4,
                  0x0E, 0x85, 0xA3, 0x4C);

#endif
