#include "pages/buttons/key_source_keysyms.h"

namespace {

struct KeysymRange {
    uint32_t firstKeysym;
    uint32_t lastKeysym;
    uint16_t firstKey;
};
constexpr KeysymRange kKeysymRanges[] = {
    {0x0030, 0x0039, 0x30},  // 0-9
    {0x0041, 0x005A, 0x41},  // A-Z
    {0x0061, 0x007A, 0x41},  // a-z: the same keys
    {0xFFB0, 0xFFB9, 0x60},  // KP_0-KP_9
    {0xFFBE, 0xFFD5, 0x70},  // F1-F24
};

struct KeysymCode {
    uint32_t keysym;
    uint16_t virtualKey;
};
// Keysyms by their X names; values from keysymdef.h and XF86keysym.h.
constexpr KeysymCode kKeysymCodes[] = {
    {0xFF08, 0x08},      // BackSpace
    {0xFF09, 0x09},      // Tab
    {0xFE20, 0x09},      // ISO_Left_Tab
    {0xFF0B, 0x0C},      // Clear
    {0xFF0D, 0x0D},      // Return
    {0xFF8D, 0x0D},      // KP_Enter
    {0xFF13, 0x13},      // Pause
    {0xFF14, 0x91},      // Scroll_Lock
    {0xFF1B, 0x1B},      // Escape
    {0x0020, 0x20},      // space
    {0xFF55, 0x21},      // Prior
    {0xFF9A, 0x21},      // KP_Prior
    {0xFF56, 0x22},      // Next
    {0xFF9B, 0x22},      // KP_Next
    {0xFF57, 0x23},      // End
    {0xFF9C, 0x23},      // KP_End
    {0xFF50, 0x24},      // Home
    {0xFF95, 0x24},      // KP_Home
    {0xFF51, 0x25},      // Left
    {0xFF96, 0x25},      // KP_Left
    {0xFF52, 0x26},      // Up
    {0xFF97, 0x26},      // KP_Up
    {0xFF53, 0x27},      // Right
    {0xFF98, 0x27},      // KP_Right
    {0xFF54, 0x28},      // Down
    {0xFF99, 0x28},      // KP_Down
    {0xFF9D, 0x0C},      // KP_Begin
    {0xFF60, 0x29},      // Select
    {0xFF61, 0x2C},      // Print
    {0xFF62, 0x2B},      // Execute
    {0xFF63, 0x2D},      // Insert
    {0xFF9E, 0x2D},      // KP_Insert
    {0xFFFF, 0x2E},      // Delete
    {0xFF9F, 0x2E},      // KP_Delete
    {0xFF6A, 0x2F},      // Help
    {0xFF67, 0x5D},      // Menu
    {0xFFAA, 0x6A},      // KP_Multiply
    {0xFFAB, 0x6B},      // KP_Add
    {0xFFAD, 0x6D},      // KP_Subtract
    {0xFFAE, 0x6E},      // KP_Decimal
    {0xFFAF, 0x6F},      // KP_Divide
    {0xFF7F, 0x90},      // Num_Lock
    {0xFFE5, 0x14},      // Caps_Lock
    {0xFFE1, 0xA0},      // Shift_L
    {0xFFE2, 0xA1},      // Shift_R
    {0xFFE3, 0xA2},      // Control_L
    {0xFFE4, 0xA3},      // Control_R
    {0xFFE9, 0xA4},      // Alt_L
    {0xFFE7, 0xA4},      // Meta_L
    {0xFFEA, 0xA5},      // Alt_R
    {0xFFE8, 0xA5},      // Meta_R
    {0xFE03, 0xA5},      // ISO_Level3_Shift (AltGr)
    {0xFFEB, 0x5B},      // Super_L
    {0xFFEC, 0x5C},      // Super_R
    {0x003B, 0xBA},      // semicolon
    {0x003D, 0xBB},      // equal
    {0x002C, 0xBC},      // comma
    {0x002D, 0xBD},      // minus
    {0x002E, 0xBE},      // period
    {0x002F, 0xBF},      // slash
    {0x0060, 0xC0},      // grave
    {0x005B, 0xDB},      // bracketleft
    {0x005C, 0xDC},      // backslash
    {0x005D, 0xDD},      // bracketright
    {0x0027, 0xDE},      // apostrophe
    {0x1008FF26, 0xA6},  // XF86Back
    {0x1008FF27, 0xA7},  // XF86Forward
    {0x1008FF29, 0xA8},  // XF86Refresh
    {0x1008FF12, 0xAD},  // XF86AudioMute
    {0x1008FF11, 0xAE},  // XF86AudioLowerVolume
    {0x1008FF13, 0xAF},  // XF86AudioRaiseVolume
    {0x1008FF17, 0xB0},  // XF86AudioNext
    {0x1008FF16, 0xB1},  // XF86AudioPrev
    {0x1008FF15, 0xB2},  // XF86AudioStop
    {0x1008FF14, 0xB3},  // XF86AudioPlay
};

}  // namespace

uint16_t KeysymToVirtualKey(uint32_t keysym) {
    for (const KeysymRange& range : kKeysymRanges) {
        if (keysym >= range.firstKeysym && keysym <= range.lastKeysym) {
            return static_cast<uint16_t>(range.firstKey + (keysym - range.firstKeysym));
        }
    }
    for (const KeysymCode& code : kKeysymCodes) {
        if (code.keysym == keysym) {
            return code.virtualKey;
        }
    }
    return 0;
}
