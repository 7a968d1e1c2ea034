// While the window waits on the mouse, a click or key the user makes is
// dropped, not delivered late; the status line says what the wait is for;
// and a report the mouse sent before the tool's own confirmed write never
// undoes it.
#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <functional>
#include <thread>

#include "app_fixture.h"

namespace {

class DeviceWaitTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        SetSleepHook([this, uiThread = std::this_thread::get_id()](unsigned ms) {
            if (std::this_thread::get_id() != uiThread) {
                return;  // the listener's pause
            }
            sleeps.waits.push_back(ms);
            statusDuringWaits << StatusText();
            if (duringWait) {
                auto act = std::move(duringWait);
                duringWait = {};
                act();
            }
        });
    }
    void TearDown() override {
        StopDeviceEventListener();
        SetSleepHook({});
        AppFixture::TearDown();
    }

    // A click as the window system delivers it: queued, to be handled later.
    static void QueueClick(QWidget* widget) {
        const QPointF at = QRectF(widget->rect()).center();
        const QPointF global = widget->mapToGlobal(at);
        QCoreApplication::postEvent(
            widget, new QMouseEvent(QEvent::MouseButtonPress, at, global, Qt::LeftButton,
                                    Qt::LeftButton, Qt::NoModifier));
        QCoreApplication::postEvent(
            widget, new QMouseEvent(QEvent::MouseButtonRelease, at, global, Qt::LeftButton,
                                    Qt::NoButton, Qt::NoModifier));
    }

    QRadioButton* Radio(int level) {
        return window->findChild<QRadioButton*>(QString("cpiLevelRadio%1").arg(level));
    }

    std::function<void()> duringWait;
    QStringList statusDuringWaits;
};

struct ClickCase {
    const char* control;
    std::function<QWidget*(CUpdaterDlg&)> find;
};

TEST_F(DeviceWaitTest, AClickDuringThePlugInWaitDoesNothingAndOneAfterItWorks) {
    const ClickCase cases[] = {
        {"Factory Reset", [](CUpdaterDlg& w) { return w.FactoryResetButton(); }},
        {"a level button", [](CUpdaterDlg& w) { return w.findChild<QWidget*>("cpiLevelRadio2"); }},
    };
    for (const ClickCase& c : cases) {
        SCOPED_TRACE(c.control);
        SetMouseMemory(UsersOwnSettings());
        StartWindow();
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        mouse.Unplug();
        DeliverQueuedEvents();
        ASSERT_FALSE(c.find(*window)->isEnabled());
        const SettingsImage before = mouse.Firmware().Memory();
        mouse.ClearSentReports();
        messages.questions.clear();
        duringWait = [&] { QueueClick(c.find(*window)); };

        mouse.Plug();
        DeliverQueuedEvents();

        ASSERT_TRUE(deviceConnected);
        ASSERT_TRUE(c.find(*window)->isEnabled());
        QCoreApplication::processEvents();
        EXPECT_TRUE(messages.questions.isEmpty()) << "the click asked for a Factory Reset";
        EXPECT_EQ(mouse.Firmware().Memory(), before) << "the click reached the mouse";
        EXPECT_EQ(mouse.SentReports().size(), 2u) << "only the plug-in's two reads";

        // The same click after the wait does what it says.
        QTest::mouseClick(c.find(*window), Qt::LeftButton);
        EXPECT_NE(mouse.Firmware().Memory(), before);
        window.reset();
    }
}

// APPLY was lit by an edit; the user clicks it while a level write waits.
TEST_F(DeviceWaitTest, AClickOnApplyDuringALevelWriteDoesNothing) {
    StartWindow();
    window->show();
    QTest::mouseClick(window->findChild<QWidget*>("angleSnappingCheck"), Qt::LeftButton);
    ASSERT_TRUE(ApplyEnabled());
    duringWait = [&] { QueueClick(window->ApplyButton()); };

    QTest::mouseClick(Radio(2), Qt::LeftButton);
    QCoreApplication::processEvents();

    EXPECT_EQ(MouseMemory().activeCpiLevel, 2);
    EXPECT_EQ(MouseMemory().angleSnapping, 0) << "the late click sent the edit";
    EXPECT_TRUE(ApplyEnabled());
    QTest::mouseClick(window->ApplyButton(), Qt::LeftButton);
    EXPECT_EQ(MouseMemory().angleSnapping, 1);
}

TEST_F(DeviceWaitTest, AKeyDuringAWriteIsDropped) {
    StartWindow();
    window->show();
    Radio(0)->setFocus();
    duringWait = [&] {
        QCoreApplication::postEvent(
            Radio(1), new QKeyEvent(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " "));
        QCoreApplication::postEvent(
            Radio(1), new QKeyEvent(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, " "));
    };
    QTest::mouseClick(Radio(2), Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_EQ(MouseMemory().activeCpiLevel, 2);
    EXPECT_EQ(pendingSettings.activeCpiLevel, 2);
}

TEST_F(DeviceWaitTest, TheStatusLineSaysWhatEachWaitIsFor) {
    StartWindow();
    window->show();
    statusDuringWaits.clear();
    QTest::mouseClick(Radio(1), Qt::LeftButton);
    EXPECT_EQ(statusDuringWaits.value(0).toStdString(), "Writing the settings to the mouse…");
    EXPECT_EQ(window->Status(), DeviceStatus::Connected);

    statusDuringWaits.clear();
    QTest::mouseClick(window->FactoryResetButton(), Qt::LeftButton);
    EXPECT_EQ(statusDuringWaits.value(0).toStdString(), "Restoring the factory settings…");

    statusDuringWaits.clear();
    mouse.Unplug();
    DeliverQueuedEvents();
    mouse.Plug();
    DeliverQueuedEvents();
    EXPECT_EQ(statusDuringWaits.value(0).toStdString(), "Waiting for the mouse…");
    EXPECT_EQ(StatusText().toStdString(), "Kestrine XQ3 8k v2 connected, firmware V1.07.");
}

// The mouse's reports of level 3 were read before the window's write of
// level 1 was confirmed, and reach the window after it.
TEST_F(DeviceWaitTest, AReportOlderThanAConfirmedWriteDoesNotUndoIt) {
    StartWindow();
    window->show();
    ASSERT_TRUE(DeviceEventListenerRunning());
    mouse.SendInputReport({3, 2, 3, 0, 0, 0, 0, 0});
    mouse.SendInputReport({3, 2, 3, 0, 0, 0, 0, 0});
    ASSERT_TRUE(mouse.WaitUntilInputTaken());

    QTest::mouseClick(Radio(1), Qt::LeftButton);
    DeliverQueuedEvents();

    EXPECT_TRUE(Radio(1)->isChecked());
    EXPECT_EQ(pendingSettings.activeCpiLevel, 1);
    EXPECT_EQ(deviceSettings.activeCpiLevel, 1);
    EXPECT_EQ(MouseMemory().activeCpiLevel, 1);
    EXPECT_FALSE(ApplyEnabled());

    // A press after the write is news again.
    mouse.SendInputReport({3, 2, 3, 0, 0, 0, 0, 0});
    ASSERT_TRUE(QTest::qWaitFor([this] { return pendingSettings.activeCpiLevel == 3; }, 10000));
}

}  // namespace
