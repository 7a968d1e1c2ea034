#pragma once

#include "settings/settings_image.h"

// APPLY and the immediate level write retry a write the mouse did not confirm
// with a longer wait each time: 300, 350, then 400 ms. true at the first
// attempt that returns 1.
bool WriteSettingsWithRetries(const SettingsRecord& record);
