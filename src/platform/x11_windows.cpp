#include "platform/x11_windows.h"

#include <poll.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <vector>

#include "platform/process_name.h"
#include "platform/xcb_reply.h"

namespace {

// WM_CLASS is two short names; a longer property is no class a rule could
// name, and would only be read for nothing.
constexpr uint32_t kMaxClassBytes = 1024;
// How far below the root's child an application window is looked for: a
// frame, perhaps a decoration inside it, then the client.
constexpr int kMaxClientDepth = 4;
constexpr size_t kMaxWindowsSearched = 256;
// The glyphs of the standard cursor font: crosshair and its mask.
constexpr uint16_t kCrosshairGlyph = 34;
constexpr uint32_t kEscapeKeysym = 0xff1b;

template <typename T>
using Reply = XcbReply<T>;

// The property's bytes when it is 8-bit text that fits in `maxBytes`; nothing
// when it is missing, of another format, or longer.
std::optional<std::string> ReadTextProperty(xcb_connection_t* connection, xcb_window_t window,
                                            xcb_atom_t property, uint32_t maxBytes) {
    const xcb_get_property_cookie_t cookie = xcb_get_property(
        connection, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, maxBytes / 4);
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(connection, cookie, nullptr));
    if (!reply || reply->type == XCB_ATOM_NONE || reply->format != 8 || reply->bytes_after > 0) {
        return std::nullopt;
    }
    const int length = xcb_get_property_value_length(reply.get());
    if (length < 0) {
        return std::nullopt;
    }
    const char* value = static_cast<const char*>(xcb_get_property_value(reply.get()));
    return std::string(value, static_cast<size_t>(length));
}

std::optional<uint32_t> ReadCardinal(xcb_connection_t* connection, xcb_window_t window,
                                     xcb_atom_t property, xcb_atom_t type) {
    const xcb_get_property_cookie_t cookie =
        xcb_get_property(connection, 0, window, property, type, 0, 1);
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(connection, cookie, nullptr));
    if (!reply || reply->type != type || reply->format != 32 ||
        xcb_get_property_value_length(reply.get()) < 4) {
        return std::nullopt;
    }
    uint32_t value = 0;
    std::memcpy(&value, xcb_get_property_value(reply.get()), sizeof value);
    return value;
}

// The string up to the first NUL from `start`, and where the next one begins.
std::string NextString(const std::string& value, size_t& start) {
    if (start >= value.size()) {
        return {};
    }
    const size_t end = value.find('\0', start);
    const size_t stop = end == std::string::npos ? value.size() : end;
    std::string part = value.substr(start, stop - start);
    start = stop + 1;
    return part;
}

std::string HostName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) != 0) {
        return {};
    }
    return name;
}

struct IdentityAtoms {
    xcb_atom_t pid = XCB_ATOM_NONE;

    explicit IdentityAtoms(xcb_connection_t* connection)
        : pid(InternAtom(connection, "_NET_WM_PID")) {}
    explicit IdentityAtoms(xcb_atom_t pidAtom) : pid(pidAtom) {}
};

bool HasClass(xcb_connection_t* connection, xcb_window_t window) {
    return ReadTextProperty(connection, window, XCB_ATOM_WM_CLASS, kMaxClassBytes).has_value();
}

X11WindowIdentity ReadIdentity(xcb_connection_t* connection, xcb_window_t window,
                               const IdentityAtoms& atoms) {
    X11WindowIdentity identity;
    if (window == XCB_WINDOW_NONE) {
        return identity;
    }
    if (const auto wmClass =
            ReadTextProperty(connection, window, XCB_ATOM_WM_CLASS, kMaxClassBytes)) {
        size_t start = 0;
        identity.instance = NextString(*wmClass, start);
        identity.windowClass = NextString(*wmClass, start);
    }
    // A pid means something only on this machine: a window of a remote
    // client names one of its own.
    const auto machine =
        ReadTextProperty(connection, window, XCB_ATOM_WM_CLIENT_MACHINE, kMaxClassBytes);
    size_t start = 0;
    const bool local = !machine || NextString(*machine, start) == HostName();
    if (local && atoms.pid != XCB_ATOM_NONE) {
        if (const auto pid = ReadCardinal(connection, window, atoms.pid, XCB_ATOM_CARDINAL)) {
            identity.program = ProgramOfPid(*pid);
        }
    }
    return identity;
}

