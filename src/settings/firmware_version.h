#pragma once

#include <string>

// The firmware version as the user sees it: the version's hexadecimal digits
// read back as decimal, so 0x0107 is "V1.07"; a digit a-f ends the number
// (0x01A3 is "V0.01").
std::string FirmwareVersionText(unsigned version);
