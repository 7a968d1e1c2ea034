#pragma once

#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>

#include "device/cpi_check.h"

class HidConnection;

struct CpiCheckOptions {
    double distanceInches = kDefaultStrokeCm / kCentimetresPerInch;
    unsigned strokes = 3;
    bool json = false;
};

// Called once a stroke has started; a simulated mouse makes the stroke in it,
// and returns once every report of it was read. Empty: a person moves the mouse.
using StrokeMaker = std::function<void()>;

// The CPI check on the open pointer interface: each stroke starts and ends
// with a line read from `in` (Enter at a terminal, a line from a pipe). Each
// stroke's figure and then the summary go to `out`; the instructions to
// `err`, so that with --json stdout holds the JSON alone. A stroke in which
// nothing moved does not count and is asked for again, up to
// kEmptyStrokesAllowed times in a row.
// Exit status 0, or 1 when no movement was seen, the pointer's counts cannot
// be read or the mouse went away.
int CheckCpi(const CpiCheckOptions& options, std::unique_ptr<HidConnection> pointer,
             std::optional<SetCpi> set, const StrokeMaker& makeStroke, std::istream& in,
             std::ostream& out, std::ostream& err);

inline constexpr unsigned kEmptyStrokesAllowed = 3;
