#include "pages/button_mapping/key_source_xinput.h"

#if KESTRINE_HAVE_XI

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <fcntl.h>

#include <poll.h>
#include <unistd.h>
#include <cerrno>

#include "settings/key_table.h"

namespace {

bool HasRawEventsForAll(Display* display, int& opcode) {
    int firstEvent = 0;
    int firstError = 0;
    if (!XQueryExtension(display, "XInputExtension", &opcode, &firstEvent, &firstError)) {
        return false;
    }
    // From 2.1 on, raw events reach every client that selects them, grab or not.
    int major = 2;
    int minor = 2;
    if (XIQueryVersion(display, &major, &minor) != Success) {
        return false;
    }
    return major > 2 || (major == 2 && minor >= 1);
}

void SelectRawKeys(Display* display) {
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(bits, XI_RawKeyPress);
    XISetMask(bits, XI_RawKeyRelease);
    XIEventMask mask;
    mask.deviceid = XIAllMasterDevices;
    mask.mask_len = sizeof bits;
    mask.mask = bits;
    XISelectEvents(display, DefaultRootWindow(display), &mask, 1);
    XFlush(display);
}

// What the key gives in the current layout group without modifiers.
uint32_t LayoutKeysymOf(Display* display, unsigned xKeycode) {
    XkbStateRec state;
    const int group = XkbGetState(display, XkbUseCoreKbd, &state) == Success ? state.group : 0;
    return static_cast<uint32_t>(
        XkbKeycodeToKeysym(display, static_cast<KeyCode>(xKeycode), group, 0));
}

}  // namespace

XInputKeySource::~XInputKeySource() {
    if (reader_.joinable()) {
        const char stop = 1;
        [[maybe_unused]] ssize_t written = write(wakePipe_[1], &stop, 1);
        reader_.join();
    }
    for (int& fd : wakePipe_) {
        if (fd >= 0) {
            close(fd);
            fd = -1;
        }
    }
    if (display_) {
        XCloseDisplay(display_);
    }
}

bool XInputKeySource::Start(Sink sink) {
    if (display_) {
        return false;
    }
    display_ = XOpenDisplay(nullptr);
    if (!display_) {
        return false;
    }
    if (!HasRawEventsForAll(display_, opcode_) || pipe2(wakePipe_, O_CLOEXEC) != 0) {
        XCloseDisplay(display_);
        display_ = nullptr;
        return false;
    }
    SelectRawKeys(display_);
    sink_ = std::move(sink);
    // From here on only the reader thread uses the connection, until it is joined.
    reader_ = std::thread([this] { Run(); });
    return true;
}

void XInputKeySource::Run() {
    pollfd fds[2] = {{ConnectionNumber(display_), POLLIN, 0}, {wakePipe_[0], POLLIN, 0}};
    for (;;) {
        HandlePendingEvents();
        if (poll(fds, 2, -1) < 0 && errno != EINTR) {
            return;
        }
        if (fds[1].revents != 0 || (fds[0].revents & (POLLERR | POLLHUP)) != 0) {
            return;
        }
    }
}

void XInputKeySource::HandlePendingEvents() {
    while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        if (event.type == MappingNotify) {
            XRefreshKeyboardMapping(&event.xmapping);
            continue;
        }
        XGenericEventCookie* cookie = &event.xcookie;
        if (cookie->type != GenericEvent || cookie->extension != opcode_ ||
            !XGetEventData(display_, cookie)) {
            continue;
        }
        if (cookie->evtype == XI_RawKeyPress || cookie->evtype == XI_RawKeyRelease) {
            const auto* raw = static_cast<const XIRawEvent*>(cookie->data);
            const auto xKeycode = static_cast<unsigned>(raw->detail);
            // The key by its position; the layout's symbols play no part.
            sink_({XKeycodeToVirtualKey(xKeycode), cookie->evtype == XI_RawKeyRelease,
                   LayoutKeysymOf(display_, xKeycode)});
        }
        XFreeEventData(display_, cookie);
    }
}

#endif
