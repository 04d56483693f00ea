#include "SysExLibrarianPage.h"

#include "SysExLibrarianComponent.h"
#include "SysExLibrarianIds.h"
#include "SysExLibrarianWidget.h"

SysExLibrarianPage::SysExLibrarianPage()
    : ExamplePropertyPage(QStringLiteral("SysEx Librarian"), IID_SysExLibrarianComponent) {}

QWidget* SysExLibrarianPage::createWidget() {
    return new SysExLibrarianWidget(static_cast<SysExLibrarianComponent*>(component()));
}
