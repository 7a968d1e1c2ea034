#include "app/simulated_session.h"

#include <cstdio>

#include "app/hotplug_watcher.h"
#include "device/hid_transport.h"
#include "device/mouse_memory_file.h"
#include "device/simulated_mouse.h"

SimulatedSession::SimulatedSession() : mouse_(std::make_unique<SimulatedMouse>()) {}

SimulatedSession::~SimulatedSession() {
    SetSimulatedHotplugSource(nullptr);
    SetHidTransport(nullptr);
}

std::unique_ptr<SimulatedSession> SimulatedSession::Start(const std::string& memoryFile,
                                                          std::string& error) {
    std::unique_ptr<SimulatedSession> session(new SimulatedSession);
    MouseFirmware& firmware = session->mouse_->Firmware();
    if (!memoryFile.empty()) {
        SettingsImage memory{};
        if (!LoadOrCreateMemoryFile(memoryFile, MouseFirmware::FactoryImage(), memory, error)) {
            return nullptr;
        }
        firmware.SetMemory(memory);
        firmware.onMemoryChanged = [memoryFile](const SettingsImage& image) {
            std::string saveError;
            if (!SaveMemoryFile(memoryFile, image, saveError)) {
                // The mouse still holds the change; only the file fell behind.
                std::fprintf(stderr, "kestrine-config: %s\n", saveError.c_str());
            }
        };
    }
    SetHidTransport(session->mouse_.get());
    SetSimulatedHotplugSource(session->mouse_.get());
    return session;
}
