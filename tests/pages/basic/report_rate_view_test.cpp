// The Basic page's report-rate meter, fed by the simulated mouse's pointer
// interface with arrival times from a clock the test steps.
#include <QLabel>
#include <QTabWidget>
#include <atomic>

#include "pages/basic/report_rate_plot.h"
#include "pages/basic/report_rate_view.h"
#include "pages/basic/basic_page_fixture.h"

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
        // Restarted with the stepped clock.
        view->SetClock([this] { return now.fetch_add(step.load()); });
        view->SetDeviceAvailable(false);
        view->SetDeviceAvailable(true);
        ASSERT_TRUE(view->Reading());
    }

    // `count` motion reports, read one by one as the kernel's queue fills,
    // then one reading of the meter.
    void Move(int count) {
        for (int sent = 0; sent < count; sent += 64) {
            for (int i = sent; i < std::min(count, sent + 64); ++i)
                mouse.SendPointerReport({0, 1, 0, 0, 0, 0, 0, 0});
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
    EXPECT_DOUBLE_EQ(plot->Readings().back(), 8000);
    EXPECT_EQ(plot->accessibleDescription(), "From 8,000 Hz to 8,000 Hz over the last seconds");

    // Still: the figure stays and the plot shows a gap.
    view->TakeReading();
    EXPECT_EQ(figure->text(), "Measured: 8,000 Hz");
    EXPECT_EQ(plot->Readings().back(), 0);
}

TEST_F(ReportRateViewTest, AHeldBackRateShowsTheHintAfterAFewSecondsOfMovement) {
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
    EXPECT_EQ(hint->accessibleDescription(), hint->text());

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
