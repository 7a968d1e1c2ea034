// The CPI area of the Basic page: fields, track bars, wheel, X/Y mode, level
// count, load, store and availability.
#include "pages/basic/basic_page_fixture.h"

#include "device/event_listener.h"

#include <QLabel>
#include <QMessageBox>
#include <QTimer>

#include "settings/cpi_scale.h"
#include "support/test_session.h"

namespace basic_page_test {
namespace {

class SensorCpiTest : public SensorDlgTest {};

TEST(SensorCpiInitialTest, ShowsItsOwnValuesBeforeAnyLoad) {
    TestPageHost host;
    CSensorDlg page(host);
    const uint32_t cpi[] = {400, 800, 1600, 3200};
    const QColor colours[] = {QColor(0, 0, 255), QColor(0, 255, 0), QColor(255, 255, 0),
                              QColor(255, 0, 0)};
    for (int level = 0; level < kCpiLevelCount; ++level) {
        const QString n = QString::number(level);
        for (const char* axis : {"X", "Y"}) {
            auto* field = page.findChild<QLineEdit*>(QString("cpiLevel%1Field").arg(axis) + n);
            auto* slider = page.findChild<QSlider*>(QString("cpiLevel%1Slider").arg(axis) + n);
            ASSERT_NE(field, nullptr);
            ASSERT_NE(slider, nullptr);
            EXPECT_EQ(field->text(), QString::number(cpi[level]));
            EXPECT_EQ(slider->value(), static_cast<int>(cpi[level] / 10));
            EXPECT_EQ(slider->minimum(), 1);
            EXPECT_EQ(slider->maximum(), 1400);
        }
        auto* radio = page.findChild<QRadioButton*>("cpiLevelRadio" + n);
        ASSERT_NE(radio, nullptr);
        EXPECT_FALSE(radio->isChecked());
        auto* label = page.findChild<QLabel*>("cpiLevelLabel" + n);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text(), QString("CPI %1").arg(level + 1));
        EXPECT_EQ(label->focusPolicy(), Qt::NoFocus);
        auto* swatch = page.findChild<CQyxStatic*>("cpiSwatch" + n);
        ASSERT_NE(swatch, nullptr);
        EXPECT_EQ(swatch->backgroundColour, colours[level]);
    }
    auto* levels = page.findChild<QComboBox*>("cpiLevelsList");
    ASSERT_NE(levels, nullptr);
    EXPECT_EQ(Items(levels), QStringList({"1", "2", "3", "4"}));
    EXPECT_EQ(levels->currentText(), "4");
    EXPECT_FALSE(page.findChild<QCheckBox*>("xySettingsCheck")->isChecked());
}

TEST_F(SensorCpiTest, FieldsAcceptOnlyDigitsFromTheKeyboard) {
    ReplaceText(XField(0), "1a2-3 ");
    EXPECT_EQ(XField(0)->text(), "123");
}

// Typing stores the normalised value at once but leaves the text as typed;
// leaving the field puts the text, the track bar and (linked) the twin on it.
TEST_F(SensorCpiTest, TypedValueIsStoredNormalisedAndShownSoOnLeavingTheField) {
    for (const bool separate : {false, true}) {
        SCOPED_TRACE(separate ? "separate" : "linked");
        Load(DefaultRecord());
        if (separate) {
            TickXySettings();
        }
        ReplaceText(XField(1), "15");
        EXPECT_EQ(XField(1)->text(), "15");
        EXPECT_EQ(pendingSettings.cpiLevels[1].x, 20);
        EXPECT_EQ(XSlider(1)->value(), 80);
        EXPECT_EQ(YField(1)->text(), "800");
        EXPECT_EQ(pendingSettings.cpiLevels[1].y, 800);
        EXPECT_TRUE(ApplyEnabled());

        YField(3)->setFocus();
        EXPECT_EQ(XField(1)->text(), "20");
        EXPECT_EQ(XSlider(1)->value(), 2);
        EXPECT_EQ(YField(1)->text(), separate ? "800" : "20");
        EXPECT_EQ(YSlider(1)->value(), separate ? 80 : 2);
        EXPECT_EQ(pendingSettings.cpiLevels[1].y, separate ? 800 : 20);
        EXPECT_TRUE(messages.messages.isEmpty());
    }
}

TEST_F(SensorCpiTest, EnterCommitsTheFieldAndRewritesAllFields) {
    ReplaceText(XField(2), "12345");
    QTest::keyClick(XField(2), Qt::Key_Return);
    EXPECT_EQ(XField(2)->text(), "12350");
    EXPECT_EQ(XSlider(2)->value(), 1047);
    EXPECT_EQ(YField(2)->text(), "12350");
    EXPECT_EQ(pendingSettings.cpiLevels[2].x, 12350);
    EXPECT_EQ(pendingSettings.cpiLevels[2].y, 12350);
    EXPECT_TRUE(XField(2)->hasFocus());
    EXPECT_TRUE(window->isVisible());
}

TEST_F(SensorCpiTest, PressOnThePageSurfaceCommitsTheFocusedField) {
    ReplaceText(YField(0), "999999");
    EXPECT_EQ(pendingSettings.cpiLevels[0].y, 30000);
    auto* axisLabel = Control<QLabel>("cpiLevelXLabel3");
    QTest::mouseClick(axisLabel, Qt::LeftButton);
    EXPECT_EQ(YField(0)->text(), "30000");
    EXPECT_EQ(YSlider(0)->value(), 1400);
    EXPECT_EQ(XField(0)->text(), "30000");
    EXPECT_EQ(pendingSettings.cpiLevels[0].x, 30000);
}

// The main window moves itself on a press that reaches it; presses on the
// page, a swatch's included, must stay on the page.
TEST_F(SensorCpiTest, PressesOnThePageDoNotReachTheWindow) {
    for (QWidget* target : {static_cast<QWidget*>(Control<QLabel>("cpiLevelYLabel1")),
                            static_cast<QWidget*>(Swatch(2))}) {
        SCOPED_TRACE(target->objectName().toStdString());
        const QPointF local = QRectF(target->rect()).center();
        QMouseEvent press(QEvent::MouseButtonPress, local, target->mapToGlobal(local),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &press);
        EXPECT_TRUE(press.isAccepted());
    }
}

TEST_F(SensorCpiTest, EmptyingAFieldTellsTheUserAndLeavesItAtTen) {
    for (const bool separate : {false, true}) {
        SCOPED_TRACE(separate ? "separate" : "linked");
        Load(DefaultRecord());
        messages.messages.clear();
        if (separate) {
            TickXySettings();
        }
        XField(2)->setFocus();
        XField(2)->selectAll();
        QTest::keyClick(XField(2), Qt::Key_Backspace);

        EXPECT_EQ(messages.messages, QStringList{"Enter a positive integer."});
        EXPECT_EQ(XField(2)->text(), "10");
        EXPECT_EQ(XSlider(2)->value(), 1);
        EXPECT_EQ(pendingSettings.cpiLevels[2].x, 10);
        EXPECT_EQ(YField(2)->text(), separate ? "1600" : "10");
        EXPECT_EQ(pendingSettings.cpiLevels[2].y, separate ? 1600 : 10);
        // Ready for the next try: focused, the whole text selected.
        EXPECT_TRUE(XField(2)->hasFocus());
        EXPECT_EQ(XField(2)->selectedText(), "10");
    }
}

// With a real message box the focus leaves the field while the box is open
// and comes back afterwards; the outcome is the same.
TEST_F(SensorCpiTest, EmptyingAFieldWithARealMessageBox) {
    SetMessageHook({});
    QString shown;
    QTimer::singleShot(0, [&shown] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        shown = box->text();
        box->accept();
    });
    XField(1)->setFocus();
    XField(1)->selectAll();
    QTest::keyClick(XField(1), Qt::Key_Delete);

