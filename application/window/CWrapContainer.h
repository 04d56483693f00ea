// The top-level window that holds a component's editor (its property page). It deletes itself
// when closed, unless its wrapper keeps it hidden for the next opening, and it tells its
// wrapper about every resize and move, so that the page follows the window and the window's
// geometry is kept for the next opening.
#pragma once

#include <QMainWindow>
#include <QPointer>

class CVEXWrapper;

class CWrapContainer : public QMainWindow {
    Q_OBJECT
public:
    // GUI thread: a top-level window without parent.
    explicit CWrapContainer(CVEXWrapper* wrapper);

    CVEXWrapper* wrapper() const { return m_wrapper; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // The wrapper may go first (it normally closes this window before it goes).
    QPointer<CVEXWrapper> m_wrapper;
};
