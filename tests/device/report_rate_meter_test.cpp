#include "device/report_rate_meter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr int64_t kUs = 1000;
constexpr int64_t kMs = 1000 * kUs;

// `count` intervals of `intervalNs`, appended to a table.
void Repeat(std::vector<int64_t>& table, size_t count, int64_t intervalNs) {
    table.insert(table.end(), count, intervalNs);
}

// The arrival times an interval table gives, from time `start`.
std::vector<int64_t> Arrivals(const std::vector<int64_t>& intervals, int64_t start = 0) {
    std::vector<int64_t> arrivals{start};
    for (const int64_t interval : intervals)
        arrivals.push_back(arrivals.back() + interval);
    return arrivals;
}

struct Recording {
    std::string name;
    double setHz;
    std::vector<int64_t> intervals;
    double rateHz;
    int64_t shortestNs;
    int64_t longestNs;
    double lateShare;
};

std::vector<Recording> Recordings() {
    std::vector<Recording> recordings;
    {
        Recording steady{"steady 8000 Hz", 8000, {}, 8000, 125 * kUs, 125 * kUs, 0};
        Repeat(steady.intervals, 16000, 125 * kUs);
        recordings.push_back(steady);
    }
    {
        // Short movements with long pauses between them: the pauses do not count.
        Recording pauses{"1000 Hz with pauses", 1000, {}, 1000, 1 * kMs, 1 * kMs, 0};
        for (int movement = 0; movement < 6; ++movement) {
            Repeat(pauses.intervals, 200, 1 * kMs);
            pauses.intervals.push_back(2000 * kMs);
        }
        Repeat(pauses.intervals, 200, 1 * kMs);
        recordings.push_back(pauses);
    }
    {
        // One report in ten comes three intervals late.
        Recording dips{"1000 Hz with dips", 1000, {}, 1000, 1 * kMs, 3 * kMs, 0.1};
        for (int i = 0; i < 200; ++i) {
            Repeat(dips.intervals, 9, 1 * kMs);
            dips.intervals.push_back(3 * kMs);
        }
        recordings.push_back(dips);
    }
    {
        // Arrival times scattered by the scheduler around a steady 1000 Hz.
        Recording jitter{"1000 Hz with jitter", 1000, {}, 1000, 700 * kUs, 1300 * kUs, 0};
        for (int i = 0; i < 400; ++i) {
            for (int64_t us : {1000, 700, 1300, 950, 1050})
                jitter.intervals.push_back(us * kUs);
        }
        recordings.push_back(jitter);
    }
    {
        // Set to 8000 Hz, held back to 1000 Hz: every interval is late.
        Recording held{"8000 Hz held back to 1000 Hz", 8000, {}, 1000, 1 * kMs, 1 * kMs, 1.0};
        Repeat(held.intervals, 3000, 1 * kMs);
        recordings.push_back(held);
    }
    {
        // Only the last second of movement counts: 8000 Hz earlier, then 500 Hz.
        Recording lastSecond{"rate dropped", 8000, {}, 500, 2 * kMs, 2 * kMs, 1.0};
        Repeat(lastSecond.intervals, 8000, 125 * kUs);
        Repeat(lastSecond.intervals, 600, 2 * kMs);
        recordings.push_back(lastSecond);
    }
    return recordings;
}

TEST(ReportRateMeter, FiguresOfRecordedIntervalTables) {
    for (const Recording& recording : Recordings()) {
        SCOPED_TRACE(recording.name);
        ReportRateMeter meter;
        meter.SetExpectedRate(recording.setHz);
        // Added in batches as the window takes them, a few times a second.
        const std::vector<int64_t> arrivals = Arrivals(recording.intervals, 5 * kMs);
        for (size_t from = 0; from < arrivals.size(); from += 997) {
            const size_t to = std::min(arrivals.size(), from + 997);
            meter.Add(std::span(arrivals).subspan(from, to - from));
        }
        const auto figures = meter.Current();
        ASSERT_TRUE(figures.has_value());
        EXPECT_NEAR(figures->rateHz, recording.rateHz, recording.rateHz * 1e-9);
        EXPECT_EQ(figures->shortestNs, recording.shortestNs);
        EXPECT_EQ(figures->longestNs, recording.longestNs);
        EXPECT_NEAR(figures->lateShare, recording.lateShare, 0.01);
    }
}

