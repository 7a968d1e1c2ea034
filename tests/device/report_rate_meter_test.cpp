#include "device/report_rate_meter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr int64_t kUs = 1000;
constexpr int64_t kMs = 1000 * kUs;

// What a reader that wakes at `wakes` takes from reports arriving at
// `arrivals` (both in order): each wake a batch of what came since the last.
std::vector<ReportBatch> ReadAt(const std::vector<int64_t>& arrivals,
                                const std::vector<int64_t>& wakes) {
    std::vector<ReportBatch> batches;
    size_t next = 0;
    for (const int64_t wake : wakes) {
        uint32_t reports = 0;
        while (next < arrivals.size() && arrivals[next] <= wake) {
            ++reports;
            ++next;
        }
        if (reports > 0)
            batches.push_back({wake, reports});
    }
    return batches;
}

// `count` arrivals `intervalNs` apart from `start`.
std::vector<int64_t> Steady(size_t count, int64_t intervalNs, int64_t start = 0) {
    std::vector<int64_t> arrivals;
    for (size_t i = 0; i < count; ++i)
        arrivals.push_back(start + static_cast<int64_t>(i) * intervalNs);
    return arrivals;
}

// Wakes every `periodNs` from `start` to `end`, each `lateNs[i % size]` late.
std::vector<int64_t> Wakes(int64_t start, int64_t end, int64_t periodNs,
                           const std::vector<int64_t>& lateNs = {0}) {
    std::vector<int64_t> wakes;
    for (int64_t t = start, i = 0; t <= end + periodNs; t += periodNs, ++i)
        wakes.push_back(t + lateNs[i % lateNs.size()]);
    return wakes;
}

struct Recording {
    std::string name;
    std::vector<ReportBatch> batches;
    double rateHz;
};

