#include "cli/command_line.h"

#include "cli/completion_scripts.h"
#include "device/cpi_check.h"
#include "profile/profile.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <charconv>
#include <string_view>

namespace {

const char kDescription[] =
    "Configuration tool for the Kestrine XQ3 8k v2 mouse.\n"
    "Without a command it opens the configuration window; with one it runs\n"
    "in the terminal (no display needed) and exits 0 when done, 1 when the\n"
    "mouse is absent, cannot be opened or did not confirm, 2 on bad usage or\n"
    "a bad profile; 1 also when the output cannot be written.\n";

const char kFooter[] =
    "\nExamples:\n"
    "  kestrine-config show\n"
    "  kestrine-config export ~/mouse.toml\n"
    "  kestrine-config check ~/mouse.toml && kestrine-config import ~/mouse.toml\n"
    "  kestrine-config set polling_rate_hz=1000 cpi_level.2.x=1600 forward=key:F13\n"
    "  kestrine-config --simulate=/tmp/mouse.bin show --json\n"
    "Run kestrine-config COMMAND --help for a command's own help.\n";

// Options of the window toolkit that take the next word as their value: its
// core and widgets, and the X11 platform's (-display, -name, -visual, and
// -geometry, -icon and -title as the short names of the -qwindow ones).
constexpr std::array<std::string_view, 17> kToolkitValueOptions{
    "-platform",      "-platformpluginpath",
    "-platformtheme", "-plugin",
    "-qmljsdebugger", "-qwindowgeometry",
    "-qwindowicon",   "-qwindowtitle",
    "-session",       "-display",
    "-geometry",      "-style",
    "-stylesheet",    "-title",
    "-icon",          "-name",
    "-visual"};

bool IsToolkitOption(const std::string& argument) {
    return argument.size() > 2 && argument[0] == '-' && argument[1] != '-';
}

// Splits off the toolkit's options ("-platform offscreen") from ours.
std::vector<std::string> TakeToolkitArguments(std::vector<std::string>& arguments) {
    std::vector<std::string> toolkit;
    std::vector<std::string> ours;
    for (size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == "--") {
            ours.insert(ours.end(), arguments.begin() + static_cast<long>(i), arguments.end());
            break;
        }
        if (!IsToolkitOption(arguments[i])) {
            ours.push_back(arguments[i]);
            continue;
        }
        toolkit.push_back(arguments[i]);
        if (std::ranges::find(kToolkitValueOptions, arguments[i]) != kToolkitValueOptions.end() &&
            i + 1 < arguments.size()) {
            toolkit.push_back(arguments[++i]);
        }
    }
    arguments = std::move(ours);
    return toolkit;
}

ParseResult Usage(std::string message) {
    ParseResult result;
    result.exitCode = kExitUsage;
    result.error = "kestrine-config: " + message + " (see kestrine-config --help)\n";
    return result;
}

// CLI11 says "The following arguments were not expected: foo"; say which.
std::string UnexpectedText(const CLI::ExtrasError& error, const CLI::App& app) {
    std::vector<std::string> extras;
    for (const CLI::App* command : app.get_subcommands()) {
        const auto more = command->remaining();
        extras.insert(extras.end(), more.begin(), more.end());
    }
    const auto top = app.remaining();
    extras.insert(extras.begin(), top.begin(), top.end());
    if (extras.empty()) {
        return error.what();
    }
    const std::string& first = extras.front();
    if (first.starts_with("-")) {
        return "unknown argument " + first;
    }
    return "unknown command or stray word \"" + first + "\"";
}

std::string SettingNames() {
    std::string text = "\nSettings (NAME), with what each takes:\n";
    for (const ProfileKeyHelp& key : ProfileKeys()) {
        const bool laterLevel =
            key.key.starts_with("cpi_level.") && !key.key.starts_with("cpi_level.1.");
        if (key.key == "format" || laterLevel) {
            continue;
        }
        std::string name = key.key;
        if (name.starts_with("cpi_level.1.")) {
            name.replace(0, 11, "cpi_level.N");  // N = 1 to 4
        }
        text += "  " + name + "\n      " + key.allowed + "\n";
    }
    return text;
}

