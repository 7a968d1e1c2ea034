#pragma once

#include <cstdint>

// The settings record keeps switches as 0/1 bytes and some options as bits
// of a flags byte; the pages fill both from their controls.

inline uint8_t SwitchByte(bool on) {
    return on ? 1 : 0;
}

inline void SetFlag(uint8_t& flags, uint8_t bit, bool on) {
    flags = on ? (flags | bit) : (flags & ~bit);
}
