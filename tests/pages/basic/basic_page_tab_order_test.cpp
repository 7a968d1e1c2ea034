// The Basic page read with the Tab key: the top block row by row, then each
// CPI level's radio button, X and Y.
#include "pages/basic/basic_page_fixture.h"
#include "support/keyboard_walk.h"

namespace basic_page_test {
namespace {

using SensorDlgTabOrder = SensorDlgTest;

TEST_F(SensorDlgTabOrder, TabGoesRowByRow) {
    QStringList expected{
        "pollingRateList", "angleSnappingCheck", "liftOffLedCheck",  // first line
        "liftOffList",     "cpiLevelsList",      "xySettingsCheck",  // second line
        "cpiCheckButton",
    };
    for (int level = 0; level < kCpiLevelCount; ++level) {
        const QString n = QString::number(level);
        expected << "cpiLevelRadio" + n << "cpiLevelXSlider" + n << "cpiLevelXField" + n
                 << "cpiLevelYSlider" + n << "cpiLevelYField" + n;
    }
    const QStringList walked = TabWalk(RateList());
    // After the page, Tab goes on to the rest of the window (APPLY, Factory Reset, the tabs).
    ASSERT_GE(walked.size(), expected.size());
    EXPECT_EQ(walked.mid(0, expected.size()), expected);
}

}  // namespace
}  // namespace basic_page_test
