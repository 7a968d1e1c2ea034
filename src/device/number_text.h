#pragma once

#include <string>

// "7,996", "-12,345": a whole number with its thousands grouped by commas,
// as the figures the tool measures are shown in the window and the terminal.
std::string GroupedNumber(long long value);

// "3.94": a number with `decimals` digits after the point.
std::string DecimalText(double value, int decimals);
