// This outer application's own windows on the X display, made with plain xcb as a program that
// is not a Qt program makes them: the connection and the few atoms it needs, top-level windows
// with a title and a close button, and the events that concern them, handed to the handlers
// given with each window. Only the thread that runs the session uses it.
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>

class TOuterWindows {
public:
    struct Handlers {
        // The inside of the window has a new size.
        std::function<void(int width, int height)> resized;
        // The user asked the window manager to close the window.
        std::function<void()> closeRequested;
    };

    // The position on the screen and the size of the inside of a window.
    struct Geometry {
        int x = 0;
        int y = 0;
        int width = 0;
        int height = 0;
    };

    TOuterWindows() = default;
    ~TOuterWindows();

    TOuterWindows(const TOuterWindows&) = delete;
    TOuterWindows& operator=(const TOuterWindows&) = delete;

    // Connects to the display that $DISPLAY names; false with the reason when that fails.
    bool open(std::string& reason);
    // Destroys the windows still here and disconnects.
    void close();
    // The connection's descriptor to poll, or -1 when there is none (any more).
    int fd() const;

    // A new top-level window, not yet mapped; 0 when it cannot be made. placed: the position
    // is one the user chose before, which the window manager is to keep.
    xcb_window_t create(const Geometry& geometry, bool placed, const std::string& title,
                        Handlers handlers);
    void setTitle(xcb_window_t window, const std::string& title);
    // Maps the window and raises it above its siblings.
    void map(xcb_window_t window);
    void unmap(xcb_window_t window);
    void resize(xcb_window_t window, int width, int height);
    void destroy(xcb_window_t window);
    // Asks the server; all zero when the window is gone.
    Geometry geometry(xcb_window_t window);

    // What the screen shows now, as a binary PPM file (the component's windows inside ours
    // included); false with the reason when that fails. Expects 32 bits per pixel, as a
    // 24-bit display has.
    bool saveScreen(const std::string& path, std::string& reason);

    void flush();
    // Handles every event waiting, without blocking.
    void dispatch();

private:
    struct Watched {
        Handlers handlers;
        int width;
        int height;
    };

    void configured(xcb_window_t window, int width, int height);
    void clientMessage(const xcb_client_message_event_t& message);
    void lost();

    xcb_connection_t* m_connection = nullptr;
    xcb_screen_t* m_screen = nullptr;
    xcb_atom_t m_protocols = XCB_ATOM_NONE;
    xcb_atom_t m_deleteWindow = XCB_ATOM_NONE;
    xcb_atom_t m_netName = XCB_ATOM_NONE;
    xcb_atom_t m_utf8 = XCB_ATOM_NONE;
    std::map<xcb_window_t, Watched> m_windows;
    bool m_lost = false;
};
