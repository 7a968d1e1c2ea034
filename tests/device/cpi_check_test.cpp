#include "device/cpi_check.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

Stroke StrokeOf(std::initializer_list<PointerReport> reports, uint64_t dropped = 0) {
    Stroke stroke;
    for (const PointerReport& report : reports) {
        stroke.Add(report);
    }
    stroke.dropped = dropped;
    return stroke;
}

TEST(CpiCheck, AStrokeGivesCountsPerInchAlongItAndPerAxisWhenStraight) {
    struct Case {
        const char* what;
        Stroke stroke;
        double cpi;
        std::optional<double> cpiX;
        std::optional<double> cpiY;
        bool trustworthy;
    } cases[] = {
        {"to the right", StrokeOf({{800, 0}, {800, 10}}), std::hypot(1600, 10), 1600, {}, true},
        {"reversed", StrokeOf({{-1000, 0}, {-600, 0}}), 1600, 1600, {}, true},
        {"down", StrokeOf({{0, 1700}, {5, -100}}), std::hypot(5, 1600), {}, 1600, true},
        {"diagonal", StrokeOf({{300, 400}, {300, 400}}), 1000, {}, {}, true},
        {"reports lost", StrokeOf({{1600, 0}}, 3), 1600, 1600, {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto result = MeasureStroke(c.stroke, 1.0);
        ASSERT_TRUE(result);
        EXPECT_DOUBLE_EQ(result->cpi, c.cpi);
        EXPECT_EQ(result->cpiX, c.cpiX);
        EXPECT_EQ(result->cpiY, c.cpiY);
        EXPECT_EQ(result->trustworthy, c.trustworthy);
    }
}

TEST(CpiCheck, NoMovementMeasuresNothing) {
    EXPECT_FALSE(MeasureStroke(StrokeOf({{5, 0}, {-5, 0}}), 4.0));
    EXPECT_FALSE(MeasureStroke(Stroke{}, 4.0));
}

TEST(CpiCheck, StrokesGiveAMeanASpreadAndTheDeviationFromTheSetCpi) {
    const CpiCheckSummary summary = SummariseStrokes(
        {{1640, 1640, {}, true}, {1660, 1660, {}, true}, {1644, {}, {}, true}}, 1600);
    EXPECT_EQ(summary.strokes, 3u);
    EXPECT_DOUBLE_EQ(summary.meanCpi, 1648);
    EXPECT_DOUBLE_EQ(summary.spreadCpi, 20);
    EXPECT_DOUBLE_EQ(summary.deviationPercent, 3.0);
    EXPECT_TRUE(summary.trustworthy);
    EXPECT_FALSE(SummariseStrokes({{1600, {}, {}, false}}, 1600).trustworthy);
}

TEST(CpiCheck, DistancesInCentimetresMillimetresOrInchesWithinTheRuler) {
    std::string problem;
    EXPECT_DOUBLE_EQ(*ParseStrokeDistance("10cm", problem), 10 / 2.54);
    EXPECT_DOUBLE_EQ(*ParseStrokeDistance(" 254 mm ", problem), 10.0);
    EXPECT_DOUBLE_EQ(*ParseStrokeDistance("4in", problem), 4.0);
    EXPECT_DOUBLE_EQ(*ParseStrokeDistance("2.5 in", problem), 2.5);
    for (const char* bad : {"1cm", "51cm", "20in", "10", "ten cm", "10 ft", "", "nan cm"}) {
        problem.clear();
        EXPECT_FALSE(ParseStrokeDistance(bad, problem)) << bad;
        EXPECT_FALSE(problem.empty()) << bad;
    }
}

}  // namespace
