#include "KeyPressEater.h"

#include <QKeyEvent>

bool KeyPressEater::eventFilter(QObject* watched, QEvent* event) {
    if (event && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
            event->ignore();
    }
    return QObject::eventFilter(watched, event);
}
