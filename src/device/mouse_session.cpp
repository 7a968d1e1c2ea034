#include "device/mouse_session.h"

void MouseSession::LoadFromImage(const SettingsImage& image) {
    DecodeSettingsImage(image, deviceSettings);
    pendingSettings = deviceSettings;
}

SettingsRecord MouseSession::LevelChoice() const {
    SettingsRecord record = deviceSettings;
    const uint8_t active = pendingSettings.activeCpiLevel;
    record.activeCpiLevel = active;
    record.cpiLevelCount = pendingSettings.cpiLevelCount;
    if (active < kCpiLevelCount) {
        record.cpiLevels[active] = pendingSettings.cpiLevels[active];
    }
    return record;
}
