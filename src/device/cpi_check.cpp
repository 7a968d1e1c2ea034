#include "device/cpi_check.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <functional>

namespace {

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    const size_t last = text.find_last_not_of(" \t");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

// Centimetres per unit, by the unit's spelling.
std::optional<double> CentimetresPer(const std::string& unit) {
    if (unit == "cm") {
        return 1.0;
    }
    if (unit == "mm") {
        return 0.1;
    }
    if (unit == "in" || unit == "\"" || unit == "inch" || unit == "inches") {
        return kCentimetresPerInch;
    }
    return std::nullopt;
}

// The strokes `counts` picks (its CPI, or nothing for strokes of another kind).
CpiFigures FiguresOf(const std::vector<StrokeResult>& strokes,
                     const std::function<std::optional<double>(const StrokeResult&)>& counts,
                     std::optional<double> setCpi) {
    CpiFigures figures;
    double sum = 0;
    double lowest = 0;
    double highest = 0;
    for (const StrokeResult& stroke : strokes) {
        const std::optional<double> cpi = counts(stroke);
        if (!cpi)
            continue;
        lowest = figures.strokes == 0 ? *cpi : std::min(lowest, *cpi);
        highest = figures.strokes == 0 ? *cpi : std::max(highest, *cpi);
        sum += *cpi;
        ++figures.strokes;
    }
    if (figures.strokes == 0)
        return figures;
    figures.meanCpi = sum / static_cast<double>(figures.strokes);
    figures.spreadCpi = highest - lowest;
    if (setCpi && *setCpi > 0) {
        figures.setCpi = setCpi;
        figures.deviationPercent = (figures.meanCpi - *setCpi) / *setCpi * 100.0;
    }
    return figures;
}

}  // namespace

std::optional<double> ParseStrokeDistance(const std::string& text, std::string& problem) {
    const std::string trimmed = Trimmed(text);
    double value = 0;
    const auto [end, error] =
        std::from_chars(trimmed.data(), trimmed.data() + trimmed.size(), value);
    const std::string unit = Trimmed(std::string(end, trimmed.data() + trimmed.size()));
    const std::optional<double> perUnit = CentimetresPer(unit);
    if (error != std::errc() || !perUnit || !std::isfinite(value)) {
        problem = "\"" + text + "\" is not a distance: give it as 10cm, 100mm or 4in";
        return std::nullopt;
    }
    const double centimetres = value * *perUnit;
    if (centimetres < kShortestStrokeCm || centimetres > kLongestStrokeCm) {
        problem = "the distance must be from 2 cm to 50 cm (about 0.8 to 19.7 in)";
        return std::nullopt;
    }
    return centimetres / kCentimetresPerInch;
}

std::optional<StrokeResult> MeasureStroke(const Stroke& stroke, double distanceInches) {
    const double x = std::fabs(static_cast<double>(stroke.sumX));
    const double y = std::fabs(static_cast<double>(stroke.sumY));
    if ((x == 0 && y == 0) || distanceInches <= 0) {
        return std::nullopt;
    }
    StrokeResult result;
    result.cpi = std::hypot(x, y) / distanceInches;
    if (y <= x * kAxisStraightness) {
        result.cpiX = x / distanceInches;
    } else if (x <= y * kAxisStraightness) {
        result.cpiY = y / distanceInches;
    }
    result.trustworthy = !stroke.mayHaveLostReports;
    result.countsX = stroke.sumX;
    result.countsY = stroke.sumY;
    return result;
}

std::optional<SetCpi> ActiveLevelCpi(const SettingsRecord& record) {
    if (record.activeCpiLevel >= kCpiLevelCount) {
        return std::nullopt;
    }
    const CpiLevel& level = record.cpiLevels[record.activeCpiLevel];
    return SetCpi{level.x, level.y, record.activeCpiLevel, record.cpiLevelCount};
}

std::optional<CpiCheckSummary> SummariseStrokes(const std::vector<StrokeResult>& strokes,
                                                std::optional<SetCpi> set) {
    if (strokes.empty()) {
        return std::nullopt;
    }
    const auto setX = set ? std::optional<double>(set->x) : std::nullopt;
    const auto setY = set ? std::optional<double>(set->y) : std::nullopt;
    CpiCheckSummary summary;
    summary.along = FiguresOf(
        strokes, [](const StrokeResult& stroke) { return std::optional<double>(stroke.cpi); },
        set && set->x == set->y ? setX : std::nullopt);
    const CpiFigures x = FiguresOf(
        strokes, [](const StrokeResult& stroke) { return stroke.cpiX; }, setX);
    const CpiFigures y = FiguresOf(
        strokes, [](const StrokeResult& stroke) { return stroke.cpiY; }, setY);
    if (x.strokes > 0)
        summary.x = x;
    if (y.strokes > 0)
        summary.y = y;
    summary.trustworthy =
        std::ranges::all_of(strokes, [](const StrokeResult& stroke) { return stroke.trustworthy; });
    return summary;
}

double RulerBoundPercent(double distanceInches) {
    return kRulerToleranceCm / (distanceInches * kCentimetresPerInch) * 100.0;
}
