#include "platform/window_source.h"

#include <cstdlib>

#include "platform/bus_window_source.h"
#include "platform/sway_window_source.h"
#include "platform/x11_window_source.h"

namespace {

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// "ubuntu:GNOME" names GNOME: the list is colon-separated.
bool DesktopIs(const std::string& list, const std::string& name) {
    size_t start = 0;
    while (start <= list.size()) {
        const size_t end = std::min(list.find(':', start), list.size());
        if (list.compare(start, end - start, name) == 0) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

// Why the native windows of a Wayland desktop without a source here cannot be
// seen. wlroots desktops (Hyprland, river, labwc, Wayfire...) would tell
// through wlr-foreign-toplevel-management, but no Debian package ships that
// protocol's description to build a client from.
std::string WhyNotFollowed(const SessionEnvironment& session) {
    const std::string desktop = session.currentDesktop.empty()
                                    ? "this Wayland desktop"
                                    : session.currentDesktop + " (Wayland)";
    return desktop +
           " does not tell this program its native windows (only sway, KDE Plasma and GNOME "
           "do; wlr-foreign-toplevel-management, which wlroots desktops offer, is not "
           "supported: no Debian package ships its description)";
}

}  // namespace

SessionEnvironment SessionEnvironment::OfThisProcess() {
    return {Variable("XDG_CURRENT_DESKTOP"),
            Variable("XDG_SESSION_TYPE"),
            Variable("SWAYSOCK"),
            Variable("I3SOCK"),
            Variable("WAYLAND_DISPLAY"),
            Variable("DISPLAY")};
}

WindowSourceChoice ChooseWindowSource(const SessionEnvironment& session) {
    if (!session.swaySocket.empty()) {
        return {WindowSourceKind::Sway, {}};
    }
    const bool wayland = !session.waylandDisplay.empty() || session.sessionType == "wayland";
    if (wayland && DesktopIs(session.currentDesktop, "KDE")) {
        return {WindowSourceKind::KWin, {}};
    }
    if (wayland && DesktopIs(session.currentDesktop, "GNOME")) {
        return {WindowSourceKind::GnomeShell, {}};
    }
    if (wayland) {
        const std::string why = WhyNotFollowed(session);
        if (session.display.empty()) {
            return {WindowSourceKind::None, why};
        }
        return {WindowSourceKind::X11,
                "only the windows of X11 programs (XWayland) can be seen: " + why};
    }
    if (!session.i3Socket.empty()) {
        return {WindowSourceKind::I3, {}};
    }
    if (!session.display.empty()) {
        return {WindowSourceKind::X11, {}};
    }
    return {WindowSourceKind::None,
            "no desktop session (neither WAYLAND_DISPLAY nor DISPLAY is set)"};
}

std::string WindowsFollowedText(const WindowSourceChoice& choice) {
    std::string text;
    switch (choice.kind) {
        case WindowSourceKind::None:
            return "cannot be followed: " + choice.note;
        case WindowSourceKind::X11:
            text = "followed on X11";
            break;
        case WindowSourceKind::Sway:
            text = "followed through sway";
            break;
        case WindowSourceKind::I3:
            text = "followed through i3";
            break;
        case WindowSourceKind::KWin:
            text = "followed through the KWin script";
            break;
        case WindowSourceKind::GnomeShell:
            text = "followed through the GNOME Shell extension";
            break;
    }
    return choice.note.empty() ? text : text + "; " + choice.note;
}

std::unique_ptr<WindowSource> MakeWindowSource(WindowSourceKind kind,
                                               const SessionEnvironment& session, bool forPicking) {
    switch (kind) {
        case WindowSourceKind::X11:
            return std::make_unique<X11WindowSource>();
        case WindowSourceKind::Sway:
            return std::make_unique<SwayWindowSource>(session.swaySocket, "sway");
        case WindowSourceKind::I3:
            return std::make_unique<SwayWindowSource>(session.i3Socket, "i3");
        case WindowSourceKind::KWin:
            return std::make_unique<BusWindowSource>(BusWindowSource::Desktop::KWin, forPicking);
        case WindowSourceKind::GnomeShell:
            return std::make_unique<BusWindowSource>(BusWindowSource::Desktop::GnomeShell,
                                                     forPicking);
        case WindowSourceKind::None:
            break;
    }
    return nullptr;
}
