#pragma once

#include <QStringView>
#include <optional>

// The sensor angle field accepts any characters, so its text is read two ways.

// Leading blanks, an optional sign and the digits that follow; reading stops
// at the first other character and text without digits reads as 0. The
// result is limited to [minimum, maximum] however many digits were typed.
int ReadLeadingInteger(QStringView text, int minimum, int maximum);

// The whole text as one integer (blanks around allowed), limited to
// [minimum, maximum]; nullopt when it is empty, a lone sign or holds other characters.
std::optional<int> ReadWholeInteger(QStringView text, int minimum, int maximum);
