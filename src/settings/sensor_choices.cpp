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
