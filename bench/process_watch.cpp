#include "process_watch.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

extern char** environ;

namespace {

std::string NameOf(const std::string& variable) {
    return variable.substr(0, variable.find('='));
}

// The bench's environment with `changes` applied: NAME=VALUE sets, a bare NAME removes.
std::vector<std::string> MergedEnvironment(const std::vector<std::string>& changes) {
    std::vector<std::string> merged;
    for (char** entry = environ; *entry; ++entry) {
        const std::string variable = *entry;
        bool changed = false;
        for (const std::string& change : changes)
            changed = changed || NameOf(change) == NameOf(variable);
        if (!changed)
            merged.push_back(variable);
    }
    for (const std::string& change : changes)
        if (change.find('=') != std::string::npos)
            merged.push_back(change);
    return merged;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

long StatusField(const std::string& file, const std::string& field) {
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(field, 0) == 0)
            return std::atol(line.c_str() + field.size());
    return 0;
}

}  // namespace

WatchedProcess::WatchedProcess(const std::vector<std::string>& argv,
                               const std::vector<std::string>& environment,
                               const std::string& logFile) {
    std::vector<std::string> arguments = argv;
    std::vector<std::string> variables = MergedEnvironment(environment);
    std::vector<char*> argPointers = Pointers(arguments);
    std::vector<char*> envPointers = Pointers(variables);
    const int log = open(logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    startedAt_ = std::chrono::steady_clock::now();
    pid_ = fork();
    if (pid_ == 0) {
        if (log >= 0) {
            dup2(log, STDOUT_FILENO);
            dup2(log, STDERR_FILENO);
        }
        execve(argPointers[0], argPointers.data(), envPointers.data());
        _exit(127);
    }
    if (log >= 0)
        close(log);
}

WatchedProcess::~WatchedProcess() {
    if (pid_ > 0)
        Terminate();
}

void WatchedProcess::SampleThreads() {
    const std::string tasks = "/proc/" + std::to_string(pid_) + "/task";
    DIR* dir = opendir(tasks.c_str());
    if (!dir)
        return;
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        const std::string task = tasks + "/" + entry->d_name;
        ThreadCounts counts;
        counts.switches = StatusField(task + "/status", "voluntary_ctxt_switches:") +
                          StatusField(task + "/status", "nonvoluntary_ctxt_switches:");
        // The thread's run time in nanoseconds, the first field of its
        // schedstat: finer than the clock ticks of /proc/PID/stat.
        std::ifstream schedstat(task + "/schedstat");
        if (!(schedstat >> counts.cpuNanoseconds))
            continue;  // ended meanwhile: its last sample stands
        threads_[entry->d_name] = counts;
    }
    closedir(dir);
}

long WatchedProcess::ContextSwitches() const {
    long total = 0;
    for (const auto& [thread, counts] : threads_)
        total += counts.switches;
    return total;
}

double WatchedProcess::CpuSeconds() const {
    double total = 0;
    for (const auto& [thread, counts] : threads_)
        total += counts.cpuNanoseconds / 1e9;
    return total;
}

long WatchedProcess::Reap(int& status) {
    rusage usage{};
    status = -1;
    if (wait4(pid_, &status, 0, &usage) == pid_) {
        endedAt_ = std::chrono::steady_clock::now();
        status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    pid_ = -1;
    return usage.ru_maxrss;
}

int WatchedProcess::WaitForExit(std::chrono::milliseconds limit) {
    // A process descriptor turns readable the moment the child ends.
    const int ended = static_cast<int>(syscall(SYS_pidfd_open, pid_, 0));
    pollfd watched{ended, POLLIN, 0};
    const bool done = ended >= 0 && poll(&watched, 1, static_cast<int>(limit.count())) == 1;
    if (ended >= 0)
        close(ended);
    if (!done)
        kill(pid_, SIGKILL);
    int status = -1;
    Reap(status);
    return done ? status : -1;
}

long WatchedProcess::Terminate() {
    if (pid_ <= 0)
        return 0;
    kill(pid_, SIGTERM);
    int status = 0;
    return Reap(status);
}
