#include "settings/firmware_version.h"

#include <cstdio>

std::string FirmwareVersionText(unsigned version) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%x", version);
    unsigned number = 0;
    for (const char* digit = hex; *digit >= '0' && *digit <= '9'; ++digit) {
        number = number * 10 + static_cast<unsigned>(*digit - '0');
    }
    char text[32];
    std::snprintf(text, sizeof text, "V%.2f", number / 100.0);
    return text;
}
