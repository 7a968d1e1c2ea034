// The Button Mapping page's drawing of the mouse: callouts to the rows, the
// highlight from a row, a click on the drawing, and the buttons pressed on
// the simulated mouse lit while the page is shown.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <array>
#include <set>

#include "device/hid_transport.h"
#include "device/simulated/simulated_mouse.h"
#include "device/simulated/simulated_pointer_buttons.h"
#include "pages/button_mapping/button_mapping_page.h"
#include "pages/button_mapping/live_buttons.h"
#include "settings/button_actions.h"
#include "settings/settings_image.h"
#include "support/message_recorder.h"
#include "support/test_session.h"
#include "ui/mouse_drawing.h"

namespace {

constexpr int kNoRow = -1;

// A physical button: its slot, the row showing it outside left-handed mode,
// and its part of the drawing.
struct Button {
    int slot;
    int row;
    MousePart part;
};
constexpr Button kButtons[] = {
    {0, kNoRow, MousePart::Left}, {1, 0, MousePart::Right}, {2, 1, MousePart::Middle},
    {3, 2, MousePart::Forward},   {4, 3, MousePart::Back},  {6, 4, MousePart::WheelUp},
    {7, 5, MousePart::WheelDown},
};

class MouseDrawingPageTest : public testing::Test, protected TestPageHost {
protected:
    void SetUp() override {
        SetHidTransport(&mouse);
        LoadDefaultSettings(pendingSettings);
        LoadDefaultSettings(deviceSettings);
        page.Live().SetPause([] {});
        page.resize(700, 460);
        page.LoadFromSettings();
        page.SetDeviceAvailable(true);
        page.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));
        drawing = page.Drawing();
        leftHanded = page.findChild<QCheckBox*>("leftHandedCheck");
        for (int row = 0; row < 6; ++row) {
            labels[row] = page.findChild<QLabel*>(QString("rowLabel%1").arg(row + 1));
            buttons[row] = page.findChild<QPushButton*>(QString("actionButton%1").arg(row + 1));
        }
        ASSERT_TRUE(drawing && leftHanded && page.Live().Reading());
    }
    void TearDown() override {
        page.hide();
        SetHidTransport(nullptr);
    }

    // What the reader got reaches the page, as its wake would bring it.
    void Settle() {
        ASSERT_TRUE(mouse.WaitUntilPointerReportsTaken());
        page.Live().TakeReports();
    }
    void Press(int slot) {
        hand.Press(slot);
        Settle();
    }
    void Release(int slot) {
        hand.Release(slot);
        Settle();
    }

    std::set<MousePart> LitParts() const {
        std::set<MousePart> lit;
        for (const Button& button : kButtons) {
            if (drawing->Lit(button.part))
                lit.insert(button.part);
        }
        return lit;
    }
    // Rows lit, as seen and as a screen reader is told.
    std::set<int> LitRows() const {
        std::set<int> lit;
        for (int row = 0; row < 6; ++row) {
            const bool pressed =
                QAccessible::queryAccessibleInterface(buttons[row])->state().pressed;
            EXPECT_EQ(labels[row]->autoFillBackground(), pressed) << row;
            if (pressed)
                lit.insert(row);
        }
        return lit;
    }
    // As APPLY leaves them: the mouse holds what the page shows.
    void Apply() {
        deviceSettings = pendingSettings;
        SettingsImage image{};
        EncodeSettingsImage(pendingSettings, image);
        mouse.ReplaceMemory(image);
    }
    void SetHeld(int slot, const ActionValues& values) {
        AssignAction(pendingSettings.buttons[slot], values);
        page.LoadFromSettings();
        Apply();
    }

    SimulatedMouse mouse;
    SimulatedPointerButtons hand{mouse};
    MessageRecorder messages;
    CMouseSet page{*this};
    MouseDrawing* drawing = nullptr;
    QCheckBox* leftHanded = nullptr;
    std::array<QLabel*, 6> labels{};
    std::array<QPushButton*, 6> buttons{};
};

TEST_F(MouseDrawingPageTest, EachButtonPressedLightsItsPartAndRowWhileHeld) {
    for (const Button& button : kButtons) {
        SCOPED_TRACE(button.slot);
        const std::set<int> row =
            button.row == kNoRow ? std::set<int>{} : std::set<int>{button.row};
        EXPECT_EQ(drawing->Callout(button.part),
                  button.row == kNoRow ? nullptr : buttons[button.row]);
        Press(button.slot);
        EXPECT_EQ(LitParts(), std::set<MousePart>{button.part});
        EXPECT_EQ(LitRows(), row);
        if (button.slot >= 6) {
            // A wheel step has no release: it glows a moment.
            page.Live().EndGlow();
        } else {
            // Held: still lit after a movement.
            mouse.SendPointerReport({0, 1, 0, 0, 0, 0, 0, 0});
            Settle();
            EXPECT_EQ(LitParts(), std::set<MousePart>{button.part});
            Release(button.slot);
        }
        EXPECT_TRUE(LitParts().empty());
        EXPECT_TRUE(LitRows().empty());
    }
}

TEST_F(MouseDrawingPageTest, AClickShorterThanAReadingStillLightsAMoment) {
    mouse.SendPointerReport({0x10, 0, 0, 0, 0, 0, 0, 0});
    mouse.SendPointerReport({0x00, 0, 0, 0, 0, 0, 0, 0});
    Settle();
    EXPECT_EQ(LitParts(), std::set<MousePart>{MousePart::Forward});
    EXPECT_EQ(LitRows(), std::set<int>{2});
    page.Live().EndGlow();
    EXPECT_TRUE(LitParts().empty());
}

