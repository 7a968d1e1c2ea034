#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "device/hid_transport.h"

// The standard pointer interface of the mouse: generic desktop page, mouse usage.
inline constexpr uint16_t kPointerUsagePage = 0x0001;
inline constexpr uint16_t kPointerUsage = 0x0002;

// Opens the mouse's pointer interface through the current transport; nullptr
// when it is not there or cannot be opened.
std::unique_ptr<HidConnection> OpenPointerInterface();

// Reads every motion report of the pointer interface on its own thread and
// keeps the arrival time of each, until Stop. Reading a hidraw node gets a
// copy of each report; the pointer keeps working.
//
// The kernel keeps only 64 reports for a hidraw reader (8 ms at 8000 Hz) and
// drops the rest. The reading thread therefore does nothing but read, stamp
// and append under a lock held for one push_back: no sleep, no handler, no
// waiting on the side that takes the times, which swaps the whole list out
// in one step. One round takes microseconds, so the thread is back in its
// read long before the queue could fill, and a slow taker costs memory, not
// reports. What no user-space design can promise is the CPU itself: on a
// machine so loaded that the woken thread waits more than 8 ms for a core, the
// kernel drops reports (bench/run saw 0.2 % at 8000 Hz with a load of 7 on two
// cores). A dropped report shows as one long interval, which the median
// ignores. Between movements the thread waits in a read without a time
// limit, which Stop or the mouse's removal ends.
class PointerReader {
public:
    // Nanoseconds on a monotonic clock.
    using Clock = std::function<int64_t()>;
    static int64_t SteadyNanoseconds();

    // Starts reading at once; an empty connection gives a reader that has
    // ended (Gone).
    // `arrived`, if given, is called on the reading thread when a report
    // arrives while no arrival time is waiting to be taken: the taker may
    // sleep while the mouse is still and be woken by it.
    explicit PointerReader(std::unique_ptr<HidConnection> connection,
                           Clock clock = SteadyNanoseconds, std::function<void()> arrived = {});
    ~PointerReader();
    PointerReader(const PointerReader&) = delete;
    PointerReader& operator=(const PointerReader&) = delete;

    // The arrival times since the last call, oldest first.
    std::vector<int64_t> TakeArrivals();
    // Reports read so far.
    uint64_t ReportCount() const { return count_.load(); }
    // The read failed: the mouse has gone.
    bool Gone() const { return gone_.load(); }
    // Interrupts the read and joins the thread. Safe to call twice.
    void Stop();

private:
    void ReadLoop();

    std::unique_ptr<HidConnection> connection_;
    Clock clock_;
    std::function<void()> arrived_;
    std::mutex mutex_;
    std::vector<int64_t> arrivals_;
    std::atomic<uint64_t> count_{0};
    std::atomic<bool> gone_{false};
    std::atomic<bool> stopRequested_{false};
    std::thread thread_;
};
