#pragma once

#include <QStringList>
#include <optional>
#include <string>

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
    // nullopt with a message in `error` for an unknown or malformed argument.
    static std::optional<Options> ParseArguments(const QStringList& arguments, QString& error);

    int Run();
};