// What a command's --help says below its options: notes, whether it takes
// --simulate, and examples.
struct CommandHelp {
    Command command;
    bool listsSettings;  // the setting names and what each takes come first
    bool simulated;
    const char* notes;
    const char* examples;
};

const CommandHelp kCommandHelp[] = {
    {Command::Info, false, true, "", "Example:\n  kestrine-config info\n"},
    {Command::Show, false, true,
     "\nThe profile's settings are described in kestrine-config set --help.\n",
     "Examples:\n  kestrine-config show\n"
     "  kestrine-config show --json | jq .polling_rate_hz\n"},
    {Command::Export, false, true,
     "\nThe profile is TOML, one line per setting the window edits, with\n"
     "comments saying what each takes (see kestrine-config set --help).\n",
     "Examples:\n  kestrine-config export ~/mouse.toml\n"
     "  kestrine-config export - > backup.toml\n"},
    {Command::Import, false, true,
     "\nEvery setting is checked as the window would before anything reaches the\n"
     "mouse: a bad one is reported as FILE:LINE: and nothing is written. A\n"
     "setting left out keeps what the mouse holds; the profile must say\n"
     "format = 1. The write is one, confirmed by the mouse, retried like APPLY.\n",
     "Examples:\n  kestrine-config import ~/mouse.toml\n"
     "  kestrine-config show | sed 's/^sensor_angle = .*/sensor_angle = 5/' | "
     "kestrine-config import -\n"},
    {Command::Set, true, true,
     "\nVALUE is written as in a profile; quotes around text may be left out.\n"
     "A VALUE with spaces needs the shell's quotes around the whole NAME=VALUE,\n"
     "as in 'smoothing=Ripple Control On'; unquoted, the shell splits it into\n"
     "several words. kestrine-config keys lists the key names.\n"
     "All settings are checked first and written in one write.\n",
     "Examples:\n  kestrine-config set polling_rate_hz=1000\n"
     "  kestrine-config set cpi_level.2.x=1600 cpi_level.2.y=1600\n"
     "  kestrine-config set forward=key:Ctrl+Shift+F13 back=media:PLAY/PAUSE\n"
     "  kestrine-config set 'smoothing=Ripple Control On' "
     "multiclick_filter.left='HV Safe Mode'\n"},
    {Command::Reset, false, true,
     "\nThe mouse restores its factory settings and confirms it. On a terminal\n"
     "reset asks first; --yes, or a run without a terminal, does not ask.\n",
     "Example:\n  kestrine-config reset --yes\n"},
    {Command::Rate, false, true,
     "\nWhile it measures, move the mouse steadily: the rate is read from the\n"
     "mouse's own motion reports, as they reach the computer. The figure is\n"
     "the inverse of the median interval over the last second of movement;\n"
     "pauses do not lower it. No movement seen: exit status 1.\n",
     "Examples:\n  kestrine-config rate\n"
     "  kestrine-config rate --seconds 10 --json\n"
     "  kestrine-config --simulate rate --simulated-motion=8\n"},
    {Command::CpiCheck, false, true,
     "\nLay a ruler on the desk. For each stroke, put the mouse at the ruler's\n"
     "start mark, press Enter, move it the distance in a straight line and press\n"
     "Enter again. The CPI is the counts of the mouse's own motion reports over\n"
     "the stroke divided by the inches travelled: no pointer acceleration in the\n"
     "way. After the strokes come their mean, the spread and the deviation from\n"
     "the CPI the active level is set to; X and Y apart for strokes along them.\n"
     "A stroke in which nothing moved is asked for again; no movement at all:\n"
     "exit status 1. When reports may have been lost, the result says it cannot\n"
     "be trusted. The lines may come from a pipe. With --simulate,\n"
     "--simulated-stroke makes the simulated mouse move each stroke by itself.\n",
     "Examples:\n  kestrine-config cpi-check\n"
     "  kestrine-config cpi-check --distance 4in --strokes 5 --json\n"
     "  yes '' | kestrine-config --simulate cpi-check --simulated-stroke=3\n"},
    {Command::Get, false, true,
     "\nNAME is a setting's name as set --help lists them (cpi_level.N.x for a\n"
     "level's value). The value is printed alone, as a script wants it: digits,\n"
     "true or false, or text without quotes.\n",
     "Examples:\n  kestrine-config get polling_rate_hz\n"
     "  kestrine-config get cpi_level.2.x\n"},
    {Command::Keys, false, false,
     "\nEach name is taken by a button action as key:NAME, with any of the\n"
     "modifiers Ctrl, Shift, Alt and Win before it: key:Ctrl+Shift+F13.\n",
     "Example:\n  kestrine-config keys | grep -i page\n"},
    {Command::List, false, true,
     "\nEvery command takes --device PATH|N to choose one of them; without it, it\n"
     "uses the first, and says so when there are more.\n",
     "Examples:\n  kestrine-config list\n"
     "  kestrine-config --device 2 show\n"
     "  kestrine-config --simulate --simulated-mice 2 list\n"},
    {Command::Check, false, false,
     "\nThe profile is checked as import checks it, without the mouse: what it\n"
     "leaves out is taken from the factory settings. Exits 0 when it is good,\n"
     "2 with each problem as FILE:LINE: when it is not.\n",
     "Example:\n  kestrine-config check ~/mouse.toml\n"},
    {Command::Agent, false, true,
     "\nThe agent runs in the background from login, at no cost while the mouse\n"
     "is untouched: a press of the mouse's CPI button or its report-rate switch\n"
     "brings a short notice on the desktop (\"CPI 1600 — level 2 of 4\"). Changes\n"
     "made by the tool itself bring none. --enable writes the user's autostart\n"
     "entry and starts the agent; --disable removes it and stops the agent.\n"
     "Without an option the agent runs in the foreground until it is stopped.\n",
     "Examples:\n  kestrine-config agent --enable\n"
     "  kestrine-config agent --status\n"},
    {Command::RulesCheck, false, false,
     "\nThe rules file picks a profile file for the window in front (see\n"
     "kestrine-config(1), AUTOMATIC PROFILES). Each rule and the default are\n"
     "printed with the profile file they name; that file must be there and be a\n"
     "good profile. Exits 0 when all is good, 2 with each problem as FILE:LINE:\n"
     "when not.\n",
     "Examples:\n  kestrine-config rules check\n"
     "  kestrine-config rules check ~/shared/rules.toml\n"},
};

