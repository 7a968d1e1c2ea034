#include "device/sleep.h"

#include <chrono>
#include <mutex>
#include <thread>

namespace {
std::mutex hookMutex;
std::function<void(unsigned)> sleepHook;
}  // namespace

void SleepMs(unsigned milliseconds) {
    std::function<void(unsigned)> hook;
    {
        std::lock_guard<std::mutex> lock(hookMutex);
        hook = sleepHook;
    }
    if (hook) {
        hook(milliseconds);
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void SetSleepHook(std::function<void(unsigned)> hook) {
    std::lock_guard<std::mutex> lock(hookMutex);
    sleepHook = std::move(hook);
}
