// The progress dialog of a synchronization run: a scrolled column of progress lines, one per
// component, over the row with "Cancel Recall" and "Continue". The run fills it.
#pragma once

#include <QDialog>

class QScrollArea;
class QVBoxLayout;
class cancelTotalRecall;
class singleProgress;

class CSyncMainDlg : public QDialog {
    Q_OBJECT
public:
    // GUI thread.
    explicit CSyncMainDlg(QWidget* owner = nullptr, Qt::WindowFlags flags = {});

    // A new line at the end of the column.
    singleProgress* addLine();
    QScrollArea* lineView() const { return m_lineView; }
    cancelTotalRecall* buttons() const { return m_buttons; }

public slots:
    void accept() override;

private:
    QScrollArea* m_lineView;
    QWidget* m_column;
    QVBoxLayout* m_columnLayout;
    cancelTotalRecall* m_buttons;
};
