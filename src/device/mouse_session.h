#pragma once

#include "settings/settings_image.h"

// One face's view of the mouse: the window's controller and a command each
// own one, so nothing else can change what they believe.
//
// pendingSettings: what the pages show and edit, and what APPLY sends.
// deviceSettings: what the mouse was last read or confirmed to hold.
// deviceConnected: the mouse was found and answered.
class MouseSession {
public:
    SettingsRecord pendingSettings{};
    SettingsRecord deviceSettings{};
    bool deviceConnected = false;

    // After a read: both records hold what the mouse holds.
    void LoadFromImage(const SettingsImage& image);
    void CopyToDeviceSettings(const SettingsRecord& record) { deviceSettings = record; }
    // Read after a write of deviceSettings, the mouse holds `held`: what its
    // own buttons changed since (a field that differs from what was written)
    // is the user's newest choice and reaches pendingSettings too; the other
    // edits that wait for APPLY stay.
    void TakeChangesMadeOnTheMouse(const SettingsRecord& held);
    // What a level click writes: what the mouse holds, with only the choice of
    // the level as the pages show it (active level, level count, that level's
    // CPI). Every other edit waits for APPLY.
    SettingsRecord LevelChoice() const;
    // Edits the mouse has not received yet.
    bool HasUnappliedEdits() const { return SettingsDiffer(pendingSettings, deviceSettings); }
};
