// The buttons under the progress lines of a synchronization run: stop the run, or go on with
// the next group after a failure.
#pragma once

#include <QWidget>
#include <memory>

namespace Ui {
class cancelTotalRecall;
}
class QPushButton;

class cancelTotalRecall : public QWidget {
    Q_OBJECT
public:
    // GUI thread.
    explicit cancelTotalRecall(QWidget* parent = nullptr);
    ~cancelTotalRecall() override;

    QPushButton* buttonCancel() const;
    QPushButton* buttonContinue() const;

private:
    std::unique_ptr<Ui::cancelTotalRecall> m_ui;
};
