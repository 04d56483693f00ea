// The MIDI Monitor library's exports: its two classes, their factories and their registration.
#include "MidiMonitorComponent.h"
#include "MidiMonitorIds.h"
#include "MidiMonitorPage.h"

#include <ClassFactory.h>
#include <ModuleCounts.h>
#include <ServerRegistration.h>

namespace {

examples::ClassFactory g_componentFactory(&examples::createObject<MidiMonitorComponent>);
examples::ClassFactory g_pageFactory(&examples::createObject<MidiMonitorPage>);

const examples::ClassEntry kClasses[] = {
    {&CLSID_MidiMonitor, &g_componentFactory},
    {&CLSID_MidiMonitorPage, &g_pageFactory},
};

constexpr DWORD kEditorKind = 0x2;

examples::ServerDescription description() {
    return {&g_componentFactory,
            {{&CLSID_MidiMonitor, QStringLiteral("MIDI Monitor")},
             {&CLSID_MidiMonitorPage, QStringLiteral("MIDI Monitor Property Page")}},
            {&CLSID_MidiMonitor, kEditorKind, QStringLiteral("MIDI Monitor"),
             QStringLiteral("MidiMonitor.png")}};
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
