#pragma once

#include <iosfwd>
#include <string>

// Reading and writing a profile file; "-" is stdin or stdout. false with the
// reason in `error`. Writing goes through a temporary file beside the target,
// so a failed export never leaves half a profile where a good one was.
bool ReadProfileSource(const std::string& path, std::istream& in, std::string& text,
                       std::string& error);
bool WriteProfileDestination(const std::string& path, std::ostream& out, const std::string& text,
                             std::string& error);
