#include "settings/click_filters.h"

#include <array>

namespace {

constexpr std::array<SwitchMode, 3> kSwitchModes{{
    {"OFF", 0},
    {"HV Speed Mode", 0xF1},
    {"HV Safe Mode", 0xF0},
}};

}  // namespace

std::span<const SwitchMode> SwitchModes() {
    return kSwitchModes;
}

int SwitchModeIndexOf(uint8_t filterByte) {
    for (int index = 1; index < static_cast<int>(kSwitchModes.size()); ++index) {
        if (kSwitchModes[index].filterByte == filterByte) {
            return index;
        }
    }
    return kSwitchModeOff;
}
