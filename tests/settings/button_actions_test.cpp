#include "settings/button_actions.h"
#include "settings/key_table.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>

namespace {

struct FormatCase {
    ButtonAction action;
    std::optional<std::string> text;
};

ButtonAction Action(uint8_t kind, uint8_t code, uint16_t x = 0, uint16_t y = 0) {
    return {kind, code, x, y, 8};
}

TEST(FormatActionText, GivesTheLabelOrNoText) {
    const FormatCase cases[] = {
        {Action(0x00, 0x01), "LEFT CLICK"},
        {Action(0x00, 0x02), "RIGHT CLICK"},
        {Action(0x00, 0x04), "MIDDLE CLICK"},
        {Action(0x00, 0x08), "BACK"},
        {Action(0x00, 0x10), "FORWARD"},
        {Action(0x00, 0x20), std::nullopt},
        {Action(0x01, 0x01), "SCROLL UP"},
        {Action(0x01, 0xFF), "SCROLL DOWN"},
        {Action(0x01, 0x02), std::nullopt},
        {Action(0x09, 0xF1), "CPI LOOP"},
        {Action(0x09, 0x01), std::nullopt},
        {Action(0x0C, 0x00, 800, 800), "CPI: 800"},
        {Action(0x0C, 0x00, 800, 1600), "X: 800, Y: 1600"},
        {Action(0x0C, 0x37, 30000, 30000), "CPI: 30000"},  // code is not looked at
        {Action(0x18, 0x96, 1), "BROWSER"},
        {Action(0x18, 0x96, 7), "BROWSER"},  // x is not looked at
        {Action(0x18, 0x94, 1), "EXPLORER"},
        {Action(0x18, 0x95, 1), std::nullopt},
        {Action(0x20, 0xCD), "PLAY/PAUSE"},
        {Action(0x20, 0xB5), "NEXT"},
        {Action(0x20, 0xB6), "PREVIOUS"},
        {Action(0x20, 0xE2), "MUTE"},
        {Action(0x20, 0xE9), "VOLUME UP"},
        {Action(0x20, 0xEA), "VOLUME DOWN"},
        {Action(0x20, 0x96), std::nullopt},
        {Action(0xFF, 0x00), "DISABLE"},
        {Action(0xFF, 0x42), "DISABLE"},
        {Action(0x05, 0x01), std::nullopt},
        {Action(0x03, 0x00), std::nullopt},
    };
    for (const FormatCase& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "kind " << int(c.action.kind) << " code " << int(c.action.code));
        EXPECT_EQ(FormatActionText(c.action), c.text);
    }
}

TEST(FormatActionText, KeyboardKeyNamesEveryModifierBitInTheDialogsOrder) {
    // From the bits alone: what the mouse holds, the same at capture and
    // after a reload.
    const FormatCase cases[] = {
        {Action(0x02, 0x03, 0x04), "Shift+Ctrl+A"},
        {Action(0x02, 0x03, 0x68), "Shift+Ctrl+F13"},
        {Action(0x02, 0x01, 0x04), "Ctrl+A"},
        {Action(0x02, 0x0C, 0x04), "Win+Alt+A"},
        {Action(0x02, 0x0F, 0x3A), "Shift+Ctrl+Win+Alt+F1"},
        {Action(0x02, 0x00, 0xE1), "Left Shift"},  // a modifier key alone
        {Action(0x02, 0x00, 0xE4), "Right Control"},
        {Action(0x02, 0x00, 0xE6), "Right Alt"},
        // As earlier versions stored a modifier key: the bit presses its
        // left-hand key too, and the text says so.
        {Action(0x02, 0x01, 0xE4), "Ctrl+Right Control"},
        {Action(0x02, 0x02, 0xE0), "Shift+Left Control"},
        {Action(0x02, 0x03, 0x00), "Shift+Ctrl+"},  // no key: a bare prefix is shown
        {Action(0x02, 0x00, 0x00), ""},             // an empty text replaces the button's
        {Action(0x02, 0x00, 0x73), "F24"},
        {Action(0x02, 0x00, 0x58), "Num Enter"},
        {Action(0x02, 0x00, 0x7C), "Copy"},  // F13 as older tools stored it: what the mouse sends
        {Action(0x02, 0x00, 0x7B), "Cut"},
        {Action(0x02, 0x00, 0x82), "Unknown key 0x82"},  // a usage Linux has no key for
        {Action(0x02, 0x00, 0xA6), "Unknown key 0xA6"},  // reserved: not "Browser Back"
        {Action(0x02, 0x00, 0x52), "Up Arrow"},
        {Action(0x02, 0x00, 0x62), "Num 0"},
        {Action(0x02, 0x00, 0x2E), "="},
        {Action(0x02, 0x00, 0x2A), "Backspace"},
        {Action(0x02, 0x10, 0x04), "A"},  // bits the tool never sets add nothing
    };
    for (const FormatCase& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "code " << int(c.action.code) << " usage " << c.action.x);
        EXPECT_EQ(FormatActionText(c.action), c.text);
    }
}

