#include "cli/agent_command.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <memory>
#include <ostream>

#include "agent/agent_control.h"
#include "agent/agent_loop.h"
#include "agent/agent_status.h"
#include "agent/desktop_notifier.h"
#include "device/simulated_session.h"
#include "device/user_command_lock.h"
#include "platform/instance_lock.h"

namespace {

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

int Run(const CommandLine& line, CommandStreams& io) {
    InstanceLock lock(InstanceLock::Holder::Agent, InstanceLock::kAgentLockName);
    switch (lock.Acquire(io.lockFolder)) {
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
    AgentSetup setup{notifier, simulation.get(), AgentStatus::PathIn(lock.Folder())};
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
