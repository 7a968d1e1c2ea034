#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Carries the simulated mouse's button reports from one process to the others
// that run against the same memory file (the window's "Simulated mouse"
// buttons reach the background agent this way). A small file beside the
// memory file, FILE.events, to which each press appends one line,
// "PID ID CODE VALUE"; a follower watches it with inotify (no polling) and
// reads the lines added since it looked last. A line is far below PIPE_BUF,
// so appends of two processes never mix.
class SimulatedEventChannel {
public:
    explicit SimulatedEventChannel(std::string memoryFile);
    ~SimulatedEventChannel();
    SimulatedEventChannel(const SimulatedEventChannel&) = delete;
    SimulatedEventChannel& operator=(const SimulatedEventChannel&) = delete;

    static std::string PathFor(const std::string& memoryFile);

    // Appends this process's report; false with the reason when it cannot.
    bool Publish(const std::vector<uint8_t>& report, std::string& error);

    // From now on, lines added by other processes are taken; earlier ones are
    // history. The fd becomes readable when lines may have arrived. -1 with
    // the reason in `error` when the file cannot be watched.
    int Follow(std::string& error);
    // The reports other processes added since the last call, oldest first.
    std::vector<std::vector<uint8_t>> TakeOthers();

private:
    std::string path_;
    int inotifyFd_ = -1;
    int readFd_ = -1;
    std::string partial_;
};