TEST(FormatActionText, KeyboardKeyRemembersItsVirtualKey) {
    keyCapture.keyCode = 0;
    FormatActionText(Action(0x02, 0x00, 0x48));
    EXPECT_EQ(keyCapture.keyCode, 0x13);
    FormatActionText(Action(0x00, 0x01));  // other kinds leave it alone
    EXPECT_EQ(keyCapture.keyCode, 0x13);
}

struct UsageRangeCase {
    uint16_t firstKey, lastKey, firstUsage;
};

TEST(VirtualKeyToUsage, MapsTheRangesBothWays) {
    const UsageRangeCase ranges[] = {
        {0x41, 0x5A, 0x04}, {0x31, 0x39, 0x1E}, {0x30, 0x30, 0x27}, {0x70, 0x7B, 0x3A},
        {0x7C, 0x87, 0x68}, {0x61, 0x69, 0x59}, {0x60, 0x60, 0x62}, {0x178, 0x17B, 0x78},
    };
    for (const UsageRangeCase& r : ranges) {
        for (uint16_t key = r.firstKey; key <= r.lastKey; ++key) {
            const uint16_t usage = r.firstUsage + (key - r.firstKey);
            SCOPED_TRACE(testing::Message() << "key " << key);
            EXPECT_EQ(VirtualKeyToUsage(key), usage);
            EXPECT_EQ(UsageToVirtualKey(usage), key);
        }
    }
}

TEST(VirtualKeyToUsage, MapsTheSingleCodesBothWays) {
    const std::pair<uint16_t, uint16_t> codes[] = {
        {0x08, 0x2A}, {0x09, 0x2B}, {0x0D, 0x28}, {0x14, 0x39}, {0x1B, 0x29}, {0x20, 0x2C},
        {0x21, 0x4B}, {0x22, 0x4E}, {0x23, 0x4D}, {0x24, 0x4A}, {0x25, 0x50}, {0x26, 0x52},
        {0x27, 0x4F}, {0x28, 0x51}, {0x2C, 0x46}, {0x2D, 0x49}, {0x2E, 0x4C}, {0x5B, 0xE3},
        {0x5C, 0xE7}, {0x5D, 0x65}, {0x6A, 0x55}, {0x6B, 0x57}, {0x6D, 0x56}, {0x6E, 0x63},
        {0x6F, 0x54}, {0x90, 0x53}, {0x91, 0x47}, {0xA0, 0xE1}, {0xA1, 0xE5}, {0xA2, 0xE0},
        {0xA3, 0xE4}, {0xA4, 0xE2}, {0xA5, 0xE6}, {0xAE, 0x81}, {0xAF, 0x80}, {0xBA, 0x33},
        {0xBB, 0x2E}, {0xBC, 0x36}, {0xBD, 0x2D}, {0xBE, 0x37}, {0xBF, 0x38}, {0xC0, 0x35},
        {0xDB, 0x2F}, {0xDC, 0x31}, {0xDD, 0x30}, {0xDE, 0x34}, {0x13, 0x48}, {0xAD, 0x7F},
    };
    for (const auto& [key, usage] : codes) {
        SCOPED_TRACE(testing::Message() << "key " << key);
        EXPECT_EQ(VirtualKeyToUsage(key), usage);
        EXPECT_EQ(UsageToVirtualKey(usage), key);
    }
}

TEST(VirtualKeyToUsage, UnlistedKeysMapToThemselvesButUnlistedUsagesNever) {
    for (uint16_t key : {0x00, 0x0C, 0xA6, 0xFF, 0x1234}) {
        SCOPED_TRACE(testing::Message() << "key " << key);
        EXPECT_EQ(VirtualKeyToUsage(key), key);
    }
    // A usage no key has keeps its own value through a read and a write,
    // without borrowing the name of the virtual key with the same number.
    for (uint16_t usage : {0x03, 0x82, 0x86, 0xA6, 0xB8, 0xE8}) {
        SCOPED_TRACE(testing::Message() << "usage " << usage);
        EXPECT_EQ(UsageToVirtualKey(usage), kUsageKeyBase + usage);
        EXPECT_EQ(VirtualKeyToUsage(UsageToVirtualKey(usage)), usage);
    }
    EXPECT_EQ(UsageToVirtualKey(0x00), 0);
    EXPECT_EQ(UsageToVirtualKey(0x1234), 0);  // no one-byte usage: no key
}

