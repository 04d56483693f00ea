#include "noCancelProgresss.h"

#include "ui_noCancelProgresss.h"

noCancelProgresss::noCancelProgresss(QWidget* parent, Qt::WindowFlags flags)
    : QDialog(parent, flags), m_ui(new Ui::noCancelProgresss) {
    m_ui->setupUi(this);
}

noCancelProgresss::~noCancelProgresss() = default;

QLabel* noCancelProgresss::msgLabel() const {
    return m_ui->msgLabel;
}

QProgressBar* noCancelProgresss::loadingProgress() const {
    return m_ui->loadingProgress;
}
