#include "settings/key_table.h"

#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include <cctype>
#include <set>
#include <string>
#include <utility>

#include "settings/button_actions.h"

namespace {

struct PositionCase {
    uint16_t evdevCode;
    const char* what;
    uint16_t usage;  // stored in the action's x
};

// A pressed key's usage, as a capture by position makes it.
uint16_t UsageAt(uint16_t evdevCode) {
    return VirtualKeyToUsage(EvdevToVirtualKey(evdevCode));
}

TEST(KeyTable, F13ToF24BindFromTheirOwnKeys) {
    for (uint16_t n = 0; n < 12; ++n) {
        SCOPED_TRACE(testing::Message() << "F" << 13 + n);
        const uint16_t virtualKey = EvdevToVirtualKey(KEY_F13 + n);
        EXPECT_EQ(virtualKey, 0x7C + n);
        EXPECT_EQ(KeyName(virtualKey), "F" + std::to_string(13 + n));
        EXPECT_EQ(UsageAt(KEY_F13 + n), 0x68 + n);  // HID usages, not Windows codes
        EXPECT_EQ(UsageToVirtualKey(0x68 + n), virtualKey);
        EXPECT_TRUE(KeyCanBeAssigned(virtualKey));
    }
}

TEST(KeyTable, PositionsWhereTheGermanLayoutPrintsOtherCharacters) {
    const PositionCase cases[] = {
        {KEY_MINUS, "ß", 0x2D},      {KEY_EQUAL, "´ (dead)", 0x2E},
        {KEY_LEFTBRACE, "ü", 0x2F},  {KEY_RIGHTBRACE, "+", 0x30},
        {KEY_BACKSLASH, "#", 0x31},  {KEY_SEMICOLON, "ö", 0x33},
        {KEY_APOSTROPHE, "ä", 0x34}, {KEY_GRAVE, "^ (dead)", 0x35},
        {KEY_COMMA, ",", 0x36},      {KEY_DOT, ".", 0x37},
        {KEY_SLASH, "-", 0x38},      {KEY_102ND, "<", 0x64},
        {KEY_Y, "z", 0x1C},          {KEY_Z, "y", 0x1D},
    };
    for (const PositionCase& c : cases) {
        SCOPED_TRACE(c.what);
        const uint16_t virtualKey = EvdevToVirtualKey(c.evdevCode);
        EXPECT_EQ(UsageAt(c.evdevCode), c.usage);
        EXPECT_TRUE(KeyCanBeAssigned(virtualKey));
        EXPECT_FALSE(KeyName(virtualKey).empty());
    }
}

// The keypad is taken by its key whatever NumLock says: the mouse sends the
// keypad usage, and the computer's NumLock decides what it types, as with a
// real keypad (Keypad 5 is no longer refused). The standard usages the
// kernel maps (its hid_keyboard[] in drivers/hid/hid-input.c) are keys too.
TEST(KeyTable, TheKeypadByItsKeyAndTheStandardUsagesTheKernelMaps) {
    const PositionCase cases[] = {
        {KEY_KP0, "Num 0", 0x62},         {KEY_KP1, "Num 1", 0x59},
        {KEY_KP5, "Num 5", 0x5D},         {KEY_KP7, "Num 7", 0x5F},
        {KEY_KPDOT, "Num .", 0x63},       {KEY_KPSLASH, "Num /", 0x54},
        {KEY_KPPLUS, "Num +", 0x57},      {KEY_KPENTER, "Num Enter", 0x58},
        {KEY_NUMLOCK, "Num Lock", 0x53},  {KEY_KPEQUAL, "Num =", 0x67},
        {KEY_OPEN, "Execute", 0x74},      {KEY_HELP, "Help", 0x75},
        {KEY_PROPS, "Menu", 0x76},        {KEY_FRONT, "Select", 0x77},
        {KEY_STOP, "Stop", 0x78},         {KEY_AGAIN, "Again", 0x79},
        {KEY_UNDO, "Undo", 0x7A},         {KEY_CUT, "Cut", 0x7B},
        {KEY_KPLEFTPAREN, "Num (", 0xB6}, {KEY_KPRIGHTPAREN, "Num )", 0xB7},
    };
    for (const PositionCase& c : cases) {
        SCOPED_TRACE(c.what);
        const uint16_t virtualKey = EvdevToVirtualKey(c.evdevCode);
        EXPECT_TRUE(KeyCanBeAssigned(virtualKey));
        EXPECT_EQ(KeyName(virtualKey), c.what);
        EXPECT_EQ(UsageAt(c.evdevCode), c.usage);
        EXPECT_EQ(UsageToVirtualKey(c.usage), virtualKey);
    }
}

TEST(KeyTable, MediaKeysThatAKeyboardUsageCanSend) {
    const PositionCase named[] = {
        {KEY_MUTE, "Mute", 0x7F},
        {KEY_VOLUMEDOWN, "Volume Down", 0x81},
        {KEY_VOLUMEUP, "Volume Up", 0x80},
    };
    for (const PositionCase& c : named) {
        SCOPED_TRACE(c.what);
        const uint16_t virtualKey = EvdevToVirtualKey(c.evdevCode);
        EXPECT_EQ(KeyName(virtualKey), c.what);
        EXPECT_EQ(UsageAt(c.evdevCode), c.usage);
        EXPECT_TRUE(KeyCanBeAssigned(virtualKey));
    }
    // Consumer-page controls: one keyboard usage byte cannot say them. They
    // are named, so that the refusal says which key; a media key points to
    // the MEDIA menu's entry.
    const std::pair<uint16_t, const char*> refused[] = {
        {KEY_BACK, "Browser Back cannot be assigned to a mouse button"},
        {KEY_REFRESH, "Browser Refresh cannot be assigned to a mouse button"},
        {KEY_PLAYPAUSE,
         "Play/Pause cannot be assigned to a mouse button: choose PLAY/PAUSE in the MEDIA menu"},
        {KEY_NEXTSONG,
         "Next Track cannot be assigned to a mouse button: choose NEXT in the MEDIA menu"},
        {KEY_STOPCD, "Stop Media cannot be assigned to a mouse button"},
        {KEY_POWER, kKeyCannotBeAssigned},
    };
    for (const auto& [evdevCode, text] : refused) {
        SCOPED_TRACE(text);
        const uint16_t virtualKey = EvdevToVirtualKey(evdevCode);
        EXPECT_FALSE(KeyCanBeAssigned(virtualKey));
        EXPECT_EQ(KeyRefusalText(virtualKey), text);
    }
}

TEST(KeyTable, WhatOlderToolsStoredForF13ToF24ReadsBackAsWhatTheMouseSends) {
    const std::pair<uint16_t, const char*> stored[] = {
        {0x7C, "Copy"},
        {0x7D, "Paste"},
        {0x7E, "Find"},
        {0x7F, "Mute"},
        {0x80, "Volume Up"},
        {0x81, "Volume Down"},
        {0x82, "Unknown key 0x82"},
        {0x83, "Unknown key 0x83"},
        {0x84, "Unknown key 0x84"},
        {0x85, "Num ,"},
        {0x86, "Unknown key 0x86"},
        {0x87, "RO"},
    };
    for (const auto& [usage, name] : stored) {
        SCOPED_TRACE(name);
        EXPECT_EQ(KeyName(UsageToVirtualKey(usage)), name);
        EXPECT_EQ(VirtualKeyToUsage(UsageToVirtualKey(usage)), usage);  // kept if not rebound
    }
}

TEST(KeyTable, XKeycodesAreEvdevCodesPlusEight) {
    const std::pair<uint32_t, uint16_t> cases[] = {
        {38, 0x41},   // A
        {191, 0x7C},  // F13, which the default keymap calls XF86Tools
        {202, 0x87},  // F24
        {20, 0xBD},   // minus, ß in German
        {50, 0xA0},  {62, 0xA1},  {37, 0xA2},   {105, 0xA3},     {64, 0xA4},
        {108, 0xA5}, {133, 0x5B}, {134, 0x5C},  {79, 0x67},  // keypad 7, NumLock or not
        {91, 0x6E},  {181, 0xA8},                            // XF86Reload: Browser Refresh
        {7, 0},      {0, 0},      {255 + 8, 0}, {0xFFFFFFFF, 0},
    };
    for (const auto& [xKeycode, virtualKey] : cases) {
        EXPECT_EQ(XKeycodeToVirtualKey(xKeycode), virtualKey) << "X key code " << xKeycode;
    }
}

TEST(KeyTable, EveryListedKeyHasANameAndAPositionAndIsListedOnce) {
    std::set<uint16_t> seen;
    std::set<uint16_t> usages;
    for (const AssignableKey& key : AssignableKeys()) {
        SCOPED_TRACE(key.name);
        EXPECT_TRUE(seen.insert(key.virtualKey).second);
        EXPECT_FALSE(KeyName(key.virtualKey).empty());
        // One name, no blanks around it.
        EXPECT_NE(std::string(key.name).front(), ' ');
        EXPECT_NE(std::string(key.name).back(), ' ');
        // Pressing the row's key takes the row; stored and loaded again, it is
        // the same key with the same name.
        EXPECT_EQ(EvdevToVirtualKey(key.evdevCode), key.virtualKey);
        EXPECT_EQ(VirtualKeyToUsage(key.virtualKey), key.usage);
        EXPECT_EQ(UsageToVirtualKey(key.usage), key.virtualKey);
        EXPECT_EQ(KeyName(key.virtualKey), key.name);
        EXPECT_TRUE(usages.insert(key.usage).second);
    }
}

// A name or an older spelling stands for one key only.
TEST(KeyTable, NamesAndAliasesNameOneKeyEach) {
    const auto lowerCase = [](std::string_view text) {
        std::string lower(text);
        for (char& c : lower) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        return lower;
    };
    std::set<std::string> spellings;
    for (const AssignableKey& key : AssignableKeys()) {
        std::vector<std::string_view> all = KeyAliases(key);
        all.push_back(key.name);
        for (const std::string_view spelling : all) {
            const std::string lower = lowerCase(spelling);
            EXPECT_FALSE(lower.empty()) << key.name;
            EXPECT_TRUE(spellings.insert(lower).second) << spelling << " of " << key.name;
        }
    }
    for (const RefusedKey& key : RefusedKeys()) {
        EXPECT_FALSE(spellings.contains(lowerCase(key.name))) << key.name;
    }
}

TEST(KeyTable, GroupsStandTogetherInListOrder) {
    std::set<KeyGroup> done;
    KeyGroup current = AssignableKeys().front().group;
    for (const AssignableKey& key : AssignableKeys()) {
        if (key.group != current) {
            EXPECT_LT(static_cast<int>(current), static_cast<int>(key.group)) << key.name;
            done.insert(current);
            current = key.group;
        }
        EXPECT_FALSE(done.contains(key.group)) << key.name;
    }
    EXPECT_STREQ(KeyGroupName(KeyGroup::FunctionKeys), "F1 to F24");
}

TEST(KeyTable, InternationalKeysGetUsagesOfTheirOwn) {
    const PositionCase cases[] = {
        {KEY_102ND, "<", 0x64},
        {KEY_RO, "RO", 0x87},
        {KEY_KATAKANAHIRAGANA, "Katakana/Hiragana", 0x88},
        {KEY_YEN, "Yen", 0x89},
        {KEY_HENKAN, "Henkan", 0x8A},
        {KEY_MUHENKAN, "Muhenkan", 0x8B},
        {KEY_KPJPCOMMA, "Num JP ,", 0x8C},
        {KEY_KPCOMMA, "Num ,", 0x85},
        {KEY_HANGEUL, "Hangul", 0x90},
        {KEY_HANJA, "Hanja", 0x91},
        {KEY_KATAKANA, "Katakana", 0x92},
        {KEY_HIRAGANA, "Hiragana", 0x93},
        {KEY_ZENKAKUHANKAKU, "Zenkaku/Hankaku", 0x94},
    };
    for (const PositionCase& c : cases) {
        SCOPED_TRACE(c.what);
        const uint16_t virtualKey = EvdevToVirtualKey(c.evdevCode);
        EXPECT_TRUE(KeyCanBeAssigned(virtualKey));
        EXPECT_EQ(KeyName(virtualKey), c.what);
        EXPECT_EQ(VirtualKeyToUsage(virtualKey), c.usage);
        EXPECT_EQ(UsageToVirtualKey(c.usage), virtualKey);
    }
}

}  // namespace
