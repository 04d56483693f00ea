// The program's application-wide event filter. It makes a modal dialog of any one of the
// program's windows (the Workspace window and the components' editor windows) block all of
// them, and it takes the document paths that later starts of the program hand over.
#pragma once

#include "THandOverMessage.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>

class ApplicationWindow;

class TProgramEventFilter : public QObject {
    Q_OBJECT
public:
    // The program's windows that block together; by default the Workspace window's list.
    using WindowList = std::function<QList<QWidget*>()>;

    // GUI thread. The window may be null until it exists.
    explicit TProgramEventFilter(ApplicationWindow* workspaceWindow, QObject* parent = nullptr);

    void setWorkspaceWindow(ApplicationWindow* workspaceWindow);
    void setWindowList(WindowList windows) { m_windows = std::move(windows); }

    // The first of the program's windows that a modal dialog blocked; null while none is.
    QWidget* modalOwner() const { return m_modalOwner; }

    // GUI thread: a later start's message. Without the Workspace window: 0. Otherwise, unless a
    // modal dialog is shown, a path becomes the pending start-up document and is opened 100 ms
    // later; in every case the front-most of the program's windows comes forward, and 1.
    quint32 takeHandOver(const THandOverMessage& message);

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QList<QWidget*> programWindows() const;
    bool modalDialogShown() const;
    void bringFrontWindowForward();
    bool isProgramWindow(const QWidget* widget) const;
    bool blocksInput(QObject* watched, QEvent* event) const;

    QPointer<ApplicationWindow> m_workspaceWindow;
    WindowList m_windows;
    QPointer<QWidget> m_modalOwner;
};
