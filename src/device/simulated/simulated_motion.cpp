#include "device/simulated/simulated_motion.h"

#include <pthread.h>
#include <sys/prctl.h>
#include <time.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "device/hid_transport.h"
#include "device/simulated/simulated_mouse.h"

namespace {

constexpr long kNanosecondsPerUnit = 125'000;  // a polling-rate code counts 125 microseconds
constexpr long kNanosecondsPerSecond = 1'000'000'000;
// A relative axis of the simulated pointer is a signed byte.
constexpr int64_t kLargestStep = 127;

void AddNanoseconds(timespec& time, long nanoseconds) {
    time.tv_nsec += nanoseconds;
    while (time.tv_nsec >= kNanosecondsPerSecond) {
        time.tv_nsec -= kNanosecondsPerSecond;
        ++time.tv_sec;
    }
}

long IntervalOf(uint8_t code) {
    return (code == 0 ? 8 : code) * kNanosecondsPerUnit;
}

// The polls of the mouse, at absolute deadlines, so that a late wake-up does
// not push every later report back.
class PollClock {
public:
    PollClock() { Restart(); }

    void Restart() { clock_gettime(CLOCK_MONOTONIC, &next_); }

    // Sleeps until the next poll of a mouse set to `code`.
    void WaitForPoll(uint8_t code) {
        AddNanoseconds(next_, IntervalOf(code));
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next_, nullptr) != 0) {
        }
        // Woken more than an interval late (a busy machine): the reports of
        // the missed polls are lost, as a mouse not polled sends none, rather
        // than sent in a burst no mouse could produce.
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        timespec behind = next_;
        AddNanoseconds(behind, IntervalOf(code));
        if (now.tv_sec > behind.tv_sec ||
            (now.tv_sec == behind.tv_sec && now.tv_nsec > behind.tv_nsec))
            next_ = now;
    }

private:
    timespec next_{};
};

void PrepareThread(const char* name) {
    pthread_setname_np(pthread_self(), name);
    // The default slack of 50 microseconds would stretch a 125-microsecond interval by a third.
    prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
}

// The counts the first `done` of `reports` reports carry of `total`: the
// steps differ by one count at most and add up to the total exactly.
int64_t CountsAfter(int64_t total, uint64_t done, uint64_t reports) {
    const int64_t magnitude = total < 0 ? -total : total;
    // A stroke's counts and reports stay far below where the product overflows.
    const int64_t part = magnitude * static_cast<int64_t>(done) / static_cast<int64_t>(reports);
    return total < 0 ? -part : part;
}

int8_t Step(int64_t total, uint64_t report, uint64_t reports) {
    return static_cast<int8_t>(CountsAfter(total, report + 1, reports) -
                               CountsAfter(total, report, reports));
}

}  // namespace

StrokeCounts TrueStrokeCounts(const SettingsRecord& held, double inches, double percentOff,
                              StrokeWay way) {
    if (held.activeCpiLevel >= kCpiLevelCount)
        return {};
    const CpiLevel& level = held.cpiLevels[held.activeCpiLevel];
    const double scale = inches * (1.0 + percentOff / 100.0);
    const double share = way == StrokeWay::Diagonal ? std::sqrt(0.5) : 1.0;
    StrokeCounts counts;
    if (way != StrokeWay::Down)
        counts.x = std::llround(level.x * scale * share);
    if (way != StrokeWay::Right)
        counts.y = std::llround(level.y * scale * share);
    return counts;
}

SimulatedMotion::SimulatedMotion(SimulatedMouse& mouse, size_t index)
    : mouse_(mouse), index_(index) {}

SimulatedMotion::~SimulatedMotion() {
    Stop();
}

bool SimulatedMotion::Idle() {
    if (running_.load())
        return false;
    if (thread_.joinable())
        thread_.join();
    return true;
}

void SimulatedMotion::Start(unsigned deliverOneIn) {
    deliverOneIn_.store(deliverOneIn == 0 ? 1 : deliverOneIn);
    if (!Idle())
        return;
    stopRequested_.store(false);
    running_.store(true);
    thread_ = std::thread(&SimulatedMotion::Run, this);
}

void SimulatedMotion::Stop() {
    stopRequested_.store(true);
    if (thread_.joinable())
        thread_.join();
    running_.store(false);
}

void SimulatedMotion::Stroke(StrokeCounts counts) {
    if (!Idle())
        return;
    stopRequested_.store(false);
    running_.store(true);
    thread_ = std::thread(&SimulatedMotion::RunStroke, this, counts);
}

void SimulatedMotion::WaitUntilStill() {
    if (thread_.joinable())
        thread_.join();
    running_.store(false);
}

void SimulatedMotion::Run() {
    PrepareThread("sim-motion");
    // Button bits, then one step right in the relative X and Y bytes.
    const std::vector<uint8_t> report{0, 1, 0, 0, 0, 0, 0, 0};
    PollClock clock;
    for (unsigned long tick = 0; !stopRequested_.load(); ++tick) {
        clock.WaitForPoll(mouse_.PollingRateCode(index_));
        if (tick % deliverOneIn_.load() == 0) {
            mouse_.SendPointerReport(report, index_);
            sent_.fetch_add(1);
        }
    }
    running_.store(false);
}

void SimulatedMotion::RunStroke(StrokeCounts counts) {
    PrepareThread("sim-stroke");
    const uint8_t code = mouse_.PollingRateCode(index_);
    const uint64_t polls =
        static_cast<uint64_t>(SimulatedMotion::kStrokeMs) * 1'000'000 / IntervalOf(code);
    const auto largest = static_cast<uint64_t>(
        (std::max(std::llabs(counts.x), std::llabs(counts.y)) + kLargestStep - 1) / kLargestStep);
    const uint64_t reports = std::max<uint64_t>({polls, largest, 1});
    PollClock clock;
    for (uint64_t report = 0; report < reports && !stopRequested_.load(); ++report) {
        if (report > 0 && report % (kHidrawQueueReports / 2) == 0) {
            mouse_.WaitUntilPointerReportsTaken();
            clock.Restart();  // no burst to catch up the wait
        }
        clock.WaitForPoll(code);
        const int8_t dx = Step(counts.x, report, reports);
        const int8_t dy = Step(counts.y, report, reports);
        mouse_.SendPointerReport(
            {0, static_cast<uint8_t>(dx), static_cast<uint8_t>(dy), 0, 0, 0, 0, 0}, index_);
        sent_.fetch_add(1);
    }
    running_.store(false);
}
