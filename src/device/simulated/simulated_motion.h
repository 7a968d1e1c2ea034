#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <thread>

class SimulatedMouse;

// Moves a simulated mouse: while started, a thread sends a motion report on
// its pointer interface at the rate its memory is set to (read again at each
// report, so a rate change takes effect at once), as a mouse that is moved
// steadily does. A slowdown delivers only one report in N, as a port or hub
// that holds the mouse back would.
class SimulatedMotion {
public:
    explicit SimulatedMotion(SimulatedMouse& mouse, size_t index = 0);
    ~SimulatedMotion();
    SimulatedMotion(const SimulatedMotion&) = delete;
    SimulatedMotion& operator=(const SimulatedMotion&) = delete;

    // Starts moving (or changes the slowdown of a running motion); 1 = every report.
    void Start(unsigned deliverOneIn = 1);
    void Stop();
    bool Moving() const { return thread_.joinable(); }
    // Reports sent so far (a full reader's queue may still drop them).
    uint64_t ReportsSent() const { return sent_.load(); }

private:
    void Run();

    SimulatedMouse& mouse_;
    size_t index_;
    std::atomic<unsigned> deliverOneIn_{1};
    std::atomic<uint64_t> sent_{0};
    std::atomic<bool> stopRequested_{false};
    std::thread thread_;
};
