#include "Splash.h"

#include "Images.h"
#include "Version.h"

#include <QFontMetrics>
#include <QPainter>
#include <QSplashScreen>

namespace dorvo {

namespace {
constexpr int kSplashWidth = 460;
constexpr int kTextBaseline = 211;
} // namespace

QPixmap paintedSplashImage() {
    QPixmap image = lookupImage(QStringLiteral("HostSplash.png"));
    if (image.isNull())
        return image;
    const QString text = QStringLiteral("Dorvo ") + kVersionText;
    QFont font(QStringLiteral("Quenor EBM 8"));
    font.setPixelSize(8);
    font.setStyleStrategy(QFont::NoAntialias);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(QColor(153, 153, 153));
    const int width = QFontMetrics(font).horizontalAdvance(text);
    painter.drawText((kSplashWidth - width) / 2, kTextBaseline, text);
    return image;
}

QSplashScreen* createSplashScreen() {
    const QPixmap image = paintedSplashImage();
    if (image.width() == 0)
        return nullptr;
    auto* splash = new QSplashScreen(image);
    splash->show();
    return splash;
}

} // namespace dorvo
