// Asks before a synchronization overwrites parameter data: the components that transfer in the
// direction chosen here, and those whose editors decide their own direction.
#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class ConfirmSynchronization;
}
class QListWidget;
class QRadioButton;

class ConfirmSynchronization : public QDialog {
    Q_OBJECT
public:
    // GUI thread.
    explicit ConfirmSynchronization(QWidget* owner = nullptr, Qt::WindowFlags flags = {});
    ~ConfirmSynchronization() override;

    // The entries of the two lists; a list without entries disables its group.
    void setDirectionList(const QStringList& names);
    void setEditorList(const QStringList& names);
    void setToHardware(bool toHardware);
    bool toHardware() const;

    QListWidget* devicesList() const;
    QListWidget* editorDevicesList() const;
    QRadioButton* toHardwareButton() const;
    QRadioButton* fromHardwareButton() const;

signals:
    void doHelp(QWidget* dialog);

private:
    std::unique_ptr<Ui::ConfirmSynchronization> m_ui;
};
