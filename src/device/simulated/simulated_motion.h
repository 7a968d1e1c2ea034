#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <thread>

#include "settings/settings_image.h"

class SimulatedMouse;

// Counts of one stroke, X right and Y down positive.
struct StrokeCounts {
    int64_t x = 0;
    int64_t y = 0;
};

enum class StrokeWay { Right, Down, Diagonal };

// The counts a stroke of `inches` makes on a mouse whose sensor really reads
// `percentOff` per cent above (or below) the CPI its active level is set to,
// X and Y each from their own setting; diagonal is at 45 degrees. Nothing
// moves for a record that names no level.
StrokeCounts TrueStrokeCounts(const SettingsRecord& held, double inches, double percentOff,
                              StrokeWay way);

// Moves a simulated mouse: while started, a thread sends a motion report on
// its pointer interface at the rate its memory is set to (read again at each
// report, so a rate change takes effect at once), as a mouse that is moved
// steadily does. A slowdown delivers only one report in N, as a port or hub
// that holds the mouse back would. A stroke moves it by a given number of
// counts, also at the set rate, and then it stops by itself.
class SimulatedMotion {
public:
    // A stroke lasts about this long, as a hand's quick stroke along a ruler.
    static constexpr int kStrokeMs = 300;

    explicit SimulatedMotion(SimulatedMouse& mouse, size_t index = 0);
    ~SimulatedMotion();
    SimulatedMotion(const SimulatedMotion&) = delete;
    SimulatedMotion& operator=(const SimulatedMotion&) = delete;

    // Starts moving (or changes the slowdown of a running motion); 1 = every report.
    void Start(unsigned deliverOneIn = 1);
    void Stop();
    bool Moving() const { return running_.load(); }
    // Reports sent so far (a full reader's queue may still drop them).
    uint64_t ReportsSent() const { return sent_.load(); }

    // Sends `counts` in reports of at most a byte's 127 counts each, spread
    // over about kStrokeMs. A stroke never outruns its readers: every half
    // queue of reports it waits until they took what was sent, so all of its
    // counts arrive however busy the machine (the slowdown is what loses
    // reports). Nothing happens while the mouse moves already.
    void Stroke(StrokeCounts counts);
    // Waits for a stroke to end.
    void WaitUntilStill();

private:
    void Run();
    void RunStroke(StrokeCounts counts);
    // Joins a thread that ended by itself; false while one runs.
    bool Idle();

    SimulatedMouse& mouse_;
    size_t index_;
    std::atomic<unsigned> deliverOneIn_{1};
    std::atomic<uint64_t> sent_{0};
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> running_{false};
    std::thread thread_;
};
