#include "pages/button_mapping/fixed_cpi_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <functional>

namespace {

TEST(NormalizeFixedCpi, ClampsAndRoundsToTens) {
    const std::pair<const char*, int> cases[] = {
        {"", 10},
        {"5", 10},
        {"9", 10},
        {"10", 10},
        {"14", 10},
        {"15", 20},
        {"25", 30},
        {"999", 1000},
        {"1234", 1230},
        {"29994", 29990},
        {"29995", 30000},
        {"30000", 30000},
        {"30001", 30000},
        {"31000", 30000},
        {"99999999999999", 30000},
        {"12ab", 10},
        {"abc", 10},
        {"0400", 400},
        // A negative number is below the range, not above it.
        {"-5", 10},
        {"-40000", 10},
    };
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(NormalizeFixedCpi(text), value) << '"' << text << '"';
    }
}

class FixedCpiTest : public testing::Test {
protected:
    void SetUp() override {
        fixedCpiX = 0;
        fixedCpiY = 0;
        dialog.show();
        dialog.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
        check = dialog.findChild<QCheckBox*>("fixedXySettingsCheck");
        xSlider = dialog.findChild<QSlider*>("fixedCpiXSlider");
        ySlider = dialog.findChild<QSlider*>("fixedCpiYSlider");
        xField = dialog.findChild<QLineEdit*>("fixedCpiXField");
        yField = dialog.findChild<QLineEdit*>("fixedCpiYField");
        ok = dialog.findChild<QPushButton*>("fixedCpiOkButton");
        ASSERT_TRUE(check && xSlider && ySlider && xField && yField && ok);
    }

    // Types into a field as a user would: focus, replace the text, Tab away.
    void TypeAndTab(QLineEdit* field, const QString& text) {
        field->setFocus();
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Delete);
        QTest::keyClicks(field, text);
        QTest::keyClick(field, Qt::Key_Tab);
    }

    // A click on the box itself; the widget is wider than the box and its text.
    void ClickCheck() {
        QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(8, check->height() / 2));
    }

    // A drag of the bar's handle to `position`.
    static void Drag(QSlider* slider, int position) {
        slider->setSliderDown(true);
        slider->setSliderPosition(position);
        slider->setSliderDown(false);
    }

    void ExpectShown(int x, int y) {
        EXPECT_EQ(xField->text(), QString::number(x));
        EXPECT_EQ(yField->text(), QString::number(y));
        EXPECT_EQ(dialog.X(), x);
        EXPECT_EQ(dialog.Y(), y);
    }

    CFixedCPI dialog;
    QCheckBox* check = nullptr;
    QSlider* xSlider = nullptr;
    QSlider* ySlider = nullptr;
    QLineEdit* xField = nullptr;
    QLineEdit* yField = nullptr;
    QPushButton* ok = nullptr;
};

TEST_F(FixedCpiTest, OpensLinkedAt400) {
    EXPECT_EQ(dialog.windowTitle(), "FIXED CPI");
    EXPECT_FALSE(check->isChecked());
    EXPECT_EQ(check->text(), "X/Y Settings");
    for (QSlider* slider : {xSlider, ySlider}) {
        EXPECT_EQ(slider->minimum(), 1);
        EXPECT_EQ(slider->maximum(), 1400);
        EXPECT_EQ(slider->value(), 40);
    }
    ExpectShown(400, 400);
}

TEST_F(FixedCpiTest, OkRightAwayGives400And400) {
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(fixedCpiX, 400);
    EXPECT_EQ(fixedCpiY, 400);
}

TEST_F(FixedCpiTest, TypedValueIsRoundedIntoBothFieldsAndBars) {
    TypeAndTab(xField, "1234");
    ExpectShown(1230, 1230);
    EXPECT_EQ(xSlider->value(), 123);
    EXPECT_EQ(ySlider->value(), 123);
}

TEST_F(FixedCpiTest, TypedValuesAreNormalised) {
    const std::pair<const char*, int> cases[] = {{"15", 20}, {"14", 10}, {"5", 10}, {"", 10}};
    for (const auto& [text, value] : cases) {
        TypeAndTab(xField, text);
        SCOPED_TRACE(text);
        ExpectShown(value, value);
        EXPECT_EQ(xSlider->value(), value / 10);
    }
}

TEST_F(FixedCpiTest, ValueAboveTheBarsLeavesThemAtTheEnd) {
    TypeAndTab(xField, "31000");
    ExpectShown(30000, 30000);
    EXPECT_EQ(xSlider->value(), 1400);
    EXPECT_EQ(ySlider->value(), 1400);
}

TEST_F(FixedCpiTest, SeparateModeChangesOneAxisOnly) {
    ClickCheck();
    ASSERT_TRUE(check->isChecked());
    TypeAndTab(yField, "2000");
    ExpectShown(400, 2000);
    EXPECT_EQ(xSlider->value(), 40);
    EXPECT_EQ(ySlider->value(), 200);

    Drag(xSlider, 90);
    ExpectShown(900, 2000);
    EXPECT_EQ(ySlider->value(), 200);
    QTest::keyClick(xSlider, Qt::Key_Right);
    ExpectShown(910, 2000);
}

TEST_F(FixedCpiTest, LinkedDragMovesTheOtherBar) {
    Drag(ySlider, 80);
    ExpectShown(800, 800);
    EXPECT_EQ(xSlider->value(), 80);
}

