// The CPU cost of the report-rate meter while the mouse moves: the simulated
// mouse moves at 1000 and 8000 Hz, the pointer reader counts every report and
// the taker adds them to the meter four times a second, as the Basic page
// does. Prints one table row per rate: the reading and taking threads' CPU
// time per second of measuring, beside the simulated source's own.
#include <dirent.h>
#include <pthread.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "device/pointer_reader.h"
#include "device/report_rate_meter.h"
#include "device/simulated/simulated_motion.h"
#include "device/simulated/simulated_mouse.h"

namespace {

// Adds up `read` of each of this process's threads named `name`.
double SumOverThreads(const std::string& name, double (*read)(const std::string& task)) {
    double total = 0;
    DIR* tasks = opendir("/proc/self/task");
    if (!tasks)
        return 0;
    while (dirent* entry = readdir(tasks)) {
        if (entry->d_name[0] == '.')
            continue;
        const std::string task = std::string("/proc/self/task/") + entry->d_name;
        std::string comm;
        std::getline(std::ifstream(task + "/comm"), comm);
        if (comm != name)
            continue;
        total += read(task);
    }
    closedir(tasks);
    return total;
}

// CPU nanoseconds of the threads named `name`.
double ThreadCpuNs(const std::string& name) {
    return SumOverThreads(name, [](const std::string& task) {
        double ns = 0;
        std::ifstream(task + "/schedstat") >> ns;
        return ns;
    });
}

// Times the threads named `name` went to sleep and were woken: a count the
// machine's load does not change, unlike their CPU time.
double ThreadWakeUps(const std::string& name) {
    return SumOverThreads(name, [](const std::string& task) {
        std::ifstream status(task + "/status");
        const std::string key = "voluntary_ctxt_switches:";
        for (std::string line; std::getline(status, line);) {
            if (line.rfind(key, 0) == 0)
                return std::stod(line.substr(key.size()));
        }
        return 0.0;
    });
}

double OwnCpuNs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e9 + t.tv_nsec;
}

struct Run {
    double readerMsPerS, takerMsPerS, sourceMsPerS, measuredHz, readerWakeUpsPerS;
    uint64_t dropped, reports, lastSecondSent, lastSecondArrived;
};

Run Measure(uint8_t code, int seconds) {
    SimulatedMouse mouse;
    SetHidTransport(&mouse);
    mouse.SwitchReportRate(code);
    SimulatedMotion motion(mouse);
    ReportRateMeter meter;
    Run run{};
    {
        PointerReader reader(OpenPointerInterface());
        motion.Start();
        const double taker0 = OwnCpuNs();
        const auto start = std::chrono::steady_clock::now();
        uint64_t sentBefore = 0, arrivedBefore = 0;
        for (int i = 0; i < seconds * 4; ++i) {
            std::this_thread::sleep_until(start + std::chrono::milliseconds(250 * (i + 1)));
            meter.Add(reader.TakeBatches());
            // The meter's figure covers the last second: so does its truth.
            if (i == seconds * 4 - 5) {
                sentBefore = motion.ReportsSent();
                arrivedBefore = reader.ReportCount();
            }
        }
        run.lastSecondSent = motion.ReportsSent() - sentBefore;
        run.lastSecondArrived = reader.ReportCount() - arrivedBefore;
        run.takerMsPerS = (OwnCpuNs() - taker0) / 1e6 / seconds;
        run.readerMsPerS = ThreadCpuNs("pointer-reader") / 1e6 / seconds;
        run.sourceMsPerS = ThreadCpuNs("sim-motion") / 1e6 / seconds;
        run.readerWakeUpsPerS = ThreadWakeUps("pointer-reader") / seconds;
        run.reports = reader.ReportCount();
        motion.Stop();
    }
    run.measuredHz = meter.Current() ? meter.Current()->rateHz : 0;
    run.dropped = mouse.PointerReportsDropped();
    SetHidTransport(nullptr);
    return run;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const int seconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    std::printf("| %-38s | %-8s | %-16s | %-25s | %-5s |\n", "meter: CPU while measuring", "median",
                "spread (min-max)", "floor (median)", "ratio");
    for (const auto& [hz, code] : {std::pair{1000, uint8_t{8}}, std::pair{8000, uint8_t{1}}}) {
        std::vector<double> cost, source, measured, arrived, sent, wakeUps, costPerReportSecond;
        uint64_t dropped = 0, reports = 0;
        for (int r = 0; r < runs; ++r) {
            const Run run = Measure(code, seconds);
            cost.push_back(run.readerMsPerS + run.takerMsPerS);
            source.push_back(run.sourceMsPerS);
            measured.push_back(run.measuredHz);
            arrived.push_back(static_cast<double>(run.lastSecondArrived));
            sent.push_back(static_cast<double>(run.lastSecondSent));
            wakeUps.push_back(run.readerWakeUpsPerS);
            // A loaded machine delivers fewer reports than the rate: the cost
            // of one second's worth of them, as many as the rate sends.
            costPerReportSecond.push_back((run.readerMsPerS + run.takerMsPerS) * seconds /
                                          (static_cast<double>(run.reports) / hz));
            dropped += run.dropped;
            reports += run.reports;
        }
        const double c = Median(cost), s = Median(source);
        char row[64], spread[32], floor[48], median[24];
        std::snprintf(median, sizeof median, "%.1f ms/s", c);
        std::snprintf(row, sizeof row, "  at %d Hz, reader + taker", hz);
        std::snprintf(spread, sizeof spread, "%.1f-%.1f ms/s",
                      *std::min_element(cost.begin(), cost.end()),
                      *std::max_element(cost.begin(), cost.end()));
        std::snprintf(floor, sizeof floor, "source %.1f ms/s", s);
        std::printf("| %-38s | %-8s | %-16s | %-25s | %.2fx |\n", row, median, spread, floor,
                    s > 0 ? c / s : 0);
        std::printf(
            "|   (measured %.0f Hz; last second sent %.0f, arrived %.0f; %llu reports, %llu "
            "dropped, reader woken %.0f /s, "
            "%.1f ms per %d reports) | | | | |\n",
            Median(measured), Median(sent), Median(arrived),
            static_cast<unsigned long long>(reports), static_cast<unsigned long long>(dropped),
            Median(wakeUps), Median(costPerReportSecond), hz);
    }
    return 0;
}
