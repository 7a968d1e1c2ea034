#include "device/simulated_session.h"

#include <cstdio>

#include "device/device_link.h"
#include "device/hid_transport.h"
#include "device/mouse_memory_file.h"
#include "device/simulated_mouse.h"

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
    }
    SetHidTransport(session->mouse_.get());
    return session;
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
