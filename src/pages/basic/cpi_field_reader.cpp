#include "pages/basic/cpi_field_reader.h"

#include <limits>

namespace {

constexpr uint32_t kEmptyFieldCpi = 10;

std::optional<uint32_t> LeadingNumber(QStringView text) {
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace()) {
        ++i;
    }
    const auto isDigit = [](QChar c) { return c >= u'0' && c <= u'9'; };
    if (i == text.size() || !isDigit(text[i])) {
        return std::nullopt;
    }
    constexpr uint64_t kCeiling = std::numeric_limits<uint32_t>::max();
    uint64_t number = 0;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        number = std::min(number * 10 + (text[i].unicode() - u'0'), kCeiling);
    }
    return static_cast<uint32_t>(number);
}

}  // namespace

uint32_t ReadCommittedCpiText(QStringView text) {
    if (text.isEmpty()) {
        return kEmptyFieldCpi;
    }
    return LeadingNumber(text).value_or(0);
}

std::optional<uint32_t> ReadEditedCpiText(QStringView text) {
    return LeadingNumber(text);
}
