#include "settings/button_actions.h"

#include <algorithm>
#include <array>
#include <cstdio>

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

// The modifiers by rank: the prefix each gives a formatted keyboard-key
// action, and its own left and right keys. A captured modifier key adds its
// own bit, and the prefix is left out when the key is that modifier itself.
struct Modifier {
    uint8_t bit;
    const char* prefix;
    uint16_t leftKey;
    uint16_t rightKey;

    constexpr bool IsOwnKey(uint16_t virtualKey) const {
        return virtualKey == leftKey || virtualKey == rightKey;
    }
};
constexpr Modifier kModifiers[] = {
    {kShiftBit, "Shift+", 0xA0, 0xA1},
    {kCtrlBit, "Ctrl+", 0xA2, 0xA3},
    {kWinBit, "Win+", 0x5B, 0x5C},
    {kAltBit, "Alt+", 0xA4, 0xA5},
};

struct UsageRange {
    uint16_t firstKey;
    uint16_t lastKey;
    uint16_t firstUsage;
};
constexpr UsageRange kUsageRanges[] = {
    {0x41, 0x5A, 0x04},  // A-Z
    {0x31, 0x39, 0x1E},  // 1-9
    {0x30, 0x30, 0x27},  // 0
    {0x70, 0x7B, 0x3A},  // F1-F12
    {0x61, 0x69, 0x59},  // keypad 1-9
    {0x60, 0x60, 0x62},  // keypad 0
};

struct UsageCode {
    uint16_t virtualKey;
    uint16_t usage;
};
// Pause comes before Break so that usage 0x48 reads back as Pause. The last
// row holds the international keys, whose usages no other virtual key gives.
constexpr UsageCode kUsageCodes[] = {
    {0x13, 0x48}, {0x03, 0x48}, {0x08, 0x2A}, {0x09, 0x2B}, {0x0D, 0x28}, {0x14, 0x39},
    {0x1B, 0x29}, {0x20, 0x2C}, {0x21, 0x4B}, {0x22, 0x4E}, {0x23, 0x4D}, {0x24, 0x4A},
    {0x25, 0x50}, {0x26, 0x52}, {0x27, 0x4F}, {0x28, 0x51}, {0x2C, 0x46}, {0x2D, 0x49},
    {0x2E, 0x4C}, {0x5B, 0xE3}, {0x5C, 0xE7}, {0x5D, 0x65}, {0x6A, 0x55}, {0x6B, 0x57},
    {0x6D, 0x56}, {0x6E, 0x63}, {0x6F, 0x54}, {0x90, 0x53}, {0x91, 0x47}, {0xA0, 0xE1},
    {0xA1, 0xE5}, {0xA2, 0xE0}, {0xA3, 0xE4}, {0xA4, 0xE2}, {0xA5, 0xE6}, {0xAE, 0x81},
    {0xAF, 0x80}, {0xBA, 0x33}, {0xBB, 0x2E}, {0xBC, 0x36}, {0xBD, 0x2D}, {0xBE, 0x37},
    {0xBF, 0x38}, {0xC0, 0x35}, {0xDB, 0x2F}, {0xDC, 0x31}, {0xDD, 0x30}, {0xDE, 0x34},
    {0xE2, 0x64}, {0x1C, 0x8A}, {0x1D, 0x8B}, {0xF2, 0x88}, {0x15, 0x90}, {0x19, 0x91},
};

