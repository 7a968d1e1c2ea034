#include "device/device_link.h"

// Placeholder until the device link lands.
bool deviceConnected = false;
bool FindDevice(uint16_t /*productId*/) {
    return false;
}
bool SetFeatureReport(uint8_t* /*buffer*/, size_t /*length*/) {
    return false;
}
bool GetFeatureReport(uint8_t* /*buffer*/, size_t /*length*/) {
    return false;
}
int ReadSettings() {
    return 2;
}
int WriteSettings(const SettingsRecord& /*record*/, uint16_t /*waitMs*/) {
    return 2;
}
int ReadFirmwareInfo(std::array<uint8_t, kFirmwareBlockSize>& /*block*/) {
    return 2;
}
int FactoryReset() {
    return 255;
}
