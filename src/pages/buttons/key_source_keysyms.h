#pragma once

#include <cstdint>

// The Windows virtual-key code of an X keysym, left and right modifiers kept
// apart; 0 for a keysym the table does not know. Both key sources use it, so
// the key capture dialog sees the same codes whichever one runs.
uint16_t KeysymToVirtualKey(uint32_t keysym);
