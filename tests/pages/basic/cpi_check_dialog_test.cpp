// The CPI check dialog on the real Basic page, its strokes made by the
// simulated mouse window's stroke controls: a sensor set 3 % high.
#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QListWidget>
#include <QTimer>

#include "app/simulated_stroke_controls.h"
#include "pages/basic/basic_page_fixture.h"
#include "pages/basic/cpi_check_dialog.h"

namespace basic_page_test {
namespace {

class CpiCheckDialogTest : public SensorDlgTest {
protected:
    void SetUp() override {
        SensorDlgTest::SetUp();
        strokes = std::make_unique<SimulatedStrokeControls>(mouse);
        strokes->findChild<QDoubleSpinBox*>("simulatedStrokeOff")->setValue(3);
    }
    void TearDown() override {
        strokes.reset();
        SensorDlgTest::TearDown();
    }

    // The dialog as the page's button opens it, `drive` run while it is open.
    void WithDialog(const std::function<void(CpiCheckDialog&)>& drive) {
        bool opened = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<CpiCheckDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            opened = true;
            drive(*dialog);
            dialog->close();
        });
        QTest::mouseClick(Control<QPushButton>("cpiCheckButton"), Qt::LeftButton);
        EXPECT_TRUE(opened);
    }

    // The simulated mouse moves; once every report was read, the stroke is done.
    void SimulatedStroke() {
        QTest::mouseClick(strokes->findChild<QPushButton*>("simulatedStrokeButton"),
                          Qt::LeftButton);
        strokes->WaitUntilStill();
        ASSERT_TRUE(mouse.WaitUntilPointerReportsTaken());
    }

    static QPushButton* StrokeButton(CpiCheckDialog& dialog) {
        return dialog.findChild<QPushButton*>("cpiCheckStrokeButton");
    }
    static QString Text(CpiCheckDialog& dialog, const char* name) {
        return dialog.findChild<QLabel*>(name)->text();
    }
    static QStringList Results(CpiCheckDialog& dialog) {
        QStringList items;
        const auto* list = dialog.findChild<QListWidget*>("cpiCheckResultsList");
        for (int row = 0; row < list->count(); ++row)
            items << list->item(row)->text();
        return items;
    }

    std::unique_ptr<SimulatedStrokeControls> strokes;
};

// Space starts a stroke and Space ends it; a Space let go of at once is a press, not a hold.
TEST_F(CpiCheckDialogTest, ASensorThreePerCentHighReadsThreePerCentHigh) {
    WithDialog([this](CpiCheckDialog& dialog) {
        EXPECT_TRUE(dialog.Reading());
        QPushButton* button = StrokeButton(dialog);
        // The focus, and its frame, on the stroke button from the start.
        EXPECT_EQ(dialog.focusWidget(), button);
        EXPECT_TRUE(dialog.testAttribute(Qt::WA_KeyboardFocusChange));
        EXPECT_EQ(Text(dialog, "cpiCheckSetLabel"), "The mouse is set to 800 CPI (level 2 of 4).");
        for (int stroke = 0; stroke < 3; ++stroke) {
            QTest::keyClick(button, Qt::Key_Space);
            ASSERT_TRUE(dialog.Measuring());
            EXPECT_EQ(button->text(), "&Stop stroke");
            SimulatedStroke();
            QTest::keyClick(button, Qt::Key_Space);
            ASSERT_FALSE(dialog.Measuring());
        }
        EXPECT_EQ(Results(dialog),
                  (QStringList{"Stroke 1: 824 CPI, horizontal (X 3,244, Y 0 counts)",
                               "Stroke 2: 824 CPI, horizontal (X 3,244, Y 0 counts)",
                               "Stroke 3: 824 CPI, horizontal (X 3,244, Y 0 counts)"}));
        EXPECT_EQ(Text(dialog, "cpiCheckSummaryLabel"),
                  "Mean of 3 strokes: 824 CPI, spread 0 CPI (0.0 %)\n"
                  "Set: 800 CPI (level 2 of 4); measured +3.0 %");
        EXPECT_TRUE(Text(dialog, "cpiCheckMeaningLabel")
                        .endsWith("ending it 1 mm off the 10 cm mark moves it by 1.0 %."));
    });
}

// Held with the mouse: the pointer leaves the button as the mouse moves, and
// the release ends the stroke wherever it is.
TEST_F(CpiCheckDialogTest, AHeldButtonMeasuresUntilItIsLetGo) {
    WithDialog([this](CpiCheckDialog& dialog) {
        QPushButton* button = StrokeButton(dialog);
        QTest::mousePress(button, Qt::LeftButton);
        ASSERT_TRUE(dialog.Measuring());
        SimulatedStroke();
        const QPoint far = button->rect().center() + QPoint(-400, 0);
        QTest::mouseMove(button, far);
        EXPECT_TRUE(button->isDown());
        ASSERT_TRUE(dialog.Measuring());
        QTest::mouseRelease(button, Qt::LeftButton, {}, far);
        EXPECT_FALSE(dialog.Measuring());
        EXPECT_EQ(Results(dialog),
                  QStringList{"Stroke 1: 824 CPI, horizontal (X 3,244, Y 0 counts)"});
    });
}

TEST_F(CpiCheckDialogTest, AStrokeWithoutMovementDoesNotCount) {
    WithDialog([](CpiCheckDialog& dialog) {
        QPushButton* button = StrokeButton(dialog);
        QTest::keyClick(button, Qt::Key_Space);
        QTest::keyClick(button, Qt::Key_Space);
        EXPECT_FALSE(dialog.Measuring());
        EXPECT_TRUE(Results(dialog).isEmpty());
        EXPECT_EQ(Text(dialog, "cpiCheckStatusLabel"),
                  "No movement was seen; that stroke does not count. Try it again.");
        EXPECT_EQ(Text(dialog, "cpiCheckSummaryLabel"), "No strokes measured yet.");
    });
}

// Enter and Esc end nothing; the distance keeps its length in either unit;
// the pointer is read only while the dialog is open.
TEST_F(CpiCheckDialogTest, KeysUnitsAndTheReaderFollowTheDialog) {
    CpiCheckDialog* seen = nullptr;
    WithDialog([&seen](CpiCheckDialog& dialog) {
        seen = &dialog;
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QTest::keyClick(&dialog, Qt::Key_Return);
        EXPECT_TRUE(dialog.isVisible());
        auto* field = dialog.findChild<QDoubleSpinBox*>("cpiCheckDistanceField");
        auto* units = dialog.findChild<QComboBox*>("cpiCheckUnitList");
        EXPECT_EQ(field->text(), "10.0 cm");
        units->setFocus();
        QTest::keyClick(units, Qt::Key_Down);  // activated: the inches
        EXPECT_EQ(field->text(), "3.94 in");
        field->setValue(25);  // beyond 50 cm
        EXPECT_EQ(field->text(), "19.68 in");
        EXPECT_TRUE(dialog.Reading());
        dialog.hide();
        EXPECT_FALSE(dialog.Reading());
        dialog.show();
    });
    EXPECT_NE(seen, nullptr);
    // Without the mouse the button is off.
    page->SetDeviceAvailable(false);
    EXPECT_FALSE(Control<QPushButton>("cpiCheckButton")->isEnabled());
}

}  // namespace
}  // namespace basic_page_test
