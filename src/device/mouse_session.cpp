#include "device/mouse_session.h"

#include <tuple>

namespace {

bool Same(const CpiLevel& a, const CpiLevel& b) {
    return std::tie(a.separateXY, a.x, a.y) == std::tie(b.separateXY, b.x, b.y);
}

bool Same(const ButtonAction& a, const ButtonAction& b) {
    return std::tie(a.kind, a.code, a.x, a.y, a.filter) ==
           std::tie(b.kind, b.code, b.x, b.y, b.filter);
}

template <typename Field>
bool Same(const Field& a, const Field& b) {
    return a == b;
}

template <typename Field>
void TakeIfChanged(Field& pending, const Field& written, const Field& held) {
    if (!Same(held, written)) {
        pending = held;
    }
}

}  // namespace

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

void MouseSession::TakeChangesMadeOnTheMouse(const SettingsRecord& held) {
    const SettingsRecord& written = deviceSettings;
    SettingsRecord& pending = pendingSettings;
    // Every field of the record, each level and button on its own.
    TakeIfChanged(pending.opaque0, written.opaque0, held.opaque0);
    TakeIfChanged(pending.pollingRateCode, written.pollingRateCode, held.pollingRateCode);
    TakeIfChanged(pending.featureFlags, written.featureFlags, held.featureFlags);
    TakeIfChanged(pending.multiclickAcknowledged, written.multiclickAcknowledged,
                  held.multiclickAcknowledged);
    TakeIfChanged(pending.activeCpiLevel, written.activeCpiLevel, held.activeCpiLevel);
    TakeIfChanged(pending.cpiLevelCount, written.cpiLevelCount, held.cpiLevelCount);
    TakeIfChanged(pending.opaque7, written.opaque7, held.opaque7);
    for (size_t n = 0; n < held.cpiLevels.size(); ++n) {
        TakeIfChanged(pending.cpiLevels[n], written.cpiLevels[n], held.cpiLevels[n]);
    }
    TakeIfChanged(pending.liftOffLed, written.liftOffLed, held.liftOffLed);
    TakeIfChanged(pending.liftOffDistance, written.liftOffDistance, held.liftOffDistance);
    TakeIfChanged(pending.angleSnapping, written.angleSnapping, held.angleSnapping);
    TakeIfChanged(pending.sensorTuning, written.sensorTuning, held.sensorTuning);
    TakeIfChanged(pending.motionSync, written.motionSync, held.motionSync);
    TakeIfChanged(pending.glassMode, written.glassMode, held.glassMode);
    TakeIfChanged(pending.sensorAngle, written.sensorAngle, held.sensorAngle);
    TakeIfChanged(pending.forceMaxFps, written.forceMaxFps, held.forceMaxFps);
    for (size_t n = 0; n < held.buttons.size(); ++n) {
        TakeIfChanged(pending.buttons[n], written.buttons[n], held.buttons[n]);
    }
    TakeIfChanged(pending.opaqueBlock, written.opaqueBlock, held.opaqueBlock);
    deviceSettings = held;
}
