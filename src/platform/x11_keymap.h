#pragma once

#include <memory>

#include "platform/keymap_source.h"

struct _XDisplay;

// The X server's keymap and active group through XKB, on a connection of our
// own. Under XWayland the server follows the compositor's keymap. Each
// question asks the server afresh; its notices of a new keymap or another
// group are what ReadChanges() reads (a modifier's press is none).
class X11Keymap final : public KeymapSource {
public:
    // nullptr without an X server or its XKB extension.
    static std::unique_ptr<X11Keymap> Open();
    ~X11Keymap() override;
    X11Keymap(const X11Keymap&) = delete;
    X11Keymap& operator=(const X11Keymap&) = delete;

    uint32_t KeysymAt(uint16_t evdevCode) override;
    int ChangeDescriptor() const override;
    Update ReadChanges() override;

private:
    explicit X11Keymap(_XDisplay* display) : display_(display) {}

    _XDisplay* display_;
};
