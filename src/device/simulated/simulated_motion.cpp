#include "device/simulated/simulated_motion.h"

#include <pthread.h>
#include <sys/prctl.h>
#include <time.h>

#include <vector>

#include "device/simulated/simulated_mouse.h"

namespace {

constexpr long kNanosecondsPerUnit = 125'000;  // a polling-rate code counts 125 microseconds
constexpr long kNanosecondsPerSecond = 1'000'000'000;

void AddNanoseconds(timespec& time, long nanoseconds) {
    time.tv_nsec += nanoseconds;
    while (time.tv_nsec >= kNanosecondsPerSecond) {
        time.tv_nsec -= kNanosecondsPerSecond;
        ++time.tv_sec;
    }
}

}  // namespace

SimulatedMotion::SimulatedMotion(SimulatedMouse& mouse, size_t index)
    : mouse_(mouse), index_(index) {}

SimulatedMotion::~SimulatedMotion() {
    Stop();
}

void SimulatedMotion::Start(unsigned deliverOneIn) {
    deliverOneIn_.store(deliverOneIn == 0 ? 1 : deliverOneIn);
    if (thread_.joinable())
        return;
    stopRequested_.store(false);
    thread_ = std::thread(&SimulatedMotion::Run, this);
}

void SimulatedMotion::Stop() {
    stopRequested_.store(true);
    if (thread_.joinable())
        thread_.join();
}

void SimulatedMotion::Run() {
    pthread_setname_np(pthread_self(), "sim-motion");
    // The default slack of 50 microseconds would stretch a 125-microsecond interval by a third.
    prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
    // Button bits, then one step right in the relative X and Y bytes.
    const std::vector<uint8_t> report{0, 1, 0, 0, 0, 0, 0, 0};
    timespec next{};
    clock_gettime(CLOCK_MONOTONIC, &next);
    for (unsigned long tick = 0; !stopRequested_.load(); ++tick) {
        const uint8_t code = mouse_.PollingRateCode(index_);
        AddNanoseconds(next, (code == 0 ? 8 : code) * kNanosecondsPerUnit);
        // Absolute deadlines: a late wake-up does not push every later report back.
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr) != 0) {
        }
        if (tick % deliverOneIn_.load() == 0) {
            mouse_.SendPointerReport(report, index_);
            sent_.fetch_add(1);
        }
        // Woken more than an interval late (a busy machine): the reports of
        // the missed polls are lost, as a mouse not polled sends none, rather
        // than sent in a burst no mouse could produce.
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        timespec behind = next;
        AddNanoseconds(behind, (code == 0 ? 8 : code) * kNanosecondsPerUnit);
        if (now.tv_sec > behind.tv_sec ||
            (now.tv_sec == behind.tv_sec && now.tv_nsec > behind.tv_nsec))
            next = now;
    }
}
