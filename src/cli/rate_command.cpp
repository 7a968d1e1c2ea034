#include "cli/rate_command.h"

#include <cstdio>
#include <ostream>
#include <string>

#include "cli/command_line.h"
#include "device/hid_transport.h"
#include "device/pointer_reader.h"
#include "device/report_rate_meter.h"
#include "device/sleep.h"

namespace {

// The arrival times are taken a few times a second: the reader keeps them meanwhile.
constexpr unsigned kTakeEveryMs = 250;

std::string Fixed(double value, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

}  // namespace

int MeasureReportRate(const RateOptions& options, std::unique_ptr<HidConnection> pointer,
                      double setHz, std::ostream& out, std::ostream& err) {
    if (!pointer) {
        err << "kestrine-config: the mouse's pointer interface cannot be opened\n";
        return kExitMouse;
    }
    // With --json, stdout holds the JSON alone.
    (options.json ? err : out) << "Move the mouse for " << options.seconds
                               << " seconds, steadily…\n";
    ReportRateMeter meter;
    meter.SetExpectedRate(setHz);
    PointerReader reader(std::move(pointer));
    const unsigned rounds = static_cast<unsigned>(options.seconds) * 1000 / kTakeEveryMs;
    for (unsigned round = 0; round < rounds && !reader.Gone(); ++round) {
        SleepMs(kTakeEveryMs);
        meter.Add(reader.TakeArrivals());
    }
    reader.Stop();
    meter.Add(reader.TakeArrivals());
    if (reader.Gone()) {
        err << "kestrine-config: the mouse went away while it was measured\n";
        return kExitMouse;
    }
    const auto figures = meter.Current();
    if (!figures) {
        err << "kestrine-config: no movement was seen; move the mouse while it is measured\n";
        return kExitMouse;
    }
    const double lateMs = setHz > 0 ? 1.5 * 1000 / setHz : 0;
    if (options.json) {
        out << "{\n  \"measured_hz\": " << Fixed(figures->rateHz, 1)
            << ",\n  \"set_hz\": " << Fixed(setHz, 0)
            << ",\n  \"shortest_interval_ms\": " << Fixed(figures->shortestNs / 1e6, 3)
            << ",\n  \"longest_interval_ms\": " << Fixed(figures->longestNs / 1e6, 3)
            << ",\n  \"late_share\": " << Fixed(figures->lateShare, 4)
            << ",\n  \"reports\": " << reader.ReportCount() << "\n}\n";
        return kExitDone;
    }
    out << "Measured: " << RateText(figures->rateHz) << " (set: " << RateText(setHz) << ")\n"
        << "Intervals: shortest " << Fixed(figures->shortestNs / 1e6, 3) << " ms, longest "
        << Fixed(figures->longestNs / 1e6, 3) << " ms\n";
    if (setHz > 0) {
        out << "Late: " << Fixed(figures->lateShare * 100, 1)
            << " % of the intervals are longer than " << Fixed(lateMs, 3)
            << " ms (1.5 times the set interval)\n";
    }
    out << "Reports: " << reader.ReportCount() << "\n";
    if (setHz > 0 && figures->rateHz < ReportRateMeter::kSlowShare * setHz) {
        out << "The mouse reaches the computer well below its set rate. Try another USB port, "
               "directly on the computer rather than through a hub.\n";
    }
    return kExitDone;
}
