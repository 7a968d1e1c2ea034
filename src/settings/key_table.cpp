#include "settings/key_table.h"

#include <linux/input-event-codes.h>

#include <algorithm>
#include <iterator>

namespace {

// In list order. Each key has one name, the plain name of the key in US
// terms, used wherever a key is shown or written; the aliases are the other
// spellings earlier versions showed or wrote, still read. Left and right
// modifiers stay apart, as the mouse can send either; the keypad keys are
// "Num" keys, whatever NumLock makes them type.
constexpr KeyRow kKeys[] = {
    {'A', 0x04, KEY_A, KeyGroup::Letters, "A", ""},
    {'B', 0x05, KEY_B, KeyGroup::Letters, "B", ""},
    {'C', 0x06, KEY_C, KeyGroup::Letters, "C", ""},
    {'D', 0x07, KEY_D, KeyGroup::Letters, "D", ""},
    {'E', 0x08, KEY_E, KeyGroup::Letters, "E", ""},
    {'F', 0x09, KEY_F, KeyGroup::Letters, "F", ""},
    {'G', 0x0A, KEY_G, KeyGroup::Letters, "G", ""},
    {'H', 0x0B, KEY_H, KeyGroup::Letters, "H", ""},
    {'I', 0x0C, KEY_I, KeyGroup::Letters, "I", ""},
    {'J', 0x0D, KEY_J, KeyGroup::Letters, "J", ""},
    {'K', 0x0E, KEY_K, KeyGroup::Letters, "K", ""},
    {'L', 0x0F, KEY_L, KeyGroup::Letters, "L", ""},
    {'M', 0x10, KEY_M, KeyGroup::Letters, "M", ""},
    {'N', 0x11, KEY_N, KeyGroup::Letters, "N", ""},
    {'O', 0x12, KEY_O, KeyGroup::Letters, "O", ""},
    {'P', 0x13, KEY_P, KeyGroup::Letters, "P", ""},
    {'Q', 0x14, KEY_Q, KeyGroup::Letters, "Q", ""},
    {'R', 0x15, KEY_R, KeyGroup::Letters, "R", ""},
    {'S', 0x16, KEY_S, KeyGroup::Letters, "S", ""},
    {'T', 0x17, KEY_T, KeyGroup::Letters, "T", ""},
    {'U', 0x18, KEY_U, KeyGroup::Letters, "U", ""},
    {'V', 0x19, KEY_V, KeyGroup::Letters, "V", ""},
    {'W', 0x1A, KEY_W, KeyGroup::Letters, "W", ""},
    {'X', 0x1B, KEY_X, KeyGroup::Letters, "X", ""},
    {'Y', 0x1C, KEY_Y, KeyGroup::Letters, "Y", ""},
    {'Z', 0x1D, KEY_Z, KeyGroup::Letters, "Z", ""},
    {'1', 0x1E, KEY_1, KeyGroup::Digits, "1", ""},
    {'2', 0x1F, KEY_2, KeyGroup::Digits, "2", ""},
    {'3', 0x20, KEY_3, KeyGroup::Digits, "3", ""},
    {'4', 0x21, KEY_4, KeyGroup::Digits, "4", ""},
    {'5', 0x22, KEY_5, KeyGroup::Digits, "5", ""},
    {'6', 0x23, KEY_6, KeyGroup::Digits, "6", ""},
    {'7', 0x24, KEY_7, KeyGroup::Digits, "7", ""},
    {'8', 0x25, KEY_8, KeyGroup::Digits, "8", ""},
    {'9', 0x26, KEY_9, KeyGroup::Digits, "9", ""},
    {'0', 0x27, KEY_0, KeyGroup::Digits, "0", ""},
    {0x70, 0x3A, KEY_F1, KeyGroup::FunctionKeys, "F1", ""},
    {0x71, 0x3B, KEY_F2, KeyGroup::FunctionKeys, "F2", ""},
    {0x72, 0x3C, KEY_F3, KeyGroup::FunctionKeys, "F3", ""},
    {0x73, 0x3D, KEY_F4, KeyGroup::FunctionKeys, "F4", ""},
    {0x74, 0x3E, KEY_F5, KeyGroup::FunctionKeys, "F5", ""},
    {0x75, 0x3F, KEY_F6, KeyGroup::FunctionKeys, "F6", ""},
    {0x76, 0x40, KEY_F7, KeyGroup::FunctionKeys, "F7", ""},
    {0x77, 0x41, KEY_F8, KeyGroup::FunctionKeys, "F8", ""},
    {0x78, 0x42, KEY_F9, KeyGroup::FunctionKeys, "F9", ""},
    {0x79, 0x43, KEY_F10, KeyGroup::FunctionKeys, "F10", ""},
    {0x7A, 0x44, KEY_F11, KeyGroup::FunctionKeys, "F11", ""},
    {0x7B, 0x45, KEY_F12, KeyGroup::FunctionKeys, "F12", ""},
    {0x7C, 0x68, KEY_F13, KeyGroup::FunctionKeys, "F13", ""},
    {0x7D, 0x69, KEY_F14, KeyGroup::FunctionKeys, "F14", ""},
    {0x7E, 0x6A, KEY_F15, KeyGroup::FunctionKeys, "F15", ""},
    {0x7F, 0x6B, KEY_F16, KeyGroup::FunctionKeys, "F16", ""},
    {0x80, 0x6C, KEY_F17, KeyGroup::FunctionKeys, "F17", ""},
    {0x81, 0x6D, KEY_F18, KeyGroup::FunctionKeys, "F18", ""},
    {0x82, 0x6E, KEY_F19, KeyGroup::FunctionKeys, "F19", ""},
    {0x83, 0x6F, KEY_F20, KeyGroup::FunctionKeys, "F20", ""},
    {0x84, 0x70, KEY_F21, KeyGroup::FunctionKeys, "F21", ""},
    {0x85, 0x71, KEY_F22, KeyGroup::FunctionKeys, "F22", ""},
    {0x86, 0x72, KEY_F23, KeyGroup::FunctionKeys, "F23", ""},
    {0x87, 0x73, KEY_F24, KeyGroup::FunctionKeys, "F24", ""},
    {0x1B, 0x29, KEY_ESC, KeyGroup::EditingAndNavigation, "Esc", "Escape"},
    {0x0D, 0x28, KEY_ENTER, KeyGroup::EditingAndNavigation, "Enter", ""},
    {0x09, 0x2B, KEY_TAB, KeyGroup::EditingAndNavigation, "Tab", ""},
    {0x20, 0x2C, KEY_SPACE, KeyGroup::EditingAndNavigation, "Space", ""},
    {0x08, 0x2A, KEY_BACKSPACE, KeyGroup::EditingAndNavigation, "Backspace", "Back"},
    {0x2D, 0x49, KEY_INSERT, KeyGroup::EditingAndNavigation, "Insert", "Ins"},
    {0x2E, 0x4C, KEY_DELETE, KeyGroup::EditingAndNavigation, "Delete", "Del"},
    {0x24, 0x4A, KEY_HOME, KeyGroup::EditingAndNavigation, "Home", ""},
    {0x23, 0x4D, KEY_END, KeyGroup::EditingAndNavigation, "End", ""},
    {0x21, 0x4B, KEY_PAGEUP, KeyGroup::EditingAndNavigation, "Page Up", ""},
    {0x22, 0x4E, KEY_PAGEDOWN, KeyGroup::EditingAndNavigation, "Page Down", ""},
    {0x25, 0x50, KEY_LEFT, KeyGroup::EditingAndNavigation, "Left Arrow", "Left"},
    {0x26, 0x52, KEY_UP, KeyGroup::EditingAndNavigation, "Up Arrow", "Up"},
    {0x27, 0x4F, KEY_RIGHT, KeyGroup::EditingAndNavigation, "Right Arrow", "Right"},
    {0x28, 0x51, KEY_DOWN, KeyGroup::EditingAndNavigation, "Down Arrow", "Down"},
    {0x14, 0x39, KEY_CAPSLOCK, KeyGroup::EditingAndNavigation, "Caps Lock", ""},
    {0x91, 0x47, KEY_SCROLLLOCK, KeyGroup::EditingAndNavigation, "Scroll Lock", ""},
    {0x2C, 0x46, KEY_SYSRQ, KeyGroup::EditingAndNavigation, "Print Screen", "PrtSc"},
    {0x13, 0x48, KEY_PAUSE, KeyGroup::EditingAndNavigation, "Pause", ""},
    {0x5D, 0x65, KEY_COMPOSE, KeyGroup::EditingAndNavigation, "Application",
     "Application (Menu key)|Apps"},
    {0x17C, 0x7C, KEY_COPY, KeyGroup::EditingAndNavigation, "Copy", ""},
    {0x17D, 0x7D, KEY_PASTE, KeyGroup::EditingAndNavigation, "Paste", ""},
    {0x17E, 0x7E, KEY_FIND, KeyGroup::EditingAndNavigation, "Find", ""},
    {0x2B, 0x74, KEY_OPEN, KeyGroup::EditingAndNavigation, "Execute", ""},
    {0x2F, 0x75, KEY_HELP, KeyGroup::EditingAndNavigation, "Help", ""},
    {0x176, 0x76, KEY_PROPS, KeyGroup::EditingAndNavigation, "Menu", ""},
    {0x29, 0x77, KEY_FRONT, KeyGroup::EditingAndNavigation, "Select", ""},
    {0x178, 0x78, KEY_STOP, KeyGroup::EditingAndNavigation, "Stop", ""},
    {0x179, 0x79, KEY_AGAIN, KeyGroup::EditingAndNavigation, "Again", "Redo"},
    {0x17A, 0x7A, KEY_UNDO, KeyGroup::EditingAndNavigation, "Undo", ""},
    {0x17B, 0x7B, KEY_CUT, KeyGroup::EditingAndNavigation, "Cut", ""},
    {0xBD, 0x2D, KEY_MINUS, KeyGroup::Punctuation, "-", "Minus|- (minus)"},
    {0xBB, 0x2E, KEY_EQUAL, KeyGroup::Punctuation, "=", "Equals|+|+ (the = and + key)"},
    {0xDB, 0x2F, KEY_LEFTBRACE, KeyGroup::Punctuation, "[", "Left Bracket|[ (left bracket)"},
    {0xDD, 0x30, KEY_RIGHTBRACE, KeyGroup::Punctuation, "]", "Right Bracket|] (right bracket)"},
    {0xDC, 0x31, KEY_BACKSLASH, KeyGroup::Punctuation, "\\", "Backslash|\\ (backslash)"},
    {0xBA, 0x33, KEY_SEMICOLON, KeyGroup::Punctuation, ";", "Semicolon|; (semicolon)"},
    {0xDE, 0x34, KEY_APOSTROPHE, KeyGroup::Punctuation, "'", "Apostrophe|' (apostrophe)"},
    {0xC0, 0x35, KEY_GRAVE, KeyGroup::Punctuation, "`", "Grave|` (grave accent)"},
    {0xBC, 0x36, KEY_COMMA, KeyGroup::Punctuation, ",", "Comma|, (comma)"},
    {0xBE, 0x37, KEY_DOT, KeyGroup::Punctuation, ".", "Period|. (period)"},
    {0xBF, 0x38, KEY_SLASH, KeyGroup::Punctuation, "/", "Slash|/ (slash)"},
    {0x60, 0x62, KEY_KP0, KeyGroup::Keypad, "Num 0", "Keypad 0"},
    {0x61, 0x59, KEY_KP1, KeyGroup::Keypad, "Num 1", "Keypad 1"},
    {0x62, 0x5A, KEY_KP2, KeyGroup::Keypad, "Num 2", "Keypad 2"},
    {0x63, 0x5B, KEY_KP3, KeyGroup::Keypad, "Num 3", "Keypad 3"},
    {0x64, 0x5C, KEY_KP4, KeyGroup::Keypad, "Num 4", "Keypad 4"},
    {0x65, 0x5D, KEY_KP5, KeyGroup::Keypad, "Num 5", "Keypad 5"},
    {0x66, 0x5E, KEY_KP6, KeyGroup::Keypad, "Num 6", "Keypad 6"},
    {0x67, 0x5F, KEY_KP7, KeyGroup::Keypad, "Num 7", "Keypad 7"},
    {0x68, 0x60, KEY_KP8, KeyGroup::Keypad, "Num 8", "Keypad 8"},
    {0x69, 0x61, KEY_KP9, KeyGroup::Keypad, "Num 9", "Keypad 9"},
    {0x6A, 0x55, KEY_KPASTERISK, KeyGroup::Keypad, "Num *", "Keypad *"},
    {0x6B, 0x57, KEY_KPPLUS, KeyGroup::Keypad, "Num +", "Keypad +"},
    {0x6D, 0x56, KEY_KPMINUS, KeyGroup::Keypad, "Num -", "Keypad -"},
    {0x6E, 0x63, KEY_KPDOT, KeyGroup::Keypad, "Num .", "Keypad ."},
    {0x6F, 0x54, KEY_KPSLASH, KeyGroup::Keypad, "Num /", "Keypad /"},
    {0x167, 0x67, KEY_KPEQUAL, KeyGroup::Keypad, "Num =", "Keypad ="},
    {0x1B6, 0xB6, KEY_KPLEFTPAREN, KeyGroup::Keypad, "Num (", "Keypad ("},
    {0x1B7, 0xB7, KEY_KPRIGHTPAREN, KeyGroup::Keypad, "Num )", "Keypad )"},
    {0x158, 0x58, KEY_KPENTER, KeyGroup::Keypad, "Num Enter", "Keypad Enter"},
    {0x185, 0x85, KEY_KPCOMMA, KeyGroup::Keypad, "Num ,", "Keypad ,|Keypad , (Brazilian keypad)"},
    {0x18C, 0x8C, KEY_KPJPCOMMA, KeyGroup::Keypad, "Num JP ,", "Keypad , (Japanese keypad)"},
    {0x90, 0x53, KEY_NUMLOCK, KeyGroup::Keypad, "Num Lock", ""},
    {0xA0, 0xE1, KEY_LEFTSHIFT, KeyGroup::Modifiers, "Left Shift", ""},
    {0xA1, 0xE5, KEY_RIGHTSHIFT, KeyGroup::Modifiers, "Right Shift", ""},
    {0xA2, 0xE0, KEY_LEFTCTRL, KeyGroup::Modifiers, "Left Control", "Left Ctrl"},
    {0xA3, 0xE4, KEY_RIGHTCTRL, KeyGroup::Modifiers, "Right Control", "Right Ctrl"},
    {0xA4, 0xE2, KEY_LEFTALT, KeyGroup::Modifiers, "Left Alt", ""},
    {0xA5, 0xE6, KEY_RIGHTALT, KeyGroup::Modifiers, "Right Alt", "Right Alt (AltGr)|AltGr"},
    {0x5B, 0xE3, KEY_LEFTMETA, KeyGroup::Modifiers, "Left Window", "Left Win|Left Super"},
    {0x5C, 0xE7, KEY_RIGHTMETA, KeyGroup::Modifiers, "Right Window", "Right Win|Right Super"},
    {0xAD, 0x7F, KEY_MUTE, KeyGroup::Media, "Mute", ""},
    {0xAE, 0x81, KEY_VOLUMEDOWN, KeyGroup::Media, "Volume Down", ""},
    {0xAF, 0x80, KEY_VOLUMEUP, KeyGroup::Media, "Volume Up", ""},
    {0xE2, 0x64, KEY_102ND, KeyGroup::International, "<",
     "ISO <|< (ISO key between Left Shift and Z)"},
    {0x187, 0x87, KEY_RO, KeyGroup::International, "RO",
     "RO (Brazilian and Japanese key left of Right Shift)"},
    {0x189, 0x89, KEY_YEN, KeyGroup::International, "Yen", ""},
    {0x1C, 0x8A, KEY_HENKAN, KeyGroup::International, "Henkan", ""},
    {0x1D, 0x8B, KEY_MUHENKAN, KeyGroup::International, "Muhenkan", ""},
    {0xF2, 0x88, KEY_KATAKANAHIRAGANA, KeyGroup::International, "Katakana/Hiragana", ""},
    {0x192, 0x92, KEY_KATAKANA, KeyGroup::International, "Katakana", ""},
    {0x193, 0x93, KEY_HIRAGANA, KeyGroup::International, "Hiragana", ""},
    {0x194, 0x94, KEY_ZENKAKUHANKAKU, KeyGroup::International, "Zenkaku/Hankaku", ""},
    {0x15, 0x90, KEY_HANGEUL, KeyGroup::International, "Hangul", ""},
    {0x19, 0x91, KEY_HANJA, KeyGroup::International, "Hanja", ""},
};

// Keys a keyboard has that the mouse cannot send (their usages are on the
// consumer page, not the keyboard page), by the key Linux reports and the
// virtual-key code the dialog names them by. A media key points the user to
// the entry of the MEDIA menu that does its work.
constexpr RefusedKey kRefusedKeys[] = {
    {KEY_PLAYPAUSE, 0xB3, "Play/Pause", "PLAY/PAUSE"},
    {KEY_NEXTSONG, 0xB0, "Next Track", "NEXT"},
    {KEY_PREVIOUSSONG, 0xB1, "Previous Track", "PREVIOUS"},
    {KEY_STOPCD, 0xB2, "Stop Media", nullptr},
    {KEY_BACK, 0xA6, "Browser Back", nullptr},
    {KEY_FORWARD, 0xA7, "Browser Forward", nullptr},
    {KEY_REFRESH, 0xA8, "Browser Refresh", nullptr},
    {KEY_SEARCH, 0xAA, "Browser Search", nullptr},
    {KEY_BOOKMARKS, 0xAB, "Favorites", nullptr},
    {KEY_HOMEPAGE, 0xAC, "Browser Home", nullptr},
    {KEY_MAIL, 0xB4, "Mail", nullptr},
};

template <typename Row, size_t N, typename Value, typename Field>
const Row* FindRow(const Row (&rows)[N], Value value, Field field) {
    const auto* found = std::ranges::find(rows, value, field);
    return found == std::end(rows) ? nullptr : found;
}

}  // namespace

