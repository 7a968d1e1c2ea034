#include "platform/x11_keymap.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

namespace {

// Evdev code + 8: the X server's keycodes.
constexpr unsigned kXKeycodeOffset = 8;
constexpr unsigned kHighestXKeycode = 255;

bool WatchLayout(Display* display) {
    int opcode = 0;
    int event = 0;
    int error = 0;
    int major = XkbMajorVersion;
    int minor = XkbMinorVersion;
    if (!XkbQueryExtension(display, &opcode, &event, &error, &major, &minor)) {
        return false;
    }
    XkbSelectEvents(display, XkbUseCoreKbd, XkbNewKeyboardNotifyMask | XkbMapNotifyMask,
                    XkbNewKeyboardNotifyMask | XkbMapNotifyMask);
    XkbSelectEventDetails(display, XkbUseCoreKbd, XkbStateNotify, XkbGroupStateMask,
                          XkbGroupStateMask);
    XFlush(display);
    return true;
}

}  // namespace

std::unique_ptr<X11Keymap> X11Keymap::Open() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        return nullptr;
    }
    if (!WatchLayout(display)) {
        XCloseDisplay(display);
        return nullptr;
    }
    return std::unique_ptr<X11Keymap>(new X11Keymap(display));
}

X11Keymap::~X11Keymap() {
    XCloseDisplay(display_);
}

uint32_t X11Keymap::KeysymAt(uint16_t evdevCode) {
    const unsigned keycode = evdevCode + kXKeycodeOffset;
    if (keycode > kHighestXKeycode) {
        return 0;
    }
    XkbStateRec state;
    if (XkbGetState(display_, XkbUseCoreKbd, &state) != Success) {
        return 0;
    }
    XkbDescPtr keymap = XkbGetMap(display_, XkbKeyTypesMask | XkbKeySymsMask, XkbUseCoreKbd);
    if (!keymap) {
        return 0;
    }
    uint32_t keysym = 0;
    if (keycode >= keymap->min_key_code && keycode <= keymap->max_key_code) {
        const int groups = XkbKeyNumGroups(keymap, keycode);
        if (groups > 0) {
            const int group = state.group < groups ? state.group : 0;
            keysym = static_cast<uint32_t>(XkbKeySymEntry(keymap, keycode, 0, group));
        }
    }
    XkbFreeKeyboard(keymap, 0, True);
    return keysym;
}

int X11Keymap::ChangeDescriptor() const {
    return ConnectionNumber(display_);
}

KeymapSource::Update X11Keymap::ReadChanges() {
    // A question asked since may have read a notice into the queue, where the
    // descriptor no longer shows it: the queue is what counts.
    bool any = false;
    while (XPending(display_) > 0) {
        XEvent notice;
        XNextEvent(display_, &notice);
        any = true;
    }
    return any ? Update::Changed : Update::Unchanged;
}
