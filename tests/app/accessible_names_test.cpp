// What a screen reader is told about each control of the main window and of
// the KEYBOARD KEY and FIXED CPI dialogs.
#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QSlider>
#include <QTabBar>
#include <QTest>

#include "app/automatic_profiles_dialog.h"
#include "app_fixture.h"
#include "pages/basic/level_controls.h"
#include "pages/button_mapping/fixed_cpi_dialog.h"
#include "pages/button_mapping/key_capture_dialog.h"
#include "ui/colour_swatch.h"

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

// A scroll bar takes no focus: the controls it scrolls to are named.
bool Operable(QWidget* widget) {
    if (qobject_cast<QScrollBar*>(widget) != nullptr) {
        return false;
    }
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

// The two Browse… buttons say whose file they browse for; the table is named.
TEST_F(AccessibleNames, EveryControlOfTheAutomaticProfilesDialogHasAName) {
    AutomaticProfilesDialog dialog(
        "/nowhere/rules.toml",
        {[](int, std::string&) { return std::optional<WindowIdentity>(); }, "Click a window.", {}});
    ExpectEveryControlNamed(dialog, 13);
    const struct {
        const char* control;
        const char* spoken;
    } cases[] = {
        {"matchKindList", "Match by:, Selected rule"},
        {"matchNameField", "Name:, Selected rule"},
        {"ruleProfileField", "Profile file:, Selected rule"},
        {"defaultProfileField", "Default profile:"},
        {"ruleProfileBrowseButton", "Selected rule, Browse for the rule's profile file"},
        {"defaultProfileBrowseButton", "Browse for the default profile file"},
        {"moveRuleUpButton", "Move the rule up"},
        {"rulesTable", "Rules"},
    };
    for (const auto& c : cases) {
        auto* control = dialog.findChild<QWidget*>(c.control);
        ASSERT_NE(control, nullptr) << c.control;
        EXPECT_EQ(SpokenName(control).toStdString(), c.spoken) << c.control;
    }
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

// The value, its text and the range are what the field shows, not the track
// position; the description does not follow the value.
TEST_F(AccessibleNames, SlidersTellTheValueTheUserSees) {
    StartWindow();
    const struct {
        QWidget* root;
        const char* slider;
        double value, minimum, maximum;
        const char* text;
    } before[] = {
        {window.get(), "cpiLevelXSlider0", 400, 10, 30000, "400 CPI"},  // track position 40
        {window.get(), "filterSlider2", 8, 0, 0, "8"},
        {window.get(), "sensorAngleSlider", 0, 0, 0, "0"},
    };
    const auto iface = [](QWidget* root, const char* name) {
        return QAccessible::queryAccessibleInterface(root->findChild<QWidget*>(name));
    };
    for (const auto& c : before) {
        QAccessibleInterface* slider = iface(c.root, c.slider);
        ASSERT_NE(slider->valueInterface(), nullptr) << c.slider;
        EXPECT_EQ(slider->valueInterface()->currentValue().toDouble(), c.value) << c.slider;
        EXPECT_EQ(slider->text(QAccessible::Value).toStdString(), c.text) << c.slider;
        if (c.maximum != 0) {
            EXPECT_EQ(slider->valueInterface()->minimumValue().toDouble(), c.minimum);
            EXPECT_EQ(slider->valueInterface()->maximumValue().toDouble(), c.maximum);
        }
        EXPECT_TRUE(slider->text(QAccessible::Description).isEmpty()) << c.slider;
    }

    // Moved by the keyboard, above the grid's change of step.
    auto* slider = window->findChild<QSlider*>("cpiLevelYSlider3");
    slider->setValue(1000);
    QTest::keyClick(slider, Qt::Key_Right);
    EXPECT_EQ(iface(window.get(), "cpiLevelYSlider3")->text(QAccessible::Value).toStdString(),
              "10050 CPI");
    // Set by the screen reader: as a drag, the field and the record follow.
    iface(window.get(), "cpiLevelXSlider1")->valueInterface()->setCurrentValue(2500);
    EXPECT_EQ(window->findChild<QLineEdit*>("cpiLevelXField1")->text().toStdString(), "2500");
    EXPECT_EQ(pendingSettings.cpiLevels[1].x, 2500);

    CFixedCPI fixedCpi;
    auto* xField = fixedCpi.findChild<QLineEdit*>("fixedCpiXField");
    xField->setFocus();
    xField->selectAll();
    QTest::keyClicks(xField, "25000");
    QTest::keyClick(xField, Qt::Key_Return);
    // The track bar stops at 14000; the value is 25000.
    for (const char* name : {"fixedCpiXSlider", "fixedCpiYSlider"}) {
        EXPECT_EQ(iface(&fixedCpi, name)->valueInterface()->currentValue().toDouble(), 25000);
        EXPECT_EQ(iface(&fixedCpi, name)->text(QAccessible::Value).toStdString(), "25000 CPI");
    }
}

TEST_F(AccessibleNames, ActionButtonsSayTheyOpenAMenu) {
    StartWindow();
    auto* button = window->findChild<QAbstractButton*>("actionButton1");
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(button);
    EXPECT_TRUE(iface->state().hasPopup);
    ASSERT_NE(iface->actionInterface(), nullptr);
    EXPECT_TRUE(iface->actionInterface()->actionNames().contains(
        QAccessibleActionInterface::showMenuAction()));
}

}  // namespace
