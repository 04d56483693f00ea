// The SysEx Librarian library's exports: its two classes, their factories and their
// registration.
#include "SysExLibrarianComponent.h"
#include "SysExLibrarianIds.h"
#include "SysExLibrarianPage.h"

#include <ClassFactory.h>
#include <ModuleCounts.h>
#include <ServerRegistration.h>

namespace {

examples::ClassFactory g_componentFactory(&examples::createObject<SysExLibrarianComponent>);
examples::ClassFactory g_pageFactory(&examples::createObject<SysExLibrarianPage>);

const examples::ClassEntry kClasses[] = {
    {&CLSID_SysExLibrarian, &g_componentFactory},
    {&CLSID_SysExLibrarianPage, &g_pageFactory},
};

constexpr DWORD kEditorKind = 0x2;

examples::ServerDescription description() {
    return {&g_componentFactory,
            {{&CLSID_SysExLibrarian, QStringLiteral("SysEx Librarian")},
             {&CLSID_SysExLibrarianPage, QStringLiteral("SysEx Librarian Property Page")}},
            {&CLSID_SysExLibrarian, kEditorKind, QStringLiteral("SysEx Librarian"),
             QStringLiteral("SysExLibrarian.png")}};
}

} // namespace

extern "C" {

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out) {
    return examples::getClassObject(kClasses, std::size(kClasses), clsid, iid, out);
}

STDAPI DllCanUnloadNow(void) {
    return examples::ModuleCounts::canUnloadNow();
}

STDAPI DllRegisterServer(void) {
    return examples::registerServer(description());
}

STDAPI DllUnregisterServer(void) {
    return examples::unregisterServer(description());
}

} // extern "C"
