#pragma once

#include <functional>
#include <optional>
#include <string>

// The windows of an X11 display as the agent and the rules dialog need them:
// which one is active (followed by events, never polled) and which one the
// user clicks. xcb only, so the agent links no toolkit.

// What a window says about itself, for matching rules and nothing else: a
// window of another machine or namespace can name any pid or class.
struct X11WindowIdentity {
    std::string program;      // /proc/PID/comm of _NET_WM_PID; empty when unknown
    std::string instance;     // WM_CLASS, first string
    std::string windowClass;  // WM_CLASS, second string

    bool operator==(const X11WindowIdentity&) const = default;
};

struct xcb_connection_t;

// Follows the root window's _NET_ACTIVE_WINDOW, which the window manager keeps
// current. Single-threaded: the caller polls Fd() and calls ReadChanges when
// it is readable.
class ActiveWindowWatcher {
public:
    ActiveWindowWatcher() = default;
    ~ActiveWindowWatcher();
    ActiveWindowWatcher(const ActiveWindowWatcher&) = delete;
    ActiveWindowWatcher& operator=(const ActiveWindowWatcher&) = delete;

    // Connects to $DISPLAY and reads the active window. false with the reason
    // in `error` when there is no display or it cannot be reached.
    bool Start(std::string& error);
    // The connection's file descriptor for poll(); -1 before Start.
    int Fd() const;
    // Handles every event waiting, without blocking. The identity of the
    // active window when it differs from the one before; nothing otherwise
    // (the property rewritten with the same window, or another window of the
    // same program and class).
    std::optional<X11WindowIdentity> ReadChanges();
    // The active window's identity; empty when no window is active.
    X11WindowIdentity Current() const { return current_; }
    // The X connection was lost (the display closed): nothing more will come.
    bool Broken() const { return broken_; }

private:
    // The window _NET_ACTIVE_WINDOW names now; 0 = none.
    unsigned ReadActiveWindow();
    // Takes every event waiting, read or queued; whether the active window changed.
    bool TakeEvents();

    xcb_connection_t* connection_ = nullptr;
    unsigned root_ = 0;
    unsigned activeAtom_ = 0;
    unsigned pidAtom_ = 0;
    unsigned activeWindow_ = 0;
    X11WindowIdentity current_;
    X11WindowIdentity reported_;  // what ReadChanges last returned (or Start found)
    bool broken_ = false;
};

// Lets the user click a window on $DISPLAY: grabs the pointer with a
// crosshair cursor and the keyboard, waits for a button press and returns the
// identity of the application window under it (the root's child there, or the
// first window with WM_CLASS below it). The click goes to no window.
// Nothing, with the reason in `error`, on Escape, a click on no window, a grab
// another program holds, or when `cancelFd` (>= 0) becomes readable.
// `grabbed`, when given, is called once pointer and keyboard are held: from
// then on a click or Escape counts (a dialog can say "click a window" then).
std::optional<X11WindowIdentity> PickWindow(std::string& error, int cancelFd = -1,
                                            const std::function<void()>& grabbed = {});
