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
    // Consumer-page controls: a one-byte keyboard usage cannot say them.
    {0xB3, "Play/Pause"},   {0xB0, "Next Track"},      {0xB2, "Stop Media"},
    {0xA6, "Browser Back"}, {0xA7, "Browser Forward"}, {0xA8, "Browser Refresh"},
    {0xB4, "Mail"},
};
