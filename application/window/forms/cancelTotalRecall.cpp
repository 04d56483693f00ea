#include "cancelTotalRecall.h"

#include "ui_cancelTotalRecall.h"

cancelTotalRecall::cancelTotalRecall(QWidget* parent)
    : QWidget(parent), m_ui(new Ui::cancelTotalRecall) {
    m_ui->setupUi(this);
}

cancelTotalRecall::~cancelTotalRecall() = default;

QPushButton* cancelTotalRecall::buttonCancel() const {
    return m_ui->buttonCancel;
}

QPushButton* cancelTotalRecall::buttonContinue() const {
    return m_ui->buttonContinue;
}
