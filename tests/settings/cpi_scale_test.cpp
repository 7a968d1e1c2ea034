#include "settings/cpi_scale.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

struct NormalizeCase {
    uint32_t in;
    uint32_t out;
};

TEST(CpiScaleTest, NormalizeLevelCpiClampsAndRoundsHalvesUp) {
    const NormalizeCase cases[] = {
        {0, 10},
        {9, 10},
        {14, 10},
        {15, 20},
        {9994, 9990},
        {9995, 10000},
        {10000, 10000},
        {10001, 10000},
        {10024, 10000},
        {10025, 10050},
        {12345, 12350},
        {29974, 29950},
        {29975, 30000},
        {30000, 30000},
        {30001, 30000},
        {65535, 30000},
        {std::numeric_limits<uint32_t>::max(), 30000},
    };
    for (const NormalizeCase& c : cases) {
        EXPECT_EQ(NormalizeLevelCpi(c.in), c.out) << "in " << c.in;
    }
}

struct TrackCase {
    int position;
    uint32_t cpi;
};

TEST(CpiScaleTest, TrackPositionsAndValuesMapBothWays) {
    const TrackCase cases[] = {
        {1, 10}, {2, 20}, {40, 400}, {1000, 10000}, {1001, 10050}, {1047, 12350}, {1400, 30000},
    };
    for (const TrackCase& c : cases) {
        EXPECT_EQ(TrackPositionToCpi(c.position), c.cpi) << "position " << c.position;
        EXPECT_EQ(CpiToTrackPosition(c.cpi), c.position) << "cpi " << c.cpi;
    }
}

TEST(CpiScaleTest, EveryTrackPositionIsAGridValueThatMapsBack) {
    for (int position = kMinTrackPosition; position <= kMaxTrackPosition; ++position) {
        const uint32_t cpi = TrackPositionToCpi(position);
        ASSERT_EQ(NormalizeLevelCpi(cpi), cpi) << "position " << position;
        ASSERT_EQ(CpiToTrackPosition(cpi), position) << "position " << position;
    }
}

TEST(CpiScaleTest, OffScaleInputsGiveTheNearestEnd) {
    EXPECT_EQ(TrackPositionToCpi(0), 10u);
    EXPECT_EQ(TrackPositionToCpi(-5), 10u);
    EXPECT_EQ(TrackPositionToCpi(1401), 30000u);
    EXPECT_EQ(CpiToTrackPosition(0), 1);
    EXPECT_EQ(CpiToTrackPosition(65535), 1400);
}

struct WheelCase {
    uint32_t value;
    bool awayFromUser;
    uint32_t expected;
};

TEST(CpiScaleTest, WheelNotchStepsOnTheGridAndStopsAtTheEnds) {
    const WheelCase cases[] = {
        {800, true, 790},      {800, false, 810},     {10, true, 10},        {20, true, 10},
        {30000, false, 30000}, {29950, false, 30000}, {9990, false, 10000},  {10000, true, 9990},
        {10000, false, 10050}, {10050, true, 10000},  {12350, false, 12400}, {30000, true, 29950},
    };
    for (const WheelCase& c : cases) {
        EXPECT_EQ(WheelStepCpi(c.value, c.awayFromUser), c.expected)
            << c.value << (c.awayFromUser ? " away" : " towards");
    }
}

}  // namespace
