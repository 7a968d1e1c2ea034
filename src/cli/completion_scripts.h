#pragma once

#include <string>
#include <string_view>
#include <vector>

// Shell completion scripts for bash, zsh and fish, written from the command
// line's own table, so a new command or option completes without anyone
// keeping a list by hand.

struct CompletionOption {
    std::string name;  // "--wait", "-h"
    std::string description;
    bool takesValue = false;          // the next word (or =VALUE) is its value
    bool valueIsFile = false;         // that value is a file name
    std::vector<std::string> values;  // the values it takes, when they are a fixed few
};

enum class CompletionArgument { None, File, Setting, Assignment };

struct CompletionCommand {
    std::string name;
    std::string description;
    std::vector<CompletionOption> options;
    CompletionArgument argument = CompletionArgument::None;
    // Its own commands (rules check), one level deep; the word after the
    // command is one of them.
    std::vector<CompletionCommand> subcommands;
};

struct CompletionTable {
    std::vector<CompletionOption> options;  // before or after the command
    std::vector<CompletionCommand> commands;
    std::vector<std::string> settings;  // the names set and get take
};

inline constexpr std::string_view kCompletionShells[] = {"bash", "zsh", "fish"};

// The script for `shell` (one of kCompletionShells).
std::string CompletionScript(std::string_view shell, const CompletionTable& table);
