#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <functional>

#include "app_fixture.h"
#include "settings/button_actions.h"

namespace {

// What the pages show, not only the records, after each way the window comes
// to hold the mouse's settings: one control of each page.
struct Shown {
    QString cpiField;      // Basic: level 2's X field
    QString rateList;      // Basic: the polling rate
    QString angleField;    // Advanced Sensor: the sensor angle
    QString filterField;   // Buttons: the back button's filter level
    QString actionButton;  // Button Mapping: row 1 (the right button)
};

struct ShowCase {
    const char* name;
    std::function<void(class WindowShows&)> arrive;
    Shown shown;
};

void PrintTo(const ShowCase& c, std::ostream* os) {
    *os << c.name;
}

class WindowShows : public AppFixture, public ::testing::WithParamInterface<ShowCase> {
public:
    // Held by the mouse from the start, or put in while it is unplugged.
    SettingsRecord Settings(uint16_t levelTwoX, uint8_t rate, int8_t angle, uint8_t filter) {
        SettingsRecord record = MouseMemory();
        record.cpiLevels[1] = {0, levelTwoX, levelTwoX};
        record.pollingRateCode = rate;
        record.sensorAngle = angle;
        record.buttons[4].filter = filter;
        AssignAction(record.buttons[1], FindActionByCommand(8024)->values);  // MUTE
        return record;
    }

    void StartWithSettings() {
        SetMouseMemory(Settings(1200, 8, 12, 14));
        StartWindow();
    }

    void ResetToFactory() {
        StartWithSettings();
        QTest::mouseClick(window->FactoryResetButton(), Qt::LeftButton);
    }

    void Replug(bool changedWhileUnplugged) {
        StartWithSettings();
        mouse.Unplug();
        DeliverQueuedEvents();
        if (changedWhileUnplugged) {
            SetMouseMemory(Settings(2450, 16, -7, 3));
        }
        mouse.Plug();
        DeliverQueuedEvents();
    }

    QString Text(const char* name) const {
        if (auto* field = window->findChild<QLineEdit*>(name)) {
            return field->text();
        }
        if (auto* list = window->findChild<QComboBox*>(name)) {
            return list->currentText();
        }
        if (auto* button = window->findChild<QPushButton*>(name)) {
            return button->text();
        }
        ADD_FAILURE() << "no control " << name;
        return {};
    }
};

const ShowCase kShowCases[] = {
    {"StartUp",
     [](WindowShows& t) { t.StartWithSettings(); },
     {"1200", "1000Hz", "12", "14", "MUTE"}},
    {"PlugIn", [](WindowShows& t) { t.Replug(false); }, {"1200", "1000Hz", "12", "14", "MUTE"}},
    {"PlugInOfAChangedMouse",
     [](WindowShows& t) { t.Replug(true); },
     {"2450", "500Hz", "-7", "3", "MUTE"}},
    {"FactoryReset",
     [](WindowShows& t) { t.ResetToFactory(); },
     {"800", "8000Hz", "0", "8", "RIGHT CLICK"}},
};

TEST_P(WindowShows, WhatTheMouseHolds) {
    const ShowCase& c = GetParam();
    c.arrive(*this);
    ASSERT_TRUE(deviceConnected);
    EXPECT_EQ(Text("cpiLevelXField1"), c.shown.cpiField);
    EXPECT_EQ(Text("pollingRateList"), c.shown.rateList);
    EXPECT_EQ(Text("sensorAngleField"), c.shown.angleField);
    EXPECT_EQ(Text("filterField4"), c.shown.filterField);
    EXPECT_EQ(Text("actionButton1"), c.shown.actionButton);
    EXPECT_FALSE(SettingsDiffer(pendingSettings, MouseMemory()));
    EXPECT_FALSE(SettingsDiffer(deviceSettings, MouseMemory()));
    EXPECT_FALSE(ApplyEnabled());
}

INSTANTIATE_TEST_SUITE_P(AfterEachArrival, WindowShows, ::testing::ValuesIn(kShowCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
