#include "device/cpi_check_text.h"

#include <cmath>

#include "device/number_text.h"

namespace {

// "10", "2.5", "3.94": no trailing zeros.
std::string Short(double value) {
    std::string text = DecimalText(value, 2);
    while (text.back() == '0')
        text.pop_back();
    if (text.back() == '.')
        text.pop_back();
    return text;
}

std::string Grouped(double value) {
    return GroupedNumber(std::llround(value));
}

std::string LevelText(const SetCpi& set) {
    return "level " + std::to_string(set.level + 1) +
           (set.levelCount >= 1 && set.levelCount <= kCpiLevelCount
                ? " of " + std::to_string(set.levelCount)
                : std::string());
}

std::string SpreadText(const CpiFigures& figures) {
    if (figures.strokes < 2)
        return {};
    return ", spread " + CpiText(figures.spreadCpi) + " (" +
           DecimalText(figures.spreadCpi / figures.meanCpi * 100.0, 1) + " %)";
}

std::string StrokesText(size_t strokes, const char* kind) {
    const std::string kindText = *kind != '\0' ? std::string(kind) + " " : std::string();
    return std::to_string(strokes) + " " + kindText + "stroke" + (strokes == 1 ? "" : "s");
}

std::string AxisLine(const char* axis, const char* kind, const CpiFigures& figures) {
    std::string line = std::string(axis) + ", " + StrokesText(figures.strokes, kind) + ": " +
                       CpiText(figures.meanCpi) + SpreadText(figures);
    if (figures.deviationPercent) {
        line += "; " + DeviationText(*figures.deviationPercent) + " from the set " +
                CpiText(*figures.setCpi);
    }
    return line;
}

}  // namespace

std::string CpiText(double cpi) {
    return Grouped(cpi) + " CPI";
}

std::string DeviationText(double percent) {
    const double rounded = std::round(percent * 10.0) / 10.0;
    if (rounded == 0)
        return "0.0 %";
    return (rounded > 0 ? "+" : "") + DecimalText(rounded, 1) + " %";
}

std::string DistanceText(double inches) {
    return Short(inches * kCentimetresPerInch) + " cm (" + Short(inches) + " in)";
}

std::string SetCpiText(const SetCpi& set) {
    if (set.x == set.y)
        return CpiText(set.x) + " (" + LevelText(set) + ")";
    return "X " + GroupedNumber(set.x) + ", Y " + GroupedNumber(set.y) + " CPI (" + LevelText(set) +
           ")";
}

std::string StrokeText(const StrokeResult& stroke) {
    const char* direction = stroke.Direction() == StrokeDirection::Horizontal ? "horizontal"
                            : stroke.Direction() == StrokeDirection::Vertical ? "vertical"
                                                                              : "diagonal";
    std::string text = CpiText(stroke.cpi) + ", " + direction + " (X " +
                       GroupedNumber(stroke.countsX) + ", Y " + GroupedNumber(stroke.countsY) +
                       " counts)";
    if (!stroke.trustworthy)
        text += "; reports may have been lost, so this figure cannot be trusted";
    return text;
}

std::vector<std::string> SummaryLines(const CpiCheckSummary& summary, std::optional<SetCpi> set) {
    std::vector<std::string> lines;
    const CpiFigures& along = summary.along;
    lines.push_back("Mean of " + StrokesText(along.strokes, "") + ": " + CpiText(along.meanCpi) +
                    SpreadText(along));
    if (!set) {
        lines.push_back("The mouse names no active level, so there is no set CPI to compare with.");
    } else if (along.deviationPercent) {
        lines.push_back("Set: " + SetCpiText(*set) + "; measured " +
                        DeviationText(*along.deviationPercent));
    } else if (!summary.x && !summary.y) {
        lines.push_back("Set: " + SetCpiText(*set) +
                        ". X and Y differ, so a diagonal stroke has no one set CPI: move the "
                        "mouse along X or Y to compare.");
    } else {
        lines.push_back("Set: " + SetCpiText(*set));
    }
    // X and Y apart are worth a line when the level sets them apart or the
    // strokes went both ways.
    const bool bothWays = summary.x && summary.y;
    const bool apart = set && set->x != set->y;
    if (summary.x && (bothWays || apart))
        lines.push_back(AxisLine("X", "horizontal", *summary.x));
    if (summary.y && (bothWays || apart))
        lines.push_back(AxisLine("Y", "vertical", *summary.y));
    if (!summary.trustworthy) {
        lines.push_back(
            "Reports may have been lost (the computer did not read them all in time): the "
            "figures cannot be trusted. Measure again with less running.");
    }
    return lines;
}

std::string MeaningText() {
    return "The measured CPI is the counts the sensor reported over the stroke divided by the "
           "inches the mouse travelled, read from the mouse's own reports, with no pointer "
           "acceleration in the way. Sensors often differ from their set CPI by a few per cent.";
}

std::string RulerText(double distanceInches) {
    return "The figure is only as exact as the ruler and the stroke: ending it 1 mm off the " +
           Short(distanceInches * kCentimetresPerInch) + " cm mark moves it by " +
           DecimalText(RulerBoundPercent(distanceInches), 1) + " %.";
}
