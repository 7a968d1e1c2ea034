#pragma once

#include <cstdint>
#include <span>

// The click-filter byte of a button slot, as the Buttons page edits it: a
// multiclick filter level, or for Left and Right a switch mode instead.

// Left, Right, Middle, Forward, Back: button slots 0..4.
inline constexpr int kClickFilterSlots = 5;
// Only Left and Right have a switch mode.
inline constexpr int kSwitchModeSlots = 2;
inline constexpr int kClickFilterLevelMax = 25;
inline constexpr int kClickFilterLevelDefault = 8;

struct SwitchMode {
    const char* text;
    uint8_t filterByte;  // unused for "OFF", which stores the level
};
// "OFF", "HV Speed Mode", "HV Safe Mode", in list order.
std::span<const SwitchMode> SwitchModes();
inline constexpr int kSwitchModeOff = 0;
// The mode a filter byte stands for; a level is "OFF".
int SwitchModeIndexOf(uint8_t filterByte);