TEST_F(MouseDrawingPageTest, LeftHandedModeSwapsTheMainButtonsRowAndCalloutAsTheMouseWillDo) {
    QTest::mouseClick(leftHanded, Qt::LeftButton, {}, QPoint(8, leftHanded->height() / 2));
    ASSERT_TRUE(leftHanded->isChecked());
    EXPECT_EQ(drawing->Callout(MousePart::Left), buttons[0]);
    EXPECT_EQ(drawing->Callout(MousePart::Right), nullptr);
    EXPECT_EQ(page.RowOfPart(MousePart::Left), 0);

    // Not yet applied, the mouse still clicks as before: its left button is
    // the one the first row now stands for.
    Press(0);
    EXPECT_EQ(LitParts(), std::set<MousePart>{MousePart::Left});
    EXPECT_EQ(LitRows(), std::set<int>{0});
    Release(0);

    // Applied: the left button sends a right click, the right one a left click.
    Apply();
    Press(0);
    EXPECT_EQ(LitParts(), std::set<MousePart>{MousePart::Left});
    EXPECT_EQ(LitRows(), std::set<int>{0});
    Release(0);
    Press(1);
    EXPECT_EQ(LitParts(), std::set<MousePart>{MousePart::Right});
    EXPECT_TRUE(LitRows().empty());
    Release(1);

    // And back.
    QTest::mouseClick(leftHanded, Qt::LeftButton, {}, QPoint(8, leftHanded->height() / 2));
    EXPECT_EQ(drawing->Callout(MousePart::Right), buttons[0]);
    EXPECT_EQ(drawing->Callout(MousePart::Left), nullptr);
}

TEST_F(MouseDrawingPageTest, ClickingAButtonOnTheDrawingOpensItsRowsMenu) {
    for (const Button& button : kButtons) {
        SCOPED_TRACE(button.slot);
        page.ActionMenu()->hide();
        QTest::mouseClick(drawing, Qt::LeftButton, {}, drawing->AnchorOf(button.part).toPoint());
        if (button.row == kNoRow) {
            EXPECT_FALSE(page.ActionMenu()->isVisible());
            continue;
        }
        ASSERT_TRUE(page.ActionMenu()->isVisible());
        EXPECT_EQ(page.CurrentSlot(), button.slot);
        // The same menu as the row's own button opens: FIXED CPI for buttons only.
        const bool offersFixedCpi = button.slot < 6;
        bool fixedCpi = false;
        for (QAction* action : page.ActionMenu()->actions()[2]->menu()->actions())
            fixedCpi = fixedCpi || action->data().toInt() == kFixedCpiCommand;
        EXPECT_EQ(fixedCpi, offersFixedCpi);
        const QPoint rowCorner =
            buttons[button.row]->mapToGlobal(buttons[button.row]->rect().bottomLeft());
        EXPECT_EQ(page.ActionMenu()->pos(), rowCorner);
    }
    page.ActionMenu()->hide();
    // Without the mouse, as the rows' buttons, it opens nothing.
    page.SetDeviceAvailable(false);
    QTest::mouseClick(drawing, Qt::LeftButton, {}, drawing->AnchorOf(MousePart::Back).toPoint());
    EXPECT_FALSE(page.ActionMenu()->isVisible());
}

TEST_F(MouseDrawingPageTest, ARowWithThePointerOrTheFocusHighlightsItsButton) {
    buttons[3]->setFocus();
    EXPECT_EQ(drawing->Highlighted(), MousePart::Back);
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), labels[4]->mapToGlobal(QPointF(2, 2)));
    QApplication::sendEvent(labels[4], &enter);
    EXPECT_EQ(drawing->Highlighted(), MousePart::WheelUp);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(labels[4], &leave);
    EXPECT_EQ(drawing->Highlighted(), MousePart::Back);
    leftHanded->setFocus();
    EXPECT_EQ(drawing->Highlighted(), std::nullopt);
}

TEST_F(MouseDrawingPageTest, WhatTheMouseSendsDecidesWhatLights) {
    // DISABLE: the mouse sends nothing, so nothing can light.
    SetHeld(3, {static_cast<uint8_t>(ActionKind::Disabled), 0, 0, 0});
    Press(3);
    EXPECT_TRUE(LitParts().empty());
    EXPECT_TRUE(LitRows().empty());
    Release(3);
    // A left click from the forward button: either may have sent it.
    SetHeld(3, {static_cast<uint8_t>(ActionKind::MouseButton), 0x01, 0, 0});
    Press(3);
    EXPECT_EQ(LitParts(), (std::set<MousePart>{MousePart::Left, MousePart::Forward}));
    EXPECT_EQ(LitRows(), std::set<int>{2});
    Release(3);
}

TEST_F(MouseDrawingPageTest, ReadsOnlyWhileShownAndTellsScreenReadersOneGraphic) {
    Press(4);
    page.hide();
    EXPECT_FALSE(page.Live().Reading());
    EXPECT_TRUE(LitParts().empty());
    hand.Release(4);
    page.show();
    EXPECT_TRUE(page.Live().Reading());
    page.SetDeviceAvailable(false);
    EXPECT_FALSE(page.Live().Reading());

    QAccessibleInterface* graphic = QAccessible::queryAccessibleInterface(drawing);
    ASSERT_NE(graphic, nullptr);
    EXPECT_EQ(graphic->role(), QAccessible::Graphic);
    EXPECT_EQ(graphic->text(QAccessible::Name), "Drawing of the mouse");
    EXPECT_EQ(graphic->childCount(), 0);
    EXPECT_EQ(drawing->focusPolicy(), Qt::NoFocus);
}

}  // namespace
