// What a screen reader is told about each control of the main window and of
// the KEYBOARD KEY and FIXED CPI dialogs.
#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QTabBar>
#include <QTest>

#include "app_fixture.h"
#include "pages/buttons/fixed_cpi_dlg.h"
#include "pages/buttons/keyboard_dlg.h"
#include "pages/sensor/level_controls.h"
#include "ui/qyx_static.h"

namespace {

// The control's own text where it shows one (a list's entry, a field's
// number, a slider's position): a name that only repeats it names nothing.
QString ShownValue(QWidget* control) {
    if (auto* list = qobject_cast<QComboBox*>(control)) {
        return list->currentText();
    }
    if (auto* field = qobject_cast<QLineEdit*>(control)) {
        return field->text();
    }
    if (auto* slider = qobject_cast<QAbstractSlider*>(control)) {
        return QString::number(slider->value());
    }
    return {};
}

// The names of the labels a screen reader reads for the control.
QStringList LabelNames(QAccessibleInterface* control) {
    QStringList names;
    for (const auto& [label, relation] : control->relations(QAccessible::Label)) {
        names << label->text(QAccessible::Name);
    }
    return names;
}

// What a screen reader says the control is: the labels tied to it, then its
// own name where that says more than its value.
QString SpokenName(QWidget* control) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(control);
    QStringList parts;
    for (const QString& label : LabelNames(iface)) {
        if (!label.isEmpty()) {
            parts << label;
        }
    }
    const QString name = iface->text(QAccessible::Name);
    if (!name.isEmpty() && name != ShownValue(control) && !parts.contains(name)) {
        parts << name;
    }
    return parts.join(", ");
}

bool Operable(QWidget* widget) {
    return qobject_cast<QAbstractButton*>(widget) || qobject_cast<QComboBox*>(widget) ||
           qobject_cast<QLineEdit*>(widget) || qobject_cast<QAbstractSlider*>(widget) ||
           qobject_cast<CQyxStatic*>(widget) || qobject_cast<LevelLabel*>(widget);
}

// Every operable control under `root` has a name of its own; the tab bar's
// tabs are named by their captions.
void ExpectEveryControlNamed(QWidget& root, int atLeast) {
    int walked = 0;
    for (QWidget* widget : root.findChildren<QWidget*>()) {
        if (auto* bar = qobject_cast<QTabBar*>(widget)) {
            QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(bar);
            for (int tab = 0; tab < bar->count(); ++tab) {
                EXPECT_FALSE(iface->child(tab)->text(QAccessible::Name).trimmed().isEmpty())
                    << "tab " << tab;
            }
            continue;
        }
        // A drop-down's own list is a pop-up window of its own, read as a list.
        if (!Operable(widget) || widget->window() != root.window()) {
            continue;
        }
        ++walked;
        EXPECT_FALSE(SpokenName(widget).isEmpty())
            << widget->metaObject()->className() << " " << widget->objectName().toStdString();
    }
    EXPECT_GE(walked, atLeast);
}

using AccessibleNames = AppFixture;

TEST_F(AccessibleNames, EveryControlOfTheMainWindowHasAName) {
    StartWindow();
    // The whole window: Info, the four pages, APPLY.
    ExpectEveryControlNamed(*window, 59);
}

TEST_F(AccessibleNames, EveryControlOfBothDialogsHasAName) {
    CKeyboard keyboard;
    ExpectEveryControlNamed(keyboard, 5);
    CFixedCPI fixedCpi;
    ExpectEveryControlNamed(fixedCpi, 6);
}

