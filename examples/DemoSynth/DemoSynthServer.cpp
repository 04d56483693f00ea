// The Demo Synth library's classes and registration.
#include "DemoSynthComponent.h"
#include "DemoSynthIds.h"
#include "DemoSynthPage.h"

#include <EditorLibrary.h>

namespace {
// The editor window stays, hidden, when the user closes it (kind bit 0x10), so that the page
// keeps what the user was doing.
constexpr DWORD kKind = 0x12;
} // namespace

const examples::EditorLibrary& examples::editorLibrary() {
    static const EditorLibrary library = makeEditorLibrary<DemoSynthComponent, DemoSynthPage>(
        CLSID_DemoSynth, CLSID_DemoSynthPage,
        {QStringLiteral("Demo Synth Editor"), kKind, QStringLiteral("Demo Synth"),
         QStringLiteral("DemoSynth.png")});
    return library;
}
