#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <memory>

#include "app/hotplug_watcher.h"
#include "app/main_window.h"
#include "device/device_link.h"
#include "device/event_listener.h"
#include "device/find_result_text.h"
#include "device/simulated/simulated_mouse.h"
#include "support/message_recorder.h"
#include "support/sleep_recorder.h"
#include "support/test_session.h"

// The real main window against a simulated mouse, with recorded waits and messages.
class AppFixture : public ::testing::Test, protected TestSession {
protected:
    void SetUp() override {
        deviceConnected = false;
        pendingSettings = {};
        deviceSettings = {};
        SetHidTransport(&mouse);
        SetSimulatedHotplugSource(&mouse);
        // What the status line says must not depend on this machine's udev rules.
        SetUdevRuleFolders({});
    }

    void TearDown() override {
        window.reset();
        StopDeviceEventListener();
        SetSimulatedHotplugSource(nullptr);
        SetHidTransport(nullptr);
        deviceConnected = false;
        SetUdevRuleFolders(DefaultUdevRuleFolders());
    }

    void StartWindow() {
        window = std::make_unique<CUpdaterDlg>(session);
        window->Initialise();
        sleeps.waits.clear();
    }

    // Hot-plug notifications arrive through the event loop, as real ones do.
    static void DeliverQueuedEvents() {
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }

    bool ApplyEnabled() const { return window->ApplyButton()->isEnabled(); }
    QString FirmwareText() const { return window->FirmwareVersionField()->text(); }
    QString StatusText() const { return window->findChild<QLabel*>("statusText")->text(); }

    // Nothing offers to talk to the mouse, and the version field says none is there.
    void ExpectNothingEnabled() const {
        EXPECT_FALSE(deviceConnected);
        EXPECT_TRUE(FirmwareText().isEmpty());
        EXPECT_FALSE(window->Tabs()->isEnabled());
        EXPECT_FALSE(window->FactoryResetButton()->isEnabled());
        EXPECT_FALSE(ApplyEnabled());
        EXPECT_FALSE(DeviceEventListenerRunning());
    }

    SettingsRecord MouseMemory() {
        SettingsRecord record{};
        DecodeSettingsImage(mouse.Firmware().Memory(), record);
        return record;
    }

    void SetMouseMemory(const SettingsRecord& record) {
        SettingsImage image{};
        EncodeSettingsImage(record, image);
        mouse.Firmware().SetMemory(image);
    }

    // Settings of the user's own, far from the factory ones in every field a
    // level write takes from the tool's picture of the mouse.
    SettingsRecord UsersOwnSettings() {
        SettingsRecord own = MouseMemory();
        const uint16_t levels[] = {500, 1000, 2000, 6400};
        for (size_t n = 0; n < 4; ++n) {
            own.cpiLevels[n] = {0, levels[n], levels[n]};
        }
        own.liftOffDistance = 2;
        own.angleSnapping = 1;
        own.liftOffLed = 0;
        own.sensorTuning = 0x05;
        return own;
    }

    SimulatedMouse mouse;
    SleepRecorder sleeps;
    MessageRecorder messages;
    std::unique_ptr<CUpdaterDlg> window;
};
