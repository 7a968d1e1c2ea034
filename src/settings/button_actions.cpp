#include "settings/button_actions.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "settings/key_table.h"

KeyCaptureState keyCapture;

namespace {

constexpr uint8_t Kind(ActionKind kind) {
    return static_cast<uint8_t>(kind);
}

constexpr ActionEntry kActions[] = {
    {"LEFT CLICK", {Kind(ActionKind::MouseButton), 0x01, 0, 0}, 8001},
    {"RIGHT CLICK", {Kind(ActionKind::MouseButton), 0x02, 0, 0}, 8002},
    {"MIDDLE CLICK", {Kind(ActionKind::MouseButton), 0x04, 0, 0}, 8003},
    {"FORWARD", {Kind(ActionKind::MouseButton), 0x10, 0, 0}, 8004},
    {"BACK", {Kind(ActionKind::MouseButton), 0x08, 0, 0}, 8005},
    {"SCROLL UP", {Kind(ActionKind::Wheel), 0x01, 0, 0}, 8006},
    {"SCROLL DOWN", {Kind(ActionKind::Wheel), 0xFF, 0, 0}, 8007},
    {"KEYBOARD KEY", {Kind(ActionKind::KeyboardKey), 0, 0, 0}, kKeyboardKeyCommand},
    {"CPI LOOP", {Kind(ActionKind::CpiLoop), 0xF1, 0, 0}, 8051},
    {"FIXED CPI", {Kind(ActionKind::FixedCpi), 0x00, 0, 0}, kFixedCpiCommand},
    {"PLAY/PAUSE", {Kind(ActionKind::MediaKey), 0xCD, 0, 0}, 8021},
    {"NEXT", {Kind(ActionKind::MediaKey), 0xB5, 0, 0}, 8022},
    {"PREVIOUS", {Kind(ActionKind::MediaKey), 0xB6, 0, 0}, 8023},
    {"MUTE", {Kind(ActionKind::MediaKey), 0xE2, 0, 0}, 8024},
    {"VOLUME UP", {Kind(ActionKind::MediaKey), 0xE9, 0, 0}, 8025},
    {"VOLUME DOWN", {Kind(ActionKind::MediaKey), 0xEA, 0, 0}, 8026},
    {"BROWSER", {Kind(ActionKind::AppLaunch), 0x96, 1, 0}, 8027},
    {"EXPLORER", {Kind(ActionKind::AppLaunch), 0x94, 1, 0}, 8028},
    {"DISABLE", {Kind(ActionKind::Disabled), 0x00, 0, 0}, 8060},
};

// Kinds whose text is the label of the table entry with the same kind and
// code; x and y are not looked at.
constexpr ActionKind kLabelledKinds[] = {ActionKind::MouseButton, ActionKind::Wheel,
                                         ActionKind::CpiLoop, ActionKind::AppLaunch,
                                         ActionKind::MediaKey};

// The modifiers in the order the KEYBOARD KEY dialog shows their boxes, with
// their left and right keys.
struct Modifier {
    uint8_t bit;
    const char* prefix;
    uint16_t leftKey;
    uint16_t rightKey;
};
constexpr Modifier kModifiers[] = {
    {kShiftBit, "Shift+", 0xA0, 0xA1},
    {kCtrlBit, "Ctrl+", 0xA2, 0xA3},
    {kWinBit, "Win+", 0x5B, 0x5C},
    {kAltBit, "Alt+", 0xA4, 0xA5},
};

constexpr uint16_t kLastUsage = 0xFF;

std::optional<std::string> LabelOf(const ButtonAction& action) {
    for (const ActionEntry& entry : kActions) {
        if (entry.values.kind == action.kind && entry.values.code == action.code) {
            return entry.label;
        }
    }
    return std::nullopt;
}

std::string KeyboardKeyText(const ButtonAction& action) {
    const uint16_t virtualKey = UsageToVirtualKey(action.x);
    keyCapture.keyCode = virtualKey;
    return ModifierPrefix(action.code) + KeyName(virtualKey);
}

}  // namespace

std::span<const ActionEntry> ActionTable() {
    return kActions;
}

const ActionEntry* FindActionByCommand(int commandId) {
    for (const ActionEntry& entry : kActions) {
        if (entry.commandId == commandId) {
            return &entry;
        }
    }
    return nullptr;
}

