#pragma once

#include <optional>
#include <string>
#include <vector>

// The application object: command line, single instance, and the main
// window's run. Run() returns the process's exit status.
class CUpdaterApp {
public:
    struct Options {
        bool simulate = false;
        std::string simulateFile;  // empty = memory only for this run
        bool help = false;
        bool version = false;
    };
    // The tool's own options ("--..."); anything else is left to Qt
    // (-platform, -style, ...). nullopt with a message in `error` for an
    // unknown or malformed option.
    static std::optional<Options> ParseArguments(const std::vector<std::string>& arguments,
                                                 std::string& error);

    // Everything that needs no display (help, version, bad options, the
    // single-instance lock, the memory file) is settled before Qt starts.
    int Run(int argc, char** argv);
};
