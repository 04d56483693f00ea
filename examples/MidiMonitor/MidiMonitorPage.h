// The MIDI Monitor's property page object, created by the host by CLSID_MidiMonitorPage.
#pragma once

#include <ExamplePropertyPage.h>

class MidiMonitorPage final : public examples::ExamplePropertyPage {
public:
    MidiMonitorPage();

protected:
    QWidget* createWidget() override;
};
