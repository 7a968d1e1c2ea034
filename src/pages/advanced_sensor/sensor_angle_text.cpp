#include "pages/advanced_sensor/sensor_angle_text.h"

#include <algorithm>

namespace {

struct Reading {
    int value = 0;
    qsizetype end = 0;  // index after the last character read
    bool hasDigits = false;
};

qsizetype SkipBlanks(QStringView text, qsizetype at) {
    while (at < text.size() && text[at].isSpace()) {
        ++at;
    }
    return at;
}

// Accumulates in a wide type and stops growing once past any int field value,
// so a long run of digits cannot overflow.
Reading ReadSignedDigits(QStringView text, int minimum, int maximum) {
    Reading reading;
    qsizetype at = SkipBlanks(text, 0);
    bool negative = false;
    if (at < text.size() && (text[at] == u'-' || text[at] == u'+')) {
        negative = text[at] == u'-';
        ++at;
    }
    long long magnitude = 0;
    constexpr long long kCap = 1LL << 40;
    while (at < text.size() && text[at] >= u'0' && text[at] <= u'9') {
        magnitude = std::min(kCap, magnitude * 10 + (text[at].unicode() - u'0'));
        reading.hasDigits = true;
        ++at;
    }
    const long long value = negative ? -magnitude : magnitude;
    reading.value = static_cast<int>(std::clamp<long long>(value, minimum, maximum));
    reading.end = at;
    return reading;
}

}  // namespace

int ReadLeadingInteger(QStringView text, int minimum, int maximum) {
    return ReadSignedDigits(text, minimum, maximum).value;
}

std::optional<int> ReadWholeInteger(QStringView text, int minimum, int maximum) {
    const Reading reading = ReadSignedDigits(text, minimum, maximum);
    if (!reading.hasDigits || SkipBlanks(text, reading.end) != text.size()) {
        return std::nullopt;
    }
    return reading.value;
}
