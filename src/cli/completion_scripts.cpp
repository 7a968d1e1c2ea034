#include "cli/completion_scripts.h"

#include <sstream>

namespace {

constexpr char kProgram[] = "kestrine-config";

std::string Joined(const std::vector<std::string>& words, const std::string& suffix = {}) {
    std::string text;
    for (const std::string& word : words) {
        text += (text.empty() ? "" : " ") + word + suffix;
    }
    return text;
}

// Inside single quotes of bash and zsh: ' becomes '\''.
std::string Alternatives(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& word : words) {
        text += (text.empty() ? "" : "|") + word;
    }
    return text;
}

std::string ShellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

// Inside single quotes of fish: \ and ' are escaped.
std::string FishQuoted(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        if (c == '\'' || c == '\\') {
            quoted += '\\';
        }
        quoted += c;
    }
    return quoted + "'";
}

// zsh's _arguments and _describe read ':' and brackets in descriptions.
std::string ZshEscaped(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        if (c == ':' || c == '[' || c == ']' || c == '\\') {
            escaped += '\\';
        }
        escaped += c;
    }
    return escaped;
}

// The first clause is enough beside a completion.
std::string Short(const std::string& description) {
    const size_t end = description.find_first_of(";(");
    std::string text = description.substr(0, end);
    while (!text.empty() && text.back() == ' ') {
        text.pop_back();
    }
    return text;
}

std::vector<std::string> CommandsWith(const CompletionTable& table, CompletionArgument argument) {
    std::vector<std::string> names;
    for (const CompletionCommand& command : table.commands) {
        if (command.argument == argument) {
            names.push_back(command.name);
        }
    }
    return names;
}

std::string OptionNames(const std::vector<CompletionOption>& options) {
    std::vector<std::string> names;
    for (const CompletionOption& option : options) {
        names.push_back(option.name);
    }
    return Joined(names);
}

std::vector<std::string> Names(const std::vector<CompletionCommand>& commands) {
    std::vector<std::string> names;
    for (const CompletionCommand& command : commands) {
        names.push_back(command.name);
    }
    return names;
}

// What bash offers for a command's argument; "" for none.
std::string BashArgument(CompletionArgument argument) {
    switch (argument) {
        case CompletionArgument::File:
            return "COMPREPLY=($(compgen -f -- \"$cur\"))";
        case CompletionArgument::Assignment:
            return "COMPREPLY=($(compgen -S = -W \"$settings\" -- \"$cur\")); compopt -o nospace "
                   "2>/dev/null";
        case CompletionArgument::Setting:
            return "COMPREPLY=($(compgen -W \"$settings\" -- \"$cur\"))";
        case CompletionArgument::None:
            break;
    }
    return {};
}

