#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>

// Turns the arrival times of the mouse's motion reports into a report rate.
//
// The rate is the inverse of the median interval over the last second of
// movement. The median, unlike a count per second, is not lowered by the
// pauses between movements nor by a few late reports, and it is not raised by
// a burst the reader took from a backed-up queue. An interval longer than
// kPauseNs is a pause, not a slow report: it is left out of every figure, so
// a still mouse keeps the last figure.
class ReportRateMeter {
public:
    static constexpr int64_t kPauseNs = 100'000'000;     // below 10 reports a second is no movement
    static constexpr int64_t kWindowNs = 1'000'000'000;  // the last second of movement
    // Intervals needed before a figure is given.
    static constexpr size_t kMinimumIntervals = 16;
    // Below this share of the set rate, the rate counts as held back.
    static constexpr double kSlowShare = 0.75;

    struct Figures {
        double rateHz = 0;
        int64_t shortestNs = 0;
        int64_t longestNs = 0;
        // Share (0..1) of intervals longer than 1.5 times the set rate's interval.
        double lateShare = 0;
        size_t intervals = 0;
    };

    // The rate the mouse is set to; 0 = unknown (no late share, never slow).
    void SetExpectedRate(double hz);
    double ExpectedRate() const { return expectedHz_; }

    // Arrival times in nanoseconds of one clock, in order.
    void Add(std::span<const int64_t> arrivals);
    // Forgets every arrival (a new mouse or a new set rate).
    void Reset();

    // Nothing until kMinimumIntervals intervals of movement were seen.
    std::optional<Figures> Current() const;
    // Of the intervals added by the last Add only (for a plot of the rate over time).
    std::optional<Figures> LastBatch() const { return lastBatch_; }
    // Seconds of movement for which the rate has stayed below kSlowShare of the
    // set rate without a break; 0 while it is not below.
    double SlowSeconds() const { return slowNs_ / 1e9; }

private:
    std::optional<Figures> FiguresOf(std::span<const int64_t> intervals) const;

    double expectedHz_ = 0;
    std::optional<int64_t> lastArrival_;
    // The intervals of movement, newest last, totalling at most kWindowNs and a bit.
    std::deque<int64_t> window_;
    int64_t windowNs_ = 0;
    std::optional<Figures> lastBatch_;
    int64_t slowNs_ = 0;
};

// "7,996 Hz": a rate rounded to whole reports a second, thousands grouped with commas.
std::string RateText(double hz);
// The set rate of a polling-rate code (the interval in 125-microsecond units); 0 for code 0.
double SetRateHz(uint8_t pollingRateCode);