    EXPECT_EQ(shown, "Enter a positive integer.");
    EXPECT_EQ(XField(1)->text(), "10");
    EXPECT_EQ(YField(1)->text(), "10");
    EXPECT_EQ(pendingSettings.cpiLevels[1].x, 10);
    EXPECT_EQ(pendingSettings.cpiLevels[1].y, 10);
    EXPECT_EQ(XField(1)->selectedText(), "10");
}

struct TrackMoveCase {
    bool separate;
    int level;
    bool moveY;
    int position;
    uint16_t x;
    uint16_t y;
};

TEST_F(SensorCpiTest, TrackBarMoveSetsTheAxisAndInLinkedModeTheTwin) {
    const TrackMoveCase cases[] = {
        {false, 2, true, 1200, 20000, 20000},
        {true, 2, true, 1200, 1600, 20000},
        {false, 0, false, 1001, 10050, 10050},
        {true, 3, false, 1, 10, 3200},
    };
    for (const TrackMoveCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "level " << c.level << " position " << c.position
                                        << (c.separate ? " separate" : " linked"));
        Load(DefaultRecord());
        if (c.separate) {
            TickXySettings();
        }
        QSlider* moved = c.moveY ? YSlider(c.level) : XSlider(c.level);
        moved->setSliderPosition(c.position);  // as a drag does
        EXPECT_EQ(pendingSettings.cpiLevels[c.level].x, c.x);
        EXPECT_EQ(pendingSettings.cpiLevels[c.level].y, c.y);
        EXPECT_EQ(XField(c.level)->text(), QString::number(c.x));
        EXPECT_EQ(YField(c.level)->text(), QString::number(c.y));
        EXPECT_EQ(XSlider(c.level)->value(), CpiToTrackPosition(c.x));
        EXPECT_EQ(YSlider(c.level)->value(), CpiToTrackPosition(c.y));
        EXPECT_TRUE(ApplyEnabled());
    }
}

