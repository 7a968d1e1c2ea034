// Stand-ins for the X11 runs, where Xvfb has no window manager:
//   x11_test_window window INSTANCE CLASS [X Y]
//     maps a 100x100 window with that WM_CLASS and its own _NET_WM_PID,
//     prints the window's id and stays until the display closes or it is killed.
//   x11_test_window manager
//     does the one thing of a window manager the agent sees: a request to
//     activate a window (xdotool windowactivate) sets the root's
//     _NET_ACTIVE_WINDOW. Prints "ready" once it listens.
#include <unistd.h>
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

xcb_atom_t Atom(xcb_connection_t* connection, const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, std::strlen(name), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : 0;
    std::free(reply);
    return atom;
}

int Window(xcb_connection_t* connection, xcb_screen_t* screen, const std::string& instance,
           const std::string& windowClass, int16_t x, int16_t y) {
    const xcb_window_t window = xcb_generate_id(connection);
    const uint32_t values[] = {screen->white_pixel};
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root, x, y, 100, 100, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_BACK_PIXEL,
                      values);
    const std::string wmClass = instance + '\0' + windowClass + '\0';
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS,
                        XCB_ATOM_STRING, 8, wmClass.size(), wmClass.data());
    const uint32_t pid = static_cast<uint32_t>(::getpid());
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, Atom(connection, "_NET_WM_PID"),
                        XCB_ATOM_CARDINAL, 32, 1, &pid);
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME,
                        XCB_ATOM_STRING, 8, windowClass.size(), windowClass.data());
    xcb_map_window(connection, window);
    xcb_flush(connection);
    std::printf("%u\n", window);
    std::fflush(stdout);
    while (xcb_generic_event_t* event = xcb_wait_for_event(connection)) {
        std::free(event);
    }
    return 0;
}

int Manager(xcb_connection_t* connection, xcb_screen_t* screen) {
    const xcb_atom_t active = Atom(connection, "_NET_ACTIVE_WINDOW");
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, screen->root,
                        Atom(connection, "_NET_SUPPORTED"), XCB_ATOM_ATOM, 32, 1, &active);
    // Activation requests are sent to the root for SubstructureNotify and
    // SubstructureRedirect; the first is enough to hear them, and leaves
    // mapping to the server.
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection, screen->root, XCB_CW_EVENT_MASK, &mask);
    xcb_get_input_focus_reply_t* sync =
        xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr);
    std::free(sync);
    std::printf("ready\n");
    std::fflush(stdout);
    while (xcb_generic_event_t* event = xcb_wait_for_event(connection)) {
        if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE) {
            const auto* message = reinterpret_cast<xcb_client_message_event_t*>(event);
            if (message->type == active) {
                const xcb_window_t window = message->window;
                xcb_change_property(connection, XCB_PROP_MODE_REPLACE, screen->root, active,
                                    XCB_ATOM_WINDOW, 32, 1, &window);
                xcb_flush(connection);
            }
        }
        std::free(event);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection)) {
        std::fprintf(stderr, "x11_test_window: no X display\n");
        return 1;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && it.rem > 0; ++i) {
        xcb_screen_next(&it);
    }
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "window" && (argc == 4 || argc == 6)) {
        const int16_t x = argc == 6 ? static_cast<int16_t>(std::atoi(argv[4])) : 0;
        const int16_t y = argc == 6 ? static_cast<int16_t>(std::atoi(argv[5])) : 0;
        return Window(connection, it.data, argv[2], argv[3], x, y);
    }
    if (mode == "manager" && argc == 2) {
        return Manager(connection, it.data);
    }
    std::fprintf(stderr,
                 "usage: x11_test_window window INSTANCE CLASS [X Y] | x11_test_window manager\n");
    return 2;
}
