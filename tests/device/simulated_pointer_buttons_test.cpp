// The simulated mouse's buttons pressed by hand: what its pointer and event
// interfaces send for each action its memory holds.
#include "device/simulated/simulated_pointer_buttons.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "device/simulated/simulated_mouse.h"
#include "settings/button_actions.h"
#include "settings/settings_image.h"

namespace {

constexpr size_t kPointer = 0;
constexpr size_t kEvents = 2;

class SimulatedPointerButtonsTest : public testing::Test {
protected:
    void SetUp() override {
        pointer = mouse.Open(mouse.InterfacePaths().at(kPointer));
        events = mouse.Open(mouse.InterfacePaths().at(kEvents));
        ASSERT_TRUE(pointer && events);
    }

    // The reports waiting on a connection, oldest first.
    static std::vector<std::vector<uint8_t>> Waiting(HidConnection& connection) {
        std::vector<std::vector<uint8_t>> reports;
        uint8_t buffer[16];
        while (const int length = connection.ReadInput(buffer, sizeof buffer, 0)) {
            if (length < 0)
                break;
            reports.emplace_back(buffer, buffer + length);
        }
        return reports;
    }

    void SetAction(int slot, const ActionValues& values) {
        SettingsRecord record{};
        DecodeSettingsImage(mouse.Firmware().Memory(), record);
        AssignAction(record.buttons[slot], values);
        SettingsImage image{};
        EncodeSettingsImage(record, image);
        mouse.ReplaceMemory(image);
    }

    SimulatedMouse mouse;
    SimulatedPointerButtons buttons{mouse};
    std::unique_ptr<HidConnection> pointer;
    std::unique_ptr<HidConnection> events;
};

using Report = std::vector<uint8_t>;

TEST_F(SimulatedPointerButtonsTest, EachButtonSendsItsFactoryActionAsTheHidButtonsOrTheWheel) {
    const struct {
        int slot;
        Report pressed;  // then let go: all zero, but for a wheel step (no release)
    } cases[] = {
        {0, {0x01, 0, 0, 0, 0, 0, 0, 0}}, {1, {0x02, 0, 0, 0, 0, 0, 0, 0}},
        {2, {0x04, 0, 0, 0, 0, 0, 0, 0}}, {3, {0x10, 0, 0, 0, 0, 0, 0, 0}},  // forward: button 5
        {4, {0x08, 0, 0, 0, 0, 0, 0, 0}},                                    // back: button 4
        {6, {0, 0, 0, 0x01, 0, 0, 0, 0}}, {7, {0, 0, 0, 0xFF, 0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        buttons.Press(c.slot);
        buttons.Release(c.slot);
        std::vector<Report> expected{c.pressed};
        if (c.slot < 6)
            expected.push_back(Report(8, 0));
        EXPECT_EQ(Waiting(*pointer), expected) << c.slot;
    }
    EXPECT_TRUE(Waiting(*events).empty());
}

TEST_F(SimulatedPointerButtonsTest, AHeldButtonStaysInEveryReportTillLetGoAndTwoHeldShowTogether) {
    buttons.Press(3);
    buttons.Press(0);
    mouse.SendPointerReport({0, 1, 0, 0, 0, 0, 0, 0});  // a movement meanwhile
    buttons.Release(3);
    buttons.Release(0);
    EXPECT_EQ(Waiting(*pointer), (std::vector<Report>{{0x10, 0, 0, 0, 0, 0, 0, 0},
                                                      {0x11, 0, 0, 0, 0, 0, 0, 0},
                                                      {0x11, 1, 0, 0, 0, 0, 0, 0},
                                                      {0x01, 0, 0, 0, 0, 0, 0, 0},
                                                      {0x00, 0, 0, 0, 0, 0, 0, 0}}));
    EXPECT_EQ(buttons.HeldBits(), 0);
}

TEST_F(SimulatedPointerButtonsTest, AButtonDoesWhatTheMouseHoldsForIt) {
    // Remapped: the forward button clicks left, as the firmware carries it out.
    SetAction(3, {static_cast<uint8_t>(ActionKind::MouseButton), 0x01, 0, 0});
    buttons.Press(3);
    EXPECT_EQ(Waiting(*pointer), (std::vector<Report>{{0x01, 0, 0, 0, 0, 0, 0, 0}}));
    buttons.Release(3);
    Waiting(*pointer);

    // Set to DISABLE, a key or a media key: no pointer report at all.
    const ActionValues silent[] = {
        {static_cast<uint8_t>(ActionKind::Disabled), 0, 0, 0},
        {static_cast<uint8_t>(ActionKind::KeyboardKey), kCtrlBit, 0x04, 0},
        {static_cast<uint8_t>(ActionKind::MediaKey), 0xE2, 0, 0},
    };
    for (const ActionValues& action : silent) {
        SetAction(4, action);
        buttons.Press(4);
        buttons.Release(4);
        EXPECT_TRUE(Waiting(*pointer).empty()) << int(action.kind);
    }

    // CPI LOOP steps the level, which the event interface reports.
    SetAction(2, {static_cast<uint8_t>(ActionKind::CpiLoop), 0xF1, 0, 0});
    buttons.Press(2);
    buttons.Release(2);
    EXPECT_TRUE(Waiting(*pointer).empty());
    EXPECT_EQ(Waiting(*events).size(), 1u);
}

}  // namespace