void AssignAction(ButtonAction& slot, const ActionValues& values) {
    slot.kind = values.kind;
    slot.code = values.code;
    slot.x = values.x;
    slot.y = values.y;
}

ActionValues ValuesOf(const ButtonAction& slot) {
    return {slot.kind, slot.code, slot.x, slot.y};
}

std::string FormatFixedCpiText(int x, int y) {
    char text[48];
    if (x == y) {
        std::snprintf(text, sizeof text, "CPI: %d", x);
    } else {
        std::snprintf(text, sizeof text, "X: %d, Y: %d", x, y);
    }
    return text;
}

std::optional<std::string> FormatActionText(const ButtonAction& action) {
    const auto kind = static_cast<ActionKind>(action.kind);
    switch (kind) {
        case ActionKind::KeyboardKey:
            return KeyboardKeyText(action);
        case ActionKind::FixedCpi:
            return FormatFixedCpiText(action.x, action.y);
        case ActionKind::Disabled:
            return "DISABLE";
        default:
            break;
    }
    if (std::ranges::find(kLabelledKinds, kind) != std::end(kLabelledKinds)) {
        return LabelOf(action);
    }
    return std::nullopt;
}

ActionValues EncodeKeyAction(const KeyCaptureState& capture) {
    // A modifier key alone is its own usage: the bit would press the left-hand
    // key too, so Right Control would also be Left Control.
    return {Kind(ActionKind::KeyboardKey), capture.modifiers, VirtualKeyToUsage(capture.keyCode),
            0};
}

std::string ModifierPrefix(uint8_t modifiers) {
    std::string text;
    for (const Modifier& modifier : kModifiers) {
        if (modifiers & modifier.bit) {
            text += modifier.prefix;
        }
    }
    return text;
}

uint8_t ModifierBitOfKey(uint16_t virtualKey) {
    for (const Modifier& modifier : kModifiers) {
        if (virtualKey == modifier.leftKey || virtualKey == modifier.rightKey) {
            return modifier.bit;
        }
    }
    return 0;
}

std::string KeyName(uint16_t virtualKey) {
    if (const KeyRow* key = FindKeyByVirtualKey(virtualKey)) {
        return key->name;
    }
    if (const RefusedKey* key = FindRefusedKey(virtualKey)) {
        return key->name;
    }
    if (virtualKey > kUsageKeyBase && virtualKey <= kUsageKeyBase + kLastUsage &&
        !FindKeyByUsage(virtualKey - kUsageKeyBase)) {
        // A usage read from the mouse that no key here has: say what it is
        // rather than show nothing.
        return UnknownUsageName(static_cast<uint8_t>(virtualKey - kUsageKeyBase));
    }
    return {};
}

std::string UnknownUsageName(uint8_t usage) {
    char text[32];
    std::snprintf(text, sizeof text, "Unknown key 0x%02X", usage);
    return text;
}

std::string KeyRefusalText(uint16_t virtualKey) {
    const RefusedKey* key = FindRefusedKey(virtualKey);
    if (!key) {
        return kKeyCannotBeAssigned;
    }
    std::string text = std::string(key->name) + " cannot be assigned to a mouse button";
    if (key->mediaEntry) {
        text += ": choose ";
        text += key->mediaEntry;
        text += " in the MEDIA menu";
    }
    return text;
}

uint16_t VirtualKeyToUsage(uint16_t virtualKey) {
    if (const KeyRow* key = FindKeyByVirtualKey(virtualKey)) {
        return key->usage;
    }
    if (virtualKey > kUsageKeyBase && virtualKey <= kUsageKeyBase + kLastUsage) {
        return virtualKey - kUsageKeyBase;  // an unknown usage read back goes back unchanged
    }
    return virtualKey;
}

uint16_t UsageToVirtualKey(uint16_t usage) {
    if (const KeyRow* key = FindKeyByUsage(usage)) {
        return key->virtualKey;
    }
    if (usage == 0 || usage > kLastUsage) {
        return 0;  // no key, or no one-byte usage
    }
    // Never the usage as a virtual-key code: usage 0x80 is Volume Up, not F17.
    return kUsageKeyBase + usage;
}