std::span<const KeyRow> AssignableKeys() {
    return kKeys;
}

const KeyRow* FindKeyByVirtualKey(uint16_t virtualKey) {
    return FindRow(kKeys, virtualKey, &KeyRow::virtualKey);
}

const KeyRow* FindKeyByUsage(uint16_t usage) {
    return FindRow(kKeys, usage,
                   [](const KeyRow& key) { return static_cast<uint16_t>(key.usage); });
}

std::span<const RefusedKey> RefusedKeys() {
    return kRefusedKeys;
}

const RefusedKey* FindRefusedKey(uint16_t virtualKey) {
    return FindRow(kRefusedKeys, virtualKey, &RefusedKey::virtualKey);
}

bool KeyCanBeAssigned(uint16_t virtualKey) {
    return FindKeyByVirtualKey(virtualKey) != nullptr;
}

uint16_t EvdevToVirtualKey(uint16_t evdevCode) {
    if (const KeyRow* key = FindRow(kKeys, evdevCode, &KeyRow::evdevCode)) {
        return key->virtualKey;
    }
    const RefusedKey* refused = FindRow(kRefusedKeys, evdevCode, &RefusedKey::evdevCode);
    return refused ? refused->virtualKey : 0;
}

uint16_t XKeycodeToVirtualKey(uint32_t xKeycode) {
    if (xKeycode < kXKeycodeOffset || xKeycode - kXKeycodeOffset > UINT16_MAX) {
        return 0;
    }
    return EvdevToVirtualKey(static_cast<uint16_t>(xKeycode - kXKeycodeOffset));
}

std::vector<std::string_view> KeyAliases(const KeyRow& key) {
    std::vector<std::string_view> aliases;
    std::string_view rest = key.aliases;
    while (!rest.empty()) {
        const size_t bar = rest.find('|');
        aliases.push_back(rest.substr(0, bar));
        rest = bar == std::string_view::npos ? std::string_view() : rest.substr(bar + 1);
    }
    return aliases;
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
