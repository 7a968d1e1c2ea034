#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/commands.h"

// Runs `arguments` as kestrine-config would: parsed, then run with `input` on
// its standard input and its output in `out` and `err`, which start empty.
// -1 when the arguments do not parse.
inline int RunCommandLine(const std::vector<std::string>& arguments, const std::string& input,
                          std::ostringstream& out, std::ostringstream& err,
                          const std::string& lockFolder, bool terminal = false) {
    const ParseResult parsed = ParseCommandLine(arguments);
    EXPECT_TRUE(parsed.commandLine) << parsed.error;
    if (!parsed.commandLine) {
        return -1;
    }
    std::istringstream in(input);
    out.str({});
    err.str({});
    CommandStreams streams{in, out, err, lockFolder};
    streams.terminal = terminal;
    return RunCommand(*parsed.commandLine, streams);
}