struct KeyNameEntry {
    uint16_t virtualKey;
    const char* name;
};
// Two names, "Up Arrow " and "Volume Up ", end in a blank on purpose.
constexpr KeyNameEntry kKeyNames[] = {
    {0x01, "Left Button"},
    {0x02, "Right Button"},
    {0x04, "Middle Button"},
    {0x08, "Back"},
    {0x09, "Tab"},
    {0x0C, "Clear"},
    {0x0D, "Enter"},
    {0x13, "Pause"},
    {0x14, "Caps Lock"},
    {0x1B, "Esc"},
    {0x20, "Space"},
    {0x21, "Page Up"},
    {0x22, "Page Down"},
    {0x23, "End"},
    {0x24, "Home"},
    {0x25, "Left Arrow"},
    {0x26, "Up Arrow "},
    {0x27, "Right Arrow"},
    {0x28, "Down Arrow"},
    {0x29, "Select"},
    {0x2A, "Print"},
    {0x2B, "Execute"},
    {0x2C, "Print Screen"},
    {0x2D, "Ins"},
    {0x2E, "Del"},
    {0x2F, "Help"},
    {0x5B, "Left Window"},
    {0x5C, "Right Window"},
    {0x5D, "Application"},
    {0x6A, "*"},
    {0x6B, "+"},
    {0xBB, "+"},
    {0x6D, "-"},
    {0xBD, "-"},
    {0x6E, "."},
    {0xBE, "."},
    {0x6F, "/"},
    {0xBF, "/"},
    {0x90, "Num Lock"},
    {0x91, "Scroll Lock"},
    {0xA0, "Left Shift"},
    {0xA1, "Right Shift"},
    {0xA2, "Left Control"},
    {0xA3, "Right Control"},
    {0xA4, "Left Alt"},
    {0xA5, "Right Alt"},
    {0xA6, "Browser Back"},
    {0xA7, "Browser Forward"},
    {0xA8, "Browser Refresh"},
    {0xAE, "Volume Down"},
    {0xAF, "Volume Up "},
    {0xBA, ";"},
    {0xBC, ","},
    {0xC0, "`"},
    {0xDB, "["},
    {0xDC, "\\"},
    {0xDD, "]"},
    {0xDE, "'"},
    {0xFF, "Fn"},
    // International keys, named as their keycaps are.
    {0xE2, "<"},
    {0x1C, "Henkan"},
    {0x1D, "Muhenkan"},
    {0xF2, "Katakana/Hiragana"},
    {0x15, "Hangul"},
    {0x19, "Hanja"},
};

// Names built from a run of codes: the first code's name is `first`, the
// next ones count up (digits, letters) or number on (F1..F24).
struct KeyNameRange {
    uint16_t firstKey;
    uint16_t lastKey;
    const char* prefix;
    int firstNumber;  // < 0: the name is one character counting up from prefix[0]
};
constexpr KeyNameRange kKeyNameRanges[] = {
    {0x30, 0x39, "0", -1},
    {0x60, 0x69, "0", -1},  // keypad digits read the same
    {0x41, 0x5A, "A", -1},
    {0x70, 0x87, "F", 1},
};

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
    std::string prefix;
    for (const Modifier& modifier : kModifiers) {
        if (action.code & modifier.bit) {
            if (!modifier.IsOwnKey(virtualKey)) {
                prefix = modifier.prefix;
            }
            break;  // only the highest-ranking set bit counts
        }
    }
    keyCapture.keyCode = virtualKey;
    return prefix + KeyName(virtualKey);
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
    uint8_t bits = capture.modifiers;
    for (const Modifier& modifier : kModifiers) {
        if (modifier.IsOwnKey(capture.keyCode)) {
            bits |= modifier.bit;
        }
    }
    return {Kind(ActionKind::KeyboardKey), bits, VirtualKeyToUsage(capture.keyCode), 0};
}

std::string KeyName(uint16_t virtualKey) {
    for (const KeyNameEntry& entry : kKeyNames) {
        if (entry.virtualKey == virtualKey) {
            return entry.name;
        }
    }
    for (const KeyNameRange& range : kKeyNameRanges) {
        if (virtualKey < range.firstKey || virtualKey > range.lastKey) {
            continue;
        }
        const int offset = virtualKey - range.firstKey;
        if (range.firstNumber < 0) {
            return std::string(1, static_cast<char>(range.prefix[0] + offset));
        }
        return range.prefix + std::to_string(range.firstNumber + offset);
    }
    return {};
}

uint16_t VirtualKeyToUsage(uint16_t virtualKey) {
    for (const UsageRange& range : kUsageRanges) {
        if (virtualKey >= range.firstKey && virtualKey <= range.lastKey) {
            return static_cast<uint16_t>(range.firstUsage + (virtualKey - range.firstKey));
        }
    }
    for (const UsageCode& code : kUsageCodes) {
        if (code.virtualKey == virtualKey) {
            return code.usage;
        }
    }
    return virtualKey;
}

uint16_t UsageToVirtualKey(uint16_t usage) {
    for (const UsageRange& range : kUsageRanges) {
        const uint16_t lastUsage = range.firstUsage + (range.lastKey - range.firstKey);
        if (usage >= range.firstUsage && usage <= lastUsage) {
            return static_cast<uint16_t>(range.firstKey + (usage - range.firstUsage));
        }
    }
    for (const UsageCode& code : kUsageCodes) {
        if (code.usage == usage) {
            return code.virtualKey;
        }
    }
    return usage;
}