std::string CommandFooter(Command command) {
    for (const CommandHelp& help : kCommandHelp) {
        if (help.command == command) {
            return (help.listsSettings ? SettingNames() : std::string()) + help.notes +
                   (help.simulated ? "\nWith --simulate[=FILE] before or after the command it "
                                     "runs against a simulated mouse.\n\n"
                                   : "\n") +
                   help.examples;
        }
    }
    return {};
}

// The names set and get take, every level's spelled out.
std::vector<std::string> CompletedSettings() {
    std::vector<std::string> names;
    for (const ProfileKeyHelp& key : ProfileKeys()) {
        if (key.key != "format") {
            names.push_back(key.key);
        }
    }
    return names;
}

// "bash|zsh|fish": a value among a few words, which completion offers.
std::vector<std::string> FixedValues(const std::string& typeName) {
    std::vector<std::string> values;
    std::string word;
    // CLI11 appends its checks' descriptions after a ':'.
    for (const char c : typeName.substr(0, typeName.find(':')) + "|") {
        if (c == '|') {
            values.push_back(word);
            word.clear();
        } else if (c >= 'a' && c <= 'z') {
            word += c;
        } else {
            return {};
        }
    }
    return values.size() > 1 ? values : std::vector<std::string>{};
}

std::vector<CompletionOption> CompletionOptionsOf(const CLI::App& app) {
    std::vector<CompletionOption> options;
    for (const CLI::Option* option : app.get_options()) {
        if (option->get_positional()) {
            continue;
        }
        CompletionOption entry;
        entry.description = option->get_description();
        entry.takesValue = option->get_expected_max() != 0;
        entry.valueIsFile = option->get_type_name().find("FILE") != std::string::npos;
        entry.values = FixedValues(option->get_type_name());
        for (const std::string& name : option->get_lnames()) {
            entry.name = "--" + name;
            options.push_back(entry);
        }
        for (const std::string& name : option->get_snames()) {
            entry.name = "-" + name;
            options.push_back(entry);
        }
    }
    return options;
}

