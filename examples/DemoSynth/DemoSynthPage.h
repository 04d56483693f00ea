// The Demo Synth's property page object, created by the host by CLSID_DemoSynthPage.
#pragma once

#include <ExamplePropertyPage.h>

class DemoSynthPage final : public examples::ExamplePropertyPage {
public:
    DemoSynthPage();

protected:
    QWidget* createWidget() override;
};
