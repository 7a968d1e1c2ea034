#include "device/report_rate_meter.h"

#include <algorithm>
#include <vector>

void ReportRateMeter::SetExpectedRate(double hz) {
    if (hz == expectedHz_)
        return;
    expectedHz_ = hz;
    slowNs_ = 0;
}

void ReportRateMeter::Reset() {
    lastArrival_.reset();
    window_.clear();
    windowNs_ = 0;
    lastBatch_.reset();
    slowNs_ = 0;
}

void ReportRateMeter::Add(std::span<const int64_t> arrivals) {
    std::vector<int64_t> batch;
    batch.reserve(arrivals.size());
    for (const int64_t arrival : arrivals) {
        if (lastArrival_) {
            const int64_t interval = arrival - *lastArrival_;
            // A clock that went back, or a pause, is no interval of movement.
            if (interval >= 0 && interval <= kPauseNs) {
                batch.push_back(interval);
                window_.push_back(interval);
                windowNs_ += interval;
            }
        }
        lastArrival_ = arrival;
    }
    while (windowNs_ > kWindowNs && !window_.empty()) {
        windowNs_ -= window_.front();
        window_.pop_front();
    }
    lastBatch_ = FiguresOf(batch);

    if (batch.empty())
        return;
    int64_t batchNs = 0;
    for (const int64_t interval : batch)
        batchNs += interval;
    const std::optional<Figures> now = Current();
    if (now && expectedHz_ > 0 && now->rateHz < kSlowShare * expectedHz_)
        slowNs_ += batchNs;
    else
        slowNs_ = 0;
}

std::optional<ReportRateMeter::Figures> ReportRateMeter::Current() const {
    const std::vector<int64_t> intervals(window_.begin(), window_.end());
    return FiguresOf(intervals);
}

std::optional<ReportRateMeter::Figures> ReportRateMeter::FiguresOf(
    std::span<const int64_t> intervals) const {
    if (intervals.size() < kMinimumIntervals)
        return std::nullopt;
    std::vector<int64_t> sorted(intervals.begin(), intervals.end());
    std::sort(sorted.begin(), sorted.end());
    const size_t n = sorted.size();
    // The mean of the two middle ones for an even count.
    const double median = n % 2 == 1 ? static_cast<double>(sorted[n / 2])
                                     : (static_cast<double>(sorted[n / 2 - 1]) + sorted[n / 2]) / 2;
    Figures figures;
    figures.intervals = n;
    figures.shortestNs = sorted.front();
    figures.longestNs = sorted.back();
    // Reports read back to back from a queue can be stamped the same nanosecond.
    figures.rateHz = median > 0 ? 1e9 / median : 0;
    if (expectedHz_ > 0) {
        const double lateNs = 1.5 * 1e9 / expectedHz_;
        const auto late =
            std::count_if(sorted.begin(), sorted.end(), [lateNs](int64_t i) { return i > lateNs; });
        figures.lateShare = static_cast<double>(late) / n;
    }
    return figures;
}

// Built by appending: inserting the commas made GCC 12 warn of an overlap that cannot happen.
std::string RateText(double hz) {
    const std::string digits = std::to_string(static_cast<long long>(hz + 0.5));
    std::string text;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) {
            text += ',';  // before each group of three from the right
        }
        text += digits[i];
    }
    text += " Hz";
    return text;
}

double SetRateHz(uint8_t pollingRateCode) {
    return pollingRateCode == 0 ? 0 : 8000.0 / pollingRateCode;
}
