#pragma once

#include "cli/command_line.h"
#include "cli/commands.h"

// `kestrine-config agent [--enable|--disable|--status]`. The agent holds a
// lock of its own, never the window's: the window and commands start while
// it runs, and it waits for their device commands as they wait for its.
int RunAgentCommand(const CommandLine& line, CommandStreams& streams);
