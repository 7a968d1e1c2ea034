// While the window waits on the mouse, a click or key the user makes is
// dropped, not delivered late; the status line says what the wait is for;
// and a report the mouse sent before the tool's own confirmed command never
// undoes it.
#include <QApplication>
#include <QComboBox>
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

    void ChooseRate(int hertz) {
        auto* list = window->findChild<QComboBox*>("pollingRateList");
        const int index = list->findText(QString("%1Hz").arg(hertz));
        ASSERT_GE(index, 0);
        list->setCurrentIndex(index);
        emit list->activated(index);
    }

    // Both records, the level buttons, the rate list and APPLY.
    void ExpectTheWindowShowsTheMouse() {
        const SettingsRecord held = MouseMemory();
        EXPECT_FALSE(SettingsDiffer(deviceSettings, held)) << "the tool's picture of the mouse";
        EXPECT_FALSE(SettingsDiffer(pendingSettings, held)) << "what the pages show";
        EXPECT_TRUE(Radio(held.activeCpiLevel)->isChecked())
            << "level " << int(held.activeCpiLevel);
        EXPECT_EQ(window->findChild<QComboBox*>("pollingRateList")->currentText().toStdString(),
                  std::to_string(8000 / held.pollingRateCode) + "Hz");
        EXPECT_FALSE(ApplyEnabled());
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

// Each command that changes the mouse against a press of the mouse's own
// buttons just before it (its report read before the command's confirmation,
// handled after it) and just after it: either way the window ends up showing
// what the mouse holds.
struct ReportCase {
    const char* command;
    std::function<void()> prepare;  // the user's edit before the command
    std::function<void()> run;
    std::function<void(SimulatedMouse&)> press;  // changes what the command also sets
};

TEST_F(DeviceWaitTest, AReportBeforeACommandsConfirmationNeverUndoesItOneAfterItCounts) {
    const ReportCase cases[] = {
        {"APPLY", [this] { ChooseRate(500); },
         [this] { QTest::mouseClick(window->ApplyButton(), Qt::LeftButton); },
         [](SimulatedMouse& m) { m.SwitchReportRate(8); }},
        {"a level click", [] {}, [this] { QTest::mouseClick(Radio(0), Qt::LeftButton); },
         [](SimulatedMouse& m) { m.PressCpiButton(); }},
        {"Factory Reset", [] {},
         [this] { QTest::mouseClick(window->FactoryResetButton(), Qt::LeftButton); },
         [](SimulatedMouse& m) { m.PressCpiButton(); }},
    };
    for (const ReportCase& c : cases) {
        for (const bool pressedBefore : {true, false}) {
            SCOPED_TRACE(testing::Message()
                         << c.command << (pressedBefore ? ", pressed before" : ", pressed after"));
            SetMouseMemory(UsersOwnSettings());
            StartWindow();
            window->show();
            ASSERT_TRUE(DeviceEventListenerRunning());
            c.prepare();
            const SettingsRecord shownBefore = pendingSettings;
            if (pressedBefore) {
                c.press(mouse);
                ASSERT_TRUE(mouse.WaitUntilInputTaken());
                ASSERT_FALSE(SettingsDiffer(pendingSettings, shownBefore))
                    << "the report must still wait for the UI thread";
            }
            c.run();
            ASSERT_TRUE(window->Status() == DeviceStatus::Saved ||
                        window->Status() == DeviceStatus::Connected ||
                        window->Status() == DeviceStatus::ResetDone)
                << "the command failed: " << int(window->Status());
            if (!pressedBefore) {
                const SettingsRecord afterCommand = MouseMemory();
                c.press(mouse);
                ASSERT_TRUE(SettingsDiffer(MouseMemory(), afterCommand));
                ASSERT_TRUE(mouse.WaitUntilInputTaken());
                EXPECT_TRUE(QTest::qWaitFor(
                    [&] { return !SettingsDiffer(pendingSettings, MouseMemory()); }, 10000))
                    << "the press after the command was not taken";
            }
            DeliverQueuedEvents();
            ExpectTheWindowShowsTheMouse();
            window.reset();
            StopDeviceEventListener();
        }
    }
}

}  // namespace
