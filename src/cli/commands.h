#pragma once

#include <iosfwd>
#include <string>

#include "cli/command_line.h"

// Where a command reads and writes, and the folder of the instance lock
// (empty = the user's own).
struct CommandStreams {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    std::string lockFolder;
    // A person at a terminal answers questions; a script does not.
    bool terminal = false;
};

// Runs a command of the command line against the mouse (or, with --simulate,
// a simulated one) and returns the exit status. Without --simulate it uses the
// current HID transport, so tests can hand it a scripted mouse.
int RunCommand(const CommandLine& line, CommandStreams& streams);
