#pragma once

#include <functional>
#include <numeric>
#include <thread>
#include <utility>
#include <vector>

#include "device/sleep.h"

// Records every device wait instead of sleeping, for as long as it lives.
class SleepRecorder {
public:
    SleepRecorder() {
        SetSleepHook([this](unsigned ms) {
            waits.push_back(ms);
            if (duringNextWait && std::this_thread::get_id() == owner_) {
                std::exchange(duringNextWait, {})();
            }
        });
    }
    ~SleepRecorder() { SetSleepHook({}); }
    SleepRecorder(const SleepRecorder&) = delete;
    SleepRecorder& operator=(const SleepRecorder&) = delete;

    unsigned Total() const { return std::accumulate(waits.begin(), waits.end(), 0u); }

    std::vector<unsigned> waits;
    // Runs once, inside the next device wait: what the user does while a
    // command waits for the mouse.
    // Only a wait of the thread that made the recorder runs it (the UI
    // thread), never one of the event listener's.
    std::function<void()> duringNextWait;

private:
    std::thread::id owner_ = std::this_thread::get_id();
};
