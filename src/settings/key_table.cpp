#include "settings/key_table.h"

#include <linux/input-event-codes.h>

#include <algorithm>

namespace {

// In list order. Left and right modifiers stay apart, as the mouse can send
// either. The keypad digits are named as the other digits are.
constexpr KeyRow kKeys[] = {
    {'A', 0x04, KEY_A, KeyGroup::Letters, "A", "A"},
    {'B', 0x05, KEY_B, KeyGroup::Letters, "B", "B"},
    {'C', 0x06, KEY_C, KeyGroup::Letters, "C", "C"},
    {'D', 0x07, KEY_D, KeyGroup::Letters, "D", "D"},
    {'E', 0x08, KEY_E, KeyGroup::Letters, "E", "E"},
    {'F', 0x09, KEY_F, KeyGroup::Letters, "F", "F"},
    {'G', 0x0A, KEY_G, KeyGroup::Letters, "G", "G"},
    {'H', 0x0B, KEY_H, KeyGroup::Letters, "H", "H"},
    {'I', 0x0C, KEY_I, KeyGroup::Letters, "I", "I"},
    {'J', 0x0D, KEY_J, KeyGroup::Letters, "J", "J"},
    {'K', 0x0E, KEY_K, KeyGroup::Letters, "K", "K"},
    {'L', 0x0F, KEY_L, KeyGroup::Letters, "L", "L"},
    {'M', 0x10, KEY_M, KeyGroup::Letters, "M", "M"},
    {'N', 0x11, KEY_N, KeyGroup::Letters, "N", "N"},
    {'O', 0x12, KEY_O, KeyGroup::Letters, "O", "O"},
    {'P', 0x13, KEY_P, KeyGroup::Letters, "P", "P"},
    {'Q', 0x14, KEY_Q, KeyGroup::Letters, "Q", "Q"},
    {'R', 0x15, KEY_R, KeyGroup::Letters, "R", "R"},
    {'S', 0x16, KEY_S, KeyGroup::Letters, "S", "S"},
    {'T', 0x17, KEY_T, KeyGroup::Letters, "T", "T"},
    {'U', 0x18, KEY_U, KeyGroup::Letters, "U", "U"},
    {'V', 0x19, KEY_V, KeyGroup::Letters, "V", "V"},
    {'W', 0x1A, KEY_W, KeyGroup::Letters, "W", "W"},
    {'X', 0x1B, KEY_X, KeyGroup::Letters, "X", "X"},
    {'Y', 0x1C, KEY_Y, KeyGroup::Letters, "Y", "Y"},
    {'Z', 0x1D, KEY_Z, KeyGroup::Letters, "Z", "Z"},
    {'1', 0x1E, KEY_1, KeyGroup::Digits, "1", "1"},
    {'2', 0x1F, KEY_2, KeyGroup::Digits, "2", "2"},
    {'3', 0x20, KEY_3, KeyGroup::Digits, "3", "3"},
    {'4', 0x21, KEY_4, KeyGroup::Digits, "4", "4"},
    {'5', 0x22, KEY_5, KeyGroup::Digits, "5", "5"},
    {'6', 0x23, KEY_6, KeyGroup::Digits, "6", "6"},
    {'7', 0x24, KEY_7, KeyGroup::Digits, "7", "7"},
    {'8', 0x25, KEY_8, KeyGroup::Digits, "8", "8"},
    {'9', 0x26, KEY_9, KeyGroup::Digits, "9", "9"},
    {'0', 0x27, KEY_0, KeyGroup::Digits, "0", "0"},
    {0x70, 0x3A, KEY_F1, KeyGroup::FunctionKeys, "F1", "F1"},
    {0x71, 0x3B, KEY_F2, KeyGroup::FunctionKeys, "F2", "F2"},
    {0x72, 0x3C, KEY_F3, KeyGroup::FunctionKeys, "F3", "F3"},
    {0x73, 0x3D, KEY_F4, KeyGroup::FunctionKeys, "F4", "F4"},
    {0x74, 0x3E, KEY_F5, KeyGroup::FunctionKeys, "F5", "F5"},
    {0x75, 0x3F, KEY_F6, KeyGroup::FunctionKeys, "F6", "F6"},
    {0x76, 0x40, KEY_F7, KeyGroup::FunctionKeys, "F7", "F7"},
    {0x77, 0x41, KEY_F8, KeyGroup::FunctionKeys, "F8", "F8"},
    {0x78, 0x42, KEY_F9, KeyGroup::FunctionKeys, "F9", "F9"},
    {0x79, 0x43, KEY_F10, KeyGroup::FunctionKeys, "F10", "F10"},
    {0x7A, 0x44, KEY_F11, KeyGroup::FunctionKeys, "F11", "F11"},
    {0x7B, 0x45, KEY_F12, KeyGroup::FunctionKeys, "F12", "F12"},
    {0x7C, 0x68, KEY_F13, KeyGroup::FunctionKeys, "F13", "F13"},
    {0x7D, 0x69, KEY_F14, KeyGroup::FunctionKeys, "F14", "F14"},
    {0x7E, 0x6A, KEY_F15, KeyGroup::FunctionKeys, "F15", "F15"},
    {0x7F, 0x6B, KEY_F16, KeyGroup::FunctionKeys, "F16", "F16"},
    {0x80, 0x6C, KEY_F17, KeyGroup::FunctionKeys, "F17", "F17"},
    {0x81, 0x6D, KEY_F18, KeyGroup::FunctionKeys, "F18", "F18"},
    {0x82, 0x6E, KEY_F19, KeyGroup::FunctionKeys, "F19", "F19"},
    {0x83, 0x6F, KEY_F20, KeyGroup::FunctionKeys, "F20", "F20"},
    {0x84, 0x70, KEY_F21, KeyGroup::FunctionKeys, "F21", "F21"},
    {0x85, 0x71, KEY_F22, KeyGroup::FunctionKeys, "F22", "F22"},
    {0x86, 0x72, KEY_F23, KeyGroup::FunctionKeys, "F23", "F23"},
    {0x87, 0x73, KEY_F24, KeyGroup::FunctionKeys, "F24", "F24"},
    {0x1B, 0x29, KEY_ESC, KeyGroup::EditingAndNavigation, "Esc", "Esc"},
    {0x0D, 0x28, KEY_ENTER, KeyGroup::EditingAndNavigation, "Enter", "Enter"},
    {0x09, 0x2B, KEY_TAB, KeyGroup::EditingAndNavigation, "Tab", "Tab"},
    {0x20, 0x2C, KEY_SPACE, KeyGroup::EditingAndNavigation, "Space", "Space"},
    {0x08, 0x2A, KEY_BACKSPACE, KeyGroup::EditingAndNavigation, "Back", "Backspace"},
    {0x2D, 0x49, KEY_INSERT, KeyGroup::EditingAndNavigation, "Ins", "Insert"},
    {0x2E, 0x4C, KEY_DELETE, KeyGroup::EditingAndNavigation, "Del", "Delete"},
    {0x24, 0x4A, KEY_HOME, KeyGroup::EditingAndNavigation, "Home", "Home"},
    {0x23, 0x4D, KEY_END, KeyGroup::EditingAndNavigation, "End", "End"},
    {0x21, 0x4B, KEY_PAGEUP, KeyGroup::EditingAndNavigation, "Page Up", "Page Up"},
    {0x22, 0x4E, KEY_PAGEDOWN, KeyGroup::EditingAndNavigation, "Page Down", "Page Down"},
    {0x25, 0x50, KEY_LEFT, KeyGroup::EditingAndNavigation, "Left Arrow", "Left Arrow"},
    {0x26, 0x52, KEY_UP, KeyGroup::EditingAndNavigation, "Up Arrow ", "Up Arrow"},
    {0x27, 0x4F, KEY_RIGHT, KeyGroup::EditingAndNavigation, "Right Arrow", "Right Arrow"},
    {0x28, 0x51, KEY_DOWN, KeyGroup::EditingAndNavigation, "Down Arrow", "Down Arrow"},
    {0x14, 0x39, KEY_CAPSLOCK, KeyGroup::EditingAndNavigation, "Caps Lock", "Caps Lock"},
    {0x91, 0x47, KEY_SCROLLLOCK, KeyGroup::EditingAndNavigation, "Scroll Lock", "Scroll Lock"},
    {0x2C, 0x46, KEY_SYSRQ, KeyGroup::EditingAndNavigation, "Print Screen", "Print Screen"},
    {0x13, 0x48, KEY_PAUSE, KeyGroup::EditingAndNavigation, "Pause", "Pause"},
    {0x5D, 0x65, KEY_COMPOSE, KeyGroup::EditingAndNavigation, "Application",
     "Application (Menu key)"},
    {0x17C, 0x7C, KEY_COPY, KeyGroup::EditingAndNavigation, "Copy", "Copy"},
    {0x17D, 0x7D, KEY_PASTE, KeyGroup::EditingAndNavigation, "Paste", "Paste"},
    {0x17E, 0x7E, KEY_FIND, KeyGroup::EditingAndNavigation, "Find", "Find"},
    {0xBD, 0x2D, KEY_MINUS, KeyGroup::Punctuation, "-", "- (minus)"},
    {0xBB, 0x2E, KEY_EQUAL, KeyGroup::Punctuation, "+", "+ (the = and + key)"},
    {0xDB, 0x2F, KEY_LEFTBRACE, KeyGroup::Punctuation, "[", "[ (left bracket)"},
    {0xDD, 0x30, KEY_RIGHTBRACE, KeyGroup::Punctuation, "]", "] (right bracket)"},
    {0xDC, 0x31, KEY_BACKSLASH, KeyGroup::Punctuation, "\\", "\\ (backslash)"},
    {0xBA, 0x33, KEY_SEMICOLON, KeyGroup::Punctuation, ";", "; (semicolon)"},
    {0xDE, 0x34, KEY_APOSTROPHE, KeyGroup::Punctuation, "'", "' (apostrophe)"},
    {0xC0, 0x35, KEY_GRAVE, KeyGroup::Punctuation, "`", "` (grave accent)"},
    {0xBC, 0x36, KEY_COMMA, KeyGroup::Punctuation, ",", ", (comma)"},
    {0xBE, 0x37, KEY_DOT, KeyGroup::Punctuation, ".", ". (period)"},
    {0xBF, 0x38, KEY_SLASH, KeyGroup::Punctuation, "/", "/ (slash)"},
    {0x60, 0x62, KEY_KP0, KeyGroup::Keypad, "0", "Keypad 0"},
    {0x61, 0x59, KEY_KP1, KeyGroup::Keypad, "1", "Keypad 1"},
    {0x62, 0x5A, KEY_KP2, KeyGroup::Keypad, "2", "Keypad 2"},
    {0x63, 0x5B, KEY_KP3, KeyGroup::Keypad, "3", "Keypad 3"},
    {0x64, 0x5C, KEY_KP4, KeyGroup::Keypad, "4", "Keypad 4"},
    {0x65, 0x5D, KEY_KP5, KeyGroup::Keypad, "5", "Keypad 5"},
    {0x66, 0x5E, KEY_KP6, KeyGroup::Keypad, "6", "Keypad 6"},
    {0x67, 0x5F, KEY_KP7, KeyGroup::Keypad, "7", "Keypad 7"},
    {0x68, 0x60, KEY_KP8, KeyGroup::Keypad, "8", "Keypad 8"},
    {0x69, 0x61, KEY_KP9, KeyGroup::Keypad, "9", "Keypad 9"},
    {0x6A, 0x55, KEY_KPASTERISK, KeyGroup::Keypad, "*", "Keypad *"},
    {0x6B, 0x57, KEY_KPPLUS, KeyGroup::Keypad, "+", "Keypad +"},
    {0x6D, 0x56, KEY_KPMINUS, KeyGroup::Keypad, "-", "Keypad -"},
    {0x6E, 0x63, KEY_KPDOT, KeyGroup::Keypad, ".", "Keypad ."},
    {0x6F, 0x54, KEY_KPSLASH, KeyGroup::Keypad, "/", "Keypad /"},
    {0x158, 0x58, KEY_KPENTER, KeyGroup::Keypad, "Num Enter", "Keypad Enter"},
    {0x185, 0x85, KEY_KPCOMMA, KeyGroup::Keypad, "Num ,", "Keypad , (Brazilian keypad)"},
    {0x18C, 0x8C, KEY_KPJPCOMMA, KeyGroup::Keypad, "Num JP ,", "Keypad , (Japanese keypad)"},
    {0x90, 0x53, KEY_NUMLOCK, KeyGroup::Keypad, "Num Lock", "Num Lock"},
    {0xA0, 0xE1, KEY_LEFTSHIFT, KeyGroup::Modifiers, "Left Shift", "Left Shift"},
    {0xA1, 0xE5, KEY_RIGHTSHIFT, KeyGroup::Modifiers, "Right Shift", "Right Shift"},
    {0xA2, 0xE0, KEY_LEFTCTRL, KeyGroup::Modifiers, "Left Control", "Left Control"},
    {0xA3, 0xE4, KEY_RIGHTCTRL, KeyGroup::Modifiers, "Right Control", "Right Control"},
    {0xA4, 0xE2, KEY_LEFTALT, KeyGroup::Modifiers, "Left Alt", "Left Alt"},
    {0xA5, 0xE6, KEY_RIGHTALT, KeyGroup::Modifiers, "Right Alt", "Right Alt (AltGr)"},
    {0x5B, 0xE3, KEY_LEFTMETA, KeyGroup::Modifiers, "Left Window", "Left Window"},
    {0x5C, 0xE7, KEY_RIGHTMETA, KeyGroup::Modifiers, "Right Window", "Right Window"},
    {0xAD, 0x7F, KEY_MUTE, KeyGroup::Media, "Mute", "Mute"},
    {0xAE, 0x81, KEY_VOLUMEDOWN, KeyGroup::Media, "Volume Down", "Volume Down"},
    {0xAF, 0x80, KEY_VOLUMEUP, KeyGroup::Media, "Volume Up ", "Volume Up"},
    {0xE2, 0x64, KEY_102ND, KeyGroup::International, "<", "< (ISO key between Left Shift and Z)"},
    {0x187, 0x87, KEY_RO, KeyGroup::International, "RO",
     "RO (Brazilian and Japanese key left of Right Shift)"},
    {0x189, 0x89, KEY_YEN, KeyGroup::International, "Yen", "Yen"},
    {0x1C, 0x8A, KEY_HENKAN, KeyGroup::International, "Henkan", "Henkan"},
    {0x1D, 0x8B, KEY_MUHENKAN, KeyGroup::International, "Muhenkan", "Muhenkan"},
    {0xF2, 0x88, KEY_KATAKANAHIRAGANA, KeyGroup::International, "Katakana/Hiragana",
     "Katakana/Hiragana"},
    {0x192, 0x92, KEY_KATAKANA, KeyGroup::International, "Katakana", "Katakana"},
    {0x193, 0x93, KEY_HIRAGANA, KeyGroup::International, "Hiragana", "Hiragana"},
    {0x194, 0x94, KEY_ZENKAKUHANKAKU, KeyGroup::International, "Zenkaku/Hankaku",
     "Zenkaku/Hankaku"},
    {0x15, 0x90, KEY_HANGEUL, KeyGroup::International, "Hangul", "Hangul"},
    {0x19, 0x91, KEY_HANJA, KeyGroup::International, "Hanja", "Hanja"},
};

// Keys pressed that have no row of their own: the keypad with NumLock off
// gives the navigation keys printed under the digits; the rest are keys the
// dialog names so that it can say they cannot be bound.
struct CaptureOnlyKey {
    uint16_t evdevCode;
    uint16_t virtualKey;
};
constexpr CaptureOnlyKey kWithoutNumLock[] = {
    {KEY_KP0, 0x2D},    // Ins
    {KEY_KP1, 0x23},    // End
    {KEY_KP2, 0x28},    // Down
    {KEY_KP3, 0x22},    // Page Down
    {KEY_KP4, 0x25},    // Left
    {KEY_KP5, 0x0C},    // Clear
    {KEY_KP6, 0x27},    // Right
    {KEY_KP7, 0x24},    // Home
    {KEY_KP8, 0x26},    // Up
    {KEY_KP9, 0x21},    // Page Up
    {KEY_KPDOT, 0x2E},  // Del
};
constexpr CaptureOnlyKey kUnassignableKeys[] = {
    {KEY_HELP, 0x2F},     {KEY_BACK, 0xA6},         {KEY_FORWARD, 0xA7},   {KEY_REFRESH, 0xA8},
    {KEY_STOP, 0xA9},     {KEY_SEARCH, 0xAA},       {KEY_BOOKMARKS, 0xAB}, {KEY_HOMEPAGE, 0xAC},
    {KEY_NEXTSONG, 0xB0}, {KEY_PREVIOUSSONG, 0xB1}, {KEY_STOPCD, 0xB2},    {KEY_PLAYPAUSE, 0xB3},
    {KEY_MAIL, 0xB4},
};

const KeyRow* FindKeyByEvdevCode(uint16_t evdevCode) {
    const auto* found = std::ranges::find(kKeys, evdevCode, &KeyRow::evdevCode);
    return found == std::end(kKeys) ? nullptr : found;
}

uint16_t CaptureOnlyKeyAt(std::span<const CaptureOnlyKey> keys, uint16_t evdevCode) {
    const auto found = std::ranges::find(keys, evdevCode, &CaptureOnlyKey::evdevCode);
    return found == keys.end() ? 0 : found->virtualKey;
}

}  // namespace

