#include "device/number_text.h"

#include <cstdio>

std::string GroupedNumber(long long value) {
    const std::string digits = std::to_string(value < 0 ? -value : value);
    std::string text = value < 0 ? "-" : "";
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) {
            text += ',';  // before each group of three from the right
        }
        text += digits[i];
    }
    return text;
}

std::string DecimalText(double value, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}