std::vector<Recording> Recordings() {
    std::vector<Recording> recordings;
    {
        const auto arrivals = Steady(16000, 125 * kUs);
        recordings.push_back(
            {"8000 Hz read every 2 ms", ReadAt(arrivals, Wakes(0, 2000 * kMs, 2 * kMs)), 8000});
    }
    {
        // A loaded machine: 8000 Hz of which 6,900 a second arrive (the rest
        // dropped by a full queue), read at wakes up to 7 ms late, so that
        // most reports come in bursts from the queue.
        std::vector<int64_t> arrivals;
        for (int64_t i = 0; i < 16000; ++i) {
            if (i % 80 < 69)  // 69 of every 80 sent arrive
                arrivals.push_back(i * 125 * kUs);
        }
        const auto wakes =
            Wakes(0, 2000 * kMs, 2 * kMs, {0, 7 * kMs, 300 * kUs, 5 * kMs, 0, 1 * kMs});
        recordings.push_back({"6,900 of 8000 Hz in bursts", ReadAt(arrivals, wakes), 6900});
    }
    {
        // Short movements with long pauses between them: the pauses do not count.
        std::vector<int64_t> arrivals;
        for (int movement = 0; movement < 6; ++movement) {
            const auto part = Steady(200, 1 * kMs, movement * 2200 * kMs);
            arrivals.insert(arrivals.end(), part.begin(), part.end());
        }
        recordings.push_back(
            {"1000 Hz with pauses", ReadAt(arrivals, Wakes(0, 13'200 * kMs, 2 * kMs)), 1000});
    }
    {
        // 125 Hz held back to one report in eight: each report read alone.
        const auto arrivals = Steady(47, 64 * kMs);
        recordings.push_back({"15.6 Hz", SingleReports(arrivals), 15.625});
    }
    {
        // The slowest rate that still counts as movement.
        const auto arrivals = Steady(30, 100 * kMs);
        recordings.push_back({"10 Hz", SingleReports(arrivals), 10});
    }
    {
        // Only the last second of movement counts: 8000 Hz earlier, then 500 Hz.
        auto arrivals = Steady(8000, 125 * kUs);
        const auto slow = Steady(600, 2 * kMs, 1000 * kMs);
        arrivals.insert(arrivals.end(), slow.begin(), slow.end());
        recordings.push_back(
            {"rate dropped", ReadAt(arrivals, Wakes(0, 2200 * kMs, 2 * kMs, {0, 500 * kUs})), 500});
    }
    return recordings;
}

TEST(ReportRateMeter, RateOfRecordedReadsIsWhatArrivedPerSecondOfMovement) {
    for (const Recording& recording : Recordings()) {
        SCOPED_TRACE(recording.name);
        ReportRateMeter meter;
        // Added in lists as the window takes them, a few times a second.
        for (size_t from = 0; from < recording.batches.size(); from += 97) {
            const size_t to = std::min(recording.batches.size(), from + 97);
            meter.Add(std::span(recording.batches).subspan(from, to - from));
        }
        const auto figures = meter.Current();
        ASSERT_TRUE(figures.has_value());
        // A stamp comes up to one round after the last report of a movement.
        EXPECT_NEAR(figures->rateHz, recording.rateHz, recording.rateHz * 0.006);
        EXPECT_GE(figures->movingNs, ReportRateMeter::kWindowNs - 100 * kMs);
    }
}

TEST(ReportRateMeter, AQueueReadAfterAPauseDoesNotRaiseTheRate) {
    ReportRateMeter meter;
    meter.Add(SingleReports(Steady(200, 4 * kMs)));  // 250 Hz
    // After a pause the reader wakes late and finds 64 reports at once, then
    // 250 Hz again: the burst came in the pause's time, which does not count.
    const int64_t back = 10'000 * kMs;
    std::vector<ReportBatch> batches{{back, 64}};
    for (const ReportBatch& single : SingleReports(Steady(10, 4 * kMs, back + 4 * kMs)))
        batches.push_back(single);
    meter.Add(batches);
    ASSERT_TRUE(meter.Current().has_value());
    EXPECT_DOUBLE_EQ(meter.Current()->rateHz, 250);
}

TEST(ReportRateMeter, GivesNoFigureBeforeEnoughMovementNorForPausesAlone) {
    ReportRateMeter meter;
    meter.Add(SingleReports(Steady(ReportRateMeter::kMinimumReports, 1 * kMs)));
    EXPECT_FALSE(meter.Current().has_value()) << "one report fewer than needed counted";
    meter.Add(std::vector<ReportBatch>{{8 * kMs, 1}});
    EXPECT_TRUE(meter.Current().has_value());

    // Reports a pause apart are no movement at all.
    meter.Reset();
    meter.Add(SingleReports(Steady(40, 101 * kMs)));
    EXPECT_FALSE(meter.Current().has_value());
    // Nor is a clock that went back.
    meter.Add(std::vector<ReportBatch>{{40 * 101 * kMs, 10}, {40 * 101 * kMs - 1, 10}});
    EXPECT_FALSE(meter.Current().has_value());
}

TEST(ReportRateMeter, APauseKeepsTheLastFigure) {
    ReportRateMeter meter;
    const auto first = Steady(2000, 250 * kUs);
    meter.Add(ReadAt(first, Wakes(0, 500 * kMs, 2 * kMs)));
    ASSERT_TRUE(meter.Current().has_value());
    const double before = meter.Current()->rateHz;
    EXPECT_NEAR(before, 4000, 4000 * 0.006);
    // A second movement ten seconds later, a single batch so far.
    meter.Add(std::vector<ReportBatch>{{10'000 * kMs, 30}});
    ASSERT_TRUE(meter.Current().has_value());
    EXPECT_EQ(meter.Current()->rateHz, before);
}

TEST(ReportRateMeter, SlowSecondsCountSteadyMovementBelowTheSetRateOnly) {
    ReportRateMeter meter;
    meter.SetExpectedRate(8000);
    // 1000 Hz read every 2 ms, a tenth of a second per list.
    auto held = ReadAt(Steady(7000, 1 * kMs), Wakes(0, 7000 * kMs, 2 * kMs));
    for (int list = 0; list < 30; ++list)
        meter.Add(std::span(held).subspan(list * 50, 50));
    EXPECT_NEAR(meter.SlowSeconds(), 3.0, 0.11);

    // A pause does not add to it, nor end it.
    const int64_t after = 5000 * kMs + held[1499].endNs;
    meter.Add(std::vector<ReportBatch>{{after, 1}});
    EXPECT_NEAR(meter.SlowSeconds(), 3.0, 0.11);

    // The full rate again ends it once the last second is at the full rate.
    meter.Add(ReadAt(Steady(8000, 125 * kUs, after + 1),
                     Wakes(after + 2 * kMs, after + 1000 * kMs, 2 * kMs)));
    EXPECT_EQ(meter.SlowSeconds(), 0);

    // A new set rate starts the count again.
    const int64_t later = after + 3000 * kMs;
    meter.Add(ReadAt(Steady(1500, 1 * kMs, later), Wakes(later, later + 1500 * kMs, 2 * kMs)));
    EXPECT_GT(meter.SlowSeconds(), 0);
    meter.SetExpectedRate(1000);
    EXPECT_EQ(meter.SlowSeconds(), 0);
}

TEST(ReportRateMeter, LastBatchShowsADipTheSecondHides) {
    ReportRateMeter meter;
    meter.SetExpectedRate(1000);
    meter.Add(ReadAt(Steady(901, 1 * kMs), Wakes(0, 900 * kMs, 2 * kMs)));
    // Then a tenth of a second at 250 Hz.
    meter.Add(ReadAt(Steady(25, 4 * kMs, 904 * kMs), Wakes(902 * kMs, 1000 * kMs, 2 * kMs)));
    ASSERT_TRUE(meter.LastBatch().has_value());
    EXPECT_NEAR(meter.LastBatch()->rateHz, 250, 1);
    EXPECT_NEAR(meter.Current()->rateHz, (900 + 25) / 1.0, 10);
}

}  // namespace
