#pragma once

#include <optional>
#include <string>
#include <vector>

// The program's command line, for both faces: with a command it runs without
// a window; without one it starts the window, with the toolkit's own options
// (-platform, -style, ...) passed on to it.

enum class Command {
    None,
    Info,
    Show,
    Export,
    Import,
    Set,
    Reset,
    Check,
    List,
    Get,
    Keys,
    Rate,
    CpiCheck,
    Agent,
    RulesCheck
};

// What `agent` does: run in the foreground, or turn it on or off, or say how it is.
enum class AgentAction { Run, Enable, Disable, Status };

struct CommandLine {
    bool simulate = false;
    std::string simulateFile;  // empty = memory only for this run
    Command command = Command::None;
    bool json = false;  // show, rate, cpi-check --json
    std::string file;   // export, import ("-": stdout, stdin); rules check ("" = the default)
    std::vector<std::string> assignments;  // set NAME=VALUE...
    std::string name;                      // get NAME
    bool yes = false;                      // reset without the question
    unsigned waitSeconds = 3;              // for a lock another command holds
    std::string device;                    // --device PATH or N (from 1); empty = the first
    unsigned simulatedMice = 1;            // with --simulate
    std::vector<std::string> toolkitArguments;
    int seconds = 5;               // rate --seconds
    unsigned simulatedMotion = 0;  // rate --simulated-motion: deliver 1 in N; 0 = still
    double strokeInches = 0;       // cpi-check --distance
    unsigned strokes = 3;          // cpi-check --strokes
    // cpi-check --simulated-stroke: the simulated sensor's true CPI, per cent
    // off the set one; nothing = a person moves the mouse.
    std::optional<double> simulatedStrokePercent;
    AgentAction agentAction = AgentAction::Run;
};

// What to do when parsing settles the run by itself (help, version, bad use):
// print `output` on stdout, `error` on stderr, exit with `exitCode`.
struct ParseResult {
    std::optional<CommandLine> commandLine;
    int exitCode = 0;
    std::string output;
    std::string error;
};

inline constexpr int kExitDone = 0;
inline constexpr int kExitMouse = 1;  // no mouse, cannot open it, not confirmed
inline constexpr int kExitUsage = 2;  // bad usage or a bad profile

// `arguments` without the program name.
ParseResult ParseCommandLine(const std::vector<std::string>& arguments);
