#pragma once

#include <cstdint>

#include "settings/settings_image.h"

// What the mouse's standard pointer reports show of its buttons. The mouse
// carries out each button's action itself: a button set to a mouse button
// sends that button's bit, one set to the wheel sends a wheel step, and one
// set to DISABLE, a key, a media key or a CPI action sends no pointer report
// at all. The reports therefore show actions, not the buttons pressed: which
// button it was follows from the actions the mouse holds.

// What pressing a button with this action puts in the pointer report: the
// button bits held while it is down (bit 0 left, 1 right, 2 middle, 3 back,
// 4 forward, as the HID buttons 1 to 5) and a wheel step at the press.
struct PointerOutput {
    uint8_t buttonBits = 0;
    int8_t wheelStep = 0;  // +1 up, -1 down
};
PointerOutput PointerOutputOf(const ButtonAction& action);

// The slots (bit k = slot k) whose action, as `held` records it, sends one of
// `buttonBits`, or turns the wheel the way `wheel` went (its sign; 0 = none).
// Several slots may send the same: all of them are given, as any of them may
// have been pressed.
uint8_t SlotsSending(const SettingsRecord& held, uint32_t buttonBits, int64_t wheel = 0);
