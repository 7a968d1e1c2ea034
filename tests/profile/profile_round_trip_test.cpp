// A profile written from a record and read onto a factory-fresh one gives
// back every byte the pages can set.
#include <gtest/gtest.h>

#include <random>

#include "profile/action_names.h"
#include "profile/profile.h"
#include "settings/button_actions.h"
#include "settings/click_filters.h"
#include "settings/cpi_scale.h"
#include "settings/key_table.h"
#include "settings/sensor_choices.h"

namespace {

class RandomRecord {
public:
    explicit RandomRecord(unsigned seed) : random_(seed) {}

    SettingsRecord Make() {
        SettingsRecord r{};
        LoadDefaultSettings(r);
        for (uint8_t& byte : r.opaqueBlock) {
            byte = Byte();
        }
        r.opaque0 = Byte();
        r.opaque7 = Byte();
        r.glassMode = Below(2);
        r.featureFlags = Byte();
        r.pollingRateCode = Pick(PollingRateChoices()).value;
        r.liftOffDistance = Pick(LiftOffChoices(r.glassMode == 1)).value;
        r.liftOffLed = Below(2);
        r.angleSnapping = Below(2);
        r.motionSync = Below(2);
        r.forceMaxFps = Below(2);
        r.sensorAngle = static_cast<int8_t>(static_cast<int>(Below(255)) - 127);
        r.sensorTuning = SensorTuningFor(Byte(), Below(4), Below(3));
        r.multiclickAcknowledged = Below(2);
        r.cpiLevelCount = static_cast<uint8_t>(1 + Below(4));
        r.activeCpiLevel = Below(r.cpiLevelCount);
        for (CpiLevel& level : r.cpiLevels) {
            level.x = static_cast<uint16_t>(TrackPositionToCpi(1 + Below(kMaxTrackPosition)));
            level.y =
                Below(2) ? level.x : static_cast<uint16_t>(TrackPositionToCpi(1 + Below(1400)));
            level.separateXY = level.x != level.y;
        }
        for (int slot = 0; slot < kButtonSlotCount; ++slot) {
            r.buttons[slot].filter = Byte();
            if (slot != 5) {
                AssignAction(r.buttons[slot], Action(slot < 5));
            }
        }
        for (int slot = 0; slot < kClickFilterSlots; ++slot) {
            const bool mode = slot < kSwitchModeSlots && Below(3) == 0;
            r.buttons[slot].filter =
                mode ? SwitchModes()[1 + Below(2)].filterByte : Below(kClickFilterLevelMax + 1);
        }
        // One of the two main buttons keeps LEFT CLICK, as the mapping page keeps it.
        AssignAction(r.buttons[Below(2)], FindActionByCommand(8001)->values);  // LEFT CLICK
        return r;
    }

private:
    uint8_t Byte() { return static_cast<uint8_t>(Below(256)); }
    uint8_t Below(unsigned n) {
        return static_cast<uint8_t>(std::uniform_int_distribution<unsigned>(0, n - 1)(random_));
    }
    template <typename T>
    const T& Pick(std::span<const T> items) {
        return items[Below(static_cast<unsigned>(items.size()))];
    }

    ActionValues Action(bool fixedCpiAllowed) {
        switch (Below(3)) {
            case 0: {
                KeyCaptureState capture;
                capture.keyCode = Pick(AssignableKeys()).virtualKey;
                capture.modifiers = Below(16);
                return EncodeKeyAction(capture);
            }
            case 1:
                if (fixedCpiAllowed) {
                    return {static_cast<uint8_t>(ActionKind::FixedCpi), 0,
                            static_cast<uint16_t>(NormalizeFixedCpiValue(Below(255) * 120)),
                            static_cast<uint16_t>(NormalizeFixedCpiValue(Below(255) * 120))};
                }
                [[fallthrough]];
            default: {
                const ActionEntry* entry;
                do {
                    entry = &Pick(ActionTable());
                } while (entry->commandId == kKeyboardKeyCommand ||
                         entry->commandId == kFixedCpiCommand);
                return entry->values;
            }
        }
    }

