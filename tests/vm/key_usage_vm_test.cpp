// The key table against the kernel's own usage-to-key mapping: a virtual USB
// keyboard (uhid) sends every usage a mouse button can store, and the key code
// the kernel reports through evdev must be the row's key code, the key whose
// press the KEYBOARD KEY dialog turns into that usage. This is the test that
// proves the table; the unit tests only keep it from drifting. Runs inside the
// test VM (run-vm-tests.sh); elsewhere it skips.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/input.h>
#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "settings/button_actions.h"
#include "settings/key_table.h"
#include "uhid_device.h"
#include "vm/support/kernel_devices.h"

namespace {

constexpr char kKeyboardName[] = "kestrine key table keyboard";

// A boot keyboard: the eight modifier bits, a reserved byte, and six keys as
// an array of any usage of the keyboard page, 0x00 to 0xFF.
const std::vector<uint8_t> kKeyboardDescriptor = {
    0x05, 0x01, 0x09, 0x06, 0xA1, 0x01,                          // keyboard
    0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15, 0x00, 0x25, 0x01,  // modifiers
    0x75, 0x01, 0x95, 0x08, 0x81, 0x02,                          //
    0x95, 0x01, 0x75, 0x08, 0x81, 0x01,                          // reserved
    0x95, 0x06, 0x75, 0x08, 0x15, 0x00, 0x26, 0xFF, 0x00,        // keys
    0x05, 0x07, 0x19, 0x00, 0x2A, 0xFF, 0x00, 0x81, 0x00,        //
    0xC0,
};

// The evdev node of the input device named `name`, or "".
std::string EventNodeOf(const std::string& name) {
    namespace fs = std::filesystem;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/sys/class/input", error)) {
        const std::string node = entry.path().filename().string();
        if (node.rfind("event", 0) != 0) {
            continue;
        }
        std::string deviceName;
        std::getline(std::ifstream(entry.path() / "device" / "name"), deviceName);
        if (deviceName == name && fs::exists("/dev/input/" + node)) {
            return "/dev/input/" + node;
        }
    }
    return {};
}

