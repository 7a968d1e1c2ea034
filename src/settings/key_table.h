#pragma once

#include <cstdint>
#include <span>

// The keys a mouse button can send. A key action stores a USB HID keyboard
// usage (page 0x07, one byte), which names a key position, not a character:
// the computer then types whatever its layout puts there. So a pressed key is
// taken by its hardware code (the Linux evdev code), and every row here joins
// the three codes of one key: the usage the mouse sends, the evdev code Linux
// reports for that usage (the kernel's own usage-to-key mapping, checked by
// the real-kernel test), and the tool's key code, the Windows virtual-key code
// that a US-layout keyboard gives at that position. Keys Windows has no code
// for are coded kUsageKeyBase + usage.

inline constexpr uint16_t kUsageKeyBase = 0x100;

enum class KeyGroup : uint8_t {
    Letters,
    Digits,
    FunctionKeys,
    EditingAndNavigation,
    Punctuation,
    Keypad,
    Modifiers,
    Media,
    International,
};

// One key a mouse button can be bound to.
struct KeyRow {
    uint16_t virtualKey;
    uint8_t usage;       // what the mouse stores and sends
    uint16_t evdevCode;  // the key Linux reports for the usage, and the key to press
    KeyGroup group;
    const char* name;      // on the button (KeyName), and in profiles
    const char* listName;  // in the dialog's key list
};
using AssignableKey = KeyRow;

// Every key a mouse button can send, grouped, in list order.
std::span<const KeyRow> AssignableKeys();
const char* KeyGroupName(KeyGroup group);
const KeyRow* FindKeyByVirtualKey(uint16_t virtualKey);
const KeyRow* FindKeyByUsage(uint16_t usage);

// false for a key that has no row: no name, or a usage that would make the
// mouse send another key than the one named (Clear, Help, Browser Back, ...).
bool KeyCanBeAssigned(uint16_t virtualKey);

// What the dialog and the command line say about such a key.
inline constexpr char kKeyCannotBeAssigned[] = "This key cannot be assigned to a mouse button";

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
