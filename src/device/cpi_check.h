#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "device/report_rate_meter.h"
#include "settings/settings_image.h"

// The CPI check: the mouse is moved a known distance along a ruler, and the
// counts of its own pointer reports over that stroke give the CPI the sensor
// really has, with no pointer acceleration or desktop scaling in the way.

inline constexpr double kCentimetresPerInch = 2.54;
inline constexpr double kShortestStrokeCm = 2.0;
inline constexpr double kLongestStrokeCm = 50.0;
inline constexpr double kDefaultStrokeCm = 10.0;

// "10cm", "10 cm", "100mm", "4in", "4\"": the stroke's length in inches;
// nothing, with the reason in `problem`, outside 2 cm to 50 cm or unreadable.
std::optional<double> ParseStrokeDistance(const std::string& text, std::string& problem);

// The counts of one stroke, summed from the pointer reader's batches.
struct Stroke {
    int64_t sumX = 0;
    int64_t sumY = 0;
    uint64_t reports = 0;
    // A batch read the kernel's whole queue: reports, and the counts they
    // carried, may be missing from the sums.
    bool mayHaveLostReports = false;

    void Add(const ReportBatch& batch) {
        sumX += batch.dx;
        sumY += batch.dy;
        reports += batch.reports;
        mayHaveLostReports = mayHaveLostReports || batch.mayHaveLostReports;
    }
    void Add(std::span<const ReportBatch> batches) {
        for (const ReportBatch& batch : batches)
            Add(batch);
    }
};

// A stroke along one axis counts for that axis too: the other axis moved by
// less than this share of it.
inline constexpr double kAxisStraightness = 0.05;

enum class StrokeDirection { Horizontal, Vertical, Diagonal };

struct StrokeResult {
    double cpi = 0;              // counts along the stroke per inch travelled
    std::optional<double> cpiX;  // a horizontal stroke
    std::optional<double> cpiY;  // a vertical stroke
    bool trustworthy = true;     // no report may have been lost
    int64_t countsX = 0;
    int64_t countsY = 0;

    StrokeDirection Direction() const {
        return cpiX ? StrokeDirection::Horizontal
                    : (cpiY ? StrokeDirection::Vertical : StrokeDirection::Diagonal);
    }
};

// Nothing when the mouse did not move.
std::optional<StrokeResult> MeasureStroke(const Stroke& stroke, double distanceInches);

// The CPI the mouse's active level is set to, X and Y.
struct SetCpi {
    uint32_t x = 0;
    uint32_t y = 0;
    int level = 0;  // from 0
    int levelCount = 0;
};

// Nothing when the record names no level (an active level past the fourth).
std::optional<SetCpi> ActiveLevelCpi(const SettingsRecord& record);

// The strokes of one kind, against the CPI they should have read.
struct CpiFigures {
    size_t strokes = 0;
    double meanCpi = 0;
    double spreadCpi = 0;  // the highest stroke's CPI less the lowest's
    std::optional<double> setCpi;
    std::optional<double> deviationPercent;  // of the mean from the set CPI
};

struct CpiCheckSummary {
    // Every stroke, along its line. Its set CPI is known when X and Y are
    // set alike: a diagonal stroke of a level with X and Y apart has none.
    CpiFigures along;
    std::optional<CpiFigures> x;  // the horizontal strokes, against the set X
    std::optional<CpiFigures> y;  // the vertical strokes, against the set Y
    bool trustworthy = true;      // no stroke may have lost reports
};

// Nothing for no strokes.
std::optional<CpiCheckSummary> SummariseStrokes(const std::vector<StrokeResult>& strokes,
                                                std::optional<SetCpi> set);

// How much a stroke ended this far off its mark (a ruler's millimetre) moves
// the figure, in per cent: what bounds the check's accuracy.
inline constexpr double kRulerToleranceCm = 0.1;
double RulerBoundPercent(double distanceInches);
