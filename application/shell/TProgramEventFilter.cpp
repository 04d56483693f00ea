#include "TProgramEventFilter.h"

#include "ApplicationWindow.h"
#include "LongPathName.h"
#include "ShellLog.h"
#include "WindowForward.h"

#include <QApplication>
#include <QFile>
#include <QTimer>
#include <QWidget>

namespace {

constexpr int kReCreateDelayMs = 100;

bool isUserInput(QEvent::Type type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::ContextMenu:
        return true;
    default:
        return false;
    }
}

QString describe(const QWidget* widget) {
    if (!widget)
        return QStringLiteral("nothing");
    return widget->objectName().isEmpty() ? QString::fromLatin1(widget->metaObject()->className())
                                          : widget->objectName();
}

} // namespace

TProgramEventFilter::TProgramEventFilter(ApplicationWindow* workspaceWindow, QObject* parent)
    : QObject(parent) {
    setWorkspaceWindow(workspaceWindow);
}

void TProgramEventFilter::setWorkspaceWindow(ApplicationWindow* workspaceWindow) {
    m_workspaceWindow = workspaceWindow;
    if (!m_windows)
        m_windows = [this] {
            return m_workspaceWindow ? m_workspaceWindow->programWindows() : QList<QWidget*>();
        };
}

QList<QWidget*> TProgramEventFilter::programWindows() const {
    return m_windows ? m_windows() : QList<QWidget*>();
}

bool TProgramEventFilter::isProgramWindow(const QWidget* widget) const {
    return widget && programWindows().contains(const_cast<QWidget*>(widget));
}

bool TProgramEventFilter::modalDialogShown() const {
    return m_modalOwner || QApplication::activeModalWidget();
}

quint32 TProgramEventFilter::takeHandOver(const THandOverMessage& message) {
    if (!m_workspaceWindow)
        return 0;
    const bool hasPath = message.path && !message.path->isEmpty();
    if (hasPath && modalDialogShown()) {
        qCDebug(lcShell, "hand-over while a modal dialog is shown: path ignored");
    } else if (hasPath) {
        const QString path = dorvo::longPathName(QFile::decodeName(*message.path));
        m_workspaceWindow->createFromFile(path);
        qCDebug(lcShell, "pending start-up document stored at %lld ms: %s", dorvo::shellClockMs(),
                qPrintable(path));
        QTimer::singleShot(kReCreateDelayMs, m_workspaceWindow.data(),
                           &ApplicationWindow::reCreateFromFile);
    }
    bringFrontWindowForward();
    return 1;
}

void TProgramEventFilter::bringFrontWindowForward() {
    QWidget* front = QApplication::activeModalWidget();
    if (!front)
        front = QApplication::activePopupWidget();
    if (front) {
        front->raise();
        front->activateWindow();
    } else {
        front = m_workspaceWindow;
        dorvo::bringWindowForward(front);
    }
    qCDebug(lcShell, "brought %s to the front", qPrintable(describe(front)));
}

bool TProgramEventFilter::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::WindowBlocked:
        if (!m_modalOwner && watched->isWidgetType() &&
            isProgramWindow(static_cast<QWidget*>(watched)))
            m_modalOwner = static_cast<QWidget*>(watched);
        return false;
    case QEvent::WindowUnblocked:
        if (watched == m_modalOwner)
            m_modalOwner = nullptr;
        return false;
    case QEvent::WindowActivate:
        // Activating another of the program's windows brings the dialog back to the front.
        if (m_modalOwner && watched != m_modalOwner && watched->isWidgetType() &&
            isProgramWindow(static_cast<QWidget*>(watched))) {
            if (QWidget* dialog = QApplication::activeModalWidget()) {
                dialog->raise();
                dialog->activateWindow();
            }
        }
        return false;
    default:
        return blocksInput(watched, event);
    }
}

bool TProgramEventFilter::blocksInput(QObject* watched, QEvent* event) const {
    if (!m_modalOwner || !isUserInput(event->type()) || !watched->isWidgetType())
        return false;
    QWidget* window = static_cast<QWidget*>(watched)->window();
    return window != m_modalOwner && isProgramWindow(window);
}