CompletionCommand CompletionCommandOf(const CLI::App& sub) {
    CompletionCommand command;
    command.name = sub.get_name();
    command.description = sub.get_description();
    command.options = CompletionOptionsOf(sub);
    for (const CLI::Option* positional : sub.get_options()) {
        if (!positional->get_positional()) {
            continue;
        }
        const std::string& name = positional->get_name();
        command.argument = name == "FILE"         ? CompletionArgument::File
                           : name == "NAME=VALUE" ? CompletionArgument::Assignment
                           : name == "NAME"       ? CompletionArgument::Setting
                                                  : CompletionArgument::None;
    }
    for (const CLI::App* inner : sub.get_subcommands({})) {
        command.subcommands.push_back(CompletionCommandOf(*inner));
    }
    return command;
}

// The table completion is written from: the commands and options as parsed.
CompletionTable CompletionTableOf(const CLI::App& app) {
    CompletionTable table;
    table.options = CompletionOptionsOf(app);
    table.settings = CompletedSettings();
    for (const CLI::App* sub : app.get_subcommands({})) {
        table.commands.push_back(CompletionCommandOf(*sub));
    }
    return table;
}

// Each of our options counts once, in either spelling.
std::optional<std::string> RepeatedOption(const std::vector<std::string>& arguments) {
    for (const std::string_view option :
         {"--simulate", "--json", "--wait", "--device", "--simulated-mice", "--completion"}) {
        const auto count = std::ranges::count_if(arguments, [option](const std::string& a) {
            return a == option || (a.starts_with(option) && a[option.size()] == '=');
        });
        if (count > 1) {
            return std::string(option);
        }
    }
    return std::nullopt;
}

// The parser and the options whose values are read after parsing. CLI11
// binds each option to a variable, so they live together for one parse.
struct Parser {
    struct Entry {
        Command command;
        CLI::App* app;
    };

    CLI::App app{kDescription, "kestrine-config"};
    std::vector<Entry> commands;
    CLI::Option* simulate = nullptr;
    CLI::Option* completion = nullptr;
    CLI::Option* mice = nullptr;
    CLI::Option* motionOption = nullptr;
    CLI::Option* strokeOption = nullptr;
    CLI::App* rules = nullptr;
    CLI::App* rulesCheck = nullptr;
    std::string completionShell;
    std::string motion;
    std::string distance = "10cm";
    std::string strokePercent;
    bool enableAgent = false;
    bool disableAgent = false;
    bool agentStatus = false;

    CLI::App* AddCommand(Command command, const char* name, const char* what) {
        CLI::App* sub = app.add_subcommand(name, what);
        sub->fallthrough();  // the global options may follow the command
        sub->footer(CommandFooter(command));
        commands.push_back({command, sub});
        return sub;
    }
};