TEST_F(SensorCpiTest, TrackBarFollowsTheKeyboard) {
    XSlider(1)->setFocus();
    QTest::keyClick(XSlider(1), Qt::Key_Right);
    EXPECT_EQ(XField(1)->text(), "810");
    EXPECT_EQ(YSlider(1)->value(), 81);
    EXPECT_EQ(pendingSettings.cpiLevels[1].y, 810);
    QTest::keyClick(XSlider(1), Qt::Key_End);
    EXPECT_EQ(XField(1)->text(), "30000");
    EXPECT_EQ(pendingSettings.cpiLevels[1].x, 30000);
}

struct WheelCase {
    const char* start;
    int delta;
    const char* expected;
};

TEST_F(SensorCpiTest, WheelOverAFieldStepsItAndItsTwin) {
    const WheelCase cases[] = {
        {"800", 120, "790"},      {"800", -120, "810"},     {"10", 120, "10"},
        {"30000", -120, "30000"}, {"10000", -120, "10050"}, {"800", 15, "790"},
    };
    for (const WheelCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.start << " delta " << c.delta);
        ReplaceText(XField(1), c.start);
        QTest::keyClick(XField(1), Qt::Key_Return);
        // The pointer need not be over the focused field.
        YField(0)->setFocus();
        TurnWheel(YField(1), c.delta);
        const uint16_t expected = QString(c.expected).toUShort();
        EXPECT_EQ(YField(1)->text(), c.expected);
        EXPECT_EQ(XField(1)->text(), c.expected);
        EXPECT_EQ(YSlider(1)->value(), CpiToTrackPosition(expected));
        EXPECT_EQ(XSlider(1)->value(), CpiToTrackPosition(expected));
        EXPECT_EQ(pendingSettings.cpiLevels[1].x, expected);
        EXPECT_EQ(pendingSettings.cpiLevels[1].y, expected);
    }
}

TEST_F(SensorCpiTest, WheelInSeparateModeStepsOneAxisAndSkipsDisabledFields) {
    TickXySettings();
    TurnWheel(YField(3), 120);
    EXPECT_EQ(YField(3)->text(), "3190");
    EXPECT_EQ(XField(3)->text(), "3200");
    EXPECT_EQ(pendingSettings.cpiLevels[3].y, 3190);
    EXPECT_EQ(pendingSettings.cpiLevels[3].x, 3200);

    page->SetDeviceAvailable(false);
    TurnWheel(YField(3), 120);
    EXPECT_EQ(YField(3)->text(), "3190");
    EXPECT_EQ(pendingSettings.cpiLevels[3].y, 3190);
}

TEST_F(SensorCpiTest, UntickingXySettingsGivesEveryLevelItsXValue) {
    SettingsRecord record = DefaultRecord();
    record.cpiLevels[0] = {1, 800, 1600};
    record.cpiLevels[3] = {0, 3200, 3200};
    Load(record);
    ASSERT_TRUE(XyCheck()->isChecked());
    ASSERT_FALSE(ApplyEnabled());

    QTest::mouseClick(XyCheck(), Qt::LeftButton);
    EXPECT_FALSE(XyCheck()->isChecked());
    EXPECT_EQ(YField(0)->text(), "800");
    EXPECT_EQ(YSlider(0)->value(), 80);
    EXPECT_EQ(pendingSettings.cpiLevels[0].y, 800);
    EXPECT_TRUE(ApplyEnabled());

    // Ticking it again changes no value.
    const SettingsRecord before = pendingSettings;
    QTest::mouseClick(XyCheck(), Qt::LeftButton);
    EXPECT_TRUE(XyCheck()->isChecked());
    EXPECT_TRUE(SameRecord(pendingSettings, before));
    EXPECT_EQ(YField(0)->text(), "800");
}

