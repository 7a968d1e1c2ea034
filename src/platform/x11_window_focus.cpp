#include "platform/x11_window_focus.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "platform/xcb_reply.h"

namespace {

// The ICCCM manager selection WM_S<n>, held by every window manager of today.
bool ScreenHasManagerSelection(xcb_connection_t* connection, int screen) {
    const xcb_atom_t selection =
        InternAtom(connection, ("WM_S" + std::to_string(screen)).c_str(), true);
    if (selection == XCB_ATOM_NONE) {
        return false;  // never interned: nobody ever owned it
    }
    const auto owner = TakeReply(xcb_get_selection_owner_reply(
        connection, xcb_get_selection_owner(connection, selection), nullptr));
    return owner && owner->owner != XCB_NONE;
}

// The EWMH sign: the root names a window of the manager's.
bool ScreenNamesManager(xcb_connection_t* connection, xcb_window_t root) {
    const xcb_atom_t check = InternAtom(connection, "_NET_SUPPORTING_WM_CHECK", true);
    if (check == XCB_ATOM_NONE) {
        return false;
    }
    const auto property = TakeReply(xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, root, check, XCB_ATOM_WINDOW, 0, 1), nullptr));
    return property && xcb_get_property_value_length(property.get()) > 0;
}

bool IsRoot(xcb_connection_t* connection, xcb_window_t window) {
    for (auto roots = xcb_setup_roots_iterator(xcb_get_setup(connection)); roots.rem;
         xcb_screen_next(&roots)) {
        if (roots.data->root == window) {
            return true;
        }
    }
    return false;
}

bool WindowManagerRuns(xcb_connection_t* connection) {
    int screen = 0;
    for (auto roots = xcb_setup_roots_iterator(xcb_get_setup(connection)); roots.rem;
         xcb_screen_next(&roots), ++screen) {
        if (ScreenHasManagerSelection(connection, screen) ||
            ScreenNamesManager(connection, roots.data->root)) {
            return true;
        }
    }
    return false;
}

// The top-level window under the pointer; none over the bare root.
xcb_window_t WindowUnderPointer(xcb_connection_t* connection) {
    auto query = [connection](xcb_window_t root) {
        return TakeReply(
            xcb_query_pointer_reply(connection, xcb_query_pointer(connection, root), nullptr));
    };
    auto pointer = query(xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root);
    if (pointer && !pointer->same_screen) {
        pointer = query(pointer->root);
    }
    return pointer ? pointer->child : XCB_NONE;
}

}  // namespace

bool KeyboardFocusUnclaimed(xcb_connection_t* connection, uint32_t ownWindow) {
    if (!connection || xcb_connection_has_error(connection) || WindowManagerRuns(connection)) {
        return false;
    }
    const auto focus =
        TakeReply(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    if (!focus) {
        return false;
    }
    if (focus->focus == XCB_NONE) {
        return true;  // keys go nowhere
    }
    // Following the pointer, as when the server started, or on a root, where
    // it falls back when the window that had it goes, the focus gives the keys
    // to the window under the pointer: another application's may be typed into.
    if (focus->focus != XCB_INPUT_FOCUS_POINTER_ROOT && !IsRoot(connection, focus->focus)) {
        return false;  // a window has it
    }
    const xcb_window_t underPointer = WindowUnderPointer(connection);
    return underPointer == XCB_NONE || underPointer == ownWindow;
}
