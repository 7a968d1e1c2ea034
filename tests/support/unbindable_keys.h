#pragma once

#include <cstdint>

// Keys a mouse button cannot be bound to, by the key code a press gives the
// KEYBOARD KEY dialog and by the name a "key:" setting gives the command line
// and profiles: both refuse every one of them with the same words.
struct UnbindableKey {
    uint16_t virtualKey;
    const char* name;
};

inline constexpr UnbindableKey kUnbindableKeys[] = {
    // Their codes are no key usages: stored, they would send another key
    // (Clear the letter I, Help the [ key, Select Esc) or nothing at all.
    {0x0C, "Clear"},
    {0x29, "Select"},
    {0x2A, "Print"},
    {0x2B, "Execute"},
    {0x2F, "Help"},
    {0x01, "Left Button"},
    {0xFF, "Fn"},
    // Consumer-page controls: a one-byte keyboard usage cannot say them.
    {0xA6, "Browser Back"},
    {0xA7, "Browser Forward"},
    {0xA8, "Browser Refresh"},
};