TEST_F(SensorCpiTest, UntickingXySettingsReachesHiddenLevels) {
    SettingsRecord record = DefaultRecord();
    record.cpiLevelCount = 1;
    record.cpiLevels[0] = {1, 800, 1600};
    record.cpiLevels[3] = {1, 500, 3200};
    Load(record);
    QTest::mouseClick(XyCheck(), Qt::LeftButton);
    EXPECT_EQ(YField(3)->text(), "500");
    EXPECT_EQ(YSlider(3)->value(), 50);
    EXPECT_EQ(pendingSettings.cpiLevels[3].y, 500);
}

TEST_F(SensorCpiTest, ChoosingFewerLevelsHidesRowsButKeepsTheActiveLevel) {
    SettingsRecord record = DefaultRecord();
    record.activeCpiLevel = 3;
    Load(record);
    ASSERT_EQ(CheckedLevels(), std::vector<int>{3});

    Choose(LevelsList(), "2");
    for (int level = 0; level < kCpiLevelCount; ++level) {
        const bool shown = level < 2;
        SCOPED_TRACE(level);
        for (QWidget* w :
             {static_cast<QWidget*>(Radio(level)), LevelLabel(level),
              static_cast<QWidget*>(Swatch(level)), static_cast<QWidget*>(XField(level)),
              static_cast<QWidget*>(YField(level)), static_cast<QWidget*>(XSlider(level)),
              static_cast<QWidget*>(YSlider(level))}) {
            EXPECT_EQ(w->isVisible(), shown) << w->objectName().toStdString();
        }
    }
    EXPECT_EQ(pendingSettings.activeCpiLevel, 3);
    EXPECT_EQ(CheckedLevels(), std::vector<int>{3});
    EXPECT_EQ(pendingSettings.cpiLevelCount, 2);
    EXPECT_TRUE(ApplyEnabled());

    Choose(LevelsList(), "4");
    EXPECT_TRUE(XField(3)->isVisible());
    EXPECT_EQ(pendingSettings.cpiLevelCount, 4);
    EXPECT_FALSE(ApplyEnabled());
}

struct LoadCountCase {
    uint8_t count;
    uint8_t active;
    const char* listText;
    int rowsShown;
    std::vector<int> checked;
};

// Counts and active levels out of range as the mouse may send them.
TEST_F(SensorCpiTest, LoadShowsTheLevelCountAndActiveLevel) {
    const LoadCountCase cases[] = {
        {2, 3, "2", 2, {3}}, {0, 2, "4", 4, {1}}, {5, 0, "4", 4, {1}}, {1, 7, "1", 1, {0}},
        {4, 7, "4", 4, {}},  {3, 0, "3", 3, {0}}, {4, 2, "4", 4, {2}},
    };
    for (const LoadCountCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "count " << int(c.count) << " active " << int(c.active));
        page->SetDeviceAvailable(true);  // no level checked before
        SettingsRecord record = DefaultRecord();
        record.cpiLevelCount = c.count;
        record.activeCpiLevel = c.active;
        Load(record);
        EXPECT_EQ(LevelsList()->currentText(), c.listText);
        for (int level = 0; level < kCpiLevelCount; ++level) {
            EXPECT_EQ(XField(level)->isVisible(), level < c.rowsShown) << level;
        }
        EXPECT_EQ(CheckedLevels(), c.checked);
        // Loading writes nothing into the records.
        EXPECT_EQ(pendingSettings.cpiLevelCount, c.count);
        EXPECT_EQ(pendingSettings.activeCpiLevel, c.active);
    }
}

TEST_F(SensorCpiTest, LoadShowsValuesOnTheGridButLeavesTheRecordAsRead) {
    SettingsRecord record = DefaultRecord();
    record.cpiLevels[1] = {0, 15, 15};
    record.cpiLevels[2] = {1, 12345, 65535};
    record.cpiLevels[3] = {0, 0, 0};
    Load(record);
    EXPECT_EQ(XField(1)->text(), "20");
    EXPECT_EQ(XSlider(1)->value(), 2);
    EXPECT_EQ(XField(2)->text(), "12350");
    EXPECT_EQ(XSlider(2)->value(), 1047);
    EXPECT_EQ(YField(2)->text(), "30000");
    EXPECT_EQ(YSlider(2)->value(), 1400);
    EXPECT_EQ(XField(3)->text(), "10");
    // X/Y mode follows level 0 only.
    EXPECT_FALSE(XyCheck()->isChecked());
    EXPECT_TRUE(SameRecord(pendingSettings, record));
    EXPECT_FALSE(ApplyEnabled());
}

