#include "device/write_retries.h"

#include <array>
#include <cstdint>

#include "device/device_link.h"

bool WriteSettingsWithRetries(const SettingsRecord& record) {
    constexpr std::array<uint16_t, 3> kWaitsMs{300, 350, 400};
    for (uint16_t wait : kWaitsMs) {
        if (WriteSettings(record, wait) == 1) {
            return true;
        }
    }
    return false;
}
