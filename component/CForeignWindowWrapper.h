// A top-level Qt window that can live inside a window that Qt does not own: the outer
// application's window, known only by its native handle (the window system's id). Attaching
// reparents the wrapper's own native window into it; a handle that belongs to a widget of this
// process reparents in Qt instead; detaching makes the wrapper a top-level window again.
//
// Embedding needs a window system that lets one process's window hold another's (X11). Where
// that is not so (Wayland without XWayland, the offscreen platform), attaching to a foreign
// handle fails and says so once.
#pragma once

#include <dorvo/wintypes.h>

#include <QMainWindow>
#include <QPointer>

class QWindow;

class CForeignWindowWrapper : public QMainWindow {
    Q_OBJECT
public:
    // GUI thread: a frameless top-level window, deleted when it is closed (hold it in a
    // QPointer), then attach(foreignParent, width, height).
    CForeignWindowWrapper(HWND foreignParent, int width, int height);
    ~CForeignWindowWrapper() override;

    // GUI thread. A negative width or height keeps the current one. Attaching to the handle
    // already held only resizes. False when the foreign window cannot hold the wrapper; the
    // wrapper is detached then.
    bool attach(HWND foreignParent, int width, int height);
    HWND foreignParent() const { return m_foreignParent; }

    // Whether this process can place its windows inside foreign ones; the reason when not.
    static bool canEmbedForeignWindows(QString* reason = nullptr);

signals:
    void aboutToClose();
    void createdEditor(QObject* editor);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void detach();
    bool attachToForeign(HWND handle);

    HWND m_foreignParent = nullptr;
    // The stand-in for the foreign window on our side; ours to delete.
    QPointer<QWindow> m_foreignWindow;
};