TEST(KeyName, NamesEveryKeyByItsOneName) {
    const std::pair<uint16_t, const char*> names[] = {
        {0x08, "Backspace"},
        {0x0D, "Enter"},
        {0x1B, "Esc"},
        {0x26, "Up Arrow"},
        {0x29, "Select"},
        {0x2B, "Execute"},
        {0x2D, "Insert"},
        {0x2E, "Delete"},
        {0x2F, "Help"},
        {0x30, "0"},
        {0x60, "Num 0"},
        {0x65, "Num 5"},
        {0x5D, "Application"},
        {0x6A, "Num *"},
        {0x6B, "Num +"},
        {0xBB, "="},
        {0x6D, "Num -"},
        {0xBD, "-"},
        {0x6E, "Num ."},
        {0xBE, "."},
        {0xA5, "Right Alt"},
        {0xAF, "Volume Up"},
        {0xDC, "\\"},
        {0x167, "Num ="},
        {0x176, "Menu"},
        {0x1B6, "Num ("},
        {0x1B7, "Num )"},
        // Keys the mouse cannot send are named, to say so.
        {0xA6, "Browser Back"},
        {0xB3, "Play/Pause"},
        // Codes without a name.
        {0x00, ""},
        {0x01, ""},
        {0x03, ""},
        {0x0C, ""},
        {0x3A, ""},
        {0xFF, ""},
        {0x141, ""},  // would be usage 0x41, which is F8's
    };
    for (const auto& [key, name] : names) {
        SCOPED_TRACE(testing::Message() << "key " << key);
        EXPECT_EQ(KeyName(key), name);
    }
}

struct EncodeCase {
    uint16_t keyCode;
    uint8_t modifiers;
    ActionValues action;
};

TEST(EncodeKeyAction, StoresTheBoxesBitsAndTheKeyAloneForAModifierKey) {
    // A right-hand modifier alone presses only itself: no left-hand bit.
    const EncodeCase cases[] = {
        {0x41, 0x03, {0x02, 0x03, 0x04, 0}},  {0xA0, 0x00, {0x02, 0x00, 0xE1, 0}},
        {0xA1, 0x00, {0x02, 0x00, 0xE5, 0}},  {0xA2, 0x00, {0x02, 0x00, 0xE0, 0}},
        {0xA3, 0x00, {0x02, 0x00, 0xE4, 0}},  {0xA3, 0x02, {0x02, 0x02, 0xE4, 0}},
        {0xA5, 0x00, {0x02, 0x00, 0xE6, 0}},  {0x5C, 0x01, {0x02, 0x01, 0xE7, 0}},
        {0x7C, 0x00, {0x02, 0x00, 0x68, 0}},   // F13
        {0x158, 0x00, {0x02, 0x00, 0x58, 0}},  // Keypad Enter, not Enter
        {0x13, 0x00, {0x02, 0x00, 0x48, 0}},
    };
    for (const EncodeCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "key " << c.keyCode);
        KeyCaptureState capture{c.keyCode, c.modifiers, "ignored"};
        EXPECT_EQ(EncodeKeyAction(capture), c.action);
    }
}

TEST(EncodeKeyAction, CapturedKeysFormatBack) {
    for (uint16_t key : {0x7C, 0x80, 0x81, 0x13, 0xA0, 0x26, 0x158, 0x187}) {
        KeyCaptureState capture{key, 0, {}};
        const ActionValues values = EncodeKeyAction(capture);
        ButtonAction slot{};
        AssignAction(slot, values);
        EXPECT_EQ(FormatActionText(slot), KeyName(key)) << "key " << key;
    }
}

TEST(ActionTable, CommandsAreUniqueAndAssignmentKeepsTheFilter) {
    for (const ActionEntry& entry : ActionTable()) {
        EXPECT_EQ(FindActionByCommand(entry.commandId), &entry) << entry.label;
    }
    EXPECT_EQ(FindActionByCommand(8000), nullptr);

    ButtonAction slot{0x0C, 0x00, 800, 1600, 20};
    AssignAction(slot, FindActionByCommand(8027)->values);
    EXPECT_EQ(slot.kind, 0x18);
    EXPECT_EQ(slot.code, 0x96);
    EXPECT_EQ(slot.x, 1);
    EXPECT_EQ(slot.y, 0);
    EXPECT_EQ(slot.filter, 20);
}

// The keyboard-key and fixed-CPI commands are left out: they show the
// captured key or the CPI values instead.
TEST(ActionTable, EveryMenuCommandAssignsWhatFormatsAsItsLabel) {
    const std::pair<int, const char*> cases[] = {
        {8001, "LEFT CLICK"}, {8002, "RIGHT CLICK"}, {8003, "MIDDLE CLICK"}, {8004, "FORWARD"},
        {8005, "BACK"},       {8006, "SCROLL UP"},   {8007, "SCROLL DOWN"},  {8051, "CPI LOOP"},
        {8021, "PLAY/PAUSE"}, {8022, "NEXT"},        {8023, "PREVIOUS"},     {8024, "MUTE"},
        {8025, "VOLUME UP"},  {8026, "VOLUME DOWN"}, {8027, "BROWSER"},      {8028, "EXPLORER"},
        {8060, "DISABLE"},
    };
    for (const auto& [commandId, label] : cases) {
        const ActionEntry* entry = FindActionByCommand(commandId);
        ASSERT_NE(entry, nullptr) << commandId;
        EXPECT_STREQ(entry->label, label);
        ButtonAction slot{};
        AssignAction(slot, entry->values);
        EXPECT_EQ(FormatActionText(slot), std::string(label)) << commandId;
    }
}

}  // namespace
