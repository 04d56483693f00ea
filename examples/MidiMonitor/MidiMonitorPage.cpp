#include "MidiMonitorPage.h"

#include "MidiMonitorComponent.h"
#include "MidiMonitorIds.h"
#include "MidiMonitorWidget.h"

MidiMonitorPage::MidiMonitorPage()
    : ExamplePropertyPage(QStringLiteral("MIDI Monitor"), IID_MidiMonitorComponent) {}

QWidget* MidiMonitorPage::createWidget() {
    return new MidiMonitorWidget(static_cast<MidiMonitorComponent*>(component()));
}
