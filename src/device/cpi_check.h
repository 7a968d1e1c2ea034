#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device/pointer_report_format.h"

// The CPI check: the mouse is moved a known distance along a ruler, and the
// counts of its own pointer reports over that stroke give the CPI the sensor
// really has, with no pointer acceleration or desktop scaling in the way.

inline constexpr double kCentimetresPerInch = 2.54;
inline constexpr double kShortestStrokeCm = 2.0;
inline constexpr double kLongestStrokeCm = 50.0;

// "10cm", "10 cm", "100mm", "4in", "4\"": the stroke's length in inches;
// nothing, with the reason in `problem`, outside 2 cm to 50 cm or unreadable.
std::optional<double> ParseStrokeDistance(const std::string& text, std::string& problem);

// The counts of one stroke, summed report by report.
struct Stroke {
    int64_t sumX = 0;
    int64_t sumY = 0;
    uint64_t reports = 0;
    // Reports the computer never saw (the kernel's queue overflowed): the
    // counts they carried are missing from the sums.
    uint64_t dropped = 0;

    void Add(const PointerReport& report) {
        sumX += report.dx;
        sumY += report.dy;
        ++reports;
    }
};

// A stroke along one axis counts for that axis too: the other axis moved by
// less than this share of it.
inline constexpr double kAxisStraightness = 0.05;

struct StrokeResult {
    double cpi = 0;              // counts along the stroke per inch travelled
    std::optional<double> cpiX;  // a horizontal stroke
    std::optional<double> cpiY;  // a vertical stroke
    bool trustworthy = true;     // no report was dropped
};

// Nothing when the mouse did not move.
std::optional<StrokeResult> MeasureStroke(const Stroke& stroke, double distanceInches);

struct CpiCheckSummary {
    size_t strokes = 0;
    double meanCpi = 0;
    double spreadCpi = 0;         // the highest stroke's CPI less the lowest's
    double deviationPercent = 0;  // of the mean from the set CPI
    bool trustworthy = true;      // no stroke lost reports
};

// The strokes' mean against the CPI the active level is set to.
CpiCheckSummary SummariseStrokes(const std::vector<StrokeResult>& strokes, double setCpi);
