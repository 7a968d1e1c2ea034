#pragma once

#include <string>
#include <vector>

// Turning the background agent on and off for this user: an XDG autostart
// entry starts it at each login, and turning it on or off starts or stops it
// at once. Nothing is installed for every user.

// $XDG_CONFIG_HOME/autostart/kestrine-config-agent.desktop (~/.config when unset).
std::string AgentAutostartPath();
bool AgentEnabled();

struct AgentState {
    bool enabled = false;
    long runningPid = 0;  // 0 = not running
    std::string lockFolder;
    std::string problem;  // why the running agent could not be looked for
};
AgentState CurrentAgentState();

// `program` is the kestrine-config program that the entry runs as
// "PROGRAM ARGUMENTS... agent". false with the reason in `error`.
bool EnableAgent(const std::string& program, const std::vector<std::string>& arguments,
                 std::string& error);
bool DisableAgent(std::string& error);

// Starts "PROGRAM agent" in the background, detached from this process and its
// terminal, unless an agent runs already.
bool StartAgent(const std::string& program, const std::vector<std::string>& arguments,
                std::string& error);
// Stops the running agent, if any, and waits a moment for it to end.
bool StopAgent(std::string& error);

// What `agent --status` prints.
std::string AgentStatusText();
