#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "settings/settings_image.h"

class SimulatedMouse;

// The simulated mouse's own buttons and wheel, pressed by hand. Each does
// what the action its memory holds for it does, as the real mouse's firmware
// does: a button set to a mouse button holds that button's bit in the
// pointer reports until it is let go, one set to the wheel sends a wheel
// step, CPI LOOP steps the CPI level (reported on the event interface), and
// one set to DISABLE, a key, a media key or FIXED CPI sends no pointer report.
// (The simulated mouse has no keyboard interface for keys and media.)
class SimulatedPointerButtons {
public:
    explicit SimulatedPointerButtons(SimulatedMouse& mouse, size_t index = 0);

    // `slot` as the settings number the buttons: 0 left ... 6 wheel up, 7 wheel down.
    void Press(int slot);
    void Release(int slot);
    // The button bits the held buttons put in the pointer reports.
    uint8_t HeldBits() const;

private:
    void SendHeld();

    SimulatedMouse& mouse_;
    size_t index_;
    // What each held button holds in the reports; 0 for a button not held.
    std::array<uint8_t, kButtonSlotCount> holding_{};
};
