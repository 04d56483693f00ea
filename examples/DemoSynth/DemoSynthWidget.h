// The Demo Synth's page: its ports, the off-line switch, its recall group, and one control per
// parameter in a box per block. Controls are named by the parameter's key.
#pragma once

#include <QWidget>

#include <vector>

class DemoSynthComponent;
class QAbstractSlider;
class QCheckBox;
class QComboBox;
class QLabel;
class QSpinBox;

namespace examples {
class PortChooser;
}

class DemoSynthWidget final : public QWidget {
    Q_OBJECT
public:
    // GUI thread; the component outlives the widget.
    explicit DemoSynthWidget(DemoSynthComponent* component, QWidget* parent = nullptr);

private:
    QWidget* createPortsRow();
    QWidget* createBlockBox(int block);
    QWidget* createControl(int block, int index);
    void showChanges(unsigned changes);
    void showValues();
    void showSettings();

    DemoSynthComponent* const m_component;
    examples::PortChooser* m_inputPort = nullptr;
    examples::PortChooser* m_outputPort = nullptr;
    QCheckBox* m_offline = nullptr;
    QSpinBox* m_recallGroup = nullptr;
    QLabel* m_problem = nullptr;
    // Per parameter in table order: a combo box for choices, else a slider with its value.
    std::vector<QComboBox*> m_choices;
    std::vector<QAbstractSlider*> m_sliders;
};