std::span<const KeyRow> AssignableKeys() {
    return kKeys;
}

const KeyRow* FindKeyByVirtualKey(uint16_t virtualKey) {
    const auto* found = std::ranges::find(kKeys, virtualKey, &KeyRow::virtualKey);
    return found == std::end(kKeys) ? nullptr : found;
}

const KeyRow* FindKeyByUsage(uint16_t usage) {
    const auto* found = std::ranges::find(
        kKeys, usage, [](const KeyRow& key) { return static_cast<uint16_t>(key.usage); });
    return found == std::end(kKeys) ? nullptr : found;
}

bool KeyCanBeAssigned(uint16_t virtualKey) {
    return FindKeyByVirtualKey(virtualKey) != nullptr;
}

uint16_t EvdevToVirtualKey(uint16_t evdevCode, bool numLockOn) {
    if (!numLockOn) {
        if (const uint16_t key = CaptureOnlyKeyAt(kWithoutNumLock, evdevCode)) {
            return key;
        }
    }
    if (const KeyRow* key = FindKeyByEvdevCode(evdevCode)) {
        return key->virtualKey;
    }
    return CaptureOnlyKeyAt(kUnassignableKeys, evdevCode);
}

uint16_t XKeycodeToVirtualKey(uint32_t xKeycode, bool numLockOn) {
    if (xKeycode < kXKeycodeOffset || xKeycode - kXKeycodeOffset > UINT16_MAX) {
        return 0;
    }
    return EvdevToVirtualKey(static_cast<uint16_t>(xKeycode - kXKeycodeOffset), numLockOn);
}

bool XKeycodeFollowsNumLock(uint32_t xKeycode) {
    if (xKeycode < kXKeycodeOffset || xKeycode - kXKeycodeOffset > UINT16_MAX) {
        return false;
    }
    return CaptureOnlyKeyAt(kWithoutNumLock, static_cast<uint16_t>(xKeycode - kXKeycodeOffset)) !=
           0;
}

const char* KeyGroupName(KeyGroup group) {
    switch (group) {
        case KeyGroup::Letters:
            return "Letters";
        case KeyGroup::Digits:
            return "Digits";
        case KeyGroup::FunctionKeys:
            return "F1 to F24";
        case KeyGroup::EditingAndNavigation:
            return "Editing and navigation";
        case KeyGroup::Punctuation:
            return "Punctuation (by US-layout position)";
        case KeyGroup::Keypad:
            return "Keypad";
        case KeyGroup::Modifiers:
            return "Modifiers";
        case KeyGroup::Media:
            return "Media";
        case KeyGroup::International:
            return "International";
    }
    return "";
}
