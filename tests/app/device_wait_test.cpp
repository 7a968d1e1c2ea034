// While the window waits on the mouse, a click or key the user makes is
// dropped, not delivered late; the status line says what the wait is for;
// and a report the mouse sent before the tool's own confirmed command never
// undoes it.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <thread>

#include "app_fixture.h"
#include "device/user_command_lock.h"

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
    const CpiLevel level2 = MouseMemory().cpiLevels[1];
    ASSERT_EQ(level2.x, level2.y);
    EXPECT_EQ(statusDuringWaits.value(0).toStdString(),
              "Setting CPI level 2 (" + std::to_string(level2.x) + " CPI) on the mouse…");
    EXPECT_EQ(window->Status(), DeviceStatus::LevelSet);
    EXPECT_EQ(StatusText().toStdString(),
              "Kestrine XQ3 8k v2 connected, firmware V1.07. CPI level 2 (" +
                  std::to_string(level2.x) + " CPI) set on the mouse.");

    statusDuringWaits.clear();
    QTest::mouseClick(window->findChild<QWidget*>("angleSnappingCheck"), Qt::LeftButton);
    QTest::mouseClick(window->ApplyButton(), Qt::LeftButton);
    EXPECT_EQ(statusDuringWaits.value(0).toStdString(), "Writing the settings to the mouse…");

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
            ASSERT_TRUE(IsSettledStatus(window->Status()))
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

// The mouse's CPI button or rate switch is pressed while a write of the
// window waits for the mouse, in each of its waits, and the listener reads
// the report before the write ends: the window then shows what the mouse
// holds, the user's choice stays on it, and the next write keeps the
// mouse's change instead of undoing it.
TEST_F(DeviceWaitTest, AChangeOnTheMouseDuringAWriteIsShownAndKept) {
    const std::pair<const char*, std::function<void(SimulatedMouse&)>> changes[] = {
        {"CPI button", [](SimulatedMouse& m) { m.PressCpiButton(); }},
        {"rate switch", [](SimulatedMouse& m) { m.SwitchReportRate(4); }},
    };
    const std::pair<const char*, std::function<void()>> writes[] = {
        {"level click", [this] { QTest::mouseClick(Radio(2), Qt::LeftButton); }},
        {"APPLY",
         [this] {
             QTest::mouseClick(window->findChild<QWidget*>("angleSnappingCheck"), Qt::LeftButton);
             QTest::mouseClick(window->ApplyButton(), Qt::LeftButton);
         }},
        {"Factory Reset",
         [this] { QTest::mouseClick(window->FactoryResetButton(), Qt::LeftButton); }},
    };
    for (const auto& [writeName, write] : writes) {
        for (const auto& [changeName, change] : changes) {
            for (int wait = 0;; ++wait) {
                SCOPED_TRACE(std::string(writeName) + ", " + changeName + " in wait " +
                             std::to_string(wait));
                SettingsRecord start = UsersOwnSettings();
                start.activeCpiLevel = 1;
                start.pollingRateCode = 1;
                SetMouseMemory(start);
                StartWindow();
                window->show();
                bool changed = false;
                int waitsSeen = 0;
                std::function<void()> inWait = [&] {
                    if (waitsSeen++ < wait) {
                        duringWait = inWait;
                        return;
                    }
                    const uint64_t readBefore = DeviceEventsRead();
                    change(mouse);
                    ASSERT_TRUE(
                        QTest::qWaitFor([&] { return DeviceEventsRead() > readBefore; }, 10000));
                    changed = true;
                };
                duringWait = inWait;
                write();
                duringWait = {};
                if (!changed) {
                    break;  // past the write's last wait
                }
                QTest::qWait(20);
                DeliverQueuedEvents();

                const SettingsRecord held = MouseMemory();
                EXPECT_FALSE(SettingsDiffer(deviceSettings, held))
                    << "the window's picture of the mouse is not what it holds";
                EXPECT_FALSE(SettingsDiffer(pendingSettings, held)) << "the pages do not show it";
                EXPECT_FALSE(ApplyEnabled());
                EXPECT_TRUE(Radio(held.activeCpiLevel)->isChecked());
                if (std::string(writeName) == "APPLY") {
                    EXPECT_NE(held.angleSnapping, start.angleSnapping)
                        << "the user's choice is not on the mouse";
                }

                // The next write keeps what the window showed.
                const int next = held.activeCpiLevel == 0 ? 3 : 0;
                QTest::mouseClick(Radio(next), Qt::LeftButton);
                EXPECT_EQ(MouseMemory().activeCpiLevel, next);
                EXPECT_EQ(MouseMemory().pollingRateCode, held.pollingRateCode)
                    << "the next write undid the mouse's own change";
            }
        }
    }
}

// Another process of the user holds the mouse (a second open of the lock
// file stands for it: its lock conflicts as another process's would): the
// line says so, names the holder as the file records it and what the window
// waits for, and the write goes ahead once the holder is done.
TEST_F(DeviceWaitTest, AWaitForAnotherProgramOfTheUserSaysSo) {
    QTemporaryDir folder;
    UseUserCommandLock(folder.path().toStdString());
    StartWindow();
    window->show();
    const int other = ::open(UserCommandLockPath(folder.path().toStdString()).c_str(), O_RDWR);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
    char entry[120] = "kestrine-config set, pid 4242";
    ASSERT_EQ(::pwrite(other, entry, sizeof entry, 8), ssize_t(sizeof entry));

    // The window's own observer says it; the line is read right after, and
    // the other program is then done.
    auto* label = window->findChild<QLabel*>("statusText");
    QStringList seen;
    UserCommandWaitObserver windowObserver = SetUserCommandWaitObserver({});
    ASSERT_TRUE(windowObserver);
    SetUserCommandWaitObserver([&](const std::string& holder) {
        windowObserver(holder);
        seen << label->text();
        ::flock(other, LOCK_UN);
    });
    QTest::mouseClick(Radio(2), Qt::LeftButton);
    SetUserCommandWaitObserver(windowObserver);
    UseUserCommandLock({});
    ::close(other);

    const QString waited = seen.filter("Waiting while").value(0);
    EXPECT_TRUE(
        waited.startsWith("Waiting while another program of yours uses the mouse… "
                          "(kestrine-config set, pid 4242). Then: Setting CPI level 3 ("))
        << waited.toStdString();
    EXPECT_EQ(MouseMemory().activeCpiLevel, 2);
    EXPECT_EQ(window->Status(), DeviceStatus::LevelSet);
}

}  // namespace