TEST_F(SensorCpiTest, SetDeviceAvailableClearsTheLevelsAndSetsTheControls) {
    for (const bool available : {false, true}) {
        SCOPED_TRACE(available ? "available" : "unavailable");
        SettingsRecord record = DefaultRecord();
        record.activeCpiLevel = 2;
        Load(record);
        ASSERT_EQ(CheckedLevels(), std::vector<int>{2});

        page->SetDeviceAvailable(available);
        EXPECT_TRUE(CheckedLevels().empty());
        for (int level = 0; level < kCpiLevelCount; ++level) {
            EXPECT_EQ(Radio(level)->isEnabled(), available);
            EXPECT_EQ(XField(level)->isEnabled(), available);
            EXPECT_EQ(YField(level)->isEnabled(), available);
            EXPECT_EQ(XSlider(level)->isEnabled(), available);
            EXPECT_EQ(YSlider(level)->isEnabled(), available);
            EXPECT_TRUE(LevelLabel(level)->isEnabled());
            EXPECT_TRUE(Swatch(level)->isEnabled());
        }
        EXPECT_EQ(LevelsList()->isEnabled(), available);
        EXPECT_EQ(XyCheck()->isEnabled(), available);
        EXPECT_EQ(pendingSettings.activeCpiLevel, 2);

        page->SetDeviceAvailable(true);
        page->OnDeviceEvent(kEventLevelChanged, 2);
        EXPECT_EQ(CheckedLevels(), std::vector<int>{2});
    }
}

TEST_F(SensorCpiTest, StoreDerivesSeparateXyAndTakesTheHighestCheckedLevel) {
    TickXySettings();
    ReplaceText(XField(3), "800");
    ReplaceText(YField(3), "1600");
    ReplaceText(XField(2), "2000");
    ReplaceText(YField(2), "2000");
    Choose(LevelsList(), "3");
    page->StoreToSettings();
    EXPECT_EQ(pendingSettings.cpiLevels[3].separateXY, 1);
    EXPECT_EQ(pendingSettings.cpiLevels[3].x, 800);
    EXPECT_EQ(pendingSettings.cpiLevels[3].y, 1600);
    EXPECT_EQ(pendingSettings.cpiLevels[2].separateXY, 0);
    EXPECT_EQ(pendingSettings.cpiLevels[2].x, 2000);
    EXPECT_EQ(pendingSettings.cpiLevelCount, 3);

    // No level checked: the record keeps its level.
    page->SetDeviceAvailable(true);
    pendingSettings.activeCpiLevel = 1;
    page->StoreToSettings();
    EXPECT_EQ(pendingSettings.activeCpiLevel, 1);

    // A count of 1 with an unknown level checks level 0 beside the one checked.
    SettingsRecord record = DefaultRecord();
    record.activeCpiLevel = 2;
    Load(record);
    record.cpiLevelCount = 1;
    record.activeCpiLevel = 9;
    Load(record);
    ASSERT_EQ(CheckedLevels(), std::vector<int>({0, 2}));
    page->StoreToSettings();
    EXPECT_EQ(pendingSettings.activeCpiLevel, 2);
}

TEST_F(SensorCpiTest, StoreCollectsAFieldLeftUncommitted) {
    ReplaceText(XField(1), "1234");
    pendingSettings.cpiLevels[1].x = 800;  // as if another writer reset it
    page->StoreToSettings();
    EXPECT_EQ(pendingSettings.cpiLevels[1].x, 1230);
    EXPECT_EQ(pendingSettings.cpiLevels[1].y, 800);
    EXPECT_TRUE(messages.messages.isEmpty());
}

TEST_F(SensorCpiTest, EscapeAndEnterDoNotCloseTheWindow) {
    XField(0)->setFocus();
    QTest::keyClick(XField(0), Qt::Key_Escape);
    QTest::keyClick(XField(0), Qt::Key_Enter);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(XField(0)->text(), "400");
}

}  // namespace
}  // namespace basic_page_test
