#include <gtest/gtest.h>

#include "device/mouse_firmware.h"
#include "device/simulated/simulated_mouse.h"

namespace {

SettingsRecord Held(const MouseFirmware& firmware) {
    SettingsRecord record{};
    DecodeSettingsImage(firmware.Memory(), record);
    return record;
}

void SetLevels(MouseFirmware& firmware, uint8_t active, uint8_t count) {
    SettingsImage image = firmware.Memory();
    image[13] = active;
    image[14] = count;
    firmware.SetMemory(image);
}

TEST(MouseButtons, CpiButtonStepsThroughTheLevelsInUse) {
    const struct {
        uint8_t active, count, next;
    } cases[] = {{1, 4, 2}, {3, 4, 0}, {1, 2, 0}, {0, 1, 0}, {2, 0, 3}, {3, 9, 0}};
    for (const auto& c : cases) {
        MouseFirmware firmware;
        SetLevels(firmware, c.active, c.count);
        int saved = 0;
        firmware.onMemoryChanged = [&saved](const SettingsImage&) { ++saved; };

        const std::vector<uint8_t> report = firmware.PressCpiButton();

        EXPECT_EQ(Held(firmware).activeCpiLevel, c.next) << int(c.active) << "/" << int(c.count);
        EXPECT_EQ(report, (std::vector<uint8_t>{3, 2, c.next, 0, 0, 0, 0, 0}));
        EXPECT_EQ(saved, 1);
    }
}

TEST(MouseButtons, ReportRateSwitchChangesOnlyTheRate) {
    MouseFirmware firmware;
    SettingsImage before = firmware.Memory();
    before[200] = 0x42;  // bytes the record does not hold stay as they are
    firmware.SetMemory(before);

    EXPECT_EQ(firmware.SwitchReportRate(16), (std::vector<uint8_t>{3, 6, 16, 0, 0, 0, 0, 0}));

    SettingsImage expected = before;
    expected[5] = 16;
    EXPECT_EQ(firmware.Memory(), expected);
}

TEST(MouseButtons, AnUnpluggedMouseChangesNothing) {
    SimulatedMouse mouse;
    const SettingsImage before = mouse.Firmware().Memory();
    mouse.Unplug();
    mouse.PressCpiButton();
    mouse.SwitchReportRate(64);
    EXPECT_EQ(mouse.Firmware().Memory(), before);
}

}  // namespace
