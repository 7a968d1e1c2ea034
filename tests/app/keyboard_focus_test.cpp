// Where the keyboard focus goes in the main window, and tab switching by keys.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QKeySequence>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <map>

#include "app/automatic_profiles_dialog.h"
#include "app_fixture.h"
#include "pages/button_mapping/fixed_cpi_dialog.h"
#include "pages/button_mapping/key_capture_dialog.h"
#include "support/keyboard_walk.h"

namespace {

struct SwitchCase {
    int fromPage;
    const char* focused;  // the control that has the focus when the keys are pressed
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    int toPage;
    const char* focusAfter;  // the new page's first control
};

class KeyboardFocus : public AppFixture {
protected:
    // The window on screen and active, as the user meets it.
    void StartShown() {
        StartWindow();
        ShowActive(*window);
    }

    // A mouse that holds settings of its own, so a factory reset would show.
    void HoldOwnSettings() {
        SettingsRecord held = MouseMemory();
        held.cpiLevels[0].x = 1200;
        held.cpiLevels[0].y = 1200;
        held.pollingRateCode = 2;
        SettingsImage image{};
        EncodeSettingsImage(held, image);
        mouse.Firmware().SetMemory(image);
    }

    QTabBar* TabBar() const { return window->Tabs()->tabBar(); }
    QWidget* Control(const char* name) const {
        QWidget* control = window->findChild<QWidget*>(name);
        EXPECT_NE(control, nullptr) << name;
        return control;
    }