void AddGlobalOptions(Parser& parser, CommandLine& line) {
    CLI::App& app = parser.app;
    app.footer(kFooter);
    app.set_help_flag("-h,--help", "show this help and exit");
    app.set_version_flag("--version", "kestrine-config " KESTRINE_VERSION,
                         "show the version and exit");
    app.require_subcommand(0, 1);
    parser.simulate =
        app.add_option("--simulate", line.simulateFile,
                       "use a simulated mouse instead of the real one; with =FILE its memory "
                       "is kept in FILE (created with factory settings when missing)")
            ->expected(0, 1)
            ->type_name("[=FILE]");
    app.add_option("--wait", line.waitSeconds,
                   "when another kestrine-config command is using the mouse, wait up to SECONDS "
                   "for it to end (default 3; 0 = give up at once)")
        ->type_name("SECONDS")
        ->check(CLI::Range(0u, 3600u));
    app.add_option("--device", line.device,
                   "the mouse to use when more than one is connected: its device path or its "
                   "number N as kestrine-config list shows them (default: the first)")
        ->type_name("PATH|N");
    parser.completion =
        app.add_option("--completion", parser.completionShell,
                       "print the completion script for the shell and exit (the package "
                       "installs them)")
            ->type_name("bash|zsh|fish")
            ->check(CLI::IsMember({"bash", "zsh", "fish"}));
    parser.mice =
        app.add_option("--simulated-mice", line.simulatedMice,
                       "with --simulate, how many simulated mice are connected (1 to 4; the "
                       "further ones keep their memory for this run only)")
            ->type_name("N")
            ->check(CLI::Range(1u, 4u));
}

void AddCpiCheckCommand(Parser& parser, CommandLine& line) {
    CLI::App* check = parser.AddCommand(
        Command::CpiCheck, "cpi-check",
        "measure the CPI the sensor really has, from strokes of a known distance along a ruler");
    check
        ->add_option("--distance", parser.distance,
                     "the length of each stroke, 2 cm to 50 cm, as 10cm, 100mm or 4in (default "
                     "10cm)")
        ->type_name("LENGTH");
    check->add_option("--strokes", line.strokes, "how many strokes to measure (default 3)")
        ->type_name("N")
        ->check(CLI::Range(1u, 20u));
    check->add_flag("--json", line.json, "print the figures as JSON");
    parser.strokeOption =
        check
            ->add_option("--simulated-stroke", parser.strokePercent,
                         "with --simulate: the simulated mouse moves each stroke itself, its "
                         "sensor PERCENT off the set CPI (default 0; 3 reads 3 % high)")
            ->expected(0, 1)
            ->type_name("[=PERCENT]");
}

// --simulated-stroke's value: "3", "-2.5", "+3%".
std::optional<double> StrokePercent(std::string text, std::string& problem) {
    if (text.empty())
        return 0.0;
    if (text.back() == '%')
        text.pop_back();
    const size_t start = !text.empty() && text.front() == '+' ? 1 : 0;
    double value = 0;
    const auto [end, error] =
        std::from_chars(text.data() + start, text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() ||
        !(value >= -50 && value <= 50)) {
        problem = "--simulated-stroke takes a per cent from -50 to 50, as 3 or -2.5";
        return std::nullopt;
    }
    return value;
}

// What cpi-check's options mean; the problem, when one is bad.
std::optional<std::string> InterpretCpiCheck(const Parser& parser, CommandLine& line) {
    std::string problem;
    const std::optional<double> inches = ParseStrokeDistance(parser.distance, problem);
    if (!inches) {
        return "--distance: " + problem;
    }
    line.strokeInches = *inches;
    if (parser.strokeOption->count() == 0) {
        return std::nullopt;
    }
    if (!line.simulate) {
        return "--simulated-stroke moves only a simulated mouse: add --simulate";
    }
    line.simulatedStrokePercent = StrokePercent(parser.strokePercent, problem);
    if (!line.simulatedStrokePercent) {
        return problem;
    }
    return std::nullopt;
}

