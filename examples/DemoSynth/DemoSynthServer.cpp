// The Demo Synth library's exports: its two classes, their factories and their registration.
#include "DemoSynthComponent.h"
#include "DemoSynthIds.h"
#include "DemoSynthPage.h"

#include <ClassFactory.h>
#include <ModuleCounts.h>
#include <ServerRegistration.h>

namespace {

examples::ClassFactory g_componentFactory(&examples::createObject<DemoSynthComponent>);
examples::ClassFactory g_pageFactory(&examples::createObject<DemoSynthPage>);

const examples::ClassEntry kClasses[] = {
    {&CLSID_DemoSynth, &g_componentFactory},
    {&CLSID_DemoSynthPage, &g_pageFactory},
};

// The editor window stays, hidden, when the user closes it (kind bit 0x10), so that the page
// keeps what the user was doing.
constexpr DWORD kKind = 0x12;

examples::ServerDescription description() {
    return {
        &g_componentFactory,
        {{&CLSID_DemoSynth, QStringLiteral("Demo Synth Editor")},
         {&CLSID_DemoSynthPage, QStringLiteral("Demo Synth Property Page")}},
        {&CLSID_DemoSynth, kKind, QStringLiteral("Demo Synth"), QStringLiteral("DemoSynth.png")}};
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
