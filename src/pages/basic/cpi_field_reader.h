#pragma once

#include <QStringView>
#include <cstdint>
#include <optional>

// The two ways the Basic page reads the number in a CPI field. Both skip
// leading white space and take the leading run of decimal digits; a number
// too large for 32 bits reads as the largest one, so it still clamps to the
// top of the scale. Callers normalise the result.

// When a field is committed: no number reads as 0, an empty text as 10.
uint32_t ReadCommittedCpiText(QStringView text);
// When a text change is handled or the fields are collected: a text without a
// leading number (the empty text included) gives nothing.
std::optional<uint32_t> ReadEditedCpiText(QStringView text);
