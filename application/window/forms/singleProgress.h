// One component's line in the synchronization progress dialog: what the component reports,
// its name, its progress bar and a button that cancels it and later shows how it ended.
#pragma once

#include <QWidget>
#include <memory>

namespace Ui {
class singleProgress;
}
class QLabel;
class QProgressBar;
class QPushButton;

class singleProgress : public QWidget {
    Q_OBJECT
public:
    // GUI thread.
    explicit singleProgress(QWidget* parent = nullptr);
    ~singleProgress() override;

    QLabel* progressLabel() const;
    QLabel* componentName() const;
    QProgressBar* progressBar() const;
    QPushButton* buttonCancel() const;

private:
    std::unique_ptr<Ui::singleProgress> m_ui;
};
