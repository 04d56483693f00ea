// The SysEx Librarian library's classes and registration.
#include "SysExLibrarianComponent.h"
#include "SysExLibrarianIds.h"
#include "SysExLibrarianPage.h"

#include <EditorLibrary.h>

const examples::EditorLibrary& examples::editorLibrary() {
    static const EditorLibrary library =
        makeEditorLibrary<SysExLibrarianComponent, SysExLibrarianPage>(
            CLSID_SysExLibrarian, CLSID_SysExLibrarianPage,
            {QStringLiteral("SysEx Librarian"), 0x2, QStringLiteral("SysEx Librarian"),
             QStringLiteral("SysExLibrarian.png")});
    return library;
}
