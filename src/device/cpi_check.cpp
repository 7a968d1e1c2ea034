#include "device/cpi_check.h"

#include <algorithm>
#include <charconv>
#include <cmath>

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
    result.trustworthy = stroke.dropped == 0;
    return result;
}

CpiCheckSummary SummariseStrokes(const std::vector<StrokeResult>& strokes, double setCpi) {
    CpiCheckSummary summary;
    summary.strokes = strokes.size();
    if (strokes.empty()) {
        return summary;
    }
    double sum = 0;
    double lowest = strokes.front().cpi;
    double highest = lowest;
    for (const StrokeResult& stroke : strokes) {
        sum += stroke.cpi;
        lowest = std::min(lowest, stroke.cpi);
        highest = std::max(highest, stroke.cpi);
        summary.trustworthy = summary.trustworthy && stroke.trustworthy;
    }
    summary.meanCpi = sum / static_cast<double>(strokes.size());
    summary.spreadCpi = highest - lowest;
    if (setCpi > 0) {
        summary.deviationPercent = (summary.meanCpi - setCpi) / setCpi * 100.0;
    }
    return summary;
}
