#pragma once

#include <cstdint>
#include <optional>
#include <span>

// The entries of the Basic page's "Polling Rate" and "LOD" lists and the
// settings values they stand for.

struct SensorChoice {
    const char* text;
    uint8_t value;
};

// pollingRateCode is the report interval in units of 125 microseconds.
std::span<const SensorChoice> PollingRateChoices();
// The list entry of a code the mouse reports; nothing for an unknown code.
std::optional<int> PollingRateIndexForCode(uint8_t code);
// The entry shown for a loaded code: unknown codes show "1000Hz".
int PollingRateIndexToShow(uint8_t code);
// The code stored for an entry; no entry (-1) stores 2.
uint8_t PollingRateCodeForIndex(int index);
inline constexpr int kGlassPollingRateIndex = 0;  // "125Hz"

// The lift-off distances: the normal list, or the glass list in glass mode.
std::span<const SensorChoice> LiftOffChoices(bool glass);
// The entry shown for a loaded liftOffDistance: unknown values show "1.0mm"
// in the normal list and "2.0mm" in the glass list.
int LiftOffIndexToShow(bool glass, uint8_t value);
// The value stored for an entry; no entry (-1) stores 3 (normal) or 1 (glass).
uint8_t LiftOffValueForIndex(bool glass, int index);

// The Advanced Sensor page's two tuning lists, in box order, with the 2-bit
// code each entry writes: CPI Downshift in bits 2-3 of sensorTuning,
// Smoothing in bits 0-1; bits 4-7 are carried through.
std::span<const SensorChoice> CpiDownshiftChoices();
std::span<const SensorChoice> SmoothingChoices();
inline constexpr int kCpiDownshiftInitialIndex = 3;  // "Default"
inline constexpr int kSmoothingInitialIndex = 0;     // "Force Off"
// The entries shown for the codes in a loaded sensorTuning.
int CpiDownshiftIndexToShow(uint8_t sensorTuning);
int SmoothingIndexToShow(uint8_t sensorTuning);
// oldTuning's bits 4-7 with the codes of the two entries; no entry (-1) writes code 0.
uint8_t SensorTuningFor(uint8_t oldTuning, int downshiftIndex, int smoothingIndex);
