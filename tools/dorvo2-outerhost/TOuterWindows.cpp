#include "TOuterWindows.h"

#include "TOuterConsole.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

// Replies and events of xcb are malloc'ed by it and freed by the receiver.
struct FreeReply {
    void operator()(void* reply) const { std::free(reply); }
};
template <class Reply> using Owned = std::unique_ptr<Reply, FreeReply>;

// X sizes are 16-bit and never zero.
std::uint16_t extent(int value) {
    return std::uint16_t(std::clamp(value, 1, 32767));
}

std::uint32_t coordinate(int value) {
    return std::uint32_t(std::int32_t(std::clamp(value, -32768, 32767)));
}

// Size hint flags of the window manager conventions.
constexpr std::uint32_t kUserPosition = 1;
constexpr std::uint32_t kUserSize = 2;
constexpr std::uint32_t kProgramSize = 8;
constexpr int kSizeHintFields = 18;

} // namespace

TOuterWindows::~TOuterWindows() {
    close();
}

bool TOuterWindows::open(std::string& reason) {
    close();
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection)) {
        const char* display = std::getenv("DISPLAY");
        reason = display && *display ? "cannot open the X display \"" + std::string(display) + "\""
                                     : std::string("cannot open the X display: DISPLAY is not set");
        xcb_disconnect(connection);
        return false;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int skip = screenNumber; skip > 0 && screens.rem; --skip)
        xcb_screen_next(&screens);
    if (!screens.rem) {
        reason = "cannot open the X display: it has no screen " + std::to_string(screenNumber);
        xcb_disconnect(connection);
        return false;
    }
    m_connection = connection;
    m_screen = screens.data;
    m_lost = false;

    const char* names[] = {"WM_PROTOCOLS", "WM_DELETE_WINDOW", "_NET_WM_NAME", "UTF8_STRING"};
    xcb_atom_t* atoms[] = {&m_protocols, &m_deleteWindow, &m_netName, &m_utf8};
    xcb_intern_atom_cookie_t cookies[4];
    for (int i = 0; i < 4; ++i)
        cookies[i] =
            xcb_intern_atom(m_connection, 0, std::uint16_t(std::strlen(names[i])), names[i]);
    for (int i = 0; i < 4; ++i) {
        Owned<xcb_intern_atom_reply_t> reply(
            xcb_intern_atom_reply(m_connection, cookies[i], nullptr));
        *atoms[i] = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    }
    if (m_protocols == XCB_ATOM_NONE || m_deleteWindow == XCB_ATOM_NONE) {
        reason = "cannot open the X display: the server does not answer";
        close();
        return false;
    }
    return true;
}

void TOuterWindows::close() {
    if (!m_connection)
        return;
    for (const auto& [window, watched] : m_windows)
        xcb_destroy_window(m_connection, window);
    m_windows.clear();
    xcb_flush(m_connection);
    xcb_disconnect(m_connection);
    m_connection = nullptr;
    m_screen = nullptr;
}

int TOuterWindows::fd() const {
    return m_connection && !m_lost ? xcb_get_file_descriptor(m_connection) : -1;
}

xcb_window_t TOuterWindows::create(const Geometry& geometry, bool placed, const std::string& title,
                                   Handlers handlers) {
    if (!m_connection || m_lost)
        return 0;
    const xcb_window_t window = xcb_generate_id(m_connection);
    if (window == xcb_window_t(-1))
        return 0;
    const std::uint32_t values[] = {m_screen->white_pixel,
                                    XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_EXPOSURE};
    const xcb_void_cookie_t made = xcb_create_window_checked(
        m_connection, XCB_COPY_FROM_PARENT, window, m_screen->root,
        std::int16_t(coordinate(geometry.x)), std::int16_t(coordinate(geometry.y)),
        extent(geometry.width), extent(geometry.height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
        m_screen->root_visual, XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
    if (Owned<xcb_generic_error_t> refused{xcb_request_check(m_connection, made)}) {
        TOuterConsole::error("The X server refused a window (error %u)",
                             unsigned(refused->error_code));
        return 0;
    }
    // The close button asks this program instead of ending it.
    xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, m_protocols, XCB_ATOM_ATOM, 32,
                        1, &m_deleteWindow);
    static const char kClass[] = "dorvo2-outerhost\0Dorvo2-outerhost";
    xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS,
                        XCB_ATOM_STRING, 8, sizeof kClass, kClass);
    // A restored position and size are the user's: the window manager keeps them instead of
    // placing the window anew.
    std::uint32_t hints[kSizeHintFields] = {};
    hints[0] = placed ? kUserPosition | kUserSize : kProgramSize;
    hints[1] = coordinate(geometry.x);
    hints[2] = coordinate(geometry.y);
    hints[3] = extent(geometry.width);
    hints[4] = extent(geometry.height);
    xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NORMAL_HINTS,
                        XCB_ATOM_WM_SIZE_HINTS, 32, kSizeHintFields, hints);
    setTitle(window, title);
    m_windows[window] =
        Watched{std::move(handlers), extent(geometry.width), extent(geometry.height)};
    return window;
}

void TOuterWindows::setTitle(xcb_window_t window, const std::string& title) {
    if (!m_connection)
        return;
    // Both names in UTF-8, as current toolkits set them; window managers read either.
    const xcb_atom_t type = m_utf8 != XCB_ATOM_NONE ? m_utf8 : xcb_atom_t(XCB_ATOM_STRING);
    xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, type, 8,
                        std::uint32_t(title.size()), title.data());
    if (m_netName != XCB_ATOM_NONE && m_utf8 != XCB_ATOM_NONE)
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, m_netName, m_utf8, 8,
                            std::uint32_t(title.size()), title.data());
}

