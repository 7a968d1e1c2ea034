#include "cli/agent_command.h"

#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <memory>
#include <ostream>
#include <thread>

#include "agent/agent_control.h"
#include "agent/agent_loop.h"
#include "agent/desktop_notifier.h"
#include "device/simulated/simulated_session.h"
#include "device/user_command_lock.h"
#include "platform/bus_window_source.h"
#include "platform/instance_lock.h"
#include "platform/window_source.h"
#include "profile/automatic_rules.h"

namespace {

constexpr int kLockRetries = 20;
constexpr auto kLockRetryAfter = std::chrono::milliseconds(10);

std::string OwnProgram() {
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return length > 0 ? std::string(path, static_cast<size_t>(length)) : "kestrine-config";
}

// The started agent runs against the same simulated mouse as this command.
std::vector<std::string> AgentArguments(const CommandLine& line) {
    if (!line.simulate || line.simulateFile.empty()) {
        return {};
    }
    char* absolute = ::realpath(line.simulateFile.c_str(), nullptr);
    const std::string file = absolute ? absolute : line.simulateFile;
    std::free(absolute);
    return {"--simulate=" + file};
}

// `agent --status` and --disable look for a running agent by taking its lock
// for a moment; a start that meets such a look tries again before it gives way.
InstanceLock::Result TakeAgentLock(InstanceLock& lock, const std::string& folder) {
    InstanceLock::Result result = lock.Acquire(folder);
    for (int retry = 0; retry < kLockRetries && result == InstanceLock::Result::HeldElsewhere &&
                        lock.HeldBy().holder != InstanceLock::Holder::Agent;
         ++retry) {
        std::this_thread::sleep_for(kLockRetryAfter);
        result = lock.Acquire(folder);
    }
    return result;
}

// GNOME Shell tells the agent its windows only through our extension, which
// the user has to enable; the agent runs either way.
void EnableDesktopWindowSource(CommandStreams& io) {
    if (ChooseWindowSource(SessionEnvironment::OfThisProcess()).kind !=
        WindowSourceKind::GnomeShell) {
        return;
    }
    std::string error;
    if (BusWindowSource::EnableGnomeShellExtension(error)) {
        io.out << "The GNOME Shell extension " << BusWindowSource::kExtensionUuid
               << " is enabled: automatic profiles follow GNOME's windows.\n";
    } else {
        io.err << "kestrine-config agent: automatic profiles cannot follow GNOME's windows: "
               << error << "\n";
    }
}

int Run(const CommandLine& line, CommandStreams& io) {
    InstanceLock lock(InstanceLock::Holder::Agent, InstanceLock::kAgentLockName);
    switch (TakeAgentLock(lock, io.lockFolder)) {
        case InstanceLock::Result::Acquired:
            break;
        case InstanceLock::Result::HeldElsewhere:
            io.err << "kestrine-config agent: an agent runs already"
                   << (lock.HeldBy().pid > 0 ? " (pid " + std::to_string(lock.HeldBy().pid) + ")"
                                             : std::string())
                   << "\n";
            return kExitDone;
        case InstanceLock::Result::Unavailable:
            io.err << "kestrine-config agent: " << lock.Problem() << "\n";
            return kExitMouse;
    }
    UseUserCommandLock(lock.Folder());
    std::unique_ptr<SimulatedSession> simulation;
    if (line.simulate) {
        if (line.simulateFile.empty()) {
            io.err << "kestrine-config agent: a simulated mouse is shared with the window "
                      "only through its memory file: use --simulate=FILE\n";
            return kExitUsage;
        }
        std::string error;
        simulation = SimulatedSession::Start(line.simulateFile, error);
        if (!simulation) {
            io.err << "kestrine-config agent: " << error << "\n";
            return kExitUsage;
        }
    }
    DesktopNotifier notifier;
    AgentSetup setup{notifier, simulation.get(), lock.Folder(), DefaultRulesPath()};
    const int status = RunAgent(setup, io.out, io.err);
    UseUserCommandLock({});
    return status == 0 ? kExitDone : kExitMouse;
}

}  // namespace

int RunAgentCommand(const CommandLine& line, CommandStreams& io) {
    std::string error;
    switch (line.agentAction) {
        case AgentAction::Run:
            return Run(line, io);
        case AgentAction::Status:
            io.out << AgentStatusText();
            return kExitDone;
        case AgentAction::Enable:
            // Before the agent starts, so that it finds the windows followable.
            EnableDesktopWindowSource(io);
            if (!EnableAgent(OwnProgram(), AgentArguments(line), error)) {
                io.err << "kestrine-config agent: " << error << "\n";
                return kExitMouse;
            }
            io.out << "The agent runs now and at every login (" << AgentAutostartPath() << ").\n";
            return kExitDone;
        case AgentAction::Disable:
            if (!DisableAgent(error)) {
                io.err << "kestrine-config agent: " << error << "\n";
                return kExitMouse;
            }
            io.out << "The agent is stopped and no longer starts at login.\n";
            return kExitDone;
    }
    return kExitUsage;
}
