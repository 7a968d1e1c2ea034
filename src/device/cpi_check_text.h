#pragma once

#include <optional>
#include <string>
#include <vector>

#include "device/cpi_check.h"

// What the CPI check says, in the window and in the terminal alike.

// "1,648 CPI"
std::string CpiText(double cpi);
// "+3.0 %", "-0.4 %", "0.0 %"
std::string DeviationText(double percent);
// "10 cm (3.94 in)"
std::string DistanceText(double inches);
// "1,600 CPI (level 2 of 4)", or "X 1,600, Y 800 CPI (level 2 of 4)"
std::string SetCpiText(const SetCpi& set);
// "1,648 CPI, horizontal (X 6,489, Y 2 counts)", and a warning when reports
// may have been lost.
std::string StrokeText(const StrokeResult& stroke);
// The mean, the spread and the deviation of each kind of stroke, a line each.
std::vector<std::string> SummaryLines(const CpiCheckSummary& summary, std::optional<SetCpi> set);
// What the figure is.
std::string MeaningText();
// What bounds it: ending a stroke a millimetre off the mark.
std::string RulerText(double distanceInches);
