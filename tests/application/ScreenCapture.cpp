#include "ScreenCapture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

#include <cstdio>

void settle(int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

bool saveScreenOf(QWidget* widget, const QString& path) {
    const QPixmap shot = widget->screen()->grabWindow(widget->winId());
    if (shot.isNull() || !shot.save(path, "PNG")) {
        std::fprintf(stderr, "cannot save %s\n", qPrintable(path));
        return false;
    }
    return true;
}
