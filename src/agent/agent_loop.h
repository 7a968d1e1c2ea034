#pragma once

#include <iosfwd>
#include <string>

class Notifier;
class SimulatedSession;

// The background agent's life: it follows the mouse's plug-in and removal
// (udev, or the other processes' simulated mouse), reads the mouse once after
// each plug-in, listens on its event interface and shows a notice for each
// change made with the mouse's own buttons; with a rules file, it puts the
// active window's profile on the mouse (automatic_profiles.h). It sleeps in
// one poll() without a time limit while nothing happens, and ends on SIGTERM,
// SIGINT or SIGHUP. `lockFolder` holds the user's locks and the file
// `agent --status` shows.
struct AgentSetup {
    Notifier& notifier;
    SimulatedSession* simulation = nullptr;
    std::string lockFolder;
    std::string rulesFile;  // empty = no automatic profiles
};

// The exit status: 0 after a signal, 1 when the agent could not start.
int RunAgent(AgentSetup& setup, std::ostream& out, std::ostream& err);
