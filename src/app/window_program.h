#pragma once

// The application object: command line, single instance, and the main
// window's run. Run() returns the process's exit status. The command line is
// read by the same parser as the command-line face's (cli/command_line.h).
class CUpdaterApp {
public:
    // Everything that needs no display (help, version, bad options, the
    // single-instance lock, the memory file) is settled before Qt starts.
    int Run(int argc, char** argv);
};
