#include "WindowForward.h"

#include <QWidget>

namespace dorvo {

void bringWindowForward(QWidget* window) {
    if (!window)
        return;
    if (window->isMinimized()) {
        if (window->windowState() & Qt::WindowMaximized)
            window->showMaximized();
        else
            window->showNormal();
        return;
    }
    window->raise();
    window->activateWindow();
}

} // namespace dorvo
