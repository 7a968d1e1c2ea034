#include "cli/rate_command.h"

#include <ostream>
#include <string>

#include "cli/command_line.h"
#include "device/hid_transport.h"
#include "device/number_text.h"
#include "device/pointer_reader.h"
#include "device/report_rate_meter.h"
#include "device/sleep.h"

namespace {

// The batches are taken a few times a second: the reader keeps them meanwhile.
constexpr unsigned kTakeEveryMs = 250;

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
        meter.Add(reader.TakeBatches());
    }
    reader.Stop();
    meter.Add(reader.TakeBatches());
    if (reader.Gone()) {
        err << "kestrine-config: the mouse went away while it was measured\n";
        return kExitMouse;
    }
    const auto figures = meter.Current();
    if (!figures) {
        err << "kestrine-config: no movement was seen; move the mouse while it is measured\n";
        return kExitMouse;
    }
    const double movingSeconds = figures->movingNs / 1e9;
    if (options.json) {
        out << "{\n  \"measured_hz\": " << DecimalText(figures->rateHz, 1)
            << ",\n  \"set_hz\": " << DecimalText(setHz, 0)
            << ",\n  \"moving_seconds\": " << DecimalText(movingSeconds, 3)
            << ",\n  \"reports\": " << reader.ReportCount() << "\n}\n";
        return kExitDone;
    }
    out << "Measured: " << RateText(figures->rateHz) << " (set: " << RateText(setHz) << ")\n"
        << "From " << figures->reports << " reports in the last " << DecimalText(movingSeconds, 2)
        << " s of movement\n";
    out << "Reports: " << reader.ReportCount() << "\n";
    if (setHz > 0 && figures->rateHz < ReportRateMeter::kSlowShare * setHz) {
        out << "The mouse reaches the computer well below its set rate. Try another USB port, "
               "directly on the computer rather than through a hub.\n";
    }
    return kExitDone;
}
