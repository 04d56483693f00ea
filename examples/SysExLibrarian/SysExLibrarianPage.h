// The SysEx Librarian's property page object, created by the host by CLSID_SysExLibrarianPage.
#pragma once

#include <ExamplePropertyPage.h>

class SysExLibrarianPage final : public examples::ExamplePropertyPage {
public:
    SysExLibrarianPage();

protected:
    QWidget* createWidget() override;
};
