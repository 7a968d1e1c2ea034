#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "device/hid_transport.h"
#include "device/pointer_report_format.h"
#include "device/report_rate_meter.h"

// The standard pointer interface of the mouse: generic desktop page, mouse usage.
inline constexpr uint16_t kPointerUsagePage = 0x0001;
inline constexpr uint16_t kPointerUsage = 0x0002;

// Opens the mouse's pointer interface through the current transport; nullptr
// when it is not there or cannot be opened.
std::unique_ptr<HidConnection> OpenPointerInterface();

// Counts the motion reports of the pointer interface on its own thread, in
// batches, until Stop. Reading a hidraw node gets a copy of each report; the
// pointer keeps working. Where the interface's report descriptor gives the
// layout, each batch also sums the counts and buttons its reports carried.
//
// The kernel keeps 64 reports for a hidraw reader (8 ms at 8000 Hz) and drops
// the rest, so the reader need not wake for every report, only often enough
// to empty the queue before it fills. While the mouse is still it waits in a
// read without a time limit (no wake-up at all). The first report of a
// movement ends that wait; from then on it empties the queue with reads that
// do not wait, stamps the batch, pauses kDrainPeriodMs, and again, until a
// round finds the queue empty: then it waits without a limit once more.
// 2 ms is a quarter of the queue's 8 ms at the highest rate, which leaves a
// loaded machine 6 ms to give the thread a core before a report is lost, and
// wakes 500 times a second instead of 8,000. At rates of 500 Hz and below a
// round often finds nothing and the reader waits for each report, which at
// such rates costs little.
class PointerReader {
public:
    static constexpr int kDrainPeriodMs = 2;

    // Nanoseconds on a monotonic clock.
    using Clock = std::function<int64_t()>;
    static int64_t SteadyNanoseconds();
    // The pause between two rounds of emptying the queue; {} = kDrainPeriodMs
    // of real time. Called on the reading thread.
    using Pause = std::function<void()>;

    // Starts reading at once; an empty connection gives a reader that has
    // ended (Gone).
    // `arrived`, if given, is called on the reading thread when a batch is
    // stored while none was waiting to be taken: the taker may sleep while
    // the mouse is still and be woken by it.
    explicit PointerReader(std::unique_ptr<HidConnection> connection,
                           Clock clock = SteadyNanoseconds, std::function<void()> arrived = {},
                           Pause pause = {});
    ~PointerReader();
    PointerReader(const PointerReader&) = delete;
    PointerReader& operator=(const PointerReader&) = delete;

    // The batches since the last call, oldest first.
    std::vector<ReportBatch> TakeBatches();
    // Reports read so far.
    uint64_t ReportCount() const { return count_.load(); }
    // The batches carry the reports' counts and buttons.
    bool KnowsReportLayout() const { return format_.has_value(); }
    // The read failed: the mouse has gone.
    bool Gone() const { return gone_.load(); }
    // Interrupts the read and joins the thread. Safe to call twice.
    void Stop();

private:
    void ReadLoop();
    // Reads what the queue holds without waiting into `batch`; false = the
    // mouse has gone.
    bool Drain(uint8_t* buffer, size_t size, ReportBatch& batch);
    void Add(const uint8_t* report, int length, ReportBatch& batch) const;
    void Store(ReportBatch batch);

    std::unique_ptr<HidConnection> connection_;
    std::optional<PointerReportFormat> format_;
    Clock clock_;
    std::function<void()> arrived_;
    Pause pause_;
    std::mutex mutex_;
    std::vector<ReportBatch> batches_;
    std::atomic<uint64_t> count_{0};
    std::atomic<bool> gone_{false};
    std::atomic<bool> stopRequested_{false};
    std::thread thread_;
};
