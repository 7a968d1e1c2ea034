#include "platform/wayland_keymap.h"

#include <poll.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <cstring>

namespace {

// Evdev code + 8, as on X11: XKB's keycodes.
constexpr uint32_t kXkbKeycodeOffset = 8;
// wl_seat 7 on: the keymap's descriptor may only be mapped private.
constexpr uint32_t kSeatVersion = 7;
constexpr uint32_t kKeyboardReleaseVersion = 3;
// Registry -> seat bound; seat -> its keyboard; keyboard -> its keymap.
constexpr int kRoundTripsToKeymap = 3;

void Global(void* data, wl_registry* registry, uint32_t name, const char* interface,
            uint32_t version) {
    static_cast<WaylandKeymap*>(data)->OnGlobal(registry, name, interface, version);
}
void GlobalRemove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener kRegistryListener = {Global, GlobalRemove};

void Capabilities(void* data, wl_seat*, uint32_t capabilities) {
    static_cast<WaylandKeymap*>(data)->OnCapabilities(capabilities);
}
void SeatName(void*, wl_seat*, const char*) {}
const wl_seat_listener kSeatListener = {Capabilities, SeatName};

void Keymap(void* data, wl_keyboard*, uint32_t format, int fd, uint32_t size) {
    static_cast<WaylandKeymap*>(data)->OnKeymap(format, fd, size);
}
void Enter(void*, wl_keyboard*, uint32_t, wl_surface*, wl_array*) {}
void Leave(void*, wl_keyboard*, uint32_t, wl_surface*) {}
void Key(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t) {}
void Modifiers(void* data, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t group) {
    static_cast<WaylandKeymap*>(data)->OnLayout(group);
}
void RepeatInfo(void*, wl_keyboard*, int32_t, int32_t) {}
const wl_keyboard_listener kKeyboardListener = {Keymap, Enter, Leave, Key, Modifiers, RepeatInfo};

}  // namespace

std::unique_ptr<WaylandKeymap> WaylandKeymap::Connect(const char* displayName) {
    std::unique_ptr<WaylandKeymap> source(new WaylandKeymap);
    source->display_ = wl_display_connect(displayName);
    source->context_ = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (!source->display_ || !source->context_) {
        return nullptr;
    }
    source->registry_ = wl_display_get_registry(source->display_);
    wl_registry_add_listener(source->registry_, &kRegistryListener, source.get());
    for (int trip = 0; trip < kRoundTripsToKeymap; ++trip) {
        if (wl_display_roundtrip(source->display_) < 0) {
            return nullptr;
        }
    }
    return source;
}

WaylandKeymap::~WaylandKeymap() {
    Disconnect();
    if (context_) {
        xkb_context_unref(context_);
    }
}

void WaylandKeymap::Disconnect() {
    DropKeyboard();
    if (seat_) {
        wl_seat_destroy(seat_);
        seat_ = nullptr;
    }
    if (registry_) {
        wl_registry_destroy(registry_);
        registry_ = nullptr;
    }
    if (display_) {
        wl_display_disconnect(display_);
        display_ = nullptr;
    }
}

void WaylandKeymap::DropKeyboard() {
    xkb_keymap_unref(keymap_);
    keymap_ = nullptr;
    if (!keyboard_) {
        return;
    }
    if (wl_keyboard_get_version(keyboard_) >= kKeyboardReleaseVersion) {
        wl_keyboard_release(keyboard_);
    } else {
        wl_keyboard_destroy(keyboard_);
    }
    keyboard_ = nullptr;
}

void WaylandKeymap::OnGlobal(wl_registry* registry, uint32_t name, const char* interface,
                             uint32_t version) {
    // The first seat is the user's keyboard; a second one is rare and has its own.
    if (seat_ || std::strcmp(interface, wl_seat_interface.name) != 0) {
        return;
    }
    seat_ = static_cast<wl_seat*>(
        wl_registry_bind(registry, name, &wl_seat_interface, std::min(version, kSeatVersion)));
    wl_seat_add_listener(seat_, &kSeatListener, this);
}

void WaylandKeymap::OnCapabilities(uint32_t capabilities) {
    const bool hasKeyboard = (capabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
    if (hasKeyboard && !keyboard_) {
        keyboard_ = wl_seat_get_keyboard(seat_);
        wl_keyboard_add_listener(keyboard_, &kKeyboardListener, this);
    } else if (!hasKeyboard && keyboard_) {
        // The last keyboard unplugged: no layout to tell until one comes back.
        DropKeyboard();
        changed_ = true;
    }
}

void WaylandKeymap::OnKeymap(uint32_t format, int fd, uint32_t size) {
    xkb_keymap* keymap = nullptr;
    // A size past the file's end would fault on reading; the text ends with a
    // NUL within it, which is looked for rather than taken on trust.
    struct stat file = {};
    if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 && fstat(fd, &file) == 0 && size > 0 &&
        size <= static_cast<uint64_t>(file.st_size)) {
        void* text = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (text != MAP_FAILED) {
            const char* chars = static_cast<const char*>(text);
            keymap =
                xkb_keymap_new_from_buffer(context_, chars, strnlen(chars, size),
                                           XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
            munmap(text, size);
        }
    }
    close(fd);
    xkb_keymap_unref(keymap_);
    keymap_ = keymap;
    layout_ = 0;
    changed_ = true;
}

void WaylandKeymap::OnLayout(uint32_t group) {
    if (group != layout_) {
        layout_ = group;
        changed_ = true;
    }
}

uint32_t WaylandKeymap::KeysymAt(uint16_t evdevCode) {
    if (!keymap_) {
        return 0;
    }
    const xkb_keycode_t keycode = evdevCode + kXkbKeycodeOffset;
    const xkb_layout_index_t layouts = xkb_keymap_num_layouts_for_key(keymap_, keycode);
    if (layouts == 0) {
        return 0;
    }
    const xkb_layout_index_t layout = layout_ < layouts ? layout_ : 0;
    const xkb_keysym_t* keysyms = nullptr;
    const int count = xkb_keymap_key_get_syms_by_level(keymap_, keycode, layout, 0, &keysyms);
    return count == 1 ? keysyms[0] : 0;
}

int WaylandKeymap::ChangeDescriptor() const {
    return display_ ? wl_display_get_fd(display_) : -1;
}

KeymapSource::Update WaylandKeymap::ReadChanges() {
    if (!display_) {
        return Update::Closed;
    }
    changed_ = false;
    // Reads only what is there: the caller's loop never waits here.
    while (wl_display_prepare_read(display_) != 0) {
        if (wl_display_dispatch_pending(display_) < 0) {
            Disconnect();
            return Update::Closed;
        }
    }
    wl_display_flush(display_);
    pollfd readable = {wl_display_get_fd(display_), POLLIN, 0};
    if (poll(&readable, 1, 0) > 0) {
        if (wl_display_read_events(display_) < 0) {
            Disconnect();
            return Update::Closed;
        }
    } else {
        wl_display_cancel_read(display_);
    }
    if (wl_display_dispatch_pending(display_) < 0) {
        Disconnect();
        return Update::Closed;
    }
    return changed_ ? Update::Changed : Update::Unchanged;
}