    template <size_t N>
    void ExpectSwitches(const SwitchCase (&cases)[N]) {
        for (const SwitchCase& c : cases) {
            SCOPED_TRACE(std::string(c.focused) + " to page " + std::to_string(c.toPage));
            window->Tabs()->setCurrentIndex(c.fromPage);
            QWidget* focused = std::string(c.focused) == "pageTabs" ? TabBar() : Control(c.focused);
            focused->setFocus(Qt::TabFocusReason);
            ASSERT_EQ(QApplication::focusWidget(), focused);
            PressKey(c.key, c.modifiers);
            EXPECT_EQ(window->Tabs()->currentIndex(), c.toPage);
            EXPECT_EQ(FocusName().toStdString(), c.focusAfter);
        }
    }
};

TEST_F(KeyboardFocus, SpaceAndEnterRightAfterStartUpLeaveTheMouseAlone) {
    HoldOwnSettings();
    const SettingsImage held = mouse.Firmware().Memory();
    StartShown();
    EXPECT_EQ(QApplication::focusWidget(), TabBar());
    // The frame around the focus shows from the first moment.
    EXPECT_TRUE(window->testAttribute(Qt::WA_KeyboardFocusChange));

    PressKey(Qt::Key_Space);
    PressKey(Qt::Key_Return);
    EXPECT_EQ(mouse.Firmware().Memory(), held);
    EXPECT_EQ(window->Tabs()->currentIndex(), 0);
}

TEST_F(KeyboardFocus, SpaceRightAfterAKeyboardApplyLeavesTheMouseAlone) {
    StartShown();
    // A change made and applied with the keyboard alone.
    Control("pollingRateList")->setFocus(Qt::TabFocusReason);
    PressKey(Qt::Key_Up);
    ASSERT_TRUE(ApplyEnabled());
    // Back past the tab bar and the Info box's buttons, round to APPLY, the last control.
    for (const char* name : {"qt_tabwidget_tabbar", "agentNoticesCheck", "automaticProfilesButton",
                             "importButton", "exportButton", "factoryResetButton", "applyButton"}) {
        PressKey(Qt::Key_Backtab, Qt::ShiftModifier);
        ASSERT_EQ(FocusName(), name);
    }
    PressKey(Qt::Key_Space);
    ASSERT_FALSE(ApplyEnabled());
    const SettingsImage applied = mouse.Firmware().Memory();
    EXPECT_EQ(MouseMemory().pollingRateCode, pendingSettings.pollingRateCode);
    EXPECT_NE(MouseMemory().pollingRateCode, 1);  // the factory rate

    EXPECT_EQ(QApplication::focusWidget(), TabBar());
    PressKey(Qt::Key_Space);
    EXPECT_EQ(mouse.Firmware().Memory(), applied);
}

TEST_F(KeyboardFocus, FactoryResetAndPlugInLeaveTheFocusOnTheTabBar) {
    StartShown();
    window->FactoryResetButton()->setFocus(Qt::TabFocusReason);
    PressKey(Qt::Key_Space);
    EXPECT_EQ(QApplication::focusWidget(), TabBar());

    Control("cpiLevelXField1")->setFocus(Qt::TabFocusReason);
    mouse.Unplug();
    DeliverQueuedEvents();
    mouse.Plug();
    DeliverQueuedEvents();
    ASSERT_TRUE(deviceConnected);
    EXPECT_EQ(QApplication::focusWidget(), TabBar());
}

TEST_F(KeyboardFocus, PageKeysSwitchTabsFromAnyControlAndFocusTheNewPage) {
    const Qt::KeyboardModifiers ctrl = Qt::ControlModifier;
    const Qt::KeyboardModifiers ctrlShift = Qt::ControlModifier | Qt::ShiftModifier;
    const SwitchCase cases[] = {
        {0, "pollingRateList", Qt::Key_Tab, ctrl, 1, "downshiftTuningList"},
        {0, "liftOffList", Qt::Key_PageDown, ctrl, 1, "downshiftTuningList"},
        {0, "cpiLevelXField0", Qt::Key_Backtab, ctrlShift, 3, "leftHandedCheck"},
        {0, "cpiLevelXSlider2", Qt::Key_Tab, ctrlShift, 3, "leftHandedCheck"},
        {1, "smoothingTuningList", Qt::Key_PageUp, ctrl, 0, "pollingRateList"},
        {2, "multiclickAcknowledgeCheck", Qt::Key_Tab, ctrl, 3, "leftHandedCheck"},
        {3, "actionButton2", Qt::Key_PageDown, ctrl, 0, "pollingRateList"},
        {3, "factoryResetButton", Qt::Key_PageUp, ctrl, 2, "slamclickFilterCheck"},
        {1, "pageTabs", Qt::Key_Tab, ctrl, 2, "slamclickFilterCheck"},
    };
    StartShown();
    ExpectSwitches(cases);
}

// In glass mode the report-rate list, the Basic page's first control, is
// disabled: the focus goes to the first control that can take it, never on
// to APPLY or Factory Reset, by keys and by a click on the tab alike.
TEST_F(KeyboardFocus, APageWhoseFirstControlIsDisabledFocusesTheNextOne) {
    SettingsRecord glass = MouseMemory();
    glass.glassMode = 1;
    SetMouseMemory(glass);
    StartShown();
    ASSERT_FALSE(Control("pollingRateList")->isEnabled());
    const SwitchCase cases[] = {
        {1, "smoothingTuningList", Qt::Key_PageUp, Qt::ControlModifier, 0, "angleSnappingCheck"},
        {3, "actionButton2", Qt::Key_Tab, Qt::ControlModifier, 0, "angleSnappingCheck"},
        {3, "factoryResetButton", Qt::Key_PageDown, Qt::ControlModifier, 0, "angleSnappingCheck"},
    };
    ExpectSwitches(cases);

    window->Tabs()->setCurrentIndex(2);
    Control("slamclickFilterCheck")->setFocus(Qt::TabFocusReason);
    QTest::mouseClick(TabBar(), Qt::LeftButton, {}, TabBar()->tabRect(0).center());
    EXPECT_EQ(window->Tabs()->currentIndex(), 0);
    EXPECT_EQ(FocusName().toStdString(), "angleSnappingCheck");
}

TEST_F(KeyboardFocus, OpenDropDownListKeepsItsKeys) {
    StartShown();
    auto* list = static_cast<QComboBox*>(Control("pollingRateList"));
    list->setFocus(Qt::TabFocusReason);
    list->showPopup();
    ASSERT_TRUE(list->view()->isVisible());
    QTest::keyClick(list->view(), Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(window->Tabs()->currentIndex(), 0);
    list->hidePopup();
}

TEST_F(KeyboardFocus, ArrowsOnTheTabBarKeepTheFocusThere) {
    StartShown();
    ASSERT_EQ(QApplication::focusWidget(), TabBar());
    PressKey(Qt::Key_Right);
    EXPECT_EQ(window->Tabs()->currentIndex(), 1);
    EXPECT_EQ(QApplication::focusWidget(), TabBar());
}

TEST_F(KeyboardFocus, APageLeftByMouseHandsTheFocusToTheNewPageNotToApplyOrReset) {
    StartShown();
    Control("cpiLevelYField3")->setFocus(Qt::TabFocusReason);
    const QRect buttonsTab = TabBar()->tabRect(2);
    QTest::mouseClick(TabBar(), Qt::LeftButton, {}, buttonsTab.center());
    ASSERT_EQ(window->Tabs()->currentIndex(), 2);
    EXPECT_EQ(FocusName(), "slamclickFilterCheck");
}

TEST_F(KeyboardFocus, WithoutTheMouseThePageKeysDoNothing) {
    mouse.Unplug();
    StartShown();
    QTest::keyClick(window.get(), Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(window->Tabs()->currentIndex(), 0);
}

}  // namespace

namespace {

// APPLY, Factory Reset, Export… and Import… have an Alt+letter each, and no
// two controls of the window answer to the same one.
TEST_F(KeyboardFocus, AltLettersNeverClash) {
    StartShown();
    std::map<int, QString> owners;
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        const QKeySequence mnemonic = QKeySequence::mnemonic(button->text());
        if (!mnemonic.isEmpty()) {
            const auto [known, added] = owners.emplace(mnemonic[0].toCombined(), button->text());
            EXPECT_TRUE(added) << button->text().toStdString() << " and "
                               << known->second.toStdString();
        }
    }
    EXPECT_GE(owners.size(), 4u);
}

}  // namespace

// A keyboard user sees where the focus is in every dialog from the moment it
// opens: styles draw the frame only once a window has had keyboard focus moves.
TEST(DialogFocus, EveryDialogShowsTheFocusFrameAsItOpens) {
    QTemporaryDir folder;
    CFixedCPI fixedCpi;
    CKeyboard keyboard;
    AutomaticProfilesDialog rules(folder.filePath("rules.toml"), WindowPicker{});
    for (QDialog* dialog : std::initializer_list<QDialog*>{&fixedCpi, &keyboard, &rules}) {
        SCOPED_TRACE(dialog->metaObject()->className());
        EXPECT_FALSE(dialog->testAttribute(Qt::WA_KeyboardFocusChange));
        dialog->show();
        EXPECT_TRUE(dialog->testAttribute(Qt::WA_KeyboardFocusChange));
        dialog->hide();
    }
}
