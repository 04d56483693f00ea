// The SysEx Librarian's page: the device's name and ports, the dump request with its quiet
// time, the captured messages, sending them back with a pause, and .syx import and export.
#pragma once

#include <QWidget>

class SysExLibrarianComponent;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;

namespace examples {
class PortChooser;
}

class SysExLibrarianWidget final : public QWidget {
    Q_OBJECT
public:
    // GUI thread; the component outlives the widget.
    explicit SysExLibrarianWidget(SysExLibrarianComponent* component, QWidget* parent = nullptr);

public slots:
    // What the Import and Export buttons do once the user chose a file.
    bool importFile(const QString& path);
    bool exportFile(const QString& path);

private:
    QLayout* createDeviceRow();
    QLayout* createRequestRow();
    QLayout* createSendRow();
    void chooseImportFile();
    void chooseExportFile();
    void showChanges(unsigned changes);
    void showCaptured();
    void showSettings();
    void showActivity();

    SysExLibrarianComponent* const m_component;
    QLineEdit* m_deviceName = nullptr;
    examples::PortChooser* m_inputPort = nullptr;
    examples::PortChooser* m_outputPort = nullptr;
    QLineEdit* m_request = nullptr;
    QSpinBox* m_quietTime = nullptr;
    QSpinBox* m_pause = nullptr;
    QListWidget* m_captured = nullptr;
    QPushButton* m_requestButton = nullptr;
    QPushButton* m_sendButton = nullptr;
    QPushButton* m_stopButton = nullptr;
    QLabel* m_status = nullptr;
};
