#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <memory>

#include "app/hotplug_watcher.h"
#include "app/updater_dlg.h"
#include "device/device_link.h"
#include "device/event_listener.h"
#include "device/simulated_mouse.h"
#include "support/message_recorder.h"
#include "support/sleep_recorder.h"

// The real main window against a simulated mouse, with recorded waits and messages.
class AppFixture : public ::testing::Test {
protected:
    void SetUp() override {
        deviceConnected = false;
        pendingSettings = {};
        deviceSettings = {};
        SetHidTransport(&mouse);
        SetSimulatedHotplugSource(&mouse);
    }

    void TearDown() override {
        window.reset();
        StopDeviceEventListener();
        SetSimulatedHotplugSource(nullptr);
        SetHidTransport(nullptr);
        deviceConnected = false;
    }

    void StartWindow() {
        window = std::make_unique<CUpdaterDlg>();
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

    SettingsRecord MouseMemory() {
        SettingsRecord record{};
        DecodeSettingsImage(mouse.Firmware().Memory(), record);
        return record;
    }

    SimulatedMouse mouse;
    SleepRecorder sleeps;
    MessageRecorder messages;
    std::unique_ptr<CUpdaterDlg> window;
};
