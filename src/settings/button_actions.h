#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "settings/settings_image.h"

// What the kind byte of a button slot says the action is.
enum class ActionKind : uint8_t {
    MouseButton = 0x00,
    Wheel = 0x01,
    KeyboardKey = 0x02,
    CpiLoop = 0x09,
    FixedCpi = 0x0C,
    AppLaunch = 0x18,
    MediaKey = 0x20,
    Disabled = 0xFF,
};

// The four bytes an assignment writes; the slot's filter is never part of it.
struct ActionValues {
    uint8_t kind;
    uint8_t code;
    uint16_t x;
    uint16_t y;

    bool operator==(const ActionValues&) const = default;
};

// One action the Button Mapping page offers: its label (menu item and button
// text), its values and the command id of its menu item. The two that run a
// dialog first ("KEYBOARD KEY", "FIXED CPI") get their values from it.
struct ActionEntry {
    const char* label;
    ActionValues values;
    int commandId;
};

inline constexpr int kKeyboardKeyCommand = 8040;
inline constexpr int kFixedCpiCommand = 8052;

// Every action, in no particular order; the menu picks them by command id.
std::span<const ActionEntry> ActionTable();
const ActionEntry* FindActionByCommand(int commandId);

// Writes kind, code, x and y at once and leaves the filter byte alone.
void AssignAction(ButtonAction& slot, const ActionValues& values);
ActionValues ValuesOf(const ButtonAction& slot);

// Modifier bits of a keyboard-key action (left-hand bits of a HID keyboard report).
inline constexpr uint8_t kCtrlBit = 0x01;
inline constexpr uint8_t kShiftBit = 0x02;
inline constexpr uint8_t kAltBit = 0x04;
inline constexpr uint8_t kWinBit = 0x08;

// Shared by the key capture dialog, the Button Mapping page and
// FormatActionText; UI thread only.
struct KeyCaptureState {
    uint16_t keyCode = 0;  // Windows virtual-key code
    uint8_t modifiers = 0;
    std::string keyText;
};
extern KeyCaptureState keyCapture;

// The text for the action's button; nullopt = no text, the button keeps its
// own. An empty string is a text too and replaces the button's.
// Formatting a keyboard-key action sets keyCapture.keyCode.
std::optional<std::string> FormatActionText(const ButtonAction& action);
// "CPI: 800" when both axes agree, else "X: 800, Y: 1600".
std::string FormatFixedCpiText(int x, int y);

// The keyboard-key action for a confirmed capture: the modifier boxes' bits
// and the key's usage (a modifier key alone adds no bit of its own).
ActionValues EncodeKeyAction(const KeyCaptureState& capture);

// "Shift+Ctrl+Win+Alt+" for the bits set, in the dialog's order: the one
// modifier text of the button, the profile names and the screen reader.
std::string ModifierPrefix(uint8_t modifiers);
// The bit of a modifier key, left or right; 0 for other keys.
uint8_t ModifierBitOfKey(uint16_t virtualKey);

// The key's one name (settings/key_table.h), or "" for a code without one. A
// usage no key has (read from the mouse) is named "Unknown key 0x82".
std::string KeyName(uint16_t virtualKey);
std::string UnknownUsageName(uint8_t usage);

// Why a key cannot be bound, naming it, and for a media key the MEDIA menu's
// entry that does its work.
std::string KeyRefusalText(uint16_t virtualKey);

// Key code <-> USB HID keyboard usage, by the key table (settings/key_table.h).
// A usage without a row gives kUsageKeyBase + usage, never a virtual-key code
// that names another key; an unlisted virtual-key code gives itself.
uint16_t VirtualKeyToUsage(uint16_t virtualKey);
uint16_t UsageToVirtualKey(uint16_t usage);
