#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

// A program the bench starts and watches through /proc.
class WatchedProcess {
public:
    // Starts `argv` with `environment` added to (or replacing in) the bench's
    // own; its output goes to `logFile`. started() is false when it could not.
    WatchedProcess(const std::vector<std::string>& argv,
                   const std::vector<std::string>& environment, const std::string& logFile);
    ~WatchedProcess();
    WatchedProcess(const WatchedProcess&) = delete;
    WatchedProcess& operator=(const WatchedProcess&) = delete;

    bool started() const { return pid_ > 0; }
    std::chrono::steady_clock::time_point startedAt() const { return startedAt_; }

    // Reads the counters of every thread it has now. A thread keeps its last
    // sample after it ends, so sample often enough to lose little of one that
    // ends (the bench samples ten times a second; that wakes only the bench).
    void SampleThreads();
    // At the last sample, over all threads seen: context switches (each one a
    // wake-up or a preemption) and CPU time in seconds.
    long ContextSwitches() const;
    double CpuSeconds() const;

    // Waits for it to end by itself (up to `limit`; then it is killed).
    // Returns its exit status, -1 when it was killed or ended by a signal.
    int WaitForExit(std::chrono::milliseconds limit);
    // Ends it (SIGTERM); returns its peak resident memory in KiB.
    long Terminate();
    std::chrono::steady_clock::time_point endedAt() const { return endedAt_; }

private:
    long Reap(int& status);

    struct ThreadCounts {
        long switches = 0;
        double cpuNanoseconds = 0;
    };

    pid_t pid_ = -1;
    std::map<std::string, ThreadCounts> threads_;
    std::chrono::steady_clock::time_point startedAt_;
    std::chrono::steady_clock::time_point endedAt_;
};
