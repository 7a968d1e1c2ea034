// The Buttons page read with the Tab key: row by row, each SPDT list right
// after its own row's field.
#include <gtest/gtest.h>

#include <QCheckBox>

#include "pages/click_filters/click_filters_page.h"
#include "settings/settings_image.h"
#include "support/keyboard_walk.h"
#include "support/test_session.h"

namespace {

TEST(DlgDebTabOrder, TabGoesRowByRowWithEachSpdtListAfterItsField) {
    SettingsRecord record{};
    LoadDefaultSettings(record);
    record.multiclickAcknowledged = 0;  // the acknowledgement box is shown
    TestPageHost host;
    host.pendingSettings = record;
    host.deviceSettings = record;
    CDlgDeb page(host);
    page.LoadFromSettings();
    page.SetDeviceAvailable(true);
    ShowActive(page);
    // Ticked, the filter controls are enabled and the box stays shown.
    auto* acknowledge = page.findChild<QCheckBox*>("multiclickAcknowledgeCheck");
    acknowledge->click();
    ASSERT_TRUE(acknowledge->isChecked());

    const QStringList expected{
        "slamclickFilterCheck",  // alone at the top
        "filterSlider0",
        "filterField0",
        "switchModeList0",  // Left
        "filterSlider1",
        "filterField1",
        "switchModeList1",  // Right
        "filterSlider2",
        "filterField2",  // Middle
        "filterSlider3",
        "filterField3",  // Forward
        "filterSlider4",
        "filterField4",                // Back
        "multiclickAcknowledgeCheck",  // across the page
    };
    EXPECT_EQ(TabWalk(page.findChild<QWidget*>("slamclickFilterCheck")), expected);
}

}  // namespace
