#pragma once

#include <iosfwd>
#include <string>

class Notifier;
class SimulatedSession;

// The background agent's life: it follows the mouse's plug-in and removal
// (udev, or the other processes' simulated mouse), reads the mouse once after
// each plug-in, listens on its event interface and shows a notice for each
// change made with the mouse's own buttons. It sleeps in one poll() without a
// time limit while nothing happens, and ends on SIGTERM, SIGINT or SIGHUP.
// `statusFile` receives what `agent --status` shows (empty = none).
struct AgentSetup {
    Notifier& notifier;
    SimulatedSession* simulation = nullptr;
    std::string statusFile;
};

// The exit status: 0 after a signal, 1 when the agent could not start.
int RunAgent(AgentSetup& setup, std::ostream& out, std::ostream& err);
