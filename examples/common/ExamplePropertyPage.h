// The property page object of an example: the host creates it by the page class, hands it the
// component with SetObjects and shows it in its container window; the page's widget is made
// on first need and embedded with <dorvo/qtpage.h>.
#pragma once

#include "ComObject.h"
#include "ExampleComponent.h"

#include <dorvo/objbase.h>

#include <QPointer>
#include <QString>
#include <QWidget>

namespace examples {

class ExamplePropertyPage : public ComObject, public IPropertyPage {
public:
    EXAMPLES_IUNKNOWN

    // GUI thread, for all methods.
    STDMETHOD(SetPageSite)(IPropertyPageSite* site) override;
    STDMETHOD(Activate)(HWND parent, LPCRECT rect, BOOL modal) override;
    STDMETHOD(Deactivate)() override;
    // Needs the component (SetObjects) first: E_UNEXPECTED without it.
    STDMETHOD(GetPageInfo)(PROPPAGEINFO* info) override;
    // The first object must be this library's component (E_NOINTERFACE otherwise); none
    // lets go of it and of the widget.
    STDMETHOD(SetObjects)(ULONG count, IUnknown** objects) override;
    STDMETHOD(Show)(UINT showCommand) override;
    STDMETHOD(Move)(LPCRECT rect) override;
    // Every change on the page takes effect at once: never dirty, nothing to apply.
    STDMETHOD(IsPageDirty)() override;
    STDMETHOD(Apply)() override;
    STDMETHOD(Help)(LPCOLESTR helpDirectory) override;
    STDMETHOD(TranslateAccelerator)(MSG* message) override;

protected:
    ExamplePropertyPage(QString title, const IID& componentIid);
    ~ExamplePropertyPage() override;

    void* findInterface(REFIID iid) override;
    ExampleComponent* component() const { return m_component; }
    // GUI thread: the page's widget for the attached component, without a parent.
    virtual QWidget* createWidget() = 0;

private:
    QWidget* widget();
    void dropWidget();
    void detach();

    const QString m_title;
    const IID m_componentIid;
    ExampleComponent* m_component = nullptr; // one reference
    IPropertyPageSite* m_site = nullptr;     // one reference
    // The host's container owns the widget while it is embedded and may delete it first.
    QPointer<QWidget> m_widget;
};

} // namespace examples
