#include "CSyncMainDlg.h"

#include "cancelTotalRecall.h"
#include "singleProgress.h"

#include <QScrollArea>
#include <QVBoxLayout>

CSyncMainDlg::CSyncMainDlg(QWidget* owner, Qt::WindowFlags flags)
    : QDialog(owner, flags), m_lineView(new QScrollArea(this)), m_column(new QWidget),
      m_columnLayout(new QVBoxLayout(m_column)), m_buttons(new cancelTotalRecall(this)) {
    setObjectName(QStringLiteral("CSyncMainDlg"));
    setSizeGripEnabled(true);
    m_columnLayout->setContentsMargins(0, 0, 0, 0);
    m_columnLayout->setSpacing(0);
    m_columnLayout->addStretch(1);
    // The column takes the view's width; only a long column scrolls, and only up and down.
    m_lineView->setWidgetResizable(true);
    m_lineView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_lineView->setWidget(m_column);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_lineView, 1);
    layout->addWidget(m_buttons);
}

singleProgress* CSyncMainDlg::addLine() {
    auto* line = new singleProgress(m_column);
    // Before the closing stretch, which keeps the lines at the top.
    m_columnLayout->insertWidget(m_columnLayout->count() - 1, line);
    return line;
}

void CSyncMainDlg::accept() {
    QDialog::accept();
}
