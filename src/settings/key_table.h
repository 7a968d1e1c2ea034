#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

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
    const char* name;     // the one name: button, key list, screen reader, profiles
    const char* aliases;  // other spellings read as this key, "|" between them
};
using AssignableKey = KeyRow;

// A key Linux reports that the mouse cannot send.
struct RefusedKey {
    uint16_t evdevCode;
    uint16_t virtualKey;
    const char* name;
    const char* mediaEntry;  // the MEDIA menu's entry for its work, or nullptr
};

// Every key a mouse button can send, grouped, in list order.
std::span<const KeyRow> AssignableKeys();
const char* KeyGroupName(KeyGroup group);
const KeyRow* FindKeyByVirtualKey(uint16_t virtualKey);
const KeyRow* FindKeyByUsage(uint16_t usage);
std::span<const RefusedKey> RefusedKeys();
const RefusedKey* FindRefusedKey(uint16_t virtualKey);
std::vector<std::string_view> KeyAliases(const KeyRow& key);

// false for a key that has no row: no name, or a key the mouse cannot send.
bool KeyCanBeAssigned(uint16_t virtualKey);

// What the dialog and the command line say about such a key.
inline constexpr char kKeyCannotBeAssigned[] = "This key cannot be assigned to a mouse button";

// The virtual-key code of the key at an evdev position; 0 for a position the
// table does not know. The keypad is taken by its key, whatever NumLock says:
// the mouse sends the keypad usage, and the computer's NumLock decides what it
// types, as with a real keypad.
uint16_t EvdevToVirtualKey(uint16_t evdevCode);

// X key codes, and the native scan codes Qt reports on X11 and Wayland, are
// the evdev code plus 8.
inline constexpr uint32_t kXKeycodeOffset = 8;
uint16_t XKeycodeToVirtualKey(uint32_t xKeycode);
