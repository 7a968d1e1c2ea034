#include "device/mouse_firmware.h"

// Placeholder until the simulated mouse lands.
MouseFirmware::MouseFirmware() = default;
bool MouseFirmware::SetFeature(const uint8_t*, size_t) {
    return false;
}
int MouseFirmware::GetFeature(uint8_t*, size_t) {
    return -1;
}
SettingsImage MouseFirmware::FactoryImage() {
    return {};
}
void MouseFirmware::QueueStatuses(std::initializer_list<uint8_t>) {}
uint8_t MouseFirmware::NextStatus() {
    return 0;
}
