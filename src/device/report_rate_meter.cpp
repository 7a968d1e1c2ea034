#include "device/report_rate_meter.h"

#include "device/number_text.h"

void ReportRateMeter::SetExpectedRate(double hz) {
    if (hz == expectedHz_)
        return;
    expectedHz_ = hz;
    slowNs_ = 0;
}

void ReportRateMeter::Reset() {
    lastEnd_.reset();
    window_.clear();
    windowNs_ = 0;
    windowReports_ = 0;
    lastAdd_.reset();
    slowNs_ = 0;
}

void ReportRateMeter::Add(std::span<const ReportBatch> batches) {
    int64_t addedNs = 0;
    uint64_t addedReports = 0;
    for (const ReportBatch& batch : batches) {
        if (lastEnd_) {
            const int64_t ns = batch.endNs - *lastEnd_;
            // A clock that went back, or a pause, is no time of movement.
            if (ns >= 0 && ns <= kPauseNs && batch.reports > 0) {
                window_.push_back({ns, batch.reports});
                windowNs_ += ns;
                windowReports_ += batch.reports;
                addedNs += ns;
                addedReports += batch.reports;
            }
        }
        if (batch.reports > 0)
            lastEnd_ = batch.endNs;
    }
    // The oldest spans go while the rest still covers the window.
    while (!window_.empty() && windowNs_ - window_.front().ns >= kWindowNs) {
        windowNs_ -= window_.front().ns;
        windowReports_ -= window_.front().reports;
        window_.pop_front();
    }
    lastAdd_ = FiguresOf(addedNs, addedReports);

    if (addedReports == 0)
        return;
    const std::optional<Figures> now = Current();
    if (now && expectedHz_ > 0 && now->rateHz < kSlowShare * expectedHz_)
        slowNs_ += addedNs;
    else
        slowNs_ = 0;
}

std::optional<ReportRateMeter::Figures> ReportRateMeter::Current() const {
    if (windowReports_ < kMinimumReports)
        return std::nullopt;
    return FiguresOf(windowNs_, windowReports_);
}

std::optional<ReportRateMeter::Figures> ReportRateMeter::FiguresOf(int64_t ns, uint64_t reports) {
    // Reports read back to back can share one stamp: no time, no rate.
    if (reports == 0 || ns <= 0)
        return std::nullopt;
    return Figures{reports * 1e9 / ns, reports, ns};
}

std::vector<ReportBatch> SingleReports(std::span<const int64_t> arrivalsNs) {
    std::vector<ReportBatch> batches;
    batches.reserve(arrivalsNs.size());
    for (const int64_t arrival : arrivalsNs)
        batches.push_back({arrival, 1});
    return batches;
}

// Built by appending: inserting the commas made GCC 12 warn of an overlap that cannot happen.
std::string RateText(double hz) {
    return GroupedNumber(static_cast<long long>(hz + 0.5)) + " Hz";
}

double SetRateHz(uint8_t pollingRateCode) {
    return pollingRateCode == 0 ? 0 : 8000.0 / pollingRateCode;
}
