#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>

#include "platform/user_files.h"

// A file named on the command line, where "-" is stdin or stdout; any other
// name is read by ReadUserFile and written by WriteUserFile (see
// platform/user_files.h). false or a failure, with the reason in `error`.

// At most `maxBytes`; `kind` names what is read in the error ("a profile").
bool ReadFileOrStdin(const std::string& path, std::istream& in, size_t maxBytes,
                     const std::string& kind, std::string& text, std::string& error);

// stdout failing to take it is WriteResult::Failed.
WriteResult WriteFileOrStdout(const std::string& path, std::ostream& out, const std::string& text,
                              const std::string& kind, std::string& error);
