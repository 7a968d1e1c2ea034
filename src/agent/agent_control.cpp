#include "agent/agent_control.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "agent/agent_status.h"
#include "platform/instance_lock.h"
#include "platform/user_files.h"

namespace {

constexpr char kEntryName[] = "kestrine-config-agent.desktop";
// An agent ends at once on SIGTERM; this bounds the wait for a stuck one.
constexpr auto kStopWait = std::chrono::seconds(3);
constexpr auto kStopPoll = std::chrono::milliseconds(20);

// An argument of Exec=: quoted where it holds a reserved character, with the
// quote's own escapes; then, as every value of a desktop entry, with its
// backslashes doubled; a literal % is written %% so it is no field code.
std::string ExecArgument(const std::string& argument) {
    std::string quoted = argument;
    if (argument.find_first_of(" \t\n\"'\\><~|&;$*?#()`") != std::string::npos) {
        quoted = "\"";
        for (char c : argument) {
            if (c == '"' || c == '`' || c == '$' || c == '\\') {
                quoted += '\\';
            }
            quoted += c;
        }
        quoted += '"';
    }
    std::string value;
    for (char c : quoted) {
        switch (c) {
            case '\\':
                value += "\\\\";
                break;
            case '\n':
                value += "\\n";
                break;
            case '\t':
                value += "\\t";
                break;
            case '\r':
                value += "\\r";
                break;
            case '%':
                value += "%%";
                break;
            default:
                value += c;
        }
    }
    return value;
}

bool WriteEntry(const std::string& program, const std::vector<std::string>& arguments,
                std::string& error) {
    const std::string path = AgentAutostartPath();
    if (!MakeFolders(FolderOfPath(path), error)) {
        return false;
    }
    std::string exec = ExecArgument(program);
    for (const std::string& argument : arguments) {
        exec += " " + ExecArgument(argument);
    }
    const std::string entry =
        "[Desktop Entry]\n"
        "Type=Application\n"
        "Name=kestrine-config agent\n"
        "Comment=Shows a notice when the mouse's buttons change CPI or report rate\n"
        "Exec=" +
        exec +
        " agent\n"
        "Icon=kestrine-config\n"
        "NoDisplay=true\n"
        "X-GNOME-Autostart-enabled=true\n";
    return WriteUserFile(path, entry, "an autostart entry", error) == WriteResult::Written;
}

// Its lock is let go when the process ends, even before its parent reaps it.
bool AgentEnded() {
    return CurrentAgentState().runningPid == 0;
}

}  // namespace

std::string AgentAutostartPath() {
    return ConfigHome() + "/autostart/" + kEntryName;
}

bool AgentEnabled() {
    return ::access(AgentAutostartPath().c_str(), F_OK) == 0;
}

AgentState CurrentAgentState() {
    AgentState state;
    state.enabled = AgentEnabled();
    InstanceLock probe(InstanceLock::Holder::Unknown, InstanceLock::kAgentLockName);
    switch (probe.Acquire()) {
        case InstanceLock::Result::HeldElsewhere:
            state.runningPid = probe.HeldBy().pid > 0 ? probe.HeldBy().pid : -1;
            state.lockFolder = probe.Folder();
            break;
        case InstanceLock::Result::Acquired:
            state.lockFolder = probe.Folder();
            break;
        case InstanceLock::Result::Unavailable:
            state.problem = probe.Problem();
            break;
    }
    return state;
}

bool EnableAgent(const std::string& program, const std::vector<std::string>& arguments,
                 std::string& error) {
    if (!WriteEntry(program, arguments, error)) {
        return false;
    }
    if (!StartAgent(program, arguments, error)) {
        // An agent that cannot start is not left to fail again at every login.
        ::unlink(AgentAutostartPath().c_str());
        return false;
    }
    return true;
}

bool DisableAgent(std::string& error) {
    const std::string path = AgentAutostartPath();
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
        error = "cannot remove " + path + ": " + std::strerror(errno);
        return false;
    }
    return StopAgent(error);
}

bool StartAgent(const std::string& program, const std::vector<std::string>& arguments,
                std::string& error) {
    if (CurrentAgentState().runningPid != 0) {
        return true;
    }
    // Built before the fork: the child of a threaded process may only call
    // what is safe in a signal handler until it execs.
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(const_cast<char*>("agent"));
    argv.push_back(nullptr);
    // The exec's failure comes back through a pipe that a successful exec closes.
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) {
        error = std::string("cannot start the agent: ") + std::strerror(errno);
        return false;
    }
    const pid_t child = ::fork();
    if (child < 0) {
        error = std::string("cannot start the agent: ") + std::strerror(errno);
        ::close(report[0]);
        ::close(report[1]);
        return false;
    }
    if (child == 0) {
        // A session of its own, and a grandchild that init adopts: the agent
        // outlives the window or terminal that turned it on, leaving no zombie.
        ::setsid();
        if (::fork() != 0) {
            ::_exit(0);
        }
        const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
        if (null >= 0) {
            ::dup2(null, STDIN_FILENO);
            ::dup2(null, STDOUT_FILENO);
        }
        ::execv(program.c_str(), argv.data());
        const int failure = errno;
        (void)!::write(report[1], &failure, sizeof failure);
        ::_exit(127);
    }
    ::close(report[1]);
    int status = 0;
    ::waitpid(child, &status, 0);
    int failure = 0;
    const bool failed = ::read(report[0], &failure, sizeof failure) == sizeof failure;
    ::close(report[0]);
    if (failed) {
        error = "cannot start the agent: " + program + ": " + std::strerror(failure);
        return false;
    }
    return true;
}

bool StopAgent(std::string& error) {
    const AgentState state = CurrentAgentState();
    if (state.runningPid <= 0) {
        return true;
    }
    if (::kill(static_cast<pid_t>(state.runningPid), SIGTERM) != 0 && errno != ESRCH) {
        error = "cannot stop the agent (pid " + std::to_string(state.runningPid) +
                "): " + std::strerror(errno);
        return false;
    }
    const auto giveUp = std::chrono::steady_clock::now() + kStopWait;
    while (!AgentEnded() && std::chrono::steady_clock::now() < giveUp) {
        std::this_thread::sleep_for(kStopPoll);
    }
    if (!AgentEnded()) {
        error = "the agent (pid " + std::to_string(state.runningPid) + ") did not stop";
        return false;
    }
    return true;
}

std::string AgentStatusText() {
    const AgentState state = CurrentAgentState();
    std::string text = "started at login: ";
    text += state.enabled ? "yes (" + AgentAutostartPath() + ")\n" : "no\n";
    if (!state.problem.empty()) {
        return text + "running: cannot tell: " + state.problem + "\n";
    }
    if (state.runningPid == 0) {
        return text + "running: no\n";
    }
    text += "running: yes";
    text += state.runningPid > 0 ? " (pid " + std::to_string(state.runningPid) + ")\n" : "\n";
    return text + AgentStatus::Read(AgentStatus::PathIn(state.lockFolder));
}
