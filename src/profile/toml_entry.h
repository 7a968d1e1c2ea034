#pragma once

#include <toml++/toml.h>
#include <cstddef>
#include <optional>
#include <string_view>

#include "profile/profile.h"

// The one way a TOML file of this tool (a profile, the rules) is read.
// toml++ recurses once for each part of a dotted name and each level of
// nesting, so a file of a few dozen kilobytes could overflow the stack; what
// no file of this tool needs is refused here before the library sees it.

// A profile or rules file is a few kilobytes.
inline constexpr size_t kMaxTomlBytes = size_t{1} << 20;
// The most parts a dotted name may have (a.b.c = 1, [a.b.c]); no setting
// has more than three.
inline constexpr int kMaxTomlKeyParts = 8;
// The most arrays and inline tables one inside another ([[rule]] is two).
inline constexpr int kMaxTomlNesting = 8;

// The first thing in `text` that is too large or too deep, with its line.
std::optional<ProfileProblem> TomlShapeProblem(std::string_view text);

// The document, or nothing with the problem (its shape, or TOML syntax) in
// `problem`.
std::optional<toml::table> ParseToml(std::string_view text, ProfileProblem& problem);
