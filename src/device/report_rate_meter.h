#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <vector>

// What one wake of a reader took from the mouse: the reports it read, stamped
// once the queue was found empty, so that each of them arrived before `endNs`
// and after the previous batch's stamp. A report timed on its own is a batch
// of one.
struct ReportBatch {
    int64_t endNs = 0;  // nanoseconds on a monotonic clock
    uint32_t reports = 0;
    // What the reports carried, summed, when the pointer's report layout is
    // known (zero otherwise).
    int64_t dx = 0;
    int64_t dy = 0;
    int64_t wheel = 0;
    uint32_t buttonsHeld = 0;     // in the batch's last report; bit 0 = left
    uint32_t buttonsPressed = 0;  // in any of its reports: a short click still shows
    // One wake read as many reports as the kernel keeps: the queue may have
    // overflowed and reports, with their counts, been lost before it.
    bool mayHaveLostReports = false;
};

// Turns the report batches of the mouse's motion into a report rate.
//
// The rate is the reports counted over the time the mouse moved, for the
// last second of movement or more: each batch adds its reports and the time
// since the batch before. A gap longer than kPauseNs is a pause, not a slow
// report: the batch after it only starts the next stretch of movement (its
// reports came in the pause's time), so a still mouse keeps the last figure,
// pauses do not lower it, and the figure can never exceed the reports that
// arrived in the time it covers, however they were bunched when read.
class ReportRateMeter {
public:
    static constexpr int64_t kPauseNs = 100'000'000;     // below 10 reports a second is no movement
    static constexpr int64_t kWindowNs = 1'000'000'000;  // the last second of movement
    // Reports needed before a figure is given: fewer than a second holds at 10 Hz.
    static constexpr uint64_t kMinimumReports = 8;
    // Below this share of the set rate, the rate counts as held back.
    static constexpr double kSlowShare = 0.75;

    struct Figures {
        double rateHz = 0;
        uint64_t reports = 0;  // counted in the figure
        int64_t movingNs = 0;  // the time they came in
    };

    // The rate the mouse is set to; 0 = unknown (never slow).
    void SetExpectedRate(double hz);
    double ExpectedRate() const { return expectedHz_; }

    // Batches in the order they were read.
    void Add(std::span<const ReportBatch> batches);
    // Forgets everything (a new mouse or a new set rate).
    void Reset();

    // Nothing until kMinimumReports reports of movement were counted.
    std::optional<Figures> Current() const;
    // Of the batches of the last Add only (for a plot of the rate over time).
    std::optional<Figures> LastBatch() const { return lastAdd_; }
    // Seconds of movement for which the rate has stayed below kSlowShare of the
    // set rate without a break; 0 while it is not below.
    double SlowSeconds() const { return slowNs_ / 1e9; }

private:
    struct Span {
        int64_t ns;
        uint64_t reports;
    };
    static std::optional<Figures> FiguresOf(int64_t ns, uint64_t reports);

    double expectedHz_ = 0;
    std::optional<int64_t> lastEnd_;
    // The spans of movement, newest last, covering kWindowNs and a little more.
    std::deque<Span> window_;
    int64_t windowNs_ = 0;
    uint64_t windowReports_ = 0;
    std::optional<Figures> lastAdd_;
    int64_t slowNs_ = 0;
};

// The batches of reports timed one by one.
std::vector<ReportBatch> SingleReports(std::span<const int64_t> arrivalsNs);
// "7,996 Hz": a rate rounded to whole reports a second, thousands grouped with commas.
std::string RateText(double hz);
// The set rate of a polling-rate code (the interval in 125-microsecond units); 0 for code 0.
double SetRateHz(uint8_t pollingRateCode);
