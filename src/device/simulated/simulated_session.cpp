#include "device/simulated/simulated_session.h"

#include <cstdio>

#include "device/device_link.h"
#include "device/hid_transport.h"
#include "device/simulated/mouse_memory_file.h"
#include "device/simulated/simulated_event_channel.h"
#include "device/simulated/simulated_mouse.h"

SimulatedSession::SimulatedSession() : mouse_(std::make_unique<SimulatedMouse>()) {}

SimulatedSession::~SimulatedSession() {
    // The link's connection closes before the mouse behind it ends.
    ReleaseDevice();
    SetHidTransport(nullptr);
}

std::unique_ptr<SimulatedSession> SimulatedSession::Start(const std::string& memoryFile,
                                                          std::string& error) {
    std::unique_ptr<SimulatedSession> session(new SimulatedSession);
    MouseFirmware& firmware = session->mouse_->Firmware();
    if (!memoryFile.empty()) {
        SettingsImage memory{};
        if (!LoadOrCreateMemoryFile(memoryFile, MouseFirmware::FactoryImage(), memory, error,
                                    session->notice_)) {
            return nullptr;
        }
        session->memoryFile_ = memoryFile;
        firmware.SetMemory(memory);
        firmware.onMemoryChanged = [raw = session.get()](const SettingsImage& image) {
            raw->Save(image);
        };
        session->channel_ = std::make_unique<SimulatedEventChannel>(memoryFile);
        session->mouse_->SetButtonObserver(
            [raw = session.get()](const std::vector<uint8_t>& report, size_t mouse) {
                std::string problem;
                if (mouse == 0 && !raw->channel_->Publish(report, problem)) {
                    std::fprintf(stderr, "kestrine-config: %s\n", problem.c_str());
                }
            });
    }
    SetHidTransport(session->mouse_.get());
    return session;
}

int SimulatedSession::FollowOtherProcesses(std::string& error) {
    if (!channel_) {
        error = "the simulated mouse has no memory file to share";
        return -1;
    }
    return channel_->Follow(error);
}

void SimulatedSession::CatchUp() {
    if (!channel_) {
        return;
    }
    const auto reports = channel_->TakeOthers();
    SettingsImage memory{};
    std::string error;
    std::string notice;
    if (LoadOrCreateMemoryFile(memoryFile_, MouseFirmware::FactoryImage(), memory, error, notice)) {
        mouse_->ReplaceMemory(memory);
    }
    for (const auto& report : reports) {
        mouse_->SendInputReport(report);
    }
}

void SimulatedSession::SetSaveObserver(std::function<void(const std::string& error)> observer) {
    saveObserver_ = std::move(observer);
}

void SimulatedSession::Save(const SettingsImage& memory) {
    std::string error;
    if (!SaveMemoryFile(memoryFile_, memory, error)) {
        // The mouse still holds the change; only the file fell behind.
        std::fprintf(stderr, "kestrine-config: %s\n", error.c_str());
    }
    if (saveObserver_) {
        saveObserver_(error);
    }
}
