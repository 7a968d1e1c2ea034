#include "settings/key_table.h"

#include <linux/input-event-codes.h>

#include <algorithm>

namespace {

struct EvdevKey {
    uint16_t evdevCode;
    uint16_t virtualKey;
    uint16_t withoutNumLock = 0;  // keypad keys: the key NumLock off makes them; 0 = the same
};

// Evdev code -> Windows virtual-key code, by the key's position on a US
// keyboard: the codes the Windows US layout (kbdus) gives for the same
// positions. Left and right modifiers stay apart, as the mouse can send either.
constexpr EvdevKey kEvdevKeys[] = {
    // letters
    {KEY_A, 'A'},
    {KEY_B, 'B'},
    {KEY_C, 'C'},
    {KEY_D, 'D'},
    {KEY_E, 'E'},
    {KEY_F, 'F'},
    {KEY_G, 'G'},
    {KEY_H, 'H'},
    {KEY_I, 'I'},
    {KEY_J, 'J'},
    {KEY_K, 'K'},
    {KEY_L, 'L'},
    {KEY_M, 'M'},
    {KEY_N, 'N'},
    {KEY_O, 'O'},
    {KEY_P, 'P'},
    {KEY_Q, 'Q'},
    {KEY_R, 'R'},
    {KEY_S, 'S'},
    {KEY_T, 'T'},
    {KEY_U, 'U'},
    {KEY_V, 'V'},
    {KEY_W, 'W'},
    {KEY_X, 'X'},
    {KEY_Y, 'Y'},
    {KEY_Z, 'Z'},
    // digits
    {KEY_1, '1'},
    {KEY_2, '2'},
    {KEY_3, '3'},
    {KEY_4, '4'},
    {KEY_5, '5'},
    {KEY_6, '6'},
    {KEY_7, '7'},
    {KEY_8, '8'},
    {KEY_9, '9'},
    {KEY_0, '0'},
    // function keys
    {KEY_F1, 0x70},
    {KEY_F2, 0x71},
    {KEY_F3, 0x72},
    {KEY_F4, 0x73},
    {KEY_F5, 0x74},
    {KEY_F6, 0x75},
    {KEY_F7, 0x76},
    {KEY_F8, 0x77},
    {KEY_F9, 0x78},
    {KEY_F10, 0x79},
    {KEY_F11, 0x7A},
    {KEY_F12, 0x7B},
    {KEY_F13, 0x7C},
    {KEY_F14, 0x7D},
    {KEY_F15, 0x7E},
    {KEY_F16, 0x7F},
    {KEY_F17, 0x80},
    {KEY_F18, 0x81},
    {KEY_F19, 0x82},
    {KEY_F20, 0x83},
    {KEY_F21, 0x84},
    {KEY_F22, 0x85},
    {KEY_F23, 0x86},
    {KEY_F24, 0x87},
    // editing and navigation
    {KEY_ESC, 0x1B},
    {KEY_BACKSPACE, 0x08},
    {KEY_TAB, 0x09},
    {KEY_ENTER, 0x0D},
    {KEY_SPACE, 0x20},
    {KEY_CAPSLOCK, 0x14},
    {KEY_SYSRQ, 0x2C},  // Print Screen
    {KEY_SCROLLLOCK, 0x91},
    {KEY_PAUSE, 0x13},
    {KEY_INSERT, 0x2D},
    {KEY_DELETE, 0x2E},
    {KEY_HOME, 0x24},
    {KEY_END, 0x23},
    {KEY_PAGEUP, 0x21},
    {KEY_PAGEDOWN, 0x22},
    {KEY_LEFT, 0x25},
    {KEY_UP, 0x26},
    {KEY_RIGHT, 0x27},
    {KEY_DOWN, 0x28},
    {KEY_COMPOSE, 0x5D},  // the Menu key beside Right Window
    {KEY_HELP, 0x2F},
    // punctuation, named by what the US layout prints there
    {KEY_MINUS, 0xBD},
    {KEY_EQUAL, 0xBB},
    {KEY_LEFTBRACE, 0xDB},
    {KEY_RIGHTBRACE, 0xDD},
    {KEY_BACKSLASH, 0xDC},  // also the ISO keyboard's key left of Enter
    {KEY_SEMICOLON, 0xBA},
    {KEY_APOSTROPHE, 0xDE},
    {KEY_GRAVE, 0xC0},
    {KEY_COMMA, 0xBC},
    {KEY_DOT, 0xBE},
    {KEY_SLASH, 0xBF},
    // keypad
    {KEY_NUMLOCK, 0x90},
    {KEY_KPSLASH, 0x6F},
    {KEY_KPASTERISK, 0x6A},
    {KEY_KPMINUS, 0x6D},
    {KEY_KPPLUS, 0x6B},
    {KEY_KPENTER, 0x0D},
    {KEY_KP0, 0x60, 0x2D},    // Ins
    {KEY_KP1, 0x61, 0x23},    // End
    {KEY_KP2, 0x62, 0x28},    // Down
    {KEY_KP3, 0x63, 0x22},    // Page Down
    {KEY_KP4, 0x64, 0x25},    // Left
    {KEY_KP5, 0x65, 0x0C},    // Clear
    {KEY_KP6, 0x66, 0x27},    // Right
    {KEY_KP7, 0x67, 0x24},    // Home
    {KEY_KP8, 0x68, 0x26},    // Up
    {KEY_KP9, 0x69, 0x21},    // Page Up
    {KEY_KPDOT, 0x6E, 0x2E},  // Del
    // modifiers
    {KEY_LEFTSHIFT, 0xA0},
    {KEY_RIGHTSHIFT, 0xA1},
    {KEY_LEFTCTRL, 0xA2},
    {KEY_RIGHTCTRL, 0xA3},
    {KEY_LEFTALT, 0xA4},
    {KEY_RIGHTALT, 0xA5},  // AltGr
    {KEY_LEFTMETA, 0x5B},
    {KEY_RIGHTMETA, 0x5C},
    // media and browser
    {KEY_BACK, 0xA6},
    {KEY_FORWARD, 0xA7},
    {KEY_REFRESH, 0xA8},
    {KEY_STOP, 0xA9},
    {KEY_SEARCH, 0xAA},
    {KEY_BOOKMARKS, 0xAB},
    {KEY_HOMEPAGE, 0xAC},
    {KEY_MUTE, 0xAD},
    {KEY_VOLUMEDOWN, 0xAE},
    {KEY_VOLUMEUP, 0xAF},
    {KEY_NEXTSONG, 0xB0},
    {KEY_PREVIOUSSONG, 0xB1},
    {KEY_STOPCD, 0xB2},
    {KEY_PLAYPAUSE, 0xB3},
    {KEY_MAIL, 0xB4},
    // international
    {KEY_102ND, 0xE2},  // the ISO keyboard's key between Left Shift and Z
    {KEY_HENKAN, 0x1C},
    {KEY_MUHENKAN, 0x1D},
    {KEY_KATAKANAHIRAGANA, 0xF2},
    {KEY_HANGEUL, 0x15},
    {KEY_HANJA, 0x19},
};

constexpr AssignableKey kAssignableKeys[] = {
    {'A', KeyGroup::Letters, "A"},
    {'B', KeyGroup::Letters, "B"},
    {'C', KeyGroup::Letters, "C"},
    {'D', KeyGroup::Letters, "D"},
    {'E', KeyGroup::Letters, "E"},
    {'F', KeyGroup::Letters, "F"},
    {'G', KeyGroup::Letters, "G"},
    {'H', KeyGroup::Letters, "H"},
    {'I', KeyGroup::Letters, "I"},
    {'J', KeyGroup::Letters, "J"},
    {'K', KeyGroup::Letters, "K"},
    {'L', KeyGroup::Letters, "L"},
    {'M', KeyGroup::Letters, "M"},
    {'N', KeyGroup::Letters, "N"},
    {'O', KeyGroup::Letters, "O"},
    {'P', KeyGroup::Letters, "P"},
    {'Q', KeyGroup::Letters, "Q"},
    {'R', KeyGroup::Letters, "R"},
    {'S', KeyGroup::Letters, "S"},
    {'T', KeyGroup::Letters, "T"},
    {'U', KeyGroup::Letters, "U"},
    {'V', KeyGroup::Letters, "V"},
    {'W', KeyGroup::Letters, "W"},
    {'X', KeyGroup::Letters, "X"},
    {'Y', KeyGroup::Letters, "Y"},
    {'Z', KeyGroup::Letters, "Z"},
    {'1', KeyGroup::Digits, "1"},
    {'2', KeyGroup::Digits, "2"},
    {'3', KeyGroup::Digits, "3"},
    {'4', KeyGroup::Digits, "4"},
    {'5', KeyGroup::Digits, "5"},
    {'6', KeyGroup::Digits, "6"},
    {'7', KeyGroup::Digits, "7"},
    {'8', KeyGroup::Digits, "8"},
    {'9', KeyGroup::Digits, "9"},
    {'0', KeyGroup::Digits, "0"},
    {0x70, KeyGroup::FunctionKeys, "F1"},
    {0x71, KeyGroup::FunctionKeys, "F2"},
    {0x72, KeyGroup::FunctionKeys, "F3"},
    {0x73, KeyGroup::FunctionKeys, "F4"},
    {0x74, KeyGroup::FunctionKeys, "F5"},
    {0x75, KeyGroup::FunctionKeys, "F6"},
    {0x76, KeyGroup::FunctionKeys, "F7"},
    {0x77, KeyGroup::FunctionKeys, "F8"},
    {0x78, KeyGroup::FunctionKeys, "F9"},
    {0x79, KeyGroup::FunctionKeys, "F10"},
    {0x7A, KeyGroup::FunctionKeys, "F11"},
    {0x7B, KeyGroup::FunctionKeys, "F12"},
    {0x7C, KeyGroup::FunctionKeys, "F13"},
    {0x7D, KeyGroup::FunctionKeys, "F14"},
    {0x7E, KeyGroup::FunctionKeys, "F15"},
    {0x7F, KeyGroup::FunctionKeys, "F16"},
    {0x80, KeyGroup::FunctionKeys, "F17"},
    {0x81, KeyGroup::FunctionKeys, "F18"},
    {0x82, KeyGroup::FunctionKeys, "F19"},
    {0x83, KeyGroup::FunctionKeys, "F20"},
    {0x84, KeyGroup::FunctionKeys, "F21"},
    {0x85, KeyGroup::FunctionKeys, "F22"},
    {0x86, KeyGroup::FunctionKeys, "F23"},
    {0x87, KeyGroup::FunctionKeys, "F24"},
    {0x1B, KeyGroup::EditingAndNavigation, "Esc"},
    {0x0D, KeyGroup::EditingAndNavigation, "Enter"},
    {0x09, KeyGroup::EditingAndNavigation, "Tab"},
    {0x20, KeyGroup::EditingAndNavigation, "Space"},
    {0x08, KeyGroup::EditingAndNavigation, "Backspace"},
    {0x2D, KeyGroup::EditingAndNavigation, "Insert"},
    {0x2E, KeyGroup::EditingAndNavigation, "Delete"},
    {0x24, KeyGroup::EditingAndNavigation, "Home"},
    {0x23, KeyGroup::EditingAndNavigation, "End"},
    {0x21, KeyGroup::EditingAndNavigation, "Page Up"},
    {0x22, KeyGroup::EditingAndNavigation, "Page Down"},
    {0x25, KeyGroup::EditingAndNavigation, "Left Arrow"},
    {0x26, KeyGroup::EditingAndNavigation, "Up Arrow"},
    {0x27, KeyGroup::EditingAndNavigation, "Right Arrow"},
    {0x28, KeyGroup::EditingAndNavigation, "Down Arrow"},
    {0x14, KeyGroup::EditingAndNavigation, "Caps Lock"},
    {0x91, KeyGroup::EditingAndNavigation, "Scroll Lock"},
    {0x2C, KeyGroup::EditingAndNavigation, "Print Screen"},
    {0x13, KeyGroup::EditingAndNavigation, "Pause"},
    {0x5D, KeyGroup::EditingAndNavigation, "Application (Menu key)"},
    {0xBD, KeyGroup::Punctuation, "- (minus)"},
    {0xBB, KeyGroup::Punctuation, "+ (the = and + key)"},
    {0xDB, KeyGroup::Punctuation, "[ (left bracket)"},
    {0xDD, KeyGroup::Punctuation, "] (right bracket)"},
    {0xDC, KeyGroup::Punctuation, "\\ (backslash)"},
    {0xBA, KeyGroup::Punctuation, "; (semicolon)"},
    {0xDE, KeyGroup::Punctuation, "' (apostrophe)"},
    {0xC0, KeyGroup::Punctuation, "` (grave accent)"},
    {0xBC, KeyGroup::Punctuation, ", (comma)"},
    {0xBE, KeyGroup::Punctuation, ". (period)"},
    {0xBF, KeyGroup::Punctuation, "/ (slash)"},
    {0x60, KeyGroup::Keypad, "Keypad 0"},
    {0x61, KeyGroup::Keypad, "Keypad 1"},
    {0x62, KeyGroup::Keypad, "Keypad 2"},
    {0x63, KeyGroup::Keypad, "Keypad 3"},
    {0x64, KeyGroup::Keypad, "Keypad 4"},
    {0x65, KeyGroup::Keypad, "Keypad 5"},
    {0x66, KeyGroup::Keypad, "Keypad 6"},
    {0x67, KeyGroup::Keypad, "Keypad 7"},
    {0x68, KeyGroup::Keypad, "Keypad 8"},
    {0x69, KeyGroup::Keypad, "Keypad 9"},
    {0x6A, KeyGroup::Keypad, "Keypad *"},
    {0x6B, KeyGroup::Keypad, "Keypad +"},
    {0x6D, KeyGroup::Keypad, "Keypad -"},
    {0x6E, KeyGroup::Keypad, "Keypad ."},
    {0x6F, KeyGroup::Keypad, "Keypad /"},
    {0x90, KeyGroup::Keypad, "Num Lock"},
    {0xA0, KeyGroup::Modifiers, "Left Shift"},
    {0xA1, KeyGroup::Modifiers, "Right Shift"},
    {0xA2, KeyGroup::Modifiers, "Left Control"},
    {0xA3, KeyGroup::Modifiers, "Right Control"},
    {0xA4, KeyGroup::Modifiers, "Left Alt"},
    {0xA5, KeyGroup::Modifiers, "Right Alt (AltGr)"},
    {0x5B, KeyGroup::Modifiers, "Left Window"},
    {0x5C, KeyGroup::Modifiers, "Right Window"},
    {0xAE, KeyGroup::MediaAndBrowser, "Volume Down"},
    {0xAF, KeyGroup::MediaAndBrowser, "Volume Up"},
    {0xA6, KeyGroup::MediaAndBrowser, "Browser Back"},
    {0xA7, KeyGroup::MediaAndBrowser, "Browser Forward"},
    {0xA8, KeyGroup::MediaAndBrowser, "Browser Refresh"},
    {0xE2, KeyGroup::International, "< (ISO key between Left Shift and Z)"},
    {0x1C, KeyGroup::International, "Henkan"},
    {0x1D, KeyGroup::International, "Muhenkan"},
    {0xF2, KeyGroup::International, "Katakana/Hiragana"},
    {0x15, KeyGroup::International, "Hangul"},
    {0x19, KeyGroup::International, "Hanja"},
};

const EvdevKey* FindEvdevKey(uint16_t evdevCode) {
    const auto* found = std::ranges::find(kEvdevKeys, evdevCode, &EvdevKey::evdevCode);
    return found == std::end(kEvdevKeys) ? nullptr : found;
}

}  // namespace

uint16_t EvdevToVirtualKey(uint16_t evdevCode, bool numLockOn) {
    const EvdevKey* key = FindEvdevKey(evdevCode);
    if (!key) {
        return 0;
    }
    return (!numLockOn && key->withoutNumLock != 0) ? key->withoutNumLock : key->virtualKey;
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
    const EvdevKey* key = FindEvdevKey(static_cast<uint16_t>(xKeycode - kXKeycodeOffset));
    return key && key->withoutNumLock != 0;
}

std::span<const AssignableKey> AssignableKeys() {
    return kAssignableKeys;
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
        case KeyGroup::MediaAndBrowser:
            return "Media and browser";
        case KeyGroup::International:
            return "International";
    }
    return "";
}

bool KeyCanBeAssigned(uint16_t virtualKey) {
    return std::ranges::find(kAssignableKeys, virtualKey, &AssignableKey::virtualKey) !=
           std::end(kAssignableKeys);
}
