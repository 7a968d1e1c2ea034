#pragma once

#include <memory>
#include <optional>
#include <string>

// The window in front, whichever desktop reports it: X11, sway or i3 over
// their IPC socket, KWin through a script, GNOME Shell through an extension.
// Each source follows events; none polls.

// What a desktop says about its active window, for matching rules and
// nothing else.
struct ActiveWindow {
    std::string program;      // /proc/PID/comm of the window's process; empty when unknown
    std::string instance;     // X11: WM_CLASS, first string; empty on Wayland
    std::string windowClass;  // X11: WM_CLASS, second string; Wayland: the app id
    long pid = 0;             // as the desktop reported it; 0 = unknown

    bool operator==(const ActiveWindow&) const = default;
    bool Empty() const { return program.empty() && instance.empty() && windowClass.empty(); }
};

// One desktop's way of following the active window. Single-threaded: the
// caller polls Fd() and calls ReadChanges when it is readable.
class WindowSource {
public:
    virtual ~WindowSource() = default;

    // Connects and reads the active window. false with the reason in `error`.
    virtual bool Start(std::string& error) = 0;
    // The descriptor to poll; -1 before Start.
    virtual int Fd() const = 0;
    // Handles everything waiting, without blocking. The active window when it
    // differs from the one last reported; nothing otherwise.
    virtual std::optional<ActiveWindow> ReadChanges() = 0;
    // The active window now; empty when none is.
    virtual ActiveWindow Current() const = 0;
    // The connection was lost: nothing more will come.
    virtual bool Broken() const = 0;
    // Whose windows these are, for "windows followed through NAME".
    virtual std::string Name() const = 0;
};

// The session's variables that say which desktop runs.
struct SessionEnvironment {
    std::string currentDesktop;  // XDG_CURRENT_DESKTOP, e.g. "KDE" or "ubuntu:GNOME"
    std::string sessionType;     // XDG_SESSION_TYPE
    std::string swaySocket;      // SWAYSOCK
    std::string i3Socket;        // I3SOCK
    std::string waylandDisplay;  // WAYLAND_DISPLAY
    std::string display;         // DISPLAY

    static SessionEnvironment OfThisProcess();
};

enum class WindowSourceKind { None, X11, Sway, I3, KWin, GnomeShell };

struct WindowSourceChoice {
    WindowSourceKind kind = WindowSourceKind::None;
    // With None: why no window can be followed. Otherwise what the user
    // should know of it (only XWayland's windows, say); often empty.
    std::string note;
};

// Which source serves this session: the desktop's own where it runs one,
// else X11 where there is a display.
WindowSourceChoice ChooseWindowSource(const SessionEnvironment& session);

// How the windows are followed, for people: "followed through sway",
// "followed on X11; ..." with the note, or "cannot be followed: why".
std::string WindowsFollowedText(const WindowSourceChoice& choice);

// The source of that kind for the session; nullptr for None. `forPicking`:
// for "Pick a window", while the agent may follow the same desktop.
std::unique_ptr<WindowSource> MakeWindowSource(WindowSourceKind kind,
                                               const SessionEnvironment& session,
                                               bool forPicking = false);
