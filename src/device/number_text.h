#pragma once

#include <string>

// "7,996", "-12,345": a whole number with its thousands grouped by commas,
// as the figures the tool measures are shown in the window and the terminal.
std::string GroupedNumber(long long value);