    std::mt19937 random_;
};

// A factory-fresh mouse that agrees with `source` on what no page sets.
SettingsRecord FreshMouseLike(const SettingsRecord& source) {
    SettingsRecord fresh{};
    LoadDefaultSettings(fresh);
    fresh.opaque0 = source.opaque0;
    fresh.opaque7 = source.opaque7;
    fresh.opaqueBlock = source.opaqueBlock;
    fresh.glassMode = source.glassMode;
    fresh.featureFlags =
        (source.featureFlags & ~kSlamclickFilterFlag) | (fresh.featureFlags & kSlamclickFilterFlag);
    fresh.sensorTuning = static_cast<uint8_t>(source.sensorTuning & 0xF0);
    fresh.buttons[5] = source.buttons[5];
    for (int slot = kClickFilterSlots; slot < kButtonSlotCount; ++slot) {
        fresh.buttons[slot].filter = source.buttons[slot].filter;
    }
    return fresh;
}

SettingsImage ImageOf(const SettingsRecord& record) {
    SettingsImage image{};
    EncodeSettingsImage(record, image);
    return image;
}

TEST(ProfileRoundTrip, RandomRecordsComeBackByteForByte) {
    RandomRecord random(20261210);
    for (int round = 0; round < 500; ++round) {
        const SettingsRecord source = random.Make();
        std::vector<std::string> leftOut;
        const std::string text = FormatProfile(source, &leftOut);
        EXPECT_TRUE(leftOut.empty()) << text;

        SettingsRecord target = FreshMouseLike(source);
        const auto problems = ApplyProfile(ParseProfileText(text), target);
        ASSERT_TRUE(problems.empty())
            << problems.front().line << ": " << problems.front().message << "\n"
            << text;
        ASSERT_EQ(ImageOf(target), ImageOf(source)) << text;
    }
}

TEST(ProfileRoundTrip, ExportShowsTheMousesValuesInTheProfilesWords) {
    SettingsRecord record{};
    LoadDefaultSettings(record);
    record.pollingRateCode = 8;
    record.cpiLevels[1] = {1, 800, 1600};
    record.activeCpiLevel = 1;
    record.liftOffDistance = 4;
    KeyCaptureState capture{0x7C, kCtrlBit | kShiftBit, ""};  // F13
    AssignAction(record.buttons[3], EncodeKeyAction(capture));
    AssignAction(record.buttons[4], FindActionByCommand(8021)->values);  // PLAY/PAUSE
    AssignAction(record.buttons[2], {static_cast<uint8_t>(ActionKind::FixedCpi), 0, 800, 1600});
    record.buttons[0].filter = 0xF1;

    const std::string text = FormatProfile(record);
    for (const char* line :
         {"\nformat = 1\n", "\npolling_rate_hz = 1000\n", "\nlift_off_mm = 1.1\n",
          "\nactive_cpi_level = 2\n", "\nforward = \"key:Shift+Ctrl+F13\"\n",
          "\nback = \"media:PLAY/PAUSE\"\n", "\nmiddle = \"fixed-cpi:800x1600\"\n",
          "\nwheel_up = \"SCROLL UP\"\n", "\nleft = \"HV Speed Mode\"\n",
          "[[cpi_level]]  # level 2\nx = 800\ny = 1600\n"}) {
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n---\n" << text;
    }
}

TEST(ProfileRoundTrip, AnActionNoPageOffersIsLeftOutAndKeptOnImport) {
    SettingsRecord source{};
    LoadDefaultSettings(source);
    source.buttons[3].kind = 0x05;  // no such kind on the mapping page
    std::vector<std::string> leftOut;
    const std::string text = FormatProfile(source, &leftOut);
    ASSERT_EQ(leftOut.size(), 1u);
    EXPECT_NE(leftOut[0].find("forward"), std::string::npos);
    const std::string buttons = text.substr(0, text.find("[multiclick_filter]"));
    EXPECT_NE(buttons.find("\nback ="), std::string::npos);
    EXPECT_EQ(buttons.find("\nforward ="), std::string::npos);

    SettingsRecord target{};
    LoadDefaultSettings(target);
    AssignAction(target.buttons[3], FindActionByCommand(8060)->values);  // DISABLE
    EXPECT_TRUE(ApplyProfile(ParseProfileText(text), target).empty());
    EXPECT_EQ(ValuesOf(target.buttons[3]), FindActionByCommand(8060)->values);
}

TEST(ProfileRoundTrip, ValuesThePagesShowDifferentlyAreExportedAsShown) {
    SettingsRecord record{};
    LoadDefaultSettings(record);
    record.pollingRateCode = 3;     // no entry: the page shows 1000Hz
    record.sensorAngle = -128;      // outside the track bar: shows 0
    record.motionSync = 2;          // only 1 counts as on
    record.buttons[2].filter = 40;  // above the top level: shows 25
    const std::string text = FormatProfile(record);
    for (const char* line : {"\npolling_rate_hz = 1000\n", "\nsensor_angle = 0\n",
                             "\nmotion_sync = false\n", "\nmiddle = 25\n"}) {
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n---\n" << text;
    }
}

TEST(ProfileKeyNames, EveryBindableKeyWithEveryModifierSetComesBack) {
    for (const KeyRow& key : AssignableKeys()) {
        const uint16_t virtualKey = key.virtualKey;
        for (uint8_t modifiers = 0; modifiers < 16; ++modifiers) {
            ButtonAction slot{};
            AssignAction(slot, EncodeKeyAction({virtualKey, modifiers, ""}));
            const auto name = ActionName(slot);
            ASSERT_TRUE(name) << std::hex << virtualKey;
            std::string error;
            const auto values = ParseActionName(*name, true, error);
            ASSERT_TRUE(values) << *name << ": " << error;
            EXPECT_EQ(*values, ValuesOf(slot)) << *name;
        }
    }
}

// show, export, JSON, get and the window's button name a stored key alike,
// a usage no key has too ("Unknown key 0x82"), and the name reads back as
// the same bytes.
TEST(ProfileKeyNames, EveryStoredUsageIsNamedAsTheWindowNamesIt) {
    for (uint16_t usage = 1; usage <= 0xFF; ++usage) {
        for (const uint8_t bits : {0x00, 0x03, 0x0F}) {
            SCOPED_TRACE(testing::Message() << "usage " << std::hex << usage << " bits " << +bits);
            const ButtonAction slot{static_cast<uint8_t>(ActionKind::KeyboardKey), bits, usage, 0,
                                    8};
            const auto window = FormatActionText(slot);
            const auto name = ActionName(slot);
            ASSERT_TRUE(window);
            ASSERT_TRUE(name);
            EXPECT_EQ(*name, "key:" + *window);
            std::string error;
            const auto values = ParseActionName(*name, true, error);
            ASSERT_TRUE(values) << error;
            EXPECT_EQ(*values, ValuesOf(slot));
        }
    }
}

TEST(ProfileKeyNames, TheBindableNamesAreTheKeyListInOrder) {
    const std::vector<std::string> names = BindableKeyNames();
    ASSERT_EQ(names.size(), AssignableKeys().size());
    EXPECT_EQ(names.front(), "A");
    EXPECT_EQ(names[static_cast<size_t>(FindKeyByUsage(0x68) - AssignableKeys().data())], "F13");
    for (const std::string& name : names) {
        std::string error;
        EXPECT_TRUE(ParseKeyActionName(name, error)) << name << ": " << error;
    }
}

TEST(ProfileKeyNames, NamesAreReadAsAUserTypesThem) {
    struct Case {
        const char* name;
        ActionValues values;
    };
    const uint8_t key = static_cast<uint8_t>(ActionKind::KeyboardKey);
    const Case cases[] = {
        {"key:ctrl+shift+f13", {key, kCtrlBit | kShiftBit, 0x68, 0}},
        {"key:Alt+Win+Shift+A", {key, kAltBit | kWinBit | kShiftBit, 0x04, 0}},
        {"key:Num Enter", {key, 0, 0x58, 0}},
        {"key:Yen", {key, 0, 0x89, 0}},
        {"key:Mute", {key, 0, 0x7F, 0}},
        {"key:Ctrl++", {key, kCtrlBit, VirtualKeyToUsage(0xBB), 0}},  // "+", once the = key's name
        {"key:=", {key, 0, VirtualKeyToUsage(0xBB), 0}},
        {"key:Num +", {key, 0, VirtualKeyToUsage(0x6B), 0}},  // keypad plus
        {"key:Num 1", {key, 0, VirtualKeyToUsage(0x61), 0}},
        {"key:1", {key, 0, VirtualKeyToUsage(0x31), 0}},
        {"key: Up Arrow ", {key, 0, VirtualKeyToUsage(0x26), 0}},
        {"key:keypad 1", {key, 0, VirtualKeyToUsage(0x61), 0}},  // the key list's old words
        {"key:Back", {key, 0, 0x2A, 0}},
        // A modifier key alone is its own usage: no left-hand bit with it.
        {"key:Left Shift", {key, 0, 0xE1, 0}},
        {"key:Right Control", {key, 0, 0xE4, 0}},
        {"key:Right Alt (AltGr)", {key, 0, 0xE6, 0}},
        {"play/pause", FindActionByCommand(8021)->values},
        {"media:BROWSER", FindActionByCommand(8027)->values},
        {"Cpi Loop", FindActionByCommand(8051)->values},
        {"fixed-cpi:800", {static_cast<uint8_t>(ActionKind::FixedCpi), 0, 800, 800}},
    };
    for (const Case& c : cases) {
        std::string error;
        const auto values = ParseActionName(c.name, true, error);
        ASSERT_TRUE(values) << c.name << ": " << error;
        EXPECT_EQ(*values, c.values) << c.name;
    }
}

}  // namespace
