// The Basic page's report-rate meter, fed by the simulated mouse's pointer
// interface; its clock is the time the last report sent was due.
#include <QAccessible>
#include <QLabel>
#include <QTabWidget>
#include <atomic>

#include "pages/basic/basic_page_fixture.h"
#include "pages/basic/report_rate_plot.h"
#include "pages/basic/report_rate_view.h"

namespace basic_page_test {
namespace {

class ReportRateViewTest : public SensorDlgTest {
protected:
    void SetUp() override {
        SensorDlgTest::SetUp();
        view = page->findChild<ReportRateView*>("reportRateView");
        ASSERT_NE(view, nullptr);
        figure = view->findChild<QLabel*>("measuredRateLabel");
        hint = view->findChild<QLabel*>("reportRateHint");
        plot = view->findChild<ReportRatePlot*>("reportRatePlot");
        ASSERT_TRUE(figure && hint && plot);
        // Restarted with the test's clock, and without pausing between rounds.
        view->SetClock([this] { return now.load(); });
        view->SetPause([] {});
        view->SetDeviceAvailable(false);
        view->SetDeviceAvailable(true);
        ASSERT_TRUE(view->Reading());
    }

    // `count` motion reports `step` nanoseconds apart, read as the kernel's
    // queue fills, then one reading of the meter.
    void Move(int count) {
        for (int sent = 0; sent < count; sent += 64) {
            for (int i = sent; i < std::min(count, sent + 64); ++i) {
                now += step.load();
                mouse.SendPointerReport({0, 1, 0, 0, 0, 0, 0, 0});
            }
            ASSERT_TRUE(mouse.WaitUntilPointerReportsTaken());
        }
        view->TakeReading();
    }

    ReportRateView* view = nullptr;
    QLabel* figure = nullptr;
    QLabel* hint = nullptr;
    ReportRatePlot* plot = nullptr;
    std::atomic<int64_t> now{1'000'000'000};
    std::atomic<int64_t> step{125'000};  // 8000 Hz
};

TEST_F(ReportRateViewTest, ShowsTheMeasuredRateOnceTheMouseMoves) {
    EXPECT_EQ(figure->text(), "Move the mouse to measure");
    Move(2000);
    EXPECT_EQ(figure->text(), "Measured: 8,000 Hz");
    EXPECT_EQ(figure->accessibleName(), "Measured report rate");
    EXPECT_EQ(figure->accessibleDescription(), "Measured: 8,000 Hz, set to 8,000 Hz");
    EXPECT_FALSE(hint->isVisible());
    ASSERT_FALSE(plot->Readings().empty());
    EXPECT_NEAR(plot->Readings().back(), 8000, 8);
    EXPECT_EQ(plot->accessibleDescription(), "From 8,000 Hz to 8,000 Hz over the last seconds");

    // Still: the figure stays and the plot shows a gap.
    view->TakeReading();
    EXPECT_EQ(figure->text(), "Measured: 8,000 Hz");
    EXPECT_EQ(plot->Readings().back(), 0);
}

TEST_F(ReportRateViewTest, ReadsTheSlowestRatesAndGivesScreenReadersTheReadingAsAValue) {
    QAccessibleInterface* reading = QAccessible::queryAccessibleInterface(figure);
    ASSERT_NE(reading, nullptr);
    ASSERT_NE(reading->valueInterface(), nullptr);
    EXPECT_EQ(reading->valueInterface()->currentValue().toDouble(), 0);
    EXPECT_EQ(reading->text(QAccessible::Value), "Move the mouse to measure");

    // 125 Hz held back to one report in eight: each report comes alone.
    step = 64'000'000;
    for (int report = 0; report < 47; ++report)
        Move(1);
    EXPECT_NEAR(view->MeasuredHz(), 15.625, 0.01);
    EXPECT_EQ(figure->text(), "Measured: 16 Hz");
    EXPECT_EQ(reading->valueInterface()->currentValue().toDouble(), 16);
    EXPECT_EQ(reading->text(QAccessible::Value), "Measured: 16 Hz");
}

TEST_F(ReportRateViewTest, AHeldBackRateShowsTheHintAfterAFewSecondsOfMovement) {
    QApplication::processEvents();
    const QRect room = view->geometry();
    step = 1'000'000;  // 1000 Hz for a mouse set to 8000
    for (int second = 0; second < 2; ++second) {
        for (int reading = 0; reading < 4; ++reading)
            Move(250);
    }
    EXPECT_EQ(figure->text(), "Measured: 1,000 Hz");
    EXPECT_FALSE(hint->isVisible()) << "only two seconds";
    // A little over three seconds.
    for (int reading = 0; reading < 5; ++reading)
        Move(250);
    ASSERT_TRUE(hint->isVisible());
    EXPECT_EQ(hint->text(),
              "The mouse reaches the computer at about 1,000 Hz, well below the 8,000 Hz it is "
              "set to. Try another USB port, directly on the computer, not through a hub.");
    // Room for it was kept: nothing below moves.
    QApplication::processEvents();
    EXPECT_EQ(view->geometry(), room);
    // Told as the status line is (tests/e2e/meter_reading.sh hears it): a
    // status bar whose text is the hint.
    QAccessibleInterface* statusBar = QAccessible::queryAccessibleInterface(hint);
    ASSERT_NE(statusBar, nullptr);
    EXPECT_EQ(statusBar->role(), QAccessible::StatusBar);
    QAccessibleTextInterface* text = statusBar->textInterface();
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->text(0, text->characterCount()), hint->text());

    // Its figure follows the readings.
    step = 1'100'000;
    for (int reading = 0; reading < 5; ++reading)
        Move(250);
    EXPECT_TRUE(hint->text().contains("about 909 Hz")) << hint->text().toStdString();

    // A rate chosen but not applied yet: the hint says when it takes effect.
    pendingSettings.pollingRateCode = 8;
    Move(250);
    EXPECT_TRUE(hint->text().endsWith(" A new polling rate takes effect after APPLY."))
        << hint->text().toStdString();

    // The full rate again: the hint goes.
    step = 125'000;
    Move(8000);
    EXPECT_FALSE(hint->isVisible());
}

TEST_F(ReportRateViewTest, ReadsOnlyWhileShownAndTicksOnlyWhileTheMouseMoves) {
    // Still: after a few empty readings the timer stops until the next report.
    Move(100);
    // The first report of the movement started the timer.
    ASSERT_TRUE(QTest::qWaitFor([&] { return view->Ticking(); }));
    for (int i = 0; i < 4; ++i)
        view->TakeReading();
    EXPECT_FALSE(view->Ticking());
    mouse.SendPointerReport({0, 1, 0, 0, 0, 0, 0, 0});
    ASSERT_TRUE(mouse.WaitUntilPointerReportsTaken());
    EXPECT_TRUE(QTest::qWaitFor([&] { return view->Ticking(); }));

    // Another page: the reader stops and the pointer interface is closed.
    auto* tabs = window->findChild<QTabWidget*>();
    ASSERT_NE(tabs, nullptr);
    tabs->setCurrentIndex(1);
    EXPECT_FALSE(view->Reading());
    EXPECT_FALSE(view->Ticking());
    tabs->setCurrentIndex(0);
    EXPECT_TRUE(view->Reading());

    // No mouse: no reader.
    view->SetDeviceAvailable(false);
    EXPECT_FALSE(view->Reading());
}

}  // namespace
}  // namespace basic_page_test
