#pragma once

#include <functional>

// Every wait of the device code goes through here, so tests can record the
// waits instead of sleeping.
void SleepMs(unsigned milliseconds);
// {} = real sleep.
void SetSleepHook(std::function<void(unsigned)> hook);
