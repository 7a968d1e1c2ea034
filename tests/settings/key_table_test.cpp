#include "settings/key_table.h"

#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

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
uint16_t UsageAt(uint16_t evdevCode, bool numLockOn = true) {
    return VirtualKeyToUsage(EvdevToVirtualKey(evdevCode, numLockOn));
}

TEST(KeyTable, F13ToF24BindFromTheirOwnKeys) {
    for (uint16_t n = 0; n < 12; ++n) {
        SCOPED_TRACE(testing::Message() << "F" << 13 + n);
        const uint16_t virtualKey = EvdevToVirtualKey(KEY_F13 + n, true);
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
        const uint16_t virtualKey = EvdevToVirtualKey(c.evdevCode, true);
        EXPECT_EQ(UsageAt(c.evdevCode), c.usage);
        EXPECT_TRUE(KeyCanBeAssigned(virtualKey));
        EXPECT_FALSE(KeyName(virtualKey).empty());
    }
}

TEST(KeyTable, NumLockDecidesWhatTheKeypadDigitsAre) {
    struct Case {
        uint16_t evdevCode;
        uint16_t withNumLock;
        uint16_t withoutNumLock;
    };
    const Case cases[] = {
        {KEY_KP0, 0x62, 0x49},      // Insert
        {KEY_KP1, 0x59, 0x4D},      // End
        {KEY_KP2, 0x5A, 0x51},      // Down
        {KEY_KP3, 0x5B, 0x4E},      // Page Down
        {KEY_KP4, 0x5C, 0x50},      // Left
        {KEY_KP6, 0x5E, 0x4F},      // Right
        {KEY_KP7, 0x5F, 0x4A},      // Home
        {KEY_KP8, 0x60, 0x52},      // Up
        {KEY_KP9, 0x61, 0x4B},      // Page Up
        {KEY_KPDOT, 0x63, 0x4C},    // Delete
        {KEY_KPSLASH, 0x54, 0x54},  // the operators do not change
        {KEY_KPASTERISK, 0x55, 0x55}, {KEY_KPMINUS, 0x56, 0x56}, {KEY_KPPLUS, 0x57, 0x57},
        {KEY_KPENTER, 0x58, 0x58},    {KEY_NUMLOCK, 0x53, 0x53},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "evdev " << c.evdevCode);
        EXPECT_EQ(UsageAt(c.evdevCode, true), c.withNumLock);
        EXPECT_EQ(UsageAt(c.evdevCode, false), c.withoutNumLock);
        const bool follows = c.withNumLock != c.withoutNumLock;
        EXPECT_EQ(XKeycodeFollowsNumLock(c.evdevCode + kXKeycodeOffset), follows);
    }
    // Keypad 5 without NumLock is Clear, which the mouse cannot send.
    EXPECT_EQ(UsageAt(KEY_KP5, true), 0x5D);
    EXPECT_FALSE(KeyCanBeAssigned(EvdevToVirtualKey(KEY_KP5, false)));
    EXPECT_FALSE(XKeycodeFollowsNumLock(KEY_HOME + kXKeycodeOffset));
}

TEST(KeyTable, MediaKeysThatAKeyboardUsageCanSend) {
    const PositionCase named[] = {
        {KEY_MUTE, "Mute", 0x7F},
        {KEY_VOLUMEDOWN, "Volume Down", 0x81},
        {KEY_VOLUMEUP, "Volume Up ", 0x80},
    };
    for (const PositionCase& c : named) {
        SCOPED_TRACE(c.what);
        const uint16_t virtualKey = EvdevToVirtualKey(c.evdevCode, true);
        EXPECT_EQ(KeyName(virtualKey), c.what);
        EXPECT_EQ(UsageAt(c.evdevCode), c.usage);
        EXPECT_TRUE(KeyCanBeAssigned(virtualKey));
    }
    // Consumer-page controls: one keyboard usage byte cannot say them. The
    // browser keys are named, so the dialog can say they cannot be bound; the
    // MEDIA menu offers the others.
    const PositionCase refused[] = {
        {KEY_BACK, "Browser Back", 0},
        {KEY_FORWARD, "Browser Forward", 0},
        {KEY_REFRESH, "Browser Refresh", 0},
        {KEY_PLAYPAUSE, "", 0},
        {KEY_NEXTSONG, "", 0},
        {KEY_PREVIOUSSONG, "", 0},
        {KEY_STOPCD, "", 0},
        {KEY_POWER, "", 0},
    };
    for (const PositionCase& c : refused) {
        SCOPED_TRACE(testing::Message() << "evdev " << c.evdevCode);
        const uint16_t virtualKey = EvdevToVirtualKey(c.evdevCode, true);
        EXPECT_EQ(KeyName(virtualKey), c.what);
        EXPECT_FALSE(KeyCanBeAssigned(virtualKey));
    }
}

