// The MIDI Monitor library's classes and registration.
#include "MidiMonitorComponent.h"
#include "MidiMonitorIds.h"
#include "MidiMonitorPage.h"

#include <EditorLibrary.h>

const examples::EditorLibrary& examples::editorLibrary() {
    static const EditorLibrary library = makeEditorLibrary<MidiMonitorComponent, MidiMonitorPage>(
        CLSID_MidiMonitor, CLSID_MidiMonitorPage,
        {QStringLiteral("MIDI Monitor"), 0x2, QStringLiteral("MIDI Monitor"),
         QStringLiteral("MidiMonitor.png")});
    return library;
}
