// The command line of both faces: commands, options, the toolkit's options
// for the window, and every kind of bad use, refused with status 2.
#include <gtest/gtest.h>

#include "cli/command_line.h"

namespace {

ParseResult Parse(std::vector<std::string> arguments) {
    return ParseCommandLine(arguments);
}

TEST(CommandLine, CommandsAndTheirArguments) {
    struct Case {
        std::vector<std::string> arguments;
        Command command;
        std::string file;
    };
    const Case cases[] = {
        {{}, Command::None, ""},
        {{"info"}, Command::Info, ""},
        {{"show"}, Command::Show, ""},
        {{"export", "-"}, Command::Export, "-"},
        {{"import", "my.toml"}, Command::Import, "my.toml"},
        {{"reset"}, Command::Reset, ""},
        {{"check", "my.toml"}, Command::Check, "my.toml"},
        {{"list"}, Command::List, ""},
        {{"keys"}, Command::Keys, ""},
        {{"rules", "check"}, Command::RulesCheck, ""},
        {{"rules", "check", "r.toml"}, Command::RulesCheck, "r.toml"},
        {{"check", "rules"}, Command::Check, "rules"},
    };
    for (const Case& c : cases) {
        const ParseResult result = Parse(c.arguments);
        ASSERT_TRUE(result.commandLine) << result.error;
        EXPECT_EQ(result.commandLine->command, c.command);
        EXPECT_EQ(result.commandLine->file, c.file);
        EXPECT_FALSE(result.commandLine->simulate);
    }
}

TEST(CommandLine, SimulateGoesBeforeOrAfterTheCommand) {
    for (const auto& arguments : {std::vector<std::string>{"--simulate=m.bin", "show", "--json"},
                                  std::vector<std::string>{"show", "--simulate=m.bin", "--json"}}) {
        const ParseResult result = Parse(arguments);
        ASSERT_TRUE(result.commandLine) << result.error;
        EXPECT_TRUE(result.commandLine->simulate);
        EXPECT_EQ(result.commandLine->simulateFile, "m.bin");
        EXPECT_TRUE(result.commandLine->json);
    }
    const ParseResult bare = Parse({"--simulate"});
    ASSERT_TRUE(bare.commandLine);
    EXPECT_TRUE(bare.commandLine->simulate);
    EXPECT_EQ(bare.commandLine->simulateFile, "");
}

TEST(CommandLine, SetTakesEveryAssignment) {
    const ParseResult result = Parse({"set", "polling_rate_hz=1000", "forward=key:F13"});
    ASSERT_TRUE(result.commandLine) << result.error;
    EXPECT_EQ(result.commandLine->assignments,
              (std::vector<std::string>{"polling_rate_hz=1000", "forward=key:F13"}));
}

TEST(CommandLine, TheToolkitsOptionsReachTheWindowOnly) {
    const ParseResult window = Parse({"-platform", "offscreen", "--simulate", "-reverse"});
    ASSERT_TRUE(window.commandLine) << window.error;
    EXPECT_EQ(window.commandLine->command, Command::None);
    EXPECT_EQ(window.commandLine->toolkitArguments,
              (std::vector<std::string>{"-platform", "offscreen", "-reverse"}));

    const ParseResult command = Parse({"-platform", "offscreen", "show"});
    EXPECT_FALSE(command.commandLine);
    EXPECT_EQ(command.exitCode, kExitUsage);
    EXPECT_NE(command.error.find("-platform is an option of the window"), std::string::npos);
}

// Every option of the toolkit (core, widgets, the X11 platform) that takes the
// next word as its value: the word goes with it to the window, even when it
// reads like a command of ours.
TEST(CommandLine, EveryToolkitOptionWithAValueTakesTheNextWord) {
    const char* const options[] = {
        "-display",       "-geometry",
        "-icon",          "-name",
        "-platform",      "-platformpluginpath",
        "-platformtheme", "-plugin",
        "-qmljsdebugger", "-qwindowgeometry",
        "-qwindowicon",   "-qwindowtitle",
        "-session",       "-style",
        "-stylesheet",    "-title",
        "-visual",
    };
    for (const char* option : options) {
        SCOPED_TRACE(option);
        for (const char* value : {":1", "show"}) {
            const ParseResult window = Parse({option, value, "--simulate"});
            ASSERT_TRUE(window.commandLine) << window.error;
            EXPECT_EQ(window.commandLine->command, Command::None);
            EXPECT_TRUE(window.commandLine->simulate);
            EXPECT_EQ(window.commandLine->toolkitArguments,
                      (std::vector<std::string>{option, value}));
        }
        // With a command it is the window's option all the same, refused as such.
        const ParseResult command = Parse({"show", option, ":1"});
        EXPECT_FALSE(command.commandLine);
        EXPECT_NE(command.error.find(std::string(option) + " is an option of the window"),
                  std::string::npos)
            << command.error;
    }
}

TEST(CommandLine, BadUseIsRefusedWithAPointerToHelp) {
    struct Case {
        std::vector<std::string> arguments;
        const char* message;
    };
    const Case cases[] = {
        {{"foo"}, "unknown command or stray word \"foo\""},
        {{"show", "extra"}, "stray word \"extra\""},
        {{"--bogus"}, "unknown argument --bogus"},
        {{"show", "--bogus"}, "unknown argument --bogus"},
        {{"--simulate", "mem.bin"}, "--simulate takes a file only as --simulate=FILE"},
        {{"--simulate="}, "--simulate= needs a file name"},
        {{"--simulate", "--simulate=m.bin"}, "--simulate is given more than once"},
        {{"--simulate=a", "show", "--simulate=b"}, "--simulate is given more than once"},
        {{"show", "--json", "--json"}, "--json is given more than once"},
        {{"export"}, "FILE"},
        {{"import"}, "FILE"},
        {{"set"}, "NAME=VALUE"},
        {{"show", "info"}, "info"},
        {{"--json"}, "--json"},
        {{"agent", "--enable", "--disable"}, "--enable excludes --disable"},
        {{"agent", "--status", "--disable"}, "excludes"},
        {{"rules"}, "rules needs a command: rules check [FILE]"},
        {{"rules", "show"}, "rules needs a command: rules check [FILE]"},
        {{"rules", "check", "a.toml", "b.toml"}, "stray word \"b.toml\""},
    };
    for (const Case& c : cases) {
        const ParseResult result = Parse(c.arguments);
        EXPECT_FALSE(result.commandLine) << c.message;
        EXPECT_EQ(result.exitCode, kExitUsage) << c.message;
        EXPECT_NE(result.error.find(c.message), std::string::npos) << result.error;
        EXPECT_NE(result.error.find("(see kestrine-config --help)"), std::string::npos)
            << result.error;
    }
}

TEST(CommandLine, HelpAndVersionEndTheRunWithStatusZero) {
    struct Case {
        std::vector<std::string> arguments;
        std::vector<const char*> shown;
    };
    const Case cases[] = {
        {{"--help"},
         {"--simulate [=FILE]", "info", "show", "export", "import", "set", "reset", "Examples:"}},
        {{"-h"}, {"Usage: kestrine-config"}},
        {{"show", "--help"}, {"--json", "jq"}},
        {{"import", "--help"}, {"FILE:LINE:", "format = 1"}},
        {{"set", "--help"},
         {"polling_rate_hz", "cpi_level.N.x", "multiclick_filter.left", "wheel_down",
          "HV Safe Mode", "10 to 10000 in steps of 10",
          "A VALUE with spaces needs the shell's quotes around the whole NAME=VALUE"}},
        {{"--help"}, {"check", "list", "get", "keys", "--wait SECONDS", "--device PATH|N"}},
        {{"--completion", "bash"}, {"complete -F _kestrine_config kestrine-config"}},
        {{"--help"}, {"rules"}},
        {{"rules", "--help"}, {"Usage: kestrine-config rules", "check", "rules.toml"}},
        {{"rules", "check", "--help"},
         {"Usage: kestrine-config rules check [OPTIONS] [FILE]", "FILE:LINE:"}},
        {{"--version"}, {"kestrine-config " KESTRINE_VERSION "\n"}},
    };
    for (const Case& c : cases) {
        const ParseResult result = Parse(c.arguments);
        EXPECT_FALSE(result.commandLine);
        EXPECT_EQ(result.exitCode, kExitDone);
        EXPECT_EQ(result.error, "");
        for (const char* text : c.shown) {
            EXPECT_NE(result.output.find(text), std::string::npos) << text << "\n" << result.output;
        }
    }
}

TEST(CommandLine, TheOptionsOfEveryCommand) {
    const ParseResult result = Parse({"get", "cpi_level.2.x", "--device=2", "--wait", "0",
                                      "--simulate", "--simulated-mice", "2"});
    ASSERT_TRUE(result.commandLine) << result.error;
    EXPECT_EQ(result.commandLine->command, Command::Get);
    EXPECT_EQ(result.commandLine->name, "cpi_level.2.x");
    EXPECT_EQ(result.commandLine->device, "2");
    EXPECT_EQ(result.commandLine->waitSeconds, 0u);
    EXPECT_EQ(result.commandLine->simulatedMice, 2u);

    const struct {
        std::vector<std::string> arguments;
        AgentAction action;
    } agentCases[] = {{{"agent"}, AgentAction::Run},
                      {{"agent", "--enable"}, AgentAction::Enable},
                      {{"--simulate=m.bin", "agent", "--disable"}, AgentAction::Disable},
                      {{"agent", "--status"}, AgentAction::Status}};
    for (const auto& c : agentCases) {
        const ParseResult agent = Parse(c.arguments);
        ASSERT_TRUE(agent.commandLine) << agent.error;
        EXPECT_EQ(agent.commandLine->command, Command::Agent);
        EXPECT_EQ(agent.commandLine->agentAction, c.action) << c.arguments.back();
    }

    for (const auto& bad : {std::vector<std::string>{"--simulated-mice", "2", "list"},
                            std::vector<std::string>{"--wait", "-1", "show"},
                            std::vector<std::string>{"--completion", "tcsh"}}) {
        const ParseResult refused = Parse(bad);
        EXPECT_FALSE(refused.commandLine) << bad[0];
        EXPECT_EQ(refused.exitCode, kExitUsage) << bad[0];
    }
}

}  // namespace
