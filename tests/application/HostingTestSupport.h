// What the hosting tests share: the recording component, registered in this test program's own
// registry with the registration command, and its control.
#pragma once

#include "RecordingComponent.h"
#include "TComponentCatalogue.h"

#include <QStringList>

namespace hostingtest {

// Registers the recording component once per process; false (with the command's output
// printed) when the command failed.
bool registerRecordingComponent();

// The catalogue entry of the recording component as the registry gives it, with another kind.
TCatalogueEntry recordingEntry(DWORD kind = 0x2);

// Sets the recording component's answers for the objects created while it exists; the
// default answers come back afterwards. Its log starts empty.
class RecordingControl {
public:
    RecordingControl();
    ~RecordingControl();
    RecordingControl(const RecordingControl&) = delete;
    RecordingControl& operator=(const RecordingControl&) = delete;

    // Edit, then apply().
    RecordingBehaviour behaviour;
    void apply();

    // The calls recorded since the last take.
    QStringList takeLog();
    long liveObjects();

private:
    IRecordingControl* m_control = nullptr;
};

// Copies text into a fixed behaviour field.
void setText(WCHAR (&field)[260], const QString& text);

} // namespace hostingtest
