#pragma once

#include <cstdint>

// The CPI scale of a level: 10 to 30000, in steps of 10 up to 10000 and of 50
// above. A track bar covers it in 1400 positions: 1..1000 step 10, 1001..1400
// step 50.
inline constexpr uint32_t kMinLevelCpi = 10;
inline constexpr uint32_t kMaxLevelCpi = 30000;
inline constexpr uint32_t kFineGridEnd = 10000;
inline constexpr uint32_t kFineGridStep = 10;
inline constexpr uint32_t kCoarseGridStep = 50;
inline constexpr int kMinTrackPosition = 1;
inline constexpr int kMaxTrackPosition = 1400;

// Clamps to 10..30000 and rounds to the nearest grid value, halves up.
uint32_t NormalizeLevelCpi(uint32_t value);
// A Fixed CPI action's value: the same 10..30000, in steps of 10 throughout.
inline constexpr uint32_t kFixedCpiStep = 10;
// Clamps to 10..30000 and rounds to the nearest multiple of 10, halves up.
uint32_t NormalizeFixedCpiValue(uint32_t value);

// Positions outside 1..1400 count as the nearest end.
uint32_t TrackPositionToCpi(int position);
// For grid values the inverse of TrackPositionToCpi; off-scale values give
// the nearest end.
int CpiToTrackPosition(uint32_t value);
// The value after one wheel notch: away from the user lowers it, towards the
// user raises it. Above 10000 a notch moves by one coarse step, so the wheel
// never sticks on a value the rounding would give back unchanged.
uint32_t WheelStepCpi(uint32_t value, bool awayFromUser);