TEST_F(AccessibleNames, NamesSayWhichLevelRowAndButton) {
    StartWindow();
    const struct {
        const char* control;
        const char* spoken;
    } cases[] = {
        {"pollingRateList", "Polling Rate"},
        {"liftOffList", "LOD"},
        {"cpiLevelsList", "CPI Levels"},
        {"cpiLevelRadio0", "Active CPI level 1"},
        {"cpiLevelXSlider0", "CPI 1 X"},
        {"cpiLevelYField3", "CPI 4 Y"},
        {"cpiSwatch2", "CPI 3 colour"},
        {"downshiftTuningList", "CPI Downshift Tuning"},
        {"smoothingTuningList", "Smoothing Tuning"},
        {"sensorAngleSlider", "Sensor Angle Tuning"},
        {"sensorAngleField", "Sensor Angle Tuning"},
        {"filterSlider0", "Left Button Multiclick Filter"},
        {"filterField0", "Left Button Multiclick Filter level"},
        {"filterField4", "Back Button Multiclick Filter level"},
        {"switchModeList1", "Right Button SPDT"},
        {"actionButton1", "Right Button, RIGHT CLICK"},
        {"actionButton6", "Wheel Down, SCROLL DOWN"},
        {"factoryResetButton", "Info, Factory Reset"},  // in the "Info" group
    };
    for (const auto& c : cases) {
        auto* control = window->findChild<QWidget*>(c.control);
        ASSERT_NE(control, nullptr) << c.control;
        EXPECT_EQ(SpokenName(control).toStdString(), c.spoken) << c.control;
    }
}

TEST_F(AccessibleNames, FirstActionRowIsTheLeftButtonInLeftHandedMode) {
    StartWindow();
    auto* leftHanded = window->findChild<QAbstractButton*>("leftHandedCheck");
    window->Tabs()->setCurrentIndex(3);
    QTest::mouseClick(leftHanded, Qt::LeftButton, {}, QPoint(8, leftHanded->height() / 2));
    ASSERT_TRUE(leftHanded->isChecked());
    auto* rowOne = window->findChild<QAbstractButton*>("actionButton1");
    EXPECT_EQ(SpokenName(rowOne).toStdString(), "Left Button, " + rowOne->text().toStdString());
}

TEST_F(AccessibleNames, LevelSelectorsAreRadioButtonsThatSayWhichIsActive) {
    StartWindow();
    for (int level = 0; level < kCpiLevelCount; ++level) {
        auto* radio = window->findChild<QAbstractButton*>(QString("cpiLevelRadio%1").arg(level));
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(radio);
        EXPECT_EQ(iface->role(), QAccessible::RadioButton) << level;
        EXPECT_TRUE(iface->state().checkable) << level;
        EXPECT_EQ(bool(iface->state().checked), level == pendingSettings.activeCpiLevel) << level;
    }
}

TEST_F(AccessibleNames, SlidersTellTheValueTheUserSees) {
    StartWindow();
    const auto description = [this](const char* name) {
        return QAccessible::queryAccessibleInterface(window->findChild<QWidget*>(name))
            ->text(QAccessible::Description);
    };
    EXPECT_EQ(description("cpiLevelXSlider0").toStdString(), "400 CPI");  // track position 40
    EXPECT_EQ(description("filterSlider2").toStdString(), "8");
    EXPECT_EQ(description("sensorAngleSlider").toStdString(), "0");

    // Moved by the keyboard, above the grid's change of step.
    auto* slider = window->findChild<QSlider*>("cpiLevelYSlider3");
    slider->setValue(1000);
    QTest::keyClick(slider, Qt::Key_Right);
    EXPECT_EQ(description("cpiLevelYSlider3").toStdString(), "10050 CPI");

    CFixedCPI fixedCpi;
    auto* xField = fixedCpi.findChild<QLineEdit*>("fixedCpiXField");
    xField->setFocus();
    xField->selectAll();
    QTest::keyClicks(xField, "25000");
    QTest::keyClick(xField, Qt::Key_Return);
    const auto fixedDescription = [&fixedCpi](const char* name) {
        return QAccessible::queryAccessibleInterface(fixedCpi.findChild<QWidget*>(name))
            ->text(QAccessible::Description);
    };
    // The track bar stops at 14000; the value is 25000.
    EXPECT_EQ(fixedDescription("fixedCpiXSlider").toStdString(), "25000 CPI");
    EXPECT_EQ(fixedDescription("fixedCpiYSlider").toStdString(), "25000 CPI");
}

}  // namespace
