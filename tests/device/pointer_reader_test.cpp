#include "device/pointer_reader.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "device/report_rate_meter.h"
#include "device/simulated/simulated_mouse.h"

namespace {

// A pointer report as the mouse sends it: buttons, then a step right.
const std::vector<uint8_t> kMotion{0, 1, 0, 0, 0, 0, 0, 0};
constexpr size_t kKernelQueue = 64;

class PointerReaderTest : public ::testing::Test {
protected:
    void SetUp() override { SetHidTransport(&mouse); }
    void TearDown() override { SetHidTransport(nullptr); }

    SimulatedMouse mouse;
};

// Stands in for the reader's pause between rounds: the reader waits in it
// until the test lets it go for one round, so that the test decides when
// each round reads and what the clock says then.
class RoundGate {
public:
    PointerReader::Pause Pause() {
        return [this] {
            std::unique_lock lock(mutex_);
            ++pauses_;
            changed_.notify_all();
            changed_.wait(lock, [this] { return permits_ > 0 || open_; });
            if (permits_ > 0)
                --permits_;
        };
    }
    // Lets the paused reader read one round, and waits until it is paused
    // again or, when the round found nothing, back in its wait for movement.
    void Round(SimulatedMouse& mouse, bool expectPause) {
        std::unique_lock lock(mutex_);
        const int before = pauses_;
        ++permits_;
        changed_.notify_all();
        if (expectPause) {
            ASSERT_TRUE(changed_.wait_for(lock, std::chrono::seconds(10),
                                          [&] { return pauses_ > before; }));
        } else {
            lock.unlock();
            ASSERT_TRUE(mouse.WaitUntilPointerReportsTaken());
        }
    }
    bool WaitForPauses(int count) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return pauses_ >= count; });
    }
    int Pauses() {
        std::lock_guard lock(mutex_);
        return pauses_;
    }
    // For the reader's end: no more pausing.
    void Open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int pauses_ = 0;
    int permits_ = 0;
    bool open_ = false;
};

TEST_F(PointerReaderTest, EmptiesTheQueueEachRoundAndWaitsForMovementOnceARoundFindsNothing) {
    RoundGate gate;
    std::atomic<int64_t> now{0};
    PointerReader reader(
        OpenPointerInterface(), [&now] { return now.load(); }, {}, gate.Pause());
    ASSERT_FALSE(reader.Gone());
    // The first report of a movement ends the wait; the reader then pauses.
    mouse.SendPointerReport(kMotion);
    ASSERT_TRUE(gate.WaitForPauses(1));
    // Meanwhile the kernel's queue fills and drops what comes after.
    for (size_t i = 0; i < kKernelQueue + 10; ++i)
        mouse.SendPointerReport(kMotion);
    now = 8'000'000;
    ASSERT_NO_FATAL_FAILURE(gate.Round(mouse, true));
    // Nothing more: the next round ends the movement.
    now = 10'000'000;
    ASSERT_NO_FATAL_FAILURE(gate.Round(mouse, false));
    EXPECT_EQ(gate.Pauses(), 2);

    EXPECT_EQ(mouse.PointerReportsDropped(), 10u);
    EXPECT_EQ(reader.ReportCount(), 1 + kKernelQueue);
    const std::vector<ReportBatch> batches = reader.TakeBatches();
    ASSERT_EQ(batches.size(), 2u);
    EXPECT_EQ(batches[0].endNs, 0);
    EXPECT_EQ(batches[0].reports, 1u);
    EXPECT_EQ(batches[1].endNs, 8'000'000);
    EXPECT_EQ(batches[1].reports, kKernelQueue);
    // The full round says its counts may be short; the first report's cannot be.
    EXPECT_FALSE(batches[0].mayHaveLostReports);
    EXPECT_TRUE(batches[1].mayHaveLostReports);
    EXPECT_EQ(batches[1].dx, static_cast<int64_t>(kKernelQueue));
    // Taken once, gone from the reader.
    EXPECT_TRUE(reader.TakeBatches().empty());
    gate.Open();
}

// 8000 Hz sent for a second on a machine that now and then keeps the reader
// from a core for 12 ms, so that the kernel's queue overflows and about 6,900
// reports a second arrive: the meter reads what arrived, not what was sent,
// nor more.
TEST_F(PointerReaderTest, TheRateOfAQueueThatOverflowsIsWhatArrived) {
    RoundGate gate;
    std::atomic<int64_t> now{0};
    PointerReader reader(
        OpenPointerInterface(), [&now] { return now.load(); }, {}, gate.Pause());
    mouse.SendPointerReport(kMotion);
    ASSERT_TRUE(gate.WaitForPauses(1));
    constexpr int kRounds = 500;  // of 2 ms
    constexpr size_t kPerRound = 16;
    for (int round = 1; round <= kRounds; ++round) {
        for (size_t i = 0; i < kPerRound; ++i)
            mouse.SendPointerReport(kMotion);
        now = round * 2'000'000LL;
        // Five rounds in every fifteen, the reader is late; it is on time in the last.
        if (round % 15 < 10) {
            ASSERT_NO_FATAL_FAILURE(gate.Round(mouse, true)) << round;
        }
    }
    ASSERT_NO_FATAL_FAILURE(gate.Round(mouse, false));
    gate.Open();

    const uint64_t sent = 1 + kRounds * kPerRound;
    const uint64_t arrived = sent - mouse.PointerReportsDropped();
    EXPECT_EQ(reader.ReportCount(), arrived);
    EXPECT_EQ(arrived, 6945u) << "33 times 32 reports dropped by a full queue";
    ReportRateMeter meter;
    meter.Add(reader.TakeBatches());
    ASSERT_TRUE(meter.Current().has_value());
    // The first report only starts the movement.
    const double arrivedHz = (arrived - 1) / 1.0;
    EXPECT_NEAR(meter.Current()->rateHz, arrivedHz, arrivedHz * 0.01);
}

