#include "device/mouse_session.h"

void MouseSession::LoadFromImage(const SettingsImage& image) {
    DecodeSettingsImage(image, deviceSettings);
    pendingSettings = deviceSettings;
}
