// The simulated mouse's stroke: the counts a sensor a given per cent off its
// set CPI makes, and all of them reaching a pointer reader.
#include "device/simulated/simulated_motion.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "device/cpi_check.h"
#include "device/pointer_reader.h"
#include "device/simulated/simulated_mouse.h"

namespace {

TEST(SimulatedStroke, CountsOfASensorOffItsSetCpi) {
    SettingsRecord held{};
    held.activeCpiLevel = 1;
    held.cpiLevels[1] = {1, 1600, 800};
    struct Case {
        double percent;
        StrokeWay way;
        int64_t x;
        int64_t y;
    } cases[] = {
        {0, StrokeWay::Right, 6400, 0},
        {3, StrokeWay::Right, 6592, 0},
        {-2.5, StrokeWay::Down, 0, 3120},
        {0, StrokeWay::Diagonal, 4525,
         2263},  // 45 degrees: 6400 and 3200 over the square root of 2
    };
    for (const Case& c : cases) {
        const StrokeCounts counts = TrueStrokeCounts(held, 4.0, c.percent, c.way);
        EXPECT_EQ(counts.x, c.x) << c.percent;
        EXPECT_EQ(counts.y, c.y) << c.percent;
    }
    held.activeCpiLevel = 4;
    EXPECT_EQ(TrueStrokeCounts(held, 4.0, 3, StrokeWay::Right).x, 0);
}

// A reader that leaves the kernel's queue alone for longer than it takes to
// fill at 8000 Hz: the stroke waits for it rather than lose counts.
TEST(SimulatedStroke, EveryCountOfAStrokeReachesEvenASlowReader) {
    SimulatedMouse mouse;
    SetHidTransport(&mouse);
    PointerReader reader(OpenPointerInterface(), PointerReader::SteadyNanoseconds, {},
                         [] { std::this_thread::sleep_for(std::chrono::milliseconds(10)); });
    SimulatedMotion motion(mouse);
    motion.Stroke({-6489, 130});
    EXPECT_TRUE(motion.Moving());
    motion.WaitUntilStill();
    EXPECT_FALSE(motion.Moving());
    ASSERT_TRUE(mouse.WaitUntilPointerReportsTaken());
    Stroke stroke;
    stroke.Add(reader.TakeBatches());
    EXPECT_EQ(stroke.sumX, -6489);
    EXPECT_EQ(stroke.sumY, 130);
    EXPECT_EQ(mouse.PointerReportsDropped(), 0u);
    // 300 ms at the factory setting's 8000 Hz.
    EXPECT_EQ(stroke.reports, 2400u);
    EXPECT_EQ(motion.ReportsSent(), 2400u);
    reader.Stop();
    SetHidTransport(nullptr);
}

}  // namespace
