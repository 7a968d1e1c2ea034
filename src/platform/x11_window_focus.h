#pragma once

#include <cstdint>

struct xcb_connection_t;

// Whether `ownWindow`, a top-level window just shown, may give itself the
// keyboard focus: only where no window manager runs (none owns WM_S<n> or
// names itself in _NET_SUPPORTING_WM_CHECK on any screen), no window holds
// the focus (it is nowhere, follows the pointer as when the server started,
// or fell back to the root when the window that had it went), and the pointer
// is over no other window, which would get the keys. Where a window manager
// runs, giving the focus is its choice, with its rules against windows that
// steal it.
bool KeyboardFocusUnclaimed(xcb_connection_t* connection, uint32_t ownWindow);
