#include "CForeignWindowWrapper.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QWindow>

#include <cstdint>

namespace {

WId windowIdOf(HWND handle) {
    return static_cast<WId>(reinterpret_cast<std::uintptr_t>(handle));
}

constexpr Qt::WindowFlags kWrapperFlags =
    Qt::Window | Qt::CustomizeWindowHint | Qt::FramelessWindowHint;

} // namespace

CForeignWindowWrapper::CForeignWindowWrapper(HWND foreignParent, int width, int height)
    : QMainWindow(nullptr, kWrapperFlags) {
    setAttribute(Qt::WA_DeleteOnClose);
    attach(foreignParent, width, height);
}

CForeignWindowWrapper::~CForeignWindowWrapper() {
    detach();
}

bool CForeignWindowWrapper::canEmbedForeignWindows(QString* reason) {
    const QString platform = QGuiApplication::platformName();
    if (platform.startsWith(QLatin1String("wayland"))) {
        if (reason)
            *reason = QStringLiteral(
                "Dorvo cannot show its windows inside the host application under Wayland. "
                "Start the host application with XWayland (for example QT_QPA_PLATFORM=xcb).");
        return false;
    }
    if (platform != QLatin1String("xcb")) {
        if (reason)
            *reason = QStringLiteral("Dorvo cannot show its windows inside the host "
                                     "application on the \"%1\" platform.")
                          .arg(platform);
        return false;
    }
    return true;
}

bool CForeignWindowWrapper::attach(HWND foreignParent, int width, int height) {
    bool attached = true;
    if (foreignParent != m_foreignParent || (!foreignParent && parentWidget())) {
        detach();
        QWidget* owner = foreignParent ? QWidget::find(windowIdOf(foreignParent)) : nullptr;
        if (owner && owner != this) {
            // A window of this process: Qt places the wrapper itself.
            m_foreignParent = nullptr;
            setParent(owner, Qt::Widget);
            move(0, 0);
        } else if (foreignParent) {
            attached = attachToForeign(foreignParent);
        }
    }
    setGeometry(0, 0, width < 0 ? this->width() : width, height < 0 ? this->height() : height);
    // The wrapper paints its ground: a page placed in it that paints only its controls would
    // otherwise show on black inside a foreign window.
    setAutoFillBackground(true);
    return attached;
}

bool CForeignWindowWrapper::attachToForeign(HWND handle) {
    QString reason;
    if (!canEmbedForeignWindows(&reason)) {
        static bool told = false;
        if (!told)
            qWarning("%s", qPrintable(reason));
        told = true;
        return false;
    }
    m_foreignWindow = QWindow::fromWinId(windowIdOf(handle));
    if (!m_foreignWindow)
        return false;
    winId();
    if (!windowHandle()) {
        delete m_foreignWindow;
        return false;
    }
    m_foreignParent = handle;
    windowHandle()->setParent(m_foreignWindow);
    raise();
    return true;
}

void CForeignWindowWrapper::detach() {
    if (parentWidget()) {
        hide();
        setParent(nullptr, kWrapperFlags);
    }
    if (m_foreignWindow) {
        if (windowHandle())
            windowHandle()->setParent(nullptr);
        delete m_foreignWindow;
    }
    m_foreignParent = nullptr;
}

void CForeignWindowWrapper::closeEvent(QCloseEvent* event) {
    emit aboutToClose();
    QMainWindow::closeEvent(event);
}