xcb_screen_t* ScreenOf(xcb_connection_t* connection, int number) {
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; it.rem > 0; ++i, xcb_screen_next(&it)) {
        if (i == number) {
            return it.data;
        }
    }
    return nullptr;
}

// Connects to $DISPLAY; nullptr with the reason in `error`.
xcb_connection_t* Connect(int& screenNumber, std::string& error) {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') {
        error = "no X display (DISPLAY is not set)";
        return nullptr;
    }
    xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        error = std::string("cannot connect to the X display ") + display;
        return nullptr;
    }
    return connection;
}

}  // namespace

ActiveWindowWatcher::~ActiveWindowWatcher() {
    if (connection_ != nullptr) {
        xcb_disconnect(connection_);
    }
}

bool ActiveWindowWatcher::Start(std::string& error) {
    if (connection_ != nullptr) {
        return true;
    }
    int screenNumber = 0;
    xcb_connection_t* connection = Connect(screenNumber, error);
    if (connection == nullptr) {
        return false;
    }
    const xcb_screen_t* screen = ScreenOf(connection, screenNumber);
    const xcb_atom_t activeAtom = InternAtom(connection, "_NET_ACTIVE_WINDOW");
    if (screen == nullptr || activeAtom == XCB_ATOM_NONE) {
        xcb_disconnect(connection);
        error = "the X display did not answer";
        return false;
    }
    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    Reply<xcb_generic_error_t> failed(xcb_request_check(
        connection,
        xcb_change_window_attributes_checked(connection, screen->root, XCB_CW_EVENT_MASK, &mask)));
    if (failed) {
        xcb_disconnect(connection);
        error = "the X display refused to report window changes";
        return false;
    }
    connection_ = connection;
    root_ = screen->root;
    activeAtom_ = activeAtom;
    pidAtom_ = IdentityAtoms(connection_).pid;
    broken_ = false;
    current_ = ReadIdentity(connection_, ReadActiveWindow(), IdentityAtoms(pidAtom_));
    reported_ = current_;
    return true;
}

int ActiveWindowWatcher::Fd() const {
    return connection_ != nullptr ? xcb_get_file_descriptor(connection_) : -1;
}

unsigned ActiveWindowWatcher::ReadActiveWindow() {
    return ReadCardinal(connection_, root_, activeAtom_, XCB_ATOM_WINDOW).value_or(XCB_WINDOW_NONE);
}

bool ActiveWindowWatcher::TakeEvents() {
    bool changed = false;
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
        if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY) {
            const auto* notify = reinterpret_cast<xcb_property_notify_event_t*>(event);
            changed = changed || (notify->window == root_ && notify->atom == activeAtom_);
        }
        std::free(event);
    }
    if (xcb_connection_has_error(connection_)) {
        broken_ = true;
    }
    return changed && !broken_;
}

std::optional<X11WindowIdentity> ActiveWindowWatcher::ReadChanges() {
    if (connection_ == nullptr || broken_) {
        return std::nullopt;
    }
    std::optional<X11WindowIdentity> result;
    // The replies of the reads below may bring further events with them, which
    // xcb keeps in its own queue: the descriptor would not wake the caller for
    // them, so they are taken here until none is left.
    while (TakeEvents()) {
        // Read again even for the same window: its class may have come late.
        X11WindowIdentity identity =
            ReadIdentity(connection_, ReadActiveWindow(), IdentityAtoms(pidAtom_));
        if (xcb_connection_has_error(connection_)) {
            broken_ = true;
            return std::nullopt;
        }
        if (identity != current_) {
            current_ = identity;
            result = identity;
        }
    }
    // Back where it started (Alt+Tab there and back): no change to report.
    if (result && result != reported_) {
        reported_ = *result;
        return result;
    }
    return std::nullopt;
}

