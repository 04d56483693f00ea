#include "About.h"

#include "Images.h"
#include "SetupDlg.h"
#include "Version.h"
#include "ui_About.h"

#include <QPainter>
#include <algorithm>

namespace {

constexpr int kTextLeft = 34;
constexpr int kMinimumSide = 100;

QFont noticeFont() {
    QFont font(QStringLiteral("Quenor EBM 8"));
    font.setPixelSize(8);
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

} // namespace

About::About(QWidget* parent) : QDialog(parent, dorvo::kDialogWindowFlags), m_ui(new Ui::About) {
    m_ui->setupUi(this);
    const QPixmap image = paintedImage();
    m_ui->aboutLabel->setPixmap(image);
    m_ui->aboutLabel->setFixedSize(image.size());
    setFixedSize(std::max(image.width(), kMinimumSide), std::max(image.height(), kMinimumSide));
}

About::~About() = default;

QLabel* About::aboutLabel() const {
    return m_ui->aboutLabel;
}

QPixmap About::paintedImage() {
    QPixmap image = dorvo::lookupImage(QStringLiteral("HostAbout.png"));
    if (image.isNull())
        return image;
    QPainter painter(&image);
    painter.setFont(noticeFont());
    painter.setPen(QColor(51, 51, 51));
    painter.drawText(kTextLeft, 174, QStringLiteral("Quenor Dorvo ") + dorvo::kVersionText);
    painter.drawText(kTextLeft, 192, tr("Copyright (C) Quenor. All rights reserved."));
    painter.drawText(kTextLeft, 230,
                     tr("This program is protected by copyright law and international treaties."));
    painter.drawText(kTextLeft, 248,
                     tr("Product names mentioned may be trademarks of their respective owners."));
    return image;
}
