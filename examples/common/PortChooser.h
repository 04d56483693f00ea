// A combo box of the host's ports of one direction for a component: "(none)", then the ports as
// the host lists them; a chosen port that the host no longer lists stays shown as not
// available. Choosing an entry makes the component use that port.
#pragma once

#include "ExampleComponent.h"

#include <QComboBox>

namespace examples {

class PortChooser final : public QComboBox {
    Q_OBJECT
public:
    // GUI thread.
    PortChooser(ExampleComponent* component, int direction, QWidget* parent = nullptr);

    // Fills the list again from the component's ports and choice.
    void refresh();

private:
    void entryChosen(int index);

    ExampleComponent* const m_component;
    const int m_direction;
    bool m_filling = false;
};

} // namespace examples
