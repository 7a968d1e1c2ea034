#include "device/simulated/simulated_session.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <stdexcept>

#include "app/main_window.h"
#include "app/simulated_mouse_window.h"
#include "device/event_listener.h"
#include "device/simulated/simulated_mouse.h"
#include "support/file_conditions.h"
#include "support/message_recorder.h"
#include "support/sleep_recorder.h"
#include "support/test_session.h"

namespace {

// What --simulate=FILE does across runs of the tool.
class SimulatedSessionFile : public ::testing::Test, protected TestSession {
protected:
    void SetUp() override { deviceConnected = false; }
    void TearDown() override { deviceConnected = false; }

    // Ends the test when the session cannot start, rather than crashing it.
    std::unique_ptr<SimulatedSession> StartSession() {
        std::string error;
        auto session = SimulatedSession::Start(file, error);
        if (!session) {
            ADD_FAILURE() << error;
            throw std::runtime_error(error);
        }
        return session;
    }

    QTemporaryDir dir;
    std::string file = dir.filePath("mouse.bin").toStdString();
    SleepRecorder sleeps;
    MessageRecorder messages;
};

TEST_F(SimulatedSessionFile, AppliedSettingsAreThereInTheNextRun) {
    {
        auto simulation = StartSession();
        CUpdaterDlg window{session};
        window.Initialise();
        pendingSettings.buttons[3].code = 0x08;
        window.OnApply();
        StopDeviceEventListener();
    }
    EXPECT_EQ(QFile(QString::fromStdString(file)).size(), 1024);
    {
        auto simulation = StartSession();
        CUpdaterDlg window{session};
        window.Initialise();
        EXPECT_EQ(pendingSettings.buttons[3].code, 0x08);
        EXPECT_EQ(deviceSettings.buttons[3].code, 0x08);
        EXPECT_FALSE(window.ApplyButton()->isEnabled());

        window.OnFactoryReset();
        StopDeviceEventListener();
    }
    auto simulation = StartSession();
    EXPECT_EQ(simulation->Mouse().Firmware().Memory(), MouseFirmware::FactoryImage());
}

TEST_F(SimulatedSessionFile, AFileOfTheWrongSizeIsRefusedAndKept) {
    QFile out(QString::fromStdString(file));
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(QByteArray(2048, '\x01'));
    out.close();

    std::string error;
    EXPECT_EQ(SimulatedSession::Start(file, error), nullptr);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(QFile(QString::fromStdString(file)).size(), 2048);
}

// A save that fails while the tool runs (here: the disk is full) is said in
// the simulated mouse's window, and so is a later save that works again.
TEST_F(SimulatedSessionFile, AFailedSaveIsShownInTheSimulatedMouseWindow) {
    auto simulation = StartSession();
    SimulatedMouseWindow window(*simulation);
    window.show();
    const auto* memoryLabel = window.findChild<QLabel*>("simulatedMemoryFileLabel");
    ASSERT_NE(memoryLabel, nullptr);
    // The path and the reason wrap; the window grows so that no line is cut off.
    const auto expectWholeText = [&] {
        EXPECT_GE(memoryLabel->height(), memoryLabel->heightForWidth(memoryLabel->width()))
            << memoryLabel->text().toStdString();
    };
    EXPECT_TRUE(memoryLabel->text().startsWith("kept in " + QString::fromStdString(file)))
        << memoryLabel->text().toStdString();
    expectWholeText();
    const QByteArray before = [&] {
        QFile in(QString::fromStdString(file));
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    }();
    {
        FileSizeLimit full(100);
        simulation->Mouse().PressCpiButton();
    }
    EXPECT_TRUE(
        memoryLabel->text().startsWith("NOT SAVED: cannot save " + QString::fromStdString(file)))
        << memoryLabel->text().toStdString();
    expectWholeText();
    QFile in(QString::fromStdString(file));
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    EXPECT_EQ(in.readAll(), before);
    in.close();

    simulation->Mouse().PressCpiButton();
    EXPECT_TRUE(memoryLabel->text().startsWith("kept in ")) << memoryLabel->text().toStdString();
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    EXPECT_NE(in.readAll(), before);
}

TEST_F(SimulatedSessionFile, HardLinksAreSaidAtStart) {
    StartSession().reset();
    const std::string other = dir.filePath("other-name.bin").toStdString();
    ASSERT_EQ(::link(file.c_str(), other.c_str()), 0);

    auto simulation = StartSession();
    EXPECT_NE(simulation->Notice().find("hard links"), std::string::npos) << simulation->Notice();
    SimulatedMouseWindow window(*simulation);
    const auto* noticeLabel = window.findChild<QLabel*>("simulatedMemoryNoticeLabel");
    ASSERT_NE(noticeLabel, nullptr);
    EXPECT_EQ(noticeLabel->text(), QString::fromStdString(simulation->Notice()));
}

}  // namespace