std::string Bash(const CompletionTable& table) {
    std::vector<std::string> commandNames;
    for (const CompletionCommand& command : table.commands) {
        commandNames.push_back(command.name);
    }
    std::ostringstream s;
    s << "# bash completion for " << kProgram << "; written by " << kProgram
      << " --completion bash\n"
      << "_kestrine_config() {\n"
      << "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
      << "    local commands=" << ShellQuoted(Joined(commandNames)) << "\n"
      << "    local settings=" << ShellQuoted(Joined(table.settings)) << "\n"
      << "    local command='' i\n"
      << "    for ((i = 1; i < COMP_CWORD; i++)); do\n"
      << "        case \" $commands \" in *\" ${COMP_WORDS[i]} \"*) command=${COMP_WORDS[i]}; "
         "break ;; esac\n"
      << "    done\n";
    // A command of a command (rules check): the word after it.
    s << "    local sub='' j\n"
      << "    case $command in\n";
    for (const CompletionCommand& command : table.commands) {
        if (!command.subcommands.empty()) {
            s << "        " << command.name << ") for ((j = i + 1; j < COMP_CWORD; j++)); do case "
              << ShellQuoted(" " + Joined(Names(command.subcommands)) + " ")
              << " in *\" ${COMP_WORDS[j]} \"*) sub=${COMP_WORDS[j]}; break ;; esac; done ;;\n";
        }
    }
    s << "    esac\n"
      << "    COMPREPLY=()\n"
      << "    # bash splits --simulate=FILE at the '='.\n"
      << "    local equals=''\n"
      << "    if [[ $prev == = ]]; then\n"
      << "        equals=yes\n"
      << "        prev=${COMP_WORDS[COMP_CWORD-2]}\n"
      << "    fi\n"
      << "    case $prev in\n";
    for (const CompletionOption& option : table.options) {
        if (!option.takesValue) {
            continue;
        }
        s << "        " << option.name << ") ";
        if (option.valueIsFile) {
            // Its file comes only after '='; alone it is a flag.
            s << "if [[ -n $equals ]]; then COMPREPLY=($(compgen -f -- \"$cur\")); return 0; fi "
                 ";;\n";
            continue;
        }
        if (!option.values.empty()) {
            s << "COMPREPLY=($(compgen -W " << ShellQuoted(Joined(option.values))
              << " -- \"$cur\")); ";
        }
        s << "return 0 ;;\n";
    }
    s << "    esac\n"
      << "    if [[ $cur == -* ]]; then\n"
      << "        local options=" << ShellQuoted(OptionNames(table.options)) << "\n"
      << "        case $command in\n";
    for (const CompletionCommand& command : table.commands) {
        if (!command.options.empty()) {
            s << "            " << command.name
              << ") options+=" << ShellQuoted(" " + OptionNames(command.options)) << " ;;\n";
        }
    }
    s << "        esac\n"
      << "        COMPREPLY=($(compgen -W \"$options\" -- \"$cur\"))\n"
      << "        return 0\n"
      << "    fi\n"
      << "    case $command in\n"
      << "        '') COMPREPLY=($(compgen -W \"$commands\" -- \"$cur\")) ;;\n";
    for (const CompletionCommand& command : table.commands) {
        if (command.subcommands.empty()) {
            continue;
        }
        s << "        " << command.name << ") case $sub in\n"
          << "                '') COMPREPLY=($(compgen -W "
          << ShellQuoted(Joined(Names(command.subcommands))) << " -- \"$cur\")) ;;\n";
        for (const CompletionCommand& sub : command.subcommands) {
            if (const std::string action = BashArgument(sub.argument); !action.empty()) {
                s << "                " << sub.name << ") " << action << " ;;\n";
            }
        }
        s << "            esac ;;\n";
    }
    for (const CompletionArgument argument :
         {CompletionArgument::File, CompletionArgument::Assignment, CompletionArgument::Setting}) {
        if (const auto names = CommandsWith(table, argument); !names.empty()) {
            s << "        " << Alternatives(names) << ") " << BashArgument(argument) << " ;;\n";
        }
    }
    s << "    esac\n"
      << "    return 0\n"
      << "}\n"
      << "complete -F _kestrine_config " << kProgram << "\n";
    return s.str();
}

std::string ZshOptionArgument(const CompletionOption& option) {
    const std::string described = "[" + ZshEscaped(Short(option.description)) + "]";
    // --simulate takes its file only after '=', and may stand alone.
    if (option.takesValue && option.valueIsFile) {
        return ShellQuoted(option.name + "=-" + described + "::file:_files");
    }
    std::string argument = option.name;
    if (option.takesValue && option.name.starts_with("--")) {
        argument += "=";
    }
    argument += described;
    if (option.takesValue) {
        argument += ":value:";
        if (!option.values.empty()) {
            argument += "(" + Joined(option.values) + ")";
        }
    }
    return ShellQuoted(argument);
}

// What zsh offers for a command's argument; "" for none.
std::string ZshArgument(CompletionArgument argument) {
    switch (argument) {
        case CompletionArgument::File:
            return "_files";
        case CompletionArgument::Assignment:
            return "compadd -S = -- $settings";
        case CompletionArgument::Setting:
            return "compadd -- $settings";
        case CompletionArgument::None:
            break;
    }
    return {};
}

// A command of commands (rules check): its commands, then their argument.
std::string ZshSubcommands(const CompletionCommand& command) {
    std::ostringstream s;
    s << "                " << command.name << ")\n"
      << "                    if (( CURRENT == 2 )); then\n"
      << "                        local -a subcommands=(";
    for (const CompletionCommand& sub : command.subcommands) {
        s << (&sub == &command.subcommands.front() ? "" : " ")
          << ShellQuoted(sub.name + ":" + ZshEscaped(Short(sub.description)));
    }
    s << ")\n"
      << "                        _describe -t commands " << ShellQuoted(command.name + " command")
      << " subcommands\n"
      << "                    else\n"
      << "                        case $words[2] in\n";
    for (const CompletionCommand& sub : command.subcommands) {
        if (const std::string action = ZshArgument(sub.argument); !action.empty()) {
            s << "                            " << sub.name << ") " << action << " ;;\n";
        }
    }
    s << "                        esac\n"
      << "                    fi ;;\n";
    return s.str();
}

