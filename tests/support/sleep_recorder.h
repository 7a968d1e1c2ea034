#pragma once

#include <numeric>
#include <vector>

#include "device/sleep.h"

// Records every device wait instead of sleeping, for as long as it lives.
class SleepRecorder {
public:
    SleepRecorder() {
        SetSleepHook([this](unsigned ms) { waits.push_back(ms); });
    }
    ~SleepRecorder() { SetSleepHook({}); }
    SleepRecorder(const SleepRecorder&) = delete;
    SleepRecorder& operator=(const SleepRecorder&) = delete;

    unsigned Total() const { return std::accumulate(waits.begin(), waits.end(), 0u); }

    std::vector<unsigned> waits;
};
