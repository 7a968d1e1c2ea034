#pragma once

#include <functional>
#include <iosfwd>
#include <string>

// Reading and writing a profile file; "-" is stdin or stdout. false with the
// reason in `error`.
//
// Only a regular file is read, checked again once it is open, so a FIFO put
// in its place meanwhile can never make the read wait.
bool ReadProfileSource(const std::string& path, std::istream& in, std::string& text,
                       std::string& error);

// Writes to a regular file or a new name, nothing else: a device, FIFO,
// socket or folder at the path is refused and left as it is. A link to a
// regular file is written at its target and stays a link, unless it is
// another user's link in a shared folder (see device/file_target.h). Writing
// goes through a temporary file beside the target, so a failed export never
// leaves half a profile where a good one was; the file it replaces keeps its
// permissions, owner and group, or nothing is written and `error` says why.
bool WriteProfileDestination(const std::string& path, std::ostream& out, const std::string& text,
                             std::string& error);

// For tests: runs after a profile to read was checked and before it is
// opened, where another process could swap it. {} = nothing.
void SetProfileOpenHook(std::function<void(const std::string& path)> hook);