// Counts and buttons summed as the descriptor lays them out: signed axes,
// a click shorter than a round still shows, the held buttons are the last report's.
TEST_F(PointerReaderTest, EachBatchCarriesTheCountsAndButtonsOfItsReports) {
    RoundGate gate;
    PointerReader reader(OpenPointerInterface(), PointerReader::SteadyNanoseconds, {},
                         gate.Pause());
    ASSERT_TRUE(reader.KnowsReportLayout());
    mouse.SendPointerReport({0x00, 0x05, 0xFE, 0x01, 0, 0, 0, 0});  // 5 right, 2 up, wheel up
    ASSERT_TRUE(gate.WaitForPauses(1));
    mouse.SendPointerReport({0x04, 0x80, 0x00, 0x00, 0, 0, 0, 0});  // middle, 128 left
    mouse.SendPointerReport({0x10, 0x7F, 0x03, 0xFF, 0, 0, 0, 0});  // forward, wheel down
    ASSERT_NO_FATAL_FAILURE(gate.Round(mouse, true));
    ASSERT_NO_FATAL_FAILURE(gate.Round(mouse, false));
    gate.Open();

    const std::vector<ReportBatch> batches = reader.TakeBatches();
    ASSERT_EQ(batches.size(), 2u);
    EXPECT_EQ(batches[0].dx, 5);
    EXPECT_EQ(batches[0].dy, -2);
    EXPECT_EQ(batches[0].wheel, 1);
    EXPECT_EQ(batches[0].buttonsPressed, 0u);
    EXPECT_EQ(batches[1].dx, -128 + 127);
    EXPECT_EQ(batches[1].dy, 3);
    EXPECT_EQ(batches[1].wheel, -1);
    EXPECT_EQ(batches[1].buttonsPressed, 0x14u);
    EXPECT_EQ(batches[1].buttonsHeld, 0x10u);
    EXPECT_FALSE(batches[1].mayHaveLostReports);
}

TEST_F(PointerReaderTest, ReadsThePointerInterfaceOnly) {
    PointerReader reader(OpenPointerInterface());
    // Reports of the event interface are not motion.
    mouse.SendInputReport({3, 2, 1, 0, 0, 0, 0, 0});
    mouse.SendPointerReport(kMotion);
    ASSERT_TRUE(mouse.WaitUntilPointerReportsTaken());
    EXPECT_EQ(reader.ReportCount(), 1u);
}

// A connection that records how long each read may wait, and waits until interrupted.
class StillConnection : public HidConnection {
public:
    HidResult SendFeatureReport(const uint8_t*, size_t) override { return HidResult::Error; }
    HidResult GetFeatureReport(uint8_t*, size_t) override { return HidResult::Error; }
    int ReadInput(uint8_t*, size_t, int timeoutMs) override {
        std::unique_lock lock(mutex);
        timeouts.push_back(timeoutMs);
        changed.notify_all();
        changed.wait(lock, [this] { return interrupted; });
        return 0;
    }
    void InterruptRead() override {
        std::lock_guard lock(mutex);
        interrupted = true;
        changed.notify_all();
    }
    std::vector<int> WaitForRead() {
        std::unique_lock lock(mutex);
        changed.wait(lock, [this] { return !timeouts.empty(); });
        return timeouts;
    }

    std::mutex mutex;
    std::condition_variable changed;
    std::vector<int> timeouts;
    bool interrupted = false;
};

TEST(PointerReader, AStillMouseIsAwaitedWithoutATimeLimitUntilStopped) {
    auto connection = std::make_unique<StillConnection>();
    StillConnection* still = connection.get();
    PointerReader reader(std::move(connection));
    EXPECT_EQ(still->WaitForRead(), std::vector<int>{-1});
    reader.Stop();  // returns: the interrupt ended the read
    EXPECT_EQ(reader.ReportCount(), 0u);
    EXPECT_FALSE(reader.Gone());
}

TEST_F(PointerReaderTest, AnUnpluggedMouseEndsTheReader) {
    PointerReader reader(OpenPointerInterface());
    ASSERT_FALSE(reader.Gone());
    mouse.Unplug();
    // The reader ends by itself; bounded, so that a reader that never does fails here.
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!reader.Gone() && std::chrono::steady_clock::now() < limit)
        std::this_thread::yield();
    EXPECT_TRUE(reader.Gone());

    // No pointer interface to open: a reader that has ended.
    PointerReader none(OpenPointerInterface());
    EXPECT_TRUE(none.Gone());
}

}  // namespace
