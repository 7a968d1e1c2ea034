#pragma once

#include <string>
#include <string_view>

// Text as the TOML files this tool writes hold it (profiles, the rules file),
// and as messages show what was read from them.

// A TOML basic string: in double quotes, with quotes, backslashes and control
// characters escaped, so that reading it gives `text` back.
std::string TomlQuoted(std::string_view text);

// The same escapes without the quotes: text from a file that is shown on a
// terminal (a path) can never move its cursor or change its colours.
std::string TomlEscaped(std::string_view text);
