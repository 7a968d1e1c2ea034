#pragma once

#include <memory>

#include "platform/keymap_source.h"

struct wl_display;
struct wl_keyboard;
struct wl_registry;
struct wl_seat;
struct xkb_context;
struct xkb_keymap;

// The keymap a Wayland compositor gives its clients' keyboards, on a
// connection of our own: Qt's Wayland platform keeps its keymap to itself.
// The compositor sends it again whenever its layouts change, and that notice
// is what ReadChanges() reads. The active layout is told only to a client
// whose surface has the keyboard: this connection has none, so it answers for
// the layout the compositor last named, the first one until then.
class WaylandKeymap final : public KeymapSource {
public:
    // nullptr when no compositor answers (no WAYLAND_DISPLAY, a dead socket).
    // `displayName` as wl_display_connect takes it: nullptr = WAYLAND_DISPLAY.
    static std::unique_ptr<WaylandKeymap> Connect(const char* displayName = nullptr);
    ~WaylandKeymap() override;
    WaylandKeymap(const WaylandKeymap&) = delete;
    WaylandKeymap& operator=(const WaylandKeymap&) = delete;

    uint32_t KeysymAt(uint16_t evdevCode) override;
    int ChangeDescriptor() const override;
    Update ReadChanges() override;

    // Wayland's listeners, which are C callbacks.
    void OnGlobal(wl_registry* registry, uint32_t name, const char* interface, uint32_t version);
    void OnCapabilities(uint32_t capabilities);
    void OnKeymap(uint32_t format, int fd, uint32_t size);
    void OnLayout(uint32_t group);

private:
    WaylandKeymap() = default;
    void DropKeyboard();
    void Disconnect();

    wl_display* display_ = nullptr;
    wl_registry* registry_ = nullptr;
    wl_seat* seat_ = nullptr;
    wl_keyboard* keyboard_ = nullptr;
    xkb_context* context_ = nullptr;
    xkb_keymap* keymap_ = nullptr;
    uint32_t layout_ = 0;
    bool changed_ = false;
};