TEST(KeyTable, WhatOlderToolsStoredForF13ToF24ReadsBackAsWhatTheMouseSends) {
    const std::pair<uint16_t, const char*> stored[] = {
        {0x7C, "Copy"},
        {0x7D, "Paste"},
        {0x7E, "Find"},
        {0x7F, "Mute"},
        {0x80, "Volume Up "},
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
    // The XInput source's translation, NumLock on and off.
    struct Case {
        uint32_t xKeycode;
        bool numLockOn;
        uint16_t virtualKey;
    };
    const Case cases[] = {
        {38, true, 0x41},   // A
        {191, true, 0x7C},  // F13, which the default keymap calls XF86Tools
        {202, true, 0x87},  // F24
        {20, false, 0xBD},  // minus, ß in German
        {50, true, 0xA0},  {62, true, 0xA1},  {37, true, 0xA2},   {105, true, 0xA3},
        {64, true, 0xA4},  {108, true, 0xA5}, {133, true, 0x5B},  {134, true, 0x5C},
        {79, true, 0x67},                                         // keypad 7
        {79, false, 0x24},                                        // Home
        {91, true, 0x6E},  {91, false, 0x2E}, {181, true, 0xA8},  // XF86Reload: Browser Refresh
        {7, true, 0},      {0, true, 0},      {255 + 8, true, 0}, {0xFFFFFFFF, true, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(XKeycodeToVirtualKey(c.xKeycode, c.numLockOn), c.virtualKey)
            << "X key code " << c.xKeycode << (c.numLockOn ? " NumLock on" : " NumLock off");
    }
}

TEST(KeyTable, EveryListedKeyHasANameAndAPositionAndIsListedOnce) {
    std::set<uint16_t> seen;
    std::set<uint16_t> usages;
    for (const AssignableKey& key : AssignableKeys()) {
        SCOPED_TRACE(key.listName);
        EXPECT_TRUE(seen.insert(key.virtualKey).second);
        EXPECT_FALSE(KeyName(key.virtualKey).empty());
        bool pressable = false;
        for (uint16_t code = 0; code < 256 && !pressable; ++code) {
            pressable = EvdevToVirtualKey(code, true) == key.virtualKey ||
                        EvdevToVirtualKey(code, false) == key.virtualKey;
        }
        EXPECT_TRUE(pressable);
        // Pressing the row's key takes the row; stored and loaded again, it is
        // the same key with the same name.
        EXPECT_EQ(EvdevToVirtualKey(key.evdevCode, true), key.virtualKey);
        EXPECT_EQ(VirtualKeyToUsage(key.virtualKey), key.usage);
        EXPECT_EQ(UsageToVirtualKey(key.usage), key.virtualKey);
        EXPECT_EQ(KeyName(key.virtualKey), key.name);
        EXPECT_TRUE(usages.insert(key.usage).second);
    }
}

TEST(KeyTable, GroupsStandTogetherInListOrder) {
    std::set<KeyGroup> done;
    KeyGroup current = AssignableKeys().front().group;
    for (const AssignableKey& key : AssignableKeys()) {
        if (key.group != current) {
            EXPECT_LT(static_cast<int>(current), static_cast<int>(key.group)) << key.listName;
            done.insert(current);
            current = key.group;
        }
        EXPECT_FALSE(done.contains(key.group)) << key.listName;
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
        const uint16_t virtualKey = EvdevToVirtualKey(c.evdevCode, true);
        EXPECT_TRUE(KeyCanBeAssigned(virtualKey));
        EXPECT_EQ(KeyName(virtualKey), c.what);
        EXPECT_EQ(VirtualKeyToUsage(virtualKey), c.usage);
        EXPECT_EQ(UsageToVirtualKey(c.usage), virtualKey);
    }
}

}  // namespace