namespace {

// Grabs and cursor of one pick; released whatever way the pick ends.
class PickSession {
public:
    explicit PickSession(xcb_connection_t* connection) : connection_(connection) {}
    ~PickSession() {
        if (keyboardGrabbed_) {
            xcb_ungrab_keyboard(connection_, XCB_CURRENT_TIME);
        }
        if (pointerGrabbed_) {
            xcb_ungrab_pointer(connection_, XCB_CURRENT_TIME);
        }
        if (cursor_ != XCB_CURSOR_NONE) {
            xcb_free_cursor(connection_, cursor_);
        }
        xcb_flush(connection_);
        xcb_disconnect(connection_);
    }
    PickSession(const PickSession&) = delete;
    PickSession& operator=(const PickSession&) = delete;

    bool Grab(xcb_window_t root, std::string& error) {
        const xcb_font_t font = xcb_generate_id(connection_);
        xcb_open_font(connection_, font, 6, "cursor");
        cursor_ = xcb_generate_id(connection_);
        xcb_create_glyph_cursor(connection_, cursor_, font, font, kCrosshairGlyph,
                                kCrosshairGlyph + 1, 0, 0, 0, 0xffff, 0xffff, 0xffff);
        xcb_close_font(connection_, font);

        // The keyboard first: once the pointer is taken, Escape works too.
        Reply<xcb_grab_keyboard_reply_t> keyboard(
            xcb_grab_keyboard_reply(connection_,
                                    xcb_grab_keyboard(connection_, 0, root, XCB_CURRENT_TIME,
                                                      XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
                                    nullptr));
        if (!keyboard || keyboard->status != XCB_GRAB_STATUS_SUCCESS) {
            error = "another program holds the keyboard; try again";
            return false;
        }
        keyboardGrabbed_ = true;
        const uint16_t events = XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE;
        Reply<xcb_grab_pointer_reply_t> pointer(xcb_grab_pointer_reply(
            connection_,
            xcb_grab_pointer(connection_, 0, root, events, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC,
                             XCB_WINDOW_NONE, cursor_, XCB_CURRENT_TIME),
            nullptr));
        if (!pointer || pointer->status != XCB_GRAB_STATUS_SUCCESS) {
            error = "another program holds the pointer; try again";
            return false;
        }
        pointerGrabbed_ = true;
        return true;
    }

    // Ends the grabs before the clicked window is looked at.
    void Release() {
        xcb_ungrab_keyboard(connection_, XCB_CURRENT_TIME);
        xcb_ungrab_pointer(connection_, XCB_CURRENT_TIME);
        xcb_flush(connection_);
        keyboardGrabbed_ = false;
        pointerGrabbed_ = false;
    }

private:
    xcb_connection_t* connection_;
    xcb_cursor_t cursor_ = XCB_CURSOR_NONE;
    bool pointerGrabbed_ = false;
    bool keyboardGrabbed_ = false;
};

std::vector<xcb_keycode_t> EscapeKeycodes(xcb_connection_t* connection) {
    const xcb_setup_t* setup = xcb_get_setup(connection);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    Reply<xcb_get_keyboard_mapping_reply_t> mapping(xcb_get_keyboard_mapping_reply(
        connection,
        xcb_get_keyboard_mapping(connection, setup->min_keycode, static_cast<uint8_t>(count)),
        nullptr));
    std::vector<xcb_keycode_t> codes;
    if (!mapping || mapping->keysyms_per_keycode == 0) {
        return codes;
    }
    const xcb_keysym_t* keysyms = xcb_get_keyboard_mapping_keysyms(mapping.get());
    const int total = xcb_get_keyboard_mapping_keysyms_length(mapping.get());
    for (int i = 0; i < total; ++i) {
        if (keysyms[i] == kEscapeKeysym) {
            codes.push_back(
                static_cast<xcb_keycode_t>(setup->min_keycode + i / mapping->keysyms_per_keycode));
        }
    }
    return codes;
}

// The window itself when it has WM_CLASS, else the first one below it that
// has, breadth first: a window manager's frame holds the client.
xcb_window_t ClientWindow(xcb_connection_t* connection, xcb_window_t top) {
    std::deque<std::pair<xcb_window_t, int>> queue{{top, 0}};
    size_t searched = 0;
    while (!queue.empty() && searched < kMaxWindowsSearched) {
        const auto [window, depth] = queue.front();
        queue.pop_front();
        ++searched;
        if (HasClass(connection, window)) {
            return window;
        }
        if (depth >= kMaxClientDepth) {
            continue;
        }
        Reply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(connection, xcb_query_tree(connection, window), nullptr));
        if (!tree) {
            continue;
        }
        const xcb_window_t* children = xcb_query_tree_children(tree.get());
        const int count = xcb_query_tree_children_length(tree.get());
        for (int i = 0; i < count; ++i) {
            queue.emplace_back(children[i], depth + 1);
        }
    }
    return top;
}

}  // namespace

