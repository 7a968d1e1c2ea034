#include "device/cpi_check.h"

#include <gtest/gtest.h>

#include <cmath>

#include "device/cpi_check_text.h"

namespace {

struct Batch {
    int64_t dx;
    int64_t dy;
    bool mayHaveLostReports = false;
};

Stroke StrokeOf(std::initializer_list<Batch> batches) {
    std::vector<ReportBatch> read;
    for (const Batch& batch : batches) {
        ReportBatch one;
        one.reports = 8;
        one.dx = batch.dx;
        one.dy = batch.dy;
        one.mayHaveLostReports = batch.mayHaveLostReports;
        read.push_back(one);
    }
    Stroke stroke;
    stroke.Add(read);
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
        {"a batch may have lost reports",
         StrokeOf({{800, 0}, {800, 0, true}, {0, 0}}),
         1600,
         1600,
         {},
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto result = MeasureStroke(c.stroke, 1.0);
        ASSERT_TRUE(result);
        EXPECT_DOUBLE_EQ(result->cpi, c.cpi);
        EXPECT_EQ(result->cpiX, c.cpiX);
        EXPECT_EQ(result->cpiY, c.cpiY);
        EXPECT_EQ(result->trustworthy, c.trustworthy);
        EXPECT_EQ(c.stroke.reports, 8u * (c.stroke.mayHaveLostReports ? 3 : 2));
    }
}

TEST(CpiCheck, NoMovementMeasuresNothing) {
    EXPECT_FALSE(MeasureStroke(StrokeOf({{5, 0}, {-5, 0}}), 4.0));
    EXPECT_FALSE(MeasureStroke(Stroke{}, 4.0));
}

StrokeResult Horizontal(double cpi, bool trustworthy = true) {
    return {cpi, cpi, {}, trustworthy};
}
StrokeResult Vertical(double cpi) {
    return {cpi, {}, cpi, true};
}
StrokeResult Diagonal(double cpi) {
    return {cpi, {}, {}, true};
}

TEST(CpiCheck, StrokesGiveAMeanASpreadAndTheDeviationFromTheSetCpi) {
    const SetCpi set{1600, 1600, 1, 4};
    const auto summary =
        SummariseStrokes({Horizontal(1640), Horizontal(1660), Diagonal(1644)}, set);
    ASSERT_TRUE(summary);
    EXPECT_EQ(summary->along.strokes, 3u);
    EXPECT_DOUBLE_EQ(summary->along.meanCpi, 1648);
    EXPECT_DOUBLE_EQ(summary->along.spreadCpi, 20);
    EXPECT_DOUBLE_EQ(*summary->along.deviationPercent, 3.0);
    ASSERT_TRUE(summary->x);
    EXPECT_EQ(summary->x->strokes, 2u);
    EXPECT_DOUBLE_EQ(*summary->x->deviationPercent, 3.125);
    EXPECT_FALSE(summary->y);
    EXPECT_TRUE(summary->trustworthy);

    EXPECT_FALSE(SummariseStrokes({Horizontal(1600, false)}, set)->trustworthy);
    EXPECT_FALSE(SummariseStrokes({}, set));
    // No level: figures without a deviation.
    EXPECT_FALSE(SummariseStrokes({Horizontal(1600)}, std::nullopt)->along.deviationPercent);
}

// X 1600 and Y 800: each axis against its own setting; a diagonal stroke has
// no one set CPI.
TEST(CpiCheck, XAndYSetApartAreComparedAxisByAxis) {
    const SetCpi set{1600, 800, 0, 1};
    const auto summary = SummariseStrokes({Horizontal(1648), Vertical(816), Diagonal(1000)}, set);
    ASSERT_TRUE(summary && summary->x && summary->y);
    EXPECT_FALSE(summary->along.deviationPercent);
    EXPECT_DOUBLE_EQ(*summary->x->deviationPercent, 3.0);
    EXPECT_DOUBLE_EQ(*summary->y->deviationPercent, 2.0);
    const std::vector<std::string> lines = SummaryLines(*summary, set);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1], "Set: X 1,600, Y 800 CPI (level 1 of 1)");
    EXPECT_EQ(lines[2], "X, 1 horizontal stroke: 1,648 CPI; +3.0 % from the set 1,600 CPI");
    EXPECT_EQ(lines[3], "Y, 1 vertical stroke: 816 CPI; +2.0 % from the set 800 CPI");

    const auto diagonalOnly = SummariseStrokes({Diagonal(1000), Diagonal(1010)}, set);
    EXPECT_NE(SummaryLines(*diagonalOnly, set)[1].find("a diagonal stroke has no one set CPI"),
              std::string::npos);
}

TEST(CpiCheck, TheActiveLevelsSetCpi) {
    SettingsRecord record{};
    record.cpiLevelCount = 3;
    record.activeCpiLevel = 2;
    record.cpiLevels[2] = {1, 3200, 1600};
    const auto set = ActiveLevelCpi(record);
    ASSERT_TRUE(set);
    EXPECT_EQ(set->x, 3200u);
    EXPECT_EQ(set->y, 1600u);
    EXPECT_EQ(SetCpiText(*set), "X 3,200, Y 1,600 CPI (level 3 of 3)");
    // The mouse may report a level past the fourth.
    record.activeCpiLevel = 7;
    EXPECT_FALSE(ActiveLevelCpi(record));
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

TEST(CpiCheck, FiguresAsTheUserReadsThem) {
    EXPECT_EQ(DeviationText(2.96), "+3.0 %");
    EXPECT_EQ(DeviationText(-0.44), "-0.4 %");
    EXPECT_EQ(DeviationText(-0.04), "0.0 %");
    EXPECT_EQ(DistanceText(4.0), "10.16 cm (4 in)");
    EXPECT_EQ(RulerText(10 / 2.54),
              "The figure is only as exact as the ruler and the stroke: ending it 1 mm off the "
              "10 cm mark moves it by 1.0 %.");
    EXPECT_EQ(StrokeText({1648.4, 1648.4, {}, false, -6490, 3}),
              "1,648 CPI, horizontal (X -6,490, Y 3 counts); reports may have been lost, so "
              "this figure cannot be trusted");
}

}  // namespace
