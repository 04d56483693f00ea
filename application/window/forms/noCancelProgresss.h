// The progress dialog without a cancel button, shown while the Workspace loads components.
#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class noCancelProgresss;
}
class QLabel;
class QProgressBar;

class noCancelProgresss : public QDialog {
    Q_OBJECT
public:
    // GUI thread.
    explicit noCancelProgresss(QWidget* parent = nullptr, Qt::WindowFlags flags = {});
    ~noCancelProgresss() override;

    QLabel* msgLabel() const;
    QProgressBar* loadingProgress() const;

private:
    std::unique_ptr<Ui::noCancelProgresss> m_ui;
};