// The commands that read or write the mouse, or need none.
void AddMouseCommands(Parser& parser, CommandLine& line) {
    parser.AddCommand(Command::Info, "info",
                      "show the firmware version, the device path and the access state");
    parser.AddCommand(Command::Show, "show", "print the mouse's settings as a profile")
        ->add_flag("--json", line.json, "print them as JSON instead");
    parser.AddCommand(Command::Export, "export", "write the mouse's settings into a profile file")
        ->add_option("FILE", line.file, "the profile file to write; - for stdout")
        ->required();
    parser.AddCommand(Command::Import, "import", "write a profile's settings onto the mouse")
        ->add_option("FILE", line.file, "the profile file to read; - for stdin")
        ->required();
    parser
        .AddCommand(Command::Set, "set",
                    "change single settings on the mouse, in one write; NAME is a profile "
                    "setting's name (cpi_level.N.x for a level's value), VALUE as in a profile")
        ->add_option("NAME=VALUE", line.assignments, "the settings to change")
        ->required();
    parser.AddCommand(Command::Reset, "reset", "restore the mouse's factory settings")
        ->add_flag("--yes,-y", line.yes, "do not ask first (on a terminal reset asks)");
    CLI::App* rate = parser.AddCommand(Command::Rate, "rate",
                                       "measure the report rate that reaches the computer while "
                                       "the mouse is moved");
    rate->add_option("--seconds", line.seconds, "how long to measure (default 5)")
        ->check(CLI::Range(1, 600));
    rate->add_flag("--json", line.json, "print the figures as JSON");
    parser.motionOption =
        rate->add_option("--simulated-motion", parser.motion,
                         "with --simulate: keep the simulated mouse moving at its set rate, "
                         "delivering one report in N (default 1: every one)")
            ->expected(0, 1)
            ->check(CLI::Range(1u, 1000u))
            ->type_name("[=N]");
    AddCpiCheckCommand(parser, line);
    parser.AddCommand(Command::Get, "get", "print the value of one setting the mouse holds")
        ->add_option("NAME", line.name, "the setting's name, as in a profile")
        ->required();
    parser.AddCommand(Command::Keys, "keys",
                      "list every key name a button can be bound to (no mouse needed)");
    parser.AddCommand(Command::List, "list",
                      "list the connected mice: number, device path, serial number and firmware "
                      "version");
    parser.AddCommand(Command::Check, "check", "check a profile file without the mouse")
        ->add_option("FILE", line.file, "the profile file to check; - for stdin")
        ->required();
}

void AddAgentCommand(Parser& parser) {
    CLI::App* agent = parser.AddCommand(Command::Agent, "agent",
                                        "show a notice when the mouse's own buttons change its "
                                        "CPI or report rate (runs in the background)");
    CLI::Option* enable = agent->add_flag("--enable", parser.enableAgent,
                                          "start the agent now and at every login (for this user)");
    CLI::Option* disable =
        agent->add_flag("--disable", parser.disableAgent, "stop the agent and no longer start it");
    CLI::Option* status = agent->add_flag("--status", parser.agentStatus,
                                          "say whether the agent is on, runs, and what it sees");
    enable->excludes(disable)->excludes(status);
    disable->excludes(status);
}

// rules holds its own commands; a word of it alone is not one.
void AddRulesCommands(Parser& parser, CommandLine& line) {
    parser.rules = parser.app.add_subcommand(
        "rules",
        "automatic profiles: the rules that pick a profile for the window in front (rules "
        "check)");
    parser.rules->fallthrough();
    parser.rules->require_subcommand(1, 1);
    parser.rules->footer(
        "\nThe rules file is $XDG_CONFIG_HOME/kestrine-config/rules.toml\n"
        "(~/.config/kestrine-config/rules.toml); the window's Automatic profiles…\n"
        "button edits it. kestrine-config rules check --help says more.\n");
    parser.commands.push_back({Command::None, parser.rules});
    parser.rulesCheck = parser.rules->add_subcommand(
        "check",
        "check the rules file and the profiles it names, and print what each rule matches");
    parser.rulesCheck->fallthrough();
    parser.rulesCheck->footer(CommandFooter(Command::RulesCheck));
    parser.rulesCheck->add_option("FILE", line.file,
                                  "the rules file to check (default: the user's own); - for stdin");
    parser.commands.push_back({Command::RulesCheck, parser.rulesCheck});
}

