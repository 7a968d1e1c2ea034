#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <QWheelEvent>
#include <memory>

#include "app/main_window.h"
#include "device/device_link.h"
#include "device/hid_transport.h"
#include "device/simulated/simulated_mouse.h"
#include "pages/basic/basic_page.h"
#include "settings/settings_image.h"
#include "support/message_recorder.h"
#include "support/page_input.h"
#include "support/sleep_recorder.h"
#include "support/test_session.h"
#include "ui/colour_swatch.h"

namespace basic_page_test {

inline SettingsRecord DecodeImage(const SettingsImage& image) {
    SettingsRecord record{};
    DecodeSettingsImage(image, record);
    return record;
}

inline bool SameRecord(const SettingsRecord& a, const SettingsRecord& b) {
    return !SettingsDiffer(a, b);
}

inline QStringList Items(const QComboBox* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i) {
        items << list->itemText(i);
    }
    return items;
}

// One notch of the wheel with the pointer over `widget`; positive delta =
// turned away from the user.
inline void TurnWheel(QWidget* widget, int delta) {
    const QPointF local = QRectF(widget->rect()).center();
    QWheelEvent event(local, widget->mapToGlobal(local), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &event);
}

// The real Basic page inside a real main window, talking to a simulated mouse
// that starts with factory settings. Both records and the page start from the
// defaults, as after a start-up read of a new mouse. Waits are recorded.
class SensorDlgTest : public ::testing::Test, protected TestSession {
protected:
    void SetUp() override {
        SetHidTransport(&mouse);
        deviceConnected = FindDevice(kProductId);
        ASSERT_TRUE(deviceConnected);
        window = std::make_unique<CUpdaterDlg>(session);
        page = window->FindPage<CSensorDlg>();
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        Load(DefaultRecord());
        mouse.ClearSentReports();
        sleeps.waits.clear();
    }

    void TearDown() override {
        window.reset();
        SetHidTransport(nullptr);
        deviceConnected = false;
    }

    // As after a read of the mouse: both records hold `record`, the page shows it.
    void Load(const SettingsRecord& record) {
        pendingSettings = record;
        deviceSettings = record;
        page->LoadFromSettings();
        window->RefreshApplyState();
    }

    template <typename T>
    T* Control(const QString& name) {
        T* control = page->findChild<T*>(name);
        EXPECT_NE(control, nullptr) << name.toStdString();
        return control;
    }
    static QString Name(const char* stem, int level) { return stem + QString::number(level); }

    QRadioButton* Radio(int level) { return Control<QRadioButton>(Name("cpiLevelRadio", level)); }
    QWidget* LevelLabel(int level) { return Control<QWidget>(Name("cpiLevelLabel", level)); }
    CQyxStatic* Swatch(int level) { return Control<CQyxStatic>(Name("cpiSwatch", level)); }
    QLineEdit* XField(int level) { return Control<QLineEdit>(Name("cpiLevelXField", level)); }
    QLineEdit* YField(int level) { return Control<QLineEdit>(Name("cpiLevelYField", level)); }
    QSlider* XSlider(int level) { return Control<QSlider>(Name("cpiLevelXSlider", level)); }
    QSlider* YSlider(int level) { return Control<QSlider>(Name("cpiLevelYSlider", level)); }
    QComboBox* LevelsList() { return Control<QComboBox>("cpiLevelsList"); }
    QCheckBox* XyCheck() { return Control<QCheckBox>("xySettingsCheck"); }
    QComboBox* RateList() { return Control<QComboBox>("pollingRateList"); }
    QComboBox* LiftOffList() { return Control<QComboBox>("liftOffList"); }
    QCheckBox* AngleCheck() { return Control<QCheckBox>("angleSnappingCheck"); }
    QCheckBox* LedCheck() { return Control<QCheckBox>("liftOffLedCheck"); }
    bool ApplyEnabled() const { return window->ApplyButton()->isEnabled(); }

    std::vector<int> CheckedLevels() {
        std::vector<int> levels;
        for (int level = 0; level < kCpiLevelCount; ++level) {
            if (Radio(level)->isChecked()) {
                levels.push_back(level);
            }
        }
        return levels;
    }

    void TickXySettings() {
        if (!XyCheck()->isChecked()) {
            QTest::mouseClick(XyCheck(), Qt::LeftButton);
        }
    }

    // What the mouse holds now.
    SettingsRecord MouseRecord() { return DecodeImage(mouse.Firmware().Memory()); }

    SimulatedMouse mouse;
    SleepRecorder sleeps;
    MessageRecorder messages;
    std::unique_ptr<CUpdaterDlg> window;
    CSensorDlg* page = nullptr;
};

}  // namespace basic_page_test
