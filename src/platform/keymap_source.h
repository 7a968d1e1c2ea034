#pragma once

#include <cstdint>

// The keyboard layout the desktop uses now, asked by the window server's
// keymap: X11 (and XWayland) through XKB, a Wayland compositor through the
// keymap it sends its clients. Each reads on its own connection; the caller
// watches ChangeDescriptor() and calls ReadChanges() when it is readable, so
// a new keymap or layout is seen without polling.
class KeymapSource {
public:
    virtual ~KeymapSource() = default;

    // The keysym the active layout gives the key at an evdev position without
    // modifiers; 0 = unknown (no keymap yet, no such key).
    virtual uint32_t KeysymAt(uint16_t evdevCode) = 0;
    // Readable when the server may have sent a change; -1 = none to watch.
    virtual int ChangeDescriptor() const = 0;
    // Reads what arrived without blocking. Changed: the keymap or the active
    // layout may differ from before. Closed: the connection is gone; the
    // source answers 0 from now on and its descriptor is no longer to be watched.
    enum class Update { Unchanged, Changed, Closed };
    virtual Update ReadChanges() = 0;
};