// --help: the help of the command given, or the program's.
ParseResult HelpOf(const Parser& parser) {
    ParseResult result;
    result.output = parser.app.help();
    for (const Parser::Entry& entry : parser.commands) {
        if (entry.app->parsed()) {
            // A command under another (rules check) is used with both words.
            const CLI::App* parent = entry.app->get_parent();
            result.output =
                entry.app->help(parent == &parser.app ? "kestrine-config"
                                                      : "kestrine-config " + parent->get_name());
        }
    }
    return result;
}

// Only --simulate=FILE names a file: a word after a bare --simulate is more
// likely a mistyped command than a memory file to create.
std::optional<std::string> SimulateProblem(const std::vector<std::string>& ours,
                                           const std::string& simulateFile) {
    const bool spaced = std::ranges::find(ours, "--simulate") != ours.end();
    if (spaced && !simulateFile.empty()) {
        return "--simulate takes a file only as --simulate=FILE, not \"--simulate " + simulateFile +
               "\"";
    }
    if (!spaced && simulateFile.empty()) {
        return "--simulate= needs a file name";
    }
    return std::nullopt;
}

// What the parsed options mean together, once CLI11 took them apart.
ParseResult Interpret(const Parser& parser, CommandLine line,
                      const std::vector<std::string>& ours) {
    if (parser.completion->count() > 0) {
        ParseResult result;
        result.output = CompletionScript(parser.completionShell, CompletionTableOf(parser.app));
        return result;
    }
    if (parser.simulate->count() == 1) {
        line.simulate = true;
        if (const auto problem = SimulateProblem(ours, line.simulateFile)) {
            return Usage(*problem);
        }
    }
    for (const Parser::Entry& entry : parser.commands) {
        if (entry.app->parsed() && entry.command != Command::None) {
            line.command = entry.command;
        }
    }
    if (line.command == Command::Agent) {
        line.agentAction = parser.enableAgent    ? AgentAction::Enable
                           : parser.disableAgent ? AgentAction::Disable
                           : parser.agentStatus  ? AgentAction::Status
                                                 : AgentAction::Run;
    }
    if (parser.mice->count() > 0 && !line.simulate) {
        return Usage("--simulated-mice needs --simulate");
    }
    if (parser.motionOption->count() > 0) {
        if (!line.simulate) {
            return Usage("--simulated-motion moves only a simulated mouse: add --simulate");
        }
        line.simulatedMotion =
            parser.motion.empty() ? 1 : static_cast<unsigned>(std::stoul(parser.motion));
    }
    if (line.command == Command::CpiCheck) {
        if (const auto problem = InterpretCpiCheck(parser, line)) {
            return Usage(*problem);
        }
    }
    if (line.command != Command::None && !line.toolkitArguments.empty()) {
        return Usage(line.toolkitArguments.front() +
                     " is an option of the window; commands run without one");
    }
    ParseResult result;
    result.commandLine = std::move(line);
    return result;
}

}  // namespace

ParseResult ParseCommandLine(const std::vector<std::string>& arguments) {
    std::vector<std::string> ours = arguments;
    CommandLine line;
    line.toolkitArguments = TakeToolkitArguments(ours);
    if (const auto repeated = RepeatedOption(ours)) {
        return Usage(*repeated + " is given more than once");
    }

    Parser parser;
    AddGlobalOptions(parser, line);
    AddMouseCommands(parser, line);
    AddAgentCommand(parser);
    AddRulesCommands(parser, line);

    std::vector<std::string> reversed(ours.rbegin(), ours.rend());
    try {
        parser.app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        return HelpOf(parser);
    } catch (const CLI::CallForVersion&) {
        ParseResult result;
        result.output = "kestrine-config " KESTRINE_VERSION "\n";
        return result;
    } catch (const CLI::ExtrasError& error) {
        return Usage(UnexpectedText(error, parser.app));
    } catch (const CLI::ParseError& error) {
        if (parser.rules->parsed() && !parser.rulesCheck->parsed()) {
            return Usage("rules needs a command: rules check [FILE]");
        }
        return Usage(error.what());
    }
    return Interpret(parser, std::move(line), ours);
}