std::optional<X11WindowIdentity> PickWindow(std::string& error, int cancelFd,
                                            const std::function<void()>& grabbed) {
    int screenNumber = 0;
    xcb_connection_t* connection = Connect(screenNumber, error);
    if (connection == nullptr) {
        return std::nullopt;
    }
    PickSession session(connection);
    const xcb_screen_t* screen = ScreenOf(connection, screenNumber);
    if (screen == nullptr) {
        error = "the X display did not answer";
        return std::nullopt;
    }
    const std::vector<xcb_keycode_t> escapeCodes = EscapeKeycodes(connection);
    if (!session.Grab(screen->root, error)) {
        return std::nullopt;
    }
    xcb_flush(connection);
    if (grabbed) {
        grabbed();
    }

    // The press names the window; the pick ends once every button is up
    // again, so that the release does not reach the window either.
    xcb_window_t picked = XCB_WINDOW_NONE;
    bool pressed = false;
    int buttonsDown = 0;
    const int fd = xcb_get_file_descriptor(connection);
    for (;;) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) {
            const uint8_t type = event->response_type & 0x7f;
            if (type == XCB_BUTTON_PRESS) {
                const auto* press = reinterpret_cast<xcb_button_press_event_t*>(event);
                if (!pressed) {
                    picked = press->child;
                    pressed = true;
                }
                ++buttonsDown;
            } else if (type == XCB_BUTTON_RELEASE && buttonsDown > 0) {
                --buttonsDown;
            } else if (type == XCB_KEY_PRESS && !pressed) {
                const auto* key = reinterpret_cast<xcb_key_press_event_t*>(event);
                for (const xcb_keycode_t code : escapeCodes) {
                    if (key->detail == code) {
                        std::free(event);
                        error = "no window was picked (Escape)";
                        return std::nullopt;
                    }
                }
            }
            std::free(event);
        }
        if (xcb_connection_has_error(connection)) {
            error = "the X display closed the connection";
            return std::nullopt;
        }
        if (pressed && buttonsDown == 0) {
            break;
        }
        pollfd fds[2] = {{fd, POLLIN, 0}, {cancelFd, POLLIN, 0}};
        const int ready = ::poll(fds, cancelFd >= 0 ? 2 : 1, -1);
        if (ready < 0 && errno != EINTR) {
            error = std::string("waiting for the click failed: ") + std::strerror(errno);
            return std::nullopt;
        }
        if (cancelFd >= 0 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            error = "no window was picked (cancelled)";
            return std::nullopt;
        }
    }
    session.Release();
    if (picked == XCB_WINDOW_NONE) {
        error = "the click was on no window";
        return std::nullopt;
    }
    X11WindowIdentity identity =
        ReadIdentity(connection, ClientWindow(connection, picked), IdentityAtoms(connection));
    if (identity.program.empty() && identity.instance.empty() && identity.windowClass.empty()) {
        error = "the window clicked names neither its program nor its class";
        return std::nullopt;
    }
    return identity;
}
