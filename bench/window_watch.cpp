#include "window_watch.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>

namespace {

// A window may be gone by the time its title is asked for: not an error here.
int IgnoreErrors(Display*, XErrorEvent*) {
    return 0;
}

}  // namespace

WindowWatch::WindowWatch() : display_(XOpenDisplay(nullptr)) {
    if (!display_)
        return;
    XSetErrorHandler(IgnoreErrors);
    XSelectInput(display_, DefaultRootWindow(display_), SubstructureNotifyMask);
    XSync(display_, False);
}

WindowWatch::~WindowWatch() {
    if (display_)
        XCloseDisplay(display_);
}

void WindowWatch::Clear() {
    XSync(display_, False);
    XEvent event;
    while (XPending(display_) > 0)
        XNextEvent(display_, &event);
}

std::string WindowWatch::TitleOf(unsigned long window) {
    // Qt sets both; the EWMH one holds UTF-8.
    for (const char* name : {"_NET_WM_NAME", "WM_NAME"}) {
        const Atom property = XInternAtom(display_, name, False);
        Atom type = None;
        int format = 0;
        unsigned long count = 0;
        unsigned long left = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(display_, window, property, 0, 1024, False, AnyPropertyType, &type,
                               &format, &count, &left, &data) == Success &&
            data) {
            std::string title(reinterpret_cast<const char*>(data), count);
            XFree(data);
            if (!title.empty())
                return title;
        }
    }
    return {};
}

std::optional<std::chrono::steady_clock::time_point> WindowWatch::WaitForMap(
    const std::string& title, std::chrono::milliseconds limit) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + limit;
    for (;;) {
        while (XPending(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
            if (event.type != MapNotify)
                continue;
            const Clock::time_point mappedAt = Clock::now();
            if (TitleOf(event.xmap.window) == title)
                return mappedAt;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return std::nullopt;
        pollfd readable{ConnectionNumber(display_), POLLIN, 0};
        poll(&readable, 1, static_cast<int>(left.count()));
    }
}