class KeyUsageTest : public testing::Test {
protected:
    void SetUp() override {
        if (access("/dev/uhid", W_OK) != 0) {
            GTEST_SKIP() << "no writable /dev/uhid: this test runs inside the VM "
                            "(ctest -R vm)";
        }
        ASSERT_TRUE(keyboard_.Open()) << keyboard_.error();
        ASSERT_TRUE(keyboard_.Create({kKeyboardName, 0x1A2B, 0x0002, kKeyboardDescriptor}))
            << keyboard_.error();
        std::string node;
        ASSERT_TRUE(WaitUntil([&] { return !(node = EventNodeOf(kKeyboardName)).empty(); },
                              kDeviceTimeoutMs))
            << "the kernel made no evdev node for the keyboard (is the evdev module loaded?)";
        events_ = open(node.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        ASSERT_GE(events_, 0) << node;
        // The node can be there before the kernel passes the keyboard's
        // reports on (udev is still at the new device): A until it comes.
        ASSERT_TRUE(WaitUntil([&] { return KeyEventsAfterAPress(); }, kDeviceTimeoutMs))
            << "the kernel reported no key of the keyboard";
    }

    // Sends A down and up; whether any key event came within a short while.
    bool KeyEventsAfterAPress() {
        const uint8_t down[8] = {0, 0, 0x04, 0, 0, 0, 0, 0};
        const uint8_t up[8] = {};
        keyboard_.SendInput(down, sizeof down);
        keyboard_.SendInput(up, sizeof up);
        // Read until quiet, so that no event of this press is left for the test.
        bool any = false;
        pollfd ready{events_, POLLIN, 0};
        while (poll(&ready, 1, 300) > 0) {
            input_event event{};
            while (read(events_, &event, sizeof event) == sizeof event) {
                any = any || event.type == EV_KEY;
            }
        }
        return any;
    }
    void TearDown() override {
        if (events_ >= 0) {
            close(events_);
        }
    }

    // Sends a report with these modifier bits and this usage, then one with
    // nothing held; the key codes the kernel reported as pressed, in order.
    std::vector<uint16_t> Press(uint8_t modifiers, uint8_t usage) {
        const uint8_t down[8] = {modifiers, 0, usage, 0, 0, 0, 0, 0};
        const uint8_t up[8] = {};
        EXPECT_TRUE(keyboard_.SendInput(down, sizeof down)) << keyboard_.error();
        EXPECT_TRUE(keyboard_.SendInput(up, sizeof up)) << keyboard_.error();
        // The report with nothing held ends in releases; read until the last
        // pressed key has come up again.
        std::vector<uint16_t> pressed;
        int held = 0;
        do {
            pollfd ready{events_, POLLIN, 0};
            if (poll(&ready, 1, kDeviceTimeoutMs) <= 0) {
                ADD_FAILURE() << "no key event from the kernel within " << kDeviceTimeoutMs
                              << " ms";
                break;
            }
            input_event event{};
            while (read(events_, &event, sizeof event) == sizeof event) {
                if (event.type != EV_KEY) {
                    continue;
                }
                if (event.value == 1) {
                    pressed.push_back(event.code);
                    ++held;
                } else if (event.value == 0) {
                    --held;
                }
            }
        } while (held > 0 || pressed.empty());
        return pressed;
    }

    UhidDevice keyboard_;
    int events_ = -1;
};

TEST_F(KeyUsageTest, EveryRowsUsageGivesBackTheKeyItWasCapturedFrom) {
    for (const KeyRow& key : AssignableKeys()) {
        SCOPED_TRACE(key.name);
        // The usage a capture of the row's key stores (the keypad's keys
        // whatever NumLock says, Execute to Cut, Keypad = ( and ) among them)...
        const uint16_t usage = VirtualKeyToUsage(EvdevToVirtualKey(key.evdevCode));
        ASSERT_EQ(usage, key.usage);
        // ... is, sent by a keyboard, that same key to the kernel.
        EXPECT_EQ(Press(0, key.usage), std::vector<uint16_t>{key.evdevCode});
    }
}

TEST_F(KeyUsageTest, ModifierBitsAreTheLeftHandModifiers) {
    const std::pair<uint8_t, uint16_t> bits[] = {
        {kCtrlBit, KEY_LEFTCTRL},
        {kShiftBit, KEY_LEFTSHIFT},
        {kAltBit, KEY_LEFTALT},
        {kWinBit, KEY_LEFTMETA},
    };
    for (const auto& [bit, code] : bits) {
        SCOPED_TRACE(code);
        EXPECT_EQ(Press(bit, 0), std::vector<uint16_t>{code});
    }
    // Ctrl+Shift+K as a capture stores it.
    const ActionValues action = EncodeKeyAction({'K', kCtrlBit | kShiftBit, {}});
    EXPECT_EQ(Press(action.code, static_cast<uint8_t>(action.x)),
              (std::vector<uint16_t>{KEY_LEFTCTRL, KEY_LEFTSHIFT, KEY_K}));
}

// A modifier key captured alone presses that key and no other: the right-hand
// ones no longer bring their left-hand twin.
TEST_F(KeyUsageTest, AModifierKeyAloneIsOnlyThatKey) {
    const std::pair<uint16_t, uint16_t> keys[] = {
        {0xA3, KEY_RIGHTCTRL}, {0xA5, KEY_RIGHTALT}, {0xA1, KEY_RIGHTSHIFT},
        {0x5C, KEY_RIGHTMETA}, {0xA2, KEY_LEFTCTRL},
    };
    for (const auto& [virtualKey, code] : keys) {
        SCOPED_TRACE(code);
        const ActionValues action = EncodeKeyAction({virtualKey, 0, {}});
        EXPECT_EQ(Press(action.code, static_cast<uint8_t>(action.x)), std::vector<uint16_t>{code});
    }
}

// What older tools stored for F13-F24 is, to the kernel, what the window now
// calls it: Copy, Paste, ..., Volume Up.
TEST_F(KeyUsageTest, WhatOlderToolsStoredForF13ToF24IsWhatTheWindowSays) {
    for (uint8_t usage = 0x7C; usage <= 0x87; ++usage) {
        const KeyRow* key = FindKeyByUsage(usage);
        const std::string name = KeyName(UsageToVirtualKey(usage));
        SCOPED_TRACE(name);
        const std::vector<uint16_t> pressed = Press(0, usage);
        if (key) {
            EXPECT_EQ(pressed, std::vector<uint16_t>{key->evdevCode});
        } else {
            EXPECT_EQ(name.rfind("Unknown key", 0), 0u);
            EXPECT_EQ(pressed, std::vector<uint16_t>{KEY_UNKNOWN});
        }
    }
}

}  // namespace
