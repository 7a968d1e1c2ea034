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
#include "support/sleep_recorder.h"

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

// A clock that moves 125 microseconds at each reading, as at 8000 Hz.
PointerReader::Clock StepClock(std::atomic<int64_t>& now) {
    return [&now] { return now.fetch_add(125'000); };
}

TEST_F(PointerReaderTest, CountsEveryReportOfQueuesFilledAtEightThousandHertz) {
    SleepRecorder sleeps;
    std::atomic<int64_t> now{0};
    PointerReader reader(OpenPointerInterface(), StepClock(now));
    ASSERT_FALSE(reader.Gone());
    // One second at 8000 Hz, each time filling the kernel's whole queue before
    // the reader gets to it; the taker does not take anything meanwhile.
    constexpr size_t kReports = 8000;
    for (size_t sent = 0; sent < kReports; sent += kKernelQueue) {
        for (size_t i = 0; i < kKernelQueue; ++i)
            mouse.SendPointerReport(kMotion);
        ASSERT_TRUE(mouse.WaitUntilPointerReportsTaken()) << "after " << sent;
    }
    EXPECT_EQ(mouse.PointerReportsDropped(), 0u);
    EXPECT_EQ(reader.ReportCount(), kReports);
    const std::vector<int64_t> arrivals = reader.TakeArrivals();
    ASSERT_EQ(arrivals.size(), kReports);
    // The stamps are the injected clock's, one reading per report.
    for (size_t i = 0; i < arrivals.size(); ++i)
        ASSERT_EQ(arrivals[i], static_cast<int64_t>(i) * 125'000) << i;
    ReportRateMeter meter;
    meter.Add(arrivals);
    ASSERT_TRUE(meter.Current().has_value());
    EXPECT_DOUBLE_EQ(meter.Current()->rateHz, 8000);
    // Nothing in the reading loop waits between reports.
    EXPECT_TRUE(sleeps.waits.empty());
    // Taken once, gone from the reader.
    EXPECT_TRUE(reader.TakeArrivals().empty());
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