std::string Zsh(const CompletionTable& table) {
    std::ostringstream s;
    s << "#compdef " << kProgram << "\n"
      << "# zsh completion for " << kProgram << "; written by " << kProgram << " --completion zsh\n"
      << "_kestrine_config() {\n"
      << "    local -a commands settings\n"
      << "    local context state state_descr line\n"
      << "    typeset -A opt_args\n"
      << "    commands=(\n";
    for (const CompletionCommand& command : table.commands) {
        s << "        " << ShellQuoted(command.name + ":" + ZshEscaped(Short(command.description)))
          << "\n";
    }
    s << "    )\n"
      << "    settings=(" << Joined(table.settings) << ")\n"
      << "    _arguments -C \\\n";
    for (const CompletionOption& option : table.options) {
        s << "        " << ZshOptionArgument(option) << " \\\n";
    }
    s << "        '1:command:->command' \\\n"
      << "        '*::argument:->argument'\n"
      << "    case $state in\n"
      << "        command) _describe -t commands command commands ;;\n"
      << "        argument)\n"
      << "            case $words[1] in\n";
    for (const CompletionCommand& command : table.commands) {
        if (!command.subcommands.empty()) {
            s << ZshSubcommands(command);
            continue;
        }
        std::string action = ZshArgument(command.argument);
        // A command without an argument completes its own options.
        if (action.empty() && !command.options.empty()) {
            action = "_arguments";
            for (const CompletionOption& option : command.options) {
                action += " " + ZshOptionArgument(option);
            }
        }
        if (!action.empty()) {
            s << "                " << command.name << ") " << action << " ;;\n";
        }
    }
    s << "            esac ;;\n"
      << "    esac\n"
      << "}\n"
      << "_kestrine_config \"$@\"\n";
    return s.str();
}

std::string FishOption(const CompletionOption& option, const std::string& condition) {
    std::string line = std::string("complete -c ") + kProgram + condition;
    line += option.name.starts_with("--") ? " -l " + option.name.substr(2)
                                          : " -s " + option.name.substr(1);
    if (option.takesValue) {
        // A file option (--simulate[=FILE]) may stand alone: no value is required.
        line += option.valueIsFile ? "" : " -x";
        if (!option.values.empty()) {
            line += " -a " + FishQuoted(Joined(option.values));
        }
    }
    return line + " -d " + FishQuoted(Short(option.description)) + "\n";
}

std::string FishArgument(CompletionArgument argument, const std::string& condition,
                         const CompletionTable& table) {
    const std::string line = std::string("complete -c ") + kProgram + condition;
    switch (argument) {
        case CompletionArgument::File:
            return line + " -F\n";
        case CompletionArgument::Assignment:
            return line + " -a " + FishQuoted(Joined(table.settings, "=")) + "\n";
        case CompletionArgument::Setting:
            return line + " -a " + FishQuoted(Joined(table.settings)) + "\n";
        case CompletionArgument::None:
            break;
    }
    return {};
}

std::string Fish(const CompletionTable& table) {
    std::vector<std::string> commandNames;
    for (const CompletionCommand& command : table.commands) {
        commandNames.push_back(command.name);
    }
    std::ostringstream s;
    s << "# fish completion for " << kProgram << "; written by " << kProgram
      << " --completion fish\n"
      << "complete -c " << kProgram << " -f\n";
    for (const CompletionCommand& command : table.commands) {
        s << "complete -c " << kProgram << " -n "
          << FishQuoted("not __fish_seen_subcommand_from " + Joined(commandNames)) << " -a "
          << command.name << " -d " << FishQuoted(Short(command.description)) << "\n";
    }
    for (const CompletionOption& option : table.options) {
        s << FishOption(option, "");
    }
    for (const CompletionCommand& command : table.commands) {
        const std::string condition =
            " -n " + FishQuoted("__fish_seen_subcommand_from " + command.name);
        for (const CompletionOption& option : command.options) {
            s << FishOption(option, condition);
        }
        if (command.subcommands.empty()) {
            s << FishArgument(command.argument, condition, table);
            continue;
        }
        // The command's commands until one is there, then that one's argument.
        const std::string inner = Joined(Names(command.subcommands));
        for (const CompletionCommand& sub : command.subcommands) {
            s << "complete -c " << kProgram << " -n "
              << FishQuoted("__fish_seen_subcommand_from " + command.name +
                            "; and not __fish_seen_subcommand_from " + inner)
              << " -a " << sub.name << " -d " << FishQuoted(Short(sub.description)) << "\n";
            s << FishArgument(sub.argument,
                              " -n " + FishQuoted("__fish_seen_subcommand_from " + command.name +
                                                  "; and __fish_seen_subcommand_from " + sub.name),
                              table);
        }
    }
    return s.str();
}

}  // namespace

std::string CompletionScript(std::string_view shell, const CompletionTable& table) {
    if (shell == "zsh") {
        return Zsh(table);
    }
    if (shell == "fish") {
        return Fish(table);
    }
    return Bash(table);
}