TEST(ReportRateMeter, GivesNoFigureBeforeEnoughMovementNorForAPauseAlone) {
    ReportRateMeter meter;
    std::vector<int64_t> few;
    Repeat(few, ReportRateMeter::kMinimumIntervals - 1, 1 * kMs);
    meter.Add(Arrivals(few));
    EXPECT_FALSE(meter.Current().has_value());

    // Two reports a pause apart are no movement at all.
    meter.Reset();
    std::vector<int64_t> pauses;
    Repeat(pauses, 40, 500 * kMs);
    meter.Add(Arrivals(pauses));
    EXPECT_FALSE(meter.Current().has_value());
}

TEST(ReportRateMeter, APauseKeepsTheLastFigure) {
    ReportRateMeter meter;
    std::vector<int64_t> movement;
    Repeat(movement, 2000, 250 * kUs);
    const std::vector<int64_t> first = Arrivals(movement);
    meter.Add(first);
    // A second movement ten seconds later, at the same rate, in small batches.
    const std::vector<int64_t> second = Arrivals(movement, first.back() + 10'000 * kMs);
    meter.Add(std::span(second).first(3));
    ASSERT_TRUE(meter.Current().has_value());
    EXPECT_DOUBLE_EQ(meter.Current()->rateHz, 4000);
    EXPECT_EQ(meter.Current()->longestNs, 250 * kUs);
}

TEST(ReportRateMeter, SlowSecondsCountSteadyMovementBelowTheSetRateOnly) {
    ReportRateMeter meter;
    meter.SetExpectedRate(8000);
    std::vector<int64_t> held;
    Repeat(held, 100, 1 * kMs);  // a tenth of a second at 1000 Hz per batch
    int64_t start = 0;
    for (int batch = 0; batch < 30; ++batch) {
        const std::vector<int64_t> arrivals = Arrivals(held, start);
        meter.Add(std::span(arrivals).subspan(batch == 0 ? 0 : 1));
        start = arrivals.back();
    }
    EXPECT_NEAR(meter.SlowSeconds(), 3.0, 0.11);

    // A pause does not add to it, nor end it.
    meter.Add(std::vector<int64_t>{start + 5000 * kMs});
    EXPECT_NEAR(meter.SlowSeconds(), 3.0, 0.11);

    // The full rate again ends it once the last second is at the full rate.
    std::vector<int64_t> full;
    Repeat(full, 8000, 125 * kUs);
    meter.Add(Arrivals(full, start + 5001 * kMs));
    EXPECT_EQ(meter.SlowSeconds(), 0);

    // A new set rate starts the count again.
    std::vector<int64_t> heldLonger;
    Repeat(heldLonger, 1500, 1 * kMs);
    meter.Add(Arrivals(heldLonger, start + 7000 * kMs));
    EXPECT_GT(meter.SlowSeconds(), 0);
    meter.SetExpectedRate(1000);
    EXPECT_EQ(meter.SlowSeconds(), 0);
}

TEST(ReportRateMeter, LastBatchShowsADipTheSecondHides) {
    ReportRateMeter meter;
    meter.SetExpectedRate(1000);
    std::vector<int64_t> steady;
    Repeat(steady, 900, 1 * kMs);
    std::vector<int64_t> arrivals = Arrivals(steady);
    meter.Add(arrivals);
    std::vector<int64_t> dip;
    Repeat(dip, 30, 4 * kMs);
    const std::vector<int64_t> dipArrivals = Arrivals(dip, arrivals.back());
    meter.Add(std::span(dipArrivals).subspan(1));
    ASSERT_TRUE(meter.LastBatch().has_value());
    EXPECT_DOUBLE_EQ(meter.LastBatch()->rateHz, 250);
    EXPECT_DOUBLE_EQ(meter.Current()->rateHz, 1000);
}

}  // namespace
