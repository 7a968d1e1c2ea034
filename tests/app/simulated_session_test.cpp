#include "app/simulated_session.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <stdexcept>

#include "app/updater_dlg.h"
#include "device/event_listener.h"
#include "device/simulated_mouse.h"
#include "support/message_recorder.h"
#include "support/sleep_recorder.h"

namespace {

// What --simulate=FILE does across runs of the tool.
class SimulatedSessionFile : public ::testing::Test {
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
        auto session = StartSession();
        CUpdaterDlg window;
        window.Initialise();
        pendingSettings.buttons[3].code = 0x08;
        window.OnApply();
        StopDeviceEventListener();
    }
    EXPECT_EQ(QFile(QString::fromStdString(file)).size(), 1024);
    {
        auto session = StartSession();
        CUpdaterDlg window;
        window.Initialise();
        EXPECT_EQ(pendingSettings.buttons[3].code, 0x08);
        EXPECT_EQ(deviceSettings.buttons[3].code, 0x08);
        EXPECT_FALSE(window.ApplyButton()->isEnabled());

        window.OnFactoryReset();
        StopDeviceEventListener();
    }
    auto session = StartSession();
    EXPECT_EQ(session->Mouse().Firmware().Memory(), MouseFirmware::FactoryImage());
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

}  // namespace
