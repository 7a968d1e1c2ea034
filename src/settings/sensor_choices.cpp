#include "settings/sensor_choices.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::array<SensorChoice, 7> kPollingRates{{
    {"125Hz", 64},
    {"250Hz", 32},
    {"500Hz", 16},
    {"1000Hz", 8},
    {"2000Hz", 4},
    {"4000Hz", 2},
    {"8000Hz", 1},
}};
constexpr int kUnknownRateIndex = 3;  // "1000Hz"
constexpr uint8_t kNoRateCode = 2;

// In the normal list the stored value is the entry's position.
constexpr std::array<SensorChoice, 11> kNormalLiftOff{{
    {"0.7mm", 0},
    {"0.8mm", 1},
    {"0.9mm", 2},
    {"1.0mm", 3},
    {"1.1mm", 4},
    {"1.2mm", 5},
    {"1.3mm", 6},
    {"1.4mm", 7},
    {"1.5mm", 8},
    {"1.6mm", 9},
    {"1.7mm", 10},
}};
constexpr std::array<SensorChoice, 2> kGlassLiftOff{{
    {"1.0mm", 1},
    {"2.0mm", 2},
}};

constexpr std::array<SensorChoice, 4> kCpiDownshift{{
    {"Force Off", 2},
    {"Light Timer Only", 3},
    {"Medium Timer Only", 1},
    {"Default", 0},
}};
// For every 2-bit code the entry that shows it.
constexpr std::array<int, 4> kCpiDownshiftIndexOfCode{3, 2, 0, 1};

constexpr std::array<SensorChoice, 3> kSmoothing{{
    {"Force Off", 2},
    {"Ripple Control Off", 0},
    {"Ripple Control On", 1},
}};
// Code 3 has no entry of its own; "Force Off" shows it and writes 2 back.
constexpr std::array<int, 4> kSmoothingIndexOfCode{1, 2, 0, 0};

constexpr uint8_t kTuningKeptBits = 0xF0;
constexpr int kDownshiftShift = 2;
constexpr uint8_t kTwoBitMask = 0x03;

uint8_t CodeAt(std::span<const SensorChoice> choices, int index) {
    return index >= 0 && index < static_cast<int>(choices.size())
               ? choices[static_cast<size_t>(index)].value
               : 0;
}

struct LiftOffList {
    std::span<const SensorChoice> choices;
    int unknownIndex;   // shown for a value not in the list
    uint8_t noneValue;  // stored when nothing is selected
};

LiftOffList LiftOff(bool glass) {
    if (glass) {
        return {kGlassLiftOff, 1, 1};
    }
    return {kNormalLiftOff, 3, 3};
}

std::optional<int> IndexOf(std::span<const SensorChoice> choices, uint8_t value) {
    const auto it = std::find_if(choices.begin(), choices.end(),
                                 [value](const SensorChoice& c) { return c.value == value; });
    if (it == choices.end()) {
        return std::nullopt;
    }
    return static_cast<int>(it - choices.begin());
}

}  // namespace

std::span<const SensorChoice> PollingRateChoices() {
    return kPollingRates;
}

std::optional<int> PollingRateIndexForCode(uint8_t code) {
    return IndexOf(kPollingRates, code);
}

int PollingRateIndexToShow(uint8_t code) {
    return PollingRateIndexForCode(code).value_or(kUnknownRateIndex);
}

uint8_t PollingRateCodeForIndex(int index) {
    if (index < 0 || index >= static_cast<int>(kPollingRates.size())) {
        return kNoRateCode;
    }
    return kPollingRates[static_cast<size_t>(index)].value;
}

std::span<const SensorChoice> LiftOffChoices(bool glass) {
    return LiftOff(glass).choices;
}

int LiftOffIndexToShow(bool glass, uint8_t value) {
    const LiftOffList list = LiftOff(glass);
    return IndexOf(list.choices, value).value_or(list.unknownIndex);
}

uint8_t LiftOffValueForIndex(bool glass, int index) {
    const LiftOffList list = LiftOff(glass);
    if (index < 0 || index >= static_cast<int>(list.choices.size())) {
        return list.noneValue;
    }
    return list.choices[static_cast<size_t>(index)].value;
}

std::span<const SensorChoice> CpiDownshiftChoices() {
    return kCpiDownshift;
}

std::span<const SensorChoice> SmoothingChoices() {
    return kSmoothing;
}

int CpiDownshiftIndexToShow(uint8_t sensorTuning) {
    return kCpiDownshiftIndexOfCode[(sensorTuning >> kDownshiftShift) & kTwoBitMask];
}

int SmoothingIndexToShow(uint8_t sensorTuning) {
    return kSmoothingIndexOfCode[sensorTuning & kTwoBitMask];
}

uint8_t SensorTuningFor(uint8_t oldTuning, int downshiftIndex, int smoothingIndex) {
    return static_cast<uint8_t>((oldTuning & kTuningKeptBits) |
                                (CodeAt(kCpiDownshift, downshiftIndex) << kDownshiftShift) |
                                CodeAt(kSmoothing, smoothingIndex));
}
