#include "singleProgress.h"

#include "ui_singleProgress.h"

singleProgress::singleProgress(QWidget* parent) : QWidget(parent), m_ui(new Ui::singleProgress) {
    m_ui->setupUi(this);
}

singleProgress::~singleProgress() = default;

QLabel* singleProgress::progressLabel() const {
    return m_ui->progressLabel;
}

QLabel* singleProgress::componentName() const {
    return m_ui->component_name;
}

QProgressBar* singleProgress::progressBar() const {
    return m_ui->progresbar;
}

QPushButton* singleProgress::buttonCancel() const {
    return m_ui->buttonCancel;
}