void TOuterWindows::map(xcb_window_t window) {
    if (!m_connection)
        return;
    xcb_map_window(m_connection, window);
    const std::uint32_t above = XCB_STACK_MODE_ABOVE;
    xcb_configure_window(m_connection, window, XCB_CONFIG_WINDOW_STACK_MODE, &above);
}

void TOuterWindows::unmap(xcb_window_t window) {
    if (m_connection)
        xcb_unmap_window(m_connection, window);
}

void TOuterWindows::resize(xcb_window_t window, int width, int height) {
    if (!m_connection)
        return;
    const std::uint32_t size[] = {extent(width), extent(height)};
    xcb_configure_window(m_connection, window, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT,
                         size);
}

void TOuterWindows::destroy(xcb_window_t window) {
    m_windows.erase(window);
    if (m_connection)
        xcb_destroy_window(m_connection, window);
}

TOuterWindows::Geometry TOuterWindows::geometry(xcb_window_t window) {
    Geometry result;
    if (!m_connection || m_lost)
        return result;
    const xcb_get_geometry_cookie_t sizeAsked = xcb_get_geometry(m_connection, window);
    // Relative to the root, not to a frame that the window manager put around the window.
    const xcb_translate_coordinates_cookie_t placeAsked =
        xcb_translate_coordinates(m_connection, window, m_screen->root, 0, 0);
    Owned<xcb_get_geometry_reply_t> size(xcb_get_geometry_reply(m_connection, sizeAsked, nullptr));
    Owned<xcb_translate_coordinates_reply_t> place(
        xcb_translate_coordinates_reply(m_connection, placeAsked, nullptr));
    if (!size || !place)
        return result;
    result.x = place->dst_x;
    result.y = place->dst_y;
    result.width = size->width;
    result.height = size->height;
    return result;
}

void TOuterWindows::flush() {
    if (m_connection && !m_lost)
        xcb_flush(m_connection);
}

void TOuterWindows::dispatch() {
    if (!m_connection || m_lost)
        return;
    while (Owned<xcb_generic_event_t> event{xcb_poll_for_event(m_connection)}) {
        switch (event->response_type & 0x7F) {
        case 0: {
            const auto* failure = reinterpret_cast<const xcb_generic_error_t*>(event.get());
            TOuterConsole::error("X error %u on request %u.%u", unsigned(failure->error_code),
                                 unsigned(failure->major_code), unsigned(failure->minor_code));
            break;
        }
        case XCB_CONFIGURE_NOTIFY: {
            const auto* configure =
                reinterpret_cast<const xcb_configure_notify_event_t*>(event.get());
            configured(configure->window, configure->width, configure->height);
            break;
        }
        case XCB_CLIENT_MESSAGE:
            clientMessage(*reinterpret_cast<const xcb_client_message_event_t*>(event.get()));
            break;
        default:
            // Expose among them: the pages paint their own windows, and nothing of these
            // windows is left uncovered for long.
            break;
        }
    }
    if (xcb_connection_has_error(m_connection))
        lost();
}

void TOuterWindows::configured(xcb_window_t window, int width, int height) {
    auto found = m_windows.find(window);
    // Moves report the same size again; only a new size concerns the handler.
    if (found == m_windows.end() ||
        (found->second.width == width && found->second.height == height))
        return;
    found->second.width = width;
    found->second.height = height;
    // A copy: the handler may destroy the window and its entry with it.
    const auto resized = found->second.handlers.resized;
    if (resized)
        resized(width, height);
}

void TOuterWindows::clientMessage(const xcb_client_message_event_t& message) {
    if (message.type != m_protocols || message.format != 32 ||
        message.data.data32[0] != m_deleteWindow)
        return;
    auto found = m_windows.find(message.window);
    if (found == m_windows.end())
        return;
    const auto closeRequested = found->second.handlers.closeRequested;
    if (closeRequested)
        closeRequested();
}

void TOuterWindows::lost() {
    if (m_lost)
        return;
    m_lost = true;
    TOuterConsole::error("The connection to the X display was lost; the windows are gone");
}

bool TOuterWindows::saveScreen(const std::string& path, std::string& reason) {
    if (!m_connection || m_lost) {
        reason = "there is no display";
        return false;
    }
    const int width = m_screen->width_in_pixels;
    const int height = m_screen->height_in_pixels;
    xcb_get_image_reply_t* image =
        xcb_get_image_reply(m_connection,
                            xcb_get_image(m_connection, XCB_IMAGE_FORMAT_Z_PIXMAP, m_screen->root,
                                          0, 0, std::uint16_t(width), std::uint16_t(height), ~0u),
                            nullptr);
    if (!image) {
        reason = "the display gave no image";
        return false;
    }
    const std::uint8_t* pixels = xcb_get_image_data(image);
    const int length = xcb_get_image_data_length(image);
    bool saved = false;
    if (length != width * height * 4) {
        reason = "the display's pixels are not 32 bits wide";
    } else if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
        std::fprintf(file, "P6\n%d %d\n255\n", width, height);
        // Each pixel is blue, green, red and a byte that carries nothing.
        for (int i = 0; i < width * height; ++i) {
            const std::uint8_t rgb[3] = {pixels[4 * i + 2], pixels[4 * i + 1], pixels[4 * i]};
            std::fwrite(rgb, 1, 3, file);
        }
        saved = std::fclose(file) == 0;
        if (!saved)
            reason = "the file could not be written";
    } else {
        reason = "the file could not be made";
    }
    std::free(image);
    return saved;
}
