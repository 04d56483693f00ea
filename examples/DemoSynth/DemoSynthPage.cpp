#include "DemoSynthPage.h"

#include "DemoSynthComponent.h"
#include "DemoSynthIds.h"
#include "DemoSynthWidget.h"

DemoSynthPage::DemoSynthPage()
    : ExamplePropertyPage(QStringLiteral("Demo Synth"), IID_DemoSynthComponent) {}

QWidget* DemoSynthPage::createWidget() {
    return new DemoSynthWidget(static_cast<DemoSynthComponent*>(component()));
}
