// The bench's driver: measures the tool against its floors and prints the
// table (bench/run builds everything and starts it under its own Xvfb).
//
// usage: kestrine-bench --tool PATH --bare PATH --apply PATH --work DIR
//                       [--runs N] [--idle-runs N] [--idle-seconds S]

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "measurements.h"
#include "process_watch.h"
#include "window_watch.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

const char kToolTitle[] = "Kestrine XQ3 8k v2 Configuration Tool";
const char kBareTitle[] = "kestrine-bench bare dialog";
constexpr milliseconds kWindowLimit{30000};
constexpr milliseconds kExitLimit{60000};
// After the window is up, before the idle figures are taken.
constexpr std::chrono::seconds kIdleSettle{3};
// How often the idle programs' threads are sampled.
constexpr milliseconds kSampleEvery{100};

struct Options {
    std::string tool, bare, apply, work;
    int runs = 7;
    int idleRuns = 3;
    int idleSeconds = 30;
};

double Ms(Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

[[noreturn]] void Die(const std::string& reason) {
    std::fprintf(stderr, "kestrine-bench: %s\n", reason.c_str());
    std::exit(1);
}

class Bench {
public:
    explicit Bench(Options options) : options_(std::move(options)) {
        if (!windows_.connected())
            Die("cannot open the X display $DISPLAY");
    }

    void Run();

private:
    std::vector<std::string> Environment() const {
        // Its own instance lock: another developer's running tool must not
        // turn a start into a hand-over.
        return {"XDG_RUNTIME_DIR=" + options_.work + "/run", "QT_QPA_PLATFORM"};
    }
    std::string Log() const { return options_.work + "/programs.log"; }

    // Start to window mapped, in ms, and the CPU time it took meanwhile (all
    // threads), which a busy machine disturbs far less; the program is ended after.
    double StartUp(const std::vector<std::string>& argv, const char* title, Series& cpuMs) {
        windows_.Clear();
        WatchedProcess program(argv, Environment(), Log());
        if (!program.started())
            Die("cannot start " + argv[0]);
        const auto mapped = windows_.WaitForMap(title, kWindowLimit);
        if (!mapped)
            Die(argv[0] + " showed no window titled \"" + title + "\"; see " + Log());
        program.SampleThreads();
        cpuMs.Add(program.CpuSeconds() * 1000);
        return Ms(*mapped - program.startedAt());
    }

    void MeasureStartUp() {
        for (int run = 0; run < options_.runs; ++run) {
            // Interleaved, so that a busy moment of the machine hits both.
            bareStart_.Add(StartUp({options_.bare}, kBareTitle, bareStartCpu_));
            toolStart_.Add(StartUp({options_.tool, "--simulate"}, kToolTitle, toolStartCpu_));
        }
    }

    void MeasureApply() {
        const std::string output = options_.work + "/apply.txt";
        std::remove(output.c_str());
        WatchedProcess harness({options_.apply, std::to_string(options_.runs)}, Environment(),
                               output);
        if (harness.WaitForExit(kExitLimit) != 0)
            Die("bench-apply failed; see " + output);
        std::ifstream in(output);
        std::string line;
        while (std::getline(in, line)) {
            std::istringstream words(line);
            std::string key;
            words >> key;
            double a = 0, b = 0;
            words >> a >> b;
            if (key == "startup-waits")
                startupWaits_ = a;
            else if (key == "read-waits")
                settingsReadWaits_ = b;
            else if (key == "apply") {
                apply_.Add(a);
                applyFloor_.Add(b);
            }
        }
        if (apply_.empty())
            Die("bench-apply printed no timing; see " + output);
    }

    struct Idle {
        double cpuMs, wakeUpsPerSecond, peakMiB;
    };

    void MeasureIdle() {
        for (int run = 0; run < options_.idleRuns; ++run) {
            // Both at once: each sleeps, so neither disturbs the other.
            windows_.Clear();
            WatchedProcess tool({options_.tool, "--simulate"}, Environment(), Log());
            if (!windows_.WaitForMap(kToolTitle, kWindowLimit))
                Die("no window for the idle run; see " + Log());
            WatchedProcess bare({options_.bare}, Environment(), Log());
            if (!windows_.WaitForMap(kBareTitle, kWindowLimit))
                Die("no window for the idle run; see " + Log());
            // The background agent beside a process that only sleeps, its floor.
            WatchedProcess agent(
                {options_.tool, "--simulate=" + options_.work + "/agent-mouse.bin", "agent"},
                Environment(), Log());
            WatchedProcess sleeper({"/bin/sleep", "3600"}, Environment(), Log());
            std::this_thread::sleep_for(kIdleSettle);
            std::vector<WatchedProcess*> watched = {&tool, &bare, &agent, &sleeper};
            for (WatchedProcess* process : watched)
                process->SampleThreads();
            const long toolSwitches = tool.ContextSwitches(), bareSwitches = bare.ContextSwitches();
            const long agentSwitches = agent.ContextSwitches();
            const long sleeperSwitches = sleeper.ContextSwitches();
            const double toolCpu = tool.CpuSeconds(), bareCpu = bare.CpuSeconds();
            const auto end = Clock::now() + std::chrono::seconds(options_.idleSeconds);
            while (Clock::now() < end) {
                std::this_thread::sleep_for(kSampleEvery);
                for (WatchedProcess* process : watched)
                    process->SampleThreads();
            }
            const double seconds = options_.idleSeconds;
            agentWakeUps_.Add((agent.ContextSwitches() - agentSwitches) / seconds);
            sleeperWakeUps_.Add((sleeper.ContextSwitches() - sleeperSwitches) / seconds);
            agentRss_.Add(agent.Terminate() / 1024.0);
            sleeperRss_.Add(sleeper.Terminate() / 1024.0);
            toolCpu_.Add((tool.CpuSeconds() - toolCpu) * 1000);
            bareCpu_.Add((bare.CpuSeconds() - bareCpu) * 1000);
            toolWakeUps_.Add((tool.ContextSwitches() - toolSwitches) / seconds);
            bareWakeUps_.Add((bare.ContextSwitches() - bareSwitches) / seconds);
            toolRss_.Add(tool.Terminate() / 1024.0);
            bareRss_.Add(bare.Terminate() / 1024.0);
        }
    }

    // A command-line run, ms; nullopt when the tool has no such command.
    std::optional<double> Command(const std::vector<std::string>& arguments) {
        std::vector<std::string> argv = {options_.tool, "--simulate"};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        std::vector<std::string> environment = Environment();
        environment.push_back("DISPLAY");  // a command must not need the display
        WatchedProcess program(argv, environment, Log());
        if (program.WaitForExit(kExitLimit) != 0)
            return std::nullopt;
        return Ms(program.endedAt() - program.startedAt());
    }

    void AddCommandRow(const std::string& what, const std::vector<std::string>& arguments) {
        Series times;
        for (int run = 0; run < options_.runs; ++run) {
            const std::optional<double> time = Command(arguments);
            if (!time) {
                table_.AddUnavailable(what, "the tool has no such command (or it failed)");
                return;
            }
            times.Add(*time);
        }
        Series floor;
        floor.Add(settingsReadWaits_);
        table_.AddRow(what, times, floor, "settings read waits", "ms", 0);
    }

    Options options_;
    WindowWatch windows_;
    Table table_;
    Series bareStart_, toolStart_, bareStartCpu_, toolStartCpu_, apply_, applyFloor_;
    Series toolCpu_, bareCpu_, toolWakeUps_, bareWakeUps_, toolRss_, bareRss_;
    Series agentWakeUps_, sleeperWakeUps_, agentRss_, sleeperRss_;
    double startupWaits_ = 0;
    double settingsReadWaits_ = 0;
};

void Bench::Run() {
    MeasureApply();
    MeasureStartUp();
    table_.AddRow("start-up to the loaded window", toolStart_, bareStart_, "bare dialog", "ms", 0);
    table_.AddRow(
        "  less its protocol waits (" + std::to_string(static_cast<int>(startupWaits_)) + " ms)",
        toolStart_.Minus(startupWaits_), bareStart_, "bare dialog", "ms", 0);
    table_.AddRow("  its CPU time (all threads)", toolStartCpu_, bareStartCpu_, "bare dialog", "ms",
                  0);
    table_.AddRow("APPLY click to APPLY disabled", apply_, applyFloor_, "protocol waits", "ms", 0);
    MeasureIdle();
    const std::string idle = std::to_string(options_.idleSeconds) + " s";
    table_.AddRow("idle CPU time over " + idle + " (all threads)", toolCpu_, bareCpu_,
                  "bare dialog", "ms", 2);
    table_.AddRow("idle wake-ups per second (all threads)", toolWakeUps_, bareWakeUps_,
                  "bare dialog", "/s", 2);
    table_.AddRow("peak memory (RSS)", toolRss_, bareRss_, "bare dialog", "MiB", 1);
    table_.AddRow("agent: idle wake-ups per second", agentWakeUps_, sleeperWakeUps_,
                  "a sleeping process", "/s", 2);
    table_.AddRow("agent: peak memory (RSS)", agentRss_, sleeperRss_, "a sleeping process", "MiB",
                  1);
    AddCommandRow("command line: show", {"show"});
    AddCommandRow("command line: export", {"export", options_.work + "/export.toml"});
    table_.Print();
}

Options Parse(int argc, char** argv) {
    Options options;
    std::map<std::string, std::string*> texts = {{"--tool", &options.tool},
                                                 {"--bare", &options.bare},
                                                 {"--apply", &options.apply},
                                                 {"--work", &options.work}};
    std::map<std::string, int*> numbers = {{"--runs", &options.runs},
                                           {"--idle-runs", &options.idleRuns},
                                           {"--idle-seconds", &options.idleSeconds}};
    for (int i = 1; i + 1 < argc; i += 2) {
        if (texts.count(argv[i]))
            *texts[argv[i]] = argv[i + 1];
        else if (numbers.count(argv[i]) && std::atoi(argv[i + 1]) > 0)
            *numbers[argv[i]] = std::atoi(argv[i + 1]);
        else
            Die(std::string("unknown or bad argument ") + argv[i]);
    }
    if (options.tool.empty() || options.bare.empty() || options.apply.empty() ||
        options.work.empty())
        Die("usage: kestrine-bench --tool PATH --bare PATH --apply PATH --work DIR "
            "[--runs N] [--idle-runs N] [--idle-seconds S]");
    return options;
}

}  // namespace

int main(int argc, char** argv) {
    Bench(Parse(argc, argv)).Run();
    return 0;
}
