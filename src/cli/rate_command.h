#pragma once

#include <iosfwd>
#include <memory>

class HidConnection;

struct RateOptions {
    int seconds = 5;
    bool json = false;
};

// Measures the report rate of the open pointer interface for `seconds`
// and prints the figures, beside the rate the mouse is set to (0 = unknown).
// Exit status 0, or 1 when no movement was seen or the mouse went away.
int MeasureReportRate(const RateOptions& options, std::unique_ptr<HidConnection> pointer,
                      double setHz, std::ostream& out, std::ostream& err);
