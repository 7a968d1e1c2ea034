#pragma once

#include <cstdint>
#include <span>

// Keys by physical position. A mouse button bound to a key sends a USB
// keyboard usage, which names a key position, not a character: the computer
// then types whatever its layout puts there. So a pressed key is taken by its
// hardware code (the Linux evdev code) and named by the Windows virtual-key
// code that a US-layout keyboard gives at that position; the usage follows
// from the virtual key (VirtualKeyToUsage).

// The virtual-key code of the key at an evdev position; 0 for a position the
// table does not know. The keypad's digit keys and its decimal key follow
// NumLock: with it off they are the navigation keys printed under the digits.
uint16_t EvdevToVirtualKey(uint16_t evdevCode, bool numLockOn);

// X key codes, and the native scan codes Qt reports on X11 and Wayland, are
// the evdev code plus 8.
inline constexpr uint32_t kXKeycodeOffset = 8;
uint16_t XKeycodeToVirtualKey(uint32_t xKeycode, bool numLockOn);

// Whether NumLock changes what the key at this X key code means.
bool XKeycodeFollowsNumLock(uint32_t xKeycode);

enum class KeyGroup : uint8_t {
    Letters,
    Digits,
    FunctionKeys,
    EditingAndNavigation,
    Punctuation,
    Keypad,
    Modifiers,
    MediaAndBrowser,
    International,
};

// One key a mouse button can be bound to, as the key list offers it.
struct AssignableKey {
    uint16_t virtualKey;
    KeyGroup group;
    const char* listName;  // what the list shows; the button shows KeyName
};

// Every key a mouse button can send, grouped, in list order.
std::span<const AssignableKey> AssignableKeys();
const char* KeyGroupName(KeyGroup group);

// false for a key that has no name, or whose usage would make the mouse send
// another key than the one named (Clear, Help, Select, ...).
bool KeyCanBeAssigned(uint16_t virtualKey);