TEST_F(FixedCpiTest, ClearingTheBoxGivesYTheValueOfX) {
    ClickCheck();
    TypeAndTab(xField, "800");
    TypeAndTab(yField, "1600");
    ExpectShown(800, 1600);
    ClickCheck();
    ASSERT_FALSE(check->isChecked());
    ExpectShown(800, 800);
    EXPECT_EQ(xSlider->value(), 80);
    EXPECT_EQ(ySlider->value(), 80);
}

// However OK is given, it takes what the fields show, and a linked Y follows
// the X typed just before, without the field being left first.
TEST_F(FixedCpiTest, OkByClickEnterOrAltOTakesTheFieldsAsShown) {
    const std::pair<const char*, std::function<void(CFixedCPI&)>> ways[] = {
        {"click",
         [](CFixedCPI& d) {
             QTest::mouseClick(d.findChild<QPushButton*>("fixedCpiOkButton"), Qt::LeftButton);
         }},
        {"Enter", [](CFixedCPI&) { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); }},
        // A mnemonic presses its button a moment later, as a click is shown.
        {"Alt+O",
         [](CFixedCPI& d) {
             QTest::keyClick(QApplication::focusWidget(), Qt::Key_O, Qt::AltModifier);
             QTest::qWaitFor([&d] { return !d.isVisible(); }, 2000);
         }},
    };
    for (const auto& [way, pressOk] : ways) {
        SCOPED_TRACE(way);
        CFixedCPI linked;
        linked.show();
        linked.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&linked));
        auto* x = linked.findChild<QLineEdit*>("fixedCpiXField");
        x->setFocus();
        x->selectAll();
        QTest::keyClicks(x, "2004");
        pressOk(linked);
        EXPECT_EQ(linked.result(), QDialog::Accepted);
        EXPECT_EQ(fixedCpiX, 2000);
        EXPECT_EQ(fixedCpiY, 2000);
    }
}

TEST_F(FixedCpiTest, EscCancelAndTheCloseBoxChangeNothing) {
    auto* cancel = dialog.findChild<QPushButton*>("fixedCpiCancelButton");
    ASSERT_NE(cancel, nullptr);
    const std::pair<const char*, std::function<void()>> ways[] = {
        {"Esc in a field", [this] { QTest::keyClick(xField, Qt::Key_Escape); }},
        {"Esc", [this] { QTest::keyClick(&dialog, Qt::Key_Escape); }},
        {"Cancel", [cancel] { QTest::mouseClick(cancel, Qt::LeftButton); }},
        {"Alt+C",
         [this] {
             QTest::keyClick(QApplication::focusWidget(), Qt::Key_C, Qt::AltModifier);
             QTest::qWaitFor([this] { return !dialog.isVisible(); }, 2000);
         }},
        {"close box", [this] { dialog.close(); }},
    };
    for (const auto& [way, leave] : ways) {
        SCOPED_TRACE(way);
        fixedCpiX = 800;
        fixedCpiY = 1600;
        dialog.show();
        dialog.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
        xField->setFocus();
        xField->selectAll();
        QTest::keyClicks(xField, "3000");
        leave();
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
        EXPECT_EQ(fixedCpiX, 800);
        EXPECT_EQ(fixedCpiY, 1600);
    }
}

TEST(FixedCpiOpening, OpensAtTheValuesItIsGiven) {
    const struct {
        int x, y;
        bool apart;
    } cases[] = {{1200, 1200, false}, {800, 30000, true}};
    for (const auto& c : cases) {
        CFixedCPI dialog(c.x, c.y);
        EXPECT_EQ(dialog.findChild<QCheckBox*>("fixedXySettingsCheck")->isChecked(), c.apart);
        EXPECT_EQ(dialog.findChild<QLineEdit*>("fixedCpiXField")->text(), QString::number(c.x));
        EXPECT_EQ(dialog.findChild<QLineEdit*>("fixedCpiYField")->text(), QString::number(c.y));
        EXPECT_EQ(dialog.findChild<QSlider*>("fixedCpiXSlider")->value(), std::min(c.x / 10, 1400));
        EXPECT_EQ(dialog.findChild<QSlider*>("fixedCpiYSlider")->value(), std::min(c.y / 10, 1400));
        EXPECT_EQ(dialog.X(), c.x);
        EXPECT_EQ(dialog.Y(), c.y);
    }
}

TEST_F(FixedCpiTest, BackgroundClickCommitsTheFocusedField) {
    yField->setFocus();
    yField->selectAll();
    QTest::keyClicks(yField, "2345");
    QTest::mouseClick(&dialog, Qt::LeftButton, {}, QPoint(2, dialog.height() - 2));
    ExpectShown(2350, 2350);
    EXPECT_TRUE(yField->hasFocus());
}

TEST_F(FixedCpiTest, OkCommitsAFieldStillBeingEdited) {
    ClickCheck();
    xField->setFocus();
    xField->selectAll();
    QTest::keyClicks(xField, "1237");
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_EQ(fixedCpiX, 1240);
    EXPECT_EQ(fixedCpiY, 400);
}

TEST_F(FixedCpiTest, FieldsTakeDigitsOnly) {
    xField->setFocus();
    xField->selectAll();
    QTest::keyClicks(xField, "-5a7");
    EXPECT_EQ(xField->text(), "57");
}

}  // namespace
