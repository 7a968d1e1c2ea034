#include "pages/button_mapping/button_mapping_page.h"

#include <gtest/gtest.h>

#include <linux/input-event-codes.h>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "app/main_window.h"
#include "pages/button_mapping/fixed_cpi_dialog.h"
#include "pages/button_mapping/key_source.h"
#include "pages/button_mapping/keyboard_layout.h"
#include "settings/button_actions.h"
#include "settings/key_table.h"
#include "settings/settings_image.h"
#include "support/message_recorder.h"
#include "support/test_session.h"

namespace {

// A key source whose sink the test keeps, to type through the real delivery path.
class TypingKeySource : public KeySource {
public:
    bool Start(Sink sink) override {
        sink_ = std::move(sink);
        current = this;
        return true;
    }
    bool CapturesEverywhere() const override { return true; }
    ~TypingKeySource() override {
        if (current == this) {
            current = nullptr;
        }
    }
    void Type(uint16_t virtualKey) {
        sink_({virtualKey, false, 0});
        sink_({virtualKey, true, 0});
        QCoreApplication::sendPostedEvents();
    }
    static inline TypingKeySource* current = nullptr;

private:
    Sink sink_;
};

// What the French (AZERTY) and German layouts give a few keys, as the live
// keymap would; every other key types what its name says.
uint32_t FrenchKeysym(uint16_t evdevCode) {
    switch (evdevCode) {
        case KEY_Q:
            return 'a';
        case KEY_1:
            return '&';
        case KEY_GRAVE:
            return 0xB2;  // twosuperior
        default:
            return 0;
    }
}

uint32_t GermanKeysym(uint16_t evdevCode) {
    return evdevCode == KEY_MINUS ? 0xDF : evdevCode == KEY_Y ? 'z' : 0;  // ssharp, z
}

// What a screen reader is told the button is.
std::string AccessibleName(QWidget* widget) {
    return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name).toStdString();
}

QAction* FindCommand(QMenu* menu, int command) {
    for (QAction* action : menu->actions()) {
        if (action->menu()) {
            if (QAction* found = FindCommand(action->menu(), command)) {
                return found;
            }
        } else if (action->data().toInt() == command) {
            return action;
        }
    }
    return nullptr;
}

QStringList Texts(QMenu* menu) {
    QStringList texts;
    for (QAction* action : menu->actions()) {
        texts << action->text();
    }
    return texts;
}

// Runs `drive` on the modal dialog once its exec() loop is running.
void WhenDialogOpens(std::function<void(QDialog&)> drive, int* opened = nullptr) {
    QTimer::singleShot(0, [drive, opened] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        if (opened) {
            ++*opened;
        }
        drive(*dialog);
    });
}

void ClickOk(QDialog& dialog, const char* okName) {
    QTest::mouseClick(dialog.findChild<QPushButton*>(okName), Qt::LeftButton);
}

void ClickBox(QCheckBox* box) {
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
}

class MouseSetTest : public testing::Test, protected TestPageHost {
protected:
    void SetUp() override {
        LoadDefaultSettings(pendingSettings);
        LoadDefaultSettings(deviceSettings);
        keyCapture = {};
        SetLayoutKeysymLookup([](uint16_t) { return 0u; });
        SetKeySourceFactory([] {
            KeySourceList list;
            list.push_back(std::make_unique<TypingKeySource>());
            return list;
        });
        page.resize(600, 420);
        page.show();
        leftHanded = page.findChild<QCheckBox*>("leftHandedCheck");
        rowOneLabel = page.findChild<QLabel*>("rowLabel1");
        for (int row = 0; row < 6; ++row) {
            buttons[row] = page.findChild<QPushButton*>(QString("actionButton%1").arg(row + 1));
            ASSERT_NE(buttons[row], nullptr) << row;
        }
        ASSERT_TRUE(leftHanded && rowOneLabel);
    }
    void TearDown() override {
        SetKeySourceFactory({});
        SetLayoutKeysymLookup({});
    }

    // Opens the menu from a row's button and chooses a command, as the user does.
    void Choose(int row, int command) {
        QTest::mouseClick(buttons[row], Qt::LeftButton);
        QAction* action = FindCommand(page.ActionMenu(), command);
        ASSERT_NE(action, nullptr) << command;
        page.ActionMenu()->hide();
        action->trigger();
    }

    ActionValues Slot(int k) const { return ValuesOf(pendingSettings.buttons[k]); }

    MessageRecorder messages;
    CMouseSet page{*this};
    QCheckBox* leftHanded = nullptr;
    QLabel* rowOneLabel = nullptr;
    std::array<QPushButton*, 6> buttons{};
};

TEST_F(MouseSetTest, FreshPageShowsTheTemplateTexts) {
    EXPECT_EQ(leftHanded->text(), "Left-handed Mode");
    const char* labels[] = {"Right Button", "Middle Button", "Forward Button",
                            "Back Button",  "Wheel Up",      "Wheel Down"};
    const char* texts[] = {"RIGHT CLICK", "MIDDLE CLICK", "FORWARD",
                           "BACK",        "SCROLL UP",    "SCROLL DOWN"};
    for (int row = 0; row < 6; ++row) {
        EXPECT_EQ(page.findChild<QLabel*>(QString("rowLabel%1").arg(row + 1))->text(), labels[row]);
        EXPECT_EQ(buttons[row]->text(), texts[row]);
        // The row's label stands left of its button, on the same line.
        QLabel* label = page.findChild<QLabel*>(QString("rowLabel%1").arg(row + 1));
        EXPECT_LT(label->geometry().right(), buttons[row]->geometry().left());
        EXPECT_NEAR(label->geometry().center().y(), buttons[row]->geometry().center().y(), 2);
    }
    EXPECT_EQ(page.CurrentSlot(), 0);
}

TEST_F(MouseSetTest, MenuHoldsEveryActionUnderItsCommandId) {
    QMenu* menu = page.ActionMenu();
    EXPECT_EQ(Texts(menu), (QStringList{"MOUSE", "KEYBOARD KEY", "CPI", "MEDIA", "DISABLE"}));
    const std::pair<int, QStringList> subMenus[] = {
        {0,
         {"LEFT CLICK", "RIGHT CLICK", "MIDDLE CLICK", "FORWARD", "BACK", "SCROLL UP",
          "SCROLL DOWN"}},
        {2, {"CPI LOOP", "FIXED CPI"}},
        {3,
         {"PLAY/PAUSE", "NEXT", "PREVIOUS", "MUTE", "VOLUME UP", "VOLUME DOWN", "BROWSER",
          "EXPLORER"}},
    };
    for (const auto& [position, items] : subMenus) {
        QMenu* sub = menu->actions()[position]->menu();
        ASSERT_NE(sub, nullptr) << position;
        EXPECT_EQ(Texts(sub), items);
    }
    const std::pair<int, const char*> commands[] = {
        {8001, "LEFT CLICK"}, {8007, "SCROLL DOWN"}, {8040, "KEYBOARD KEY"}, {8051, "CPI LOOP"},
        {8052, "FIXED CPI"},  {8021, "PLAY/PAUSE"},  {8028, "EXPLORER"},     {8060, "DISABLE"},
    };
    for (const auto& [command, text] : commands) {
        ASSERT_NE(FindCommand(menu, command), nullptr) << command;
        EXPECT_EQ(FindCommand(menu, command)->text(), text);
    }
    for (QAction* action : menu->findChildren<QAction*>()) {
        EXPECT_FALSE(action->isCheckable());
    }
}

TEST_F(MouseSetTest, FixedCpiIsOfferedOnlyOnTheFirstFourRowsAndOnlyOnce) {
    QMenu* cpi = page.ActionMenu()->actions()[2]->menu();
    QTest::mouseClick(buttons[4], Qt::LeftButton);
    EXPECT_TRUE(page.ActionMenu()->isVisible());
    EXPECT_EQ(Texts(cpi), QStringList{"CPI LOOP"});
    EXPECT_EQ(page.CurrentSlot(), 6);
    page.ActionMenu()->hide();

    QTest::mouseClick(buttons[0], Qt::LeftButton);
    EXPECT_EQ(Texts(cpi), (QStringList{"CPI LOOP", "FIXED CPI"}));
    EXPECT_EQ(page.CurrentSlot(), 1);
    page.ActionMenu()->hide();
    QTest::mouseClick(buttons[3], Qt::LeftButton);
    EXPECT_EQ(Texts(cpi), (QStringList{"CPI LOOP", "FIXED CPI"}));
    page.ActionMenu()->hide();
}

TEST_F(MouseSetTest, MenuOpensUnderThePressedButton) {
    QTest::mouseClick(buttons[2], Qt::LeftButton);
    const QRect button(buttons[2]->mapToGlobal(QPoint(0, 0)), buttons[2]->size());
    const QRect menu = page.ActionMenu()->geometry();
    EXPECT_TRUE(page.ActionMenu()->isVisible());
    EXPECT_GE(menu.top(), button.bottom());
    EXPECT_EQ(menu.left(), button.left());
    page.ActionMenu()->hide();
}

TEST_F(MouseSetTest, EveryPlainActionWritesItsValuesAndKeepsTheFilter) {
    const int slotOfRow[] = {1, 2, 3, 4, 6, 7};
    for (const ActionEntry& entry : ActionTable()) {
        if (entry.commandId == kKeyboardKeyCommand || entry.commandId == kFixedCpiCommand) {
            continue;
        }
        for (int row = 0; row < 6; ++row) {
            const int slot = slotOfRow[row];
            pendingSettings.buttons[slot] = {0x0C, 0x00, 800, 1600, 20};
            Choose(row, entry.commandId);
            SCOPED_TRACE(testing::Message() << entry.label << " row " << row + 1);
            EXPECT_EQ(Slot(slot), entry.values);
            EXPECT_EQ(pendingSettings.buttons[slot].filter, 20);
            EXPECT_EQ(buttons[row]->text(), entry.label);
        }
    }
}

TEST_F(MouseSetTest, ActionsChangeApplyStateThroughTheMainWindow) {
    CUpdaterDlg window{session};
    CMouseSet* mapping = window.FindPage<CMouseSet>();
    mapping->LoadFromSettings();
    window.RefreshApplyState();
    ASSERT_FALSE(window.ApplyButton()->isEnabled());
    mapping->OnMenuCommand(8024);  // MUTE on row 1's slot
    EXPECT_TRUE(window.ApplyButton()->isEnabled());
    mapping->OnMenuCommand(8002);  // back to RIGHT CLICK
    EXPECT_FALSE(window.ApplyButton()->isEnabled());
    mapping->findChild<QCheckBox*>("leftHandedCheck")->click();
    EXPECT_TRUE(window.ApplyButton()->isEnabled());
}

TEST_F(MouseSetTest, LeftHandedSettingsLoadAsLeftHanded) {
    AssignAction(pendingSettings.buttons[1], FindActionByCommand(8001)->values);  // LEFT CLICK
    AssignAction(pendingSettings.buttons[0], FindActionByCommand(8024)->values);  // MUTE
    page.LoadFromSettings();
    EXPECT_TRUE(leftHanded->isChecked());
    EXPECT_EQ(rowOneLabel->text(), "Left Button");
    EXPECT_EQ(buttons[0]->text(), "MUTE");
    EXPECT_EQ(page.CurrentSlot(), 0);

    // Every click on row 1 edits slot 0 until the box is cleared.
    Choose(0, 8060);
    Choose(0, 8002);
    Choose(0, 8001);
    EXPECT_EQ(Slot(0), FindActionByCommand(8001)->values);
    EXPECT_EQ(Slot(1), FindActionByCommand(8001)->values);
    EXPECT_EQ(page.CurrentSlot(), 0);

    LoadDefaultSettings(pendingSettings);
    page.LoadFromSettings();
    EXPECT_FALSE(leftHanded->isChecked());
    EXPECT_EQ(rowOneLabel->text(), "Right Button");
    EXPECT_EQ(buttons[0]->text(), "RIGHT CLICK");
    EXPECT_EQ(page.CurrentSlot(), 1);
}

TEST_F(MouseSetTest, LeftHandedIsReadFromKindAndCodeAlone) {
    struct Case {
        ButtonAction right;
        bool leftHanded;
    };
    const Case cases[] = {
        {{0x00, 0x01, 0, 0, 8}, true},
        {{0x00, 0x01, 5, 0, 8}, true},  // x and y are not part of the rule
        {{0x00, 0x01, 0, 7, 8}, true},
        {{0x00, 0x01, 0xFFFF, 0xFFFF, 8}, true},
        {{0x00, 0x02, 0, 0, 8}, false},
        {{0x01, 0x01, 0, 0, 8}, false},  // SCROLL UP has the same code
        {{0x02, 0x01, 0, 0, 8}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "kind " << int(c.right.kind) << " code " << int(c.right.code) << " x "
                     << c.right.x << " y " << c.right.y);
        LoadDefaultSettings(pendingSettings);
        AssignAction(pendingSettings.buttons[0], FindActionByCommand(8024)->values);  // MUTE
        pendingSettings.buttons[1] = c.right;
        page.LoadFromSettings();
        EXPECT_EQ(leftHanded->isChecked(), c.leftHanded);
        EXPECT_EQ(rowOneLabel->text(), c.leftHanded ? "Left Button" : "Right Button");
        EXPECT_EQ(page.CurrentSlot(), c.leftHanded ? 0 : 1);
        if (c.leftHanded) {
            EXPECT_EQ(buttons[0]->text(), "MUTE");
        }
    }
}

TEST_F(MouseSetTest, ExchangeThereAndBackRestoresBothSlots) {
    pendingSettings.buttons[0] = {0x00, 0x01, 0, 0, 8};  // LEFT CLICK
    pendingSettings.buttons[1] = {0x20, 0xE2, 0, 0, 4};  // MUTE
    page.LoadFromSettings();
    ASSERT_EQ(buttons[0]->text(), "MUTE");

    ClickBox(leftHanded);
    ASSERT_TRUE(leftHanded->isChecked());
    EXPECT_EQ(Slot(0), (ActionValues{0x20, 0xE2, 0, 0}));
    EXPECT_EQ(pendingSettings.buttons[0].filter, 4);
    EXPECT_EQ(Slot(1), (ActionValues{0x00, 0x01, 0, 0}));
    EXPECT_EQ(pendingSettings.buttons[1].filter, 8);
    EXPECT_EQ(rowOneLabel->text(), "Left Button");
    EXPECT_EQ(buttons[0]->text(), "MUTE");
    EXPECT_EQ(page.CurrentSlot(), 0);

    ClickBox(leftHanded);
    ASSERT_FALSE(leftHanded->isChecked());
    EXPECT_EQ(Slot(0), (ActionValues{0x00, 0x01, 0, 0}));
    EXPECT_EQ(pendingSettings.buttons[0].filter, 8);
    EXPECT_EQ(Slot(1), (ActionValues{0x20, 0xE2, 0, 0}));
    EXPECT_EQ(pendingSettings.buttons[1].filter, 4);
    EXPECT_EQ(rowOneLabel->text(), "Right Button");
    EXPECT_EQ(page.CurrentSlot(), 1);
}

TEST_F(MouseSetTest, UnnamedActionsKeepThePreviousText) {
    pendingSettings.buttons[2] = {0x05, 0x01, 0, 0, 8};
    pendingSettings.buttons[6] = {0x00, 0x20, 0, 0, 8};
    pendingSettings.buttons[7] = {0x02, 0x00, 0, 0, 8};  // empty text: shown
    page.LoadFromSettings();
    EXPECT_EQ(buttons[1]->text(), "MIDDLE CLICK");
    EXPECT_EQ(buttons[4]->text(), "SCROLL UP");
    EXPECT_EQ(buttons[5]->text(), "");
}

TEST_F(MouseSetTest, CapturedKeyIsStoredAndReadsBackTheSame) {
    pendingSettings.buttons[3].filter = 20;
    WhenDialogOpens([](QDialog& dialog) {
        TypingKeySource::current->Type(0x41);
        ClickBox(dialog.findChild<QCheckBox*>("shiftCheck"));
        ClickBox(dialog.findChild<QCheckBox*>("ctrlCheck"));
        ClickOk(dialog, "keyboardOkButton");
    });
    Choose(2, kKeyboardKeyCommand);
    EXPECT_EQ(buttons[2]->text(), "Shift+Ctrl+A");
    EXPECT_EQ(Slot(3), (ActionValues{0x02, 0x03, 0x04, 0}));
    EXPECT_EQ(pendingSettings.buttons[3].filter, 20);
    EXPECT_FALSE(KeyHookInstalled());

    // After a reload the text comes from the stored bits alone, every one of
    // them, and the screen reader reads the same.
    page.LoadFromSettings();
    EXPECT_EQ(buttons[2]->text(), "Shift+Ctrl+A");
    pendingSettings.buttons[3] = {0x02, 0x03, 0x68, 0, 20};
    page.LoadFromSettings();
    EXPECT_EQ(buttons[2]->text(), "Shift+Ctrl+F13");
    EXPECT_EQ(AccessibleName(buttons[2]), "Shift+Ctrl+F13");
    pendingSettings.buttons[3] = {0x02, 0x03, 0x00, 0, 20};
    page.LoadFromSettings();
    EXPECT_EQ(buttons[2]->text(), "Shift+Ctrl+");
}

// A French layout types "a" on the Q key: the button says both, made from
// the stored key and the layout in use whenever it is shown: after a reload,
// and after a switch of layout; the mouse stores the key's position. "&"
// shows as itself, to the eye and to a screen reader.
TEST_F(MouseSetTest, AKeyShowsWhatTheLayoutInUseTypesOnIt) {
    SetLayoutKeysymLookup(FrenchKeysym);
    WhenDialogOpens([](QDialog& dialog) {
        TypingKeySource::current->Type('Q');
        ClickBox(dialog.findChild<QCheckBox*>("ctrlCheck"));
        ClickOk(dialog, "keyboardOkButton");
    });
    Choose(2, kKeyboardKeyCommand);
    EXPECT_EQ(buttons[2]->text(), "Ctrl+Q (a)");
    EXPECT_EQ(Slot(3), (ActionValues{0x02, 0x01, 0x14, 0}));
    page.LoadFromSettings();
    EXPECT_EQ(buttons[2]->text(), "Ctrl+Q (a)");

    pendingSettings.buttons[4] = {0x02, 0x00, 0x1E, 0, 8};  // the 1 key
    page.LoadFromSettings();
    EXPECT_EQ(buttons[3]->text(), "1 (&&)");
    EXPECT_EQ(AccessibleName(buttons[3]), "1 (&)");
    EXPECT_TRUE(buttons[3]->shortcut().isEmpty());

    SetLayoutKeysymLookup(GermanKeysym);
    QEvent layoutChange(QEvent::KeyboardLayoutChange);
    QCoreApplication::sendEvent(&page, &layoutChange);
    EXPECT_EQ(buttons[2]->text(), "Ctrl+Q");
    pendingSettings.buttons[4] = {0x02, 0x00, 0x2D, 0, 8};  // the minus key
    page.LoadFromSettings();
    EXPECT_EQ(buttons[3]->text(), QString::fromUtf8("- (ß)"));
}

TEST_F(MouseSetTest, CapturedModifierKeyAloneIsOnlyThatKey) {
    WhenDialogOpens([](QDialog& dialog) {
        TypingKeySource::current->Type(0xA3);
        ClickOk(dialog, "keyboardOkButton");
    });
    Choose(0, kKeyboardKeyCommand);
    EXPECT_EQ(buttons[0]->text(), "Right Control");
    EXPECT_EQ(Slot(1), (ActionValues{0x02, 0x00, 0xE4, 0}));
}

TEST_F(MouseSetTest, ARefusedKeyWithModifiersStoresNothing) {
    const ButtonAction before = pendingSettings.buttons[1];
    WhenDialogOpens([](QDialog& dialog) {
        TypingKeySource::current->Type(0xA2);  // pressed and let go: Left Control
        TypingKeySource::current->Type(0xB3);  // Play/Pause, refused
        ClickOk(dialog, "keyboardOkButton");   // off: nothing happens
        dialog.close();
    });
    Choose(0, kKeyboardKeyCommand);
    EXPECT_EQ(buttons[0]->text(), "RIGHT CLICK");
    EXPECT_EQ(Slot(1), ValuesOf(before));
}

TEST_F(MouseSetTest, KeyDialogWithoutTextOrCancelledChangesNothing) {
    const ButtonAction before = pendingSettings.buttons[1];
    WhenDialogOpens([](QDialog& dialog) {
        ClickOk(dialog, "keyboardOkButton");  // no key: OK is off
        dialog.close();
    });
    Choose(0, kKeyboardKeyCommand);
    EXPECT_EQ(buttons[0]->text(), "RIGHT CLICK");
    EXPECT_EQ(Slot(1), ValuesOf(before));

    WhenDialogOpens([](QDialog& dialog) {
        TypingKeySource::current->Type(0x41);
        dialog.close();
    });
    Choose(0, kKeyboardKeyCommand);
    EXPECT_EQ(buttons[0]->text(), "RIGHT CLICK");
    EXPECT_EQ(Slot(1), ValuesOf(before));
    EXPECT_FALSE(KeyHookInstalled());
}

TEST_F(MouseSetTest, ChoosingAnItemRunsItsDialogOnce) {
    int opened = 0;
    WhenDialogOpens([](QDialog& dialog) { dialog.close(); }, &opened);
    Choose(0, kKeyboardKeyCommand);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(opened, 1);
}

TEST_F(MouseSetTest, FixedCpiPairIsStoredAndShown) {
    pendingSettings.buttons[4].filter = 20;
    WhenDialogOpens([](QDialog& dialog) { ClickOk(dialog, "fixedCpiOkButton"); });
    Choose(3, kFixedCpiCommand);
    EXPECT_EQ(buttons[3]->text(), "CPI: 400");
    EXPECT_EQ(Slot(4), (ActionValues{0x0C, 0x00, 400, 400}));
    EXPECT_EQ(pendingSettings.buttons[4].filter, 20);

    WhenDialogOpens([](QDialog& dialog) {
        ClickBox(dialog.findChild<QCheckBox*>("fixedXySettingsCheck"));
        auto* y = dialog.findChild<QLineEdit*>("fixedCpiYField");
        y->setText("30000");
        ClickOk(dialog, "fixedCpiOkButton");
    });
    Choose(0, kFixedCpiCommand);
    EXPECT_EQ(buttons[0]->text(), "X: 400, Y: 30000");
    EXPECT_EQ(Slot(1), (ActionValues{0x0C, 0x00, 400, 30000}));

    // Opened again, the dialog starts at what the button holds.
    QString shown;
    WhenDialogOpens([&shown](QDialog& dialog) {
        shown = dialog.findChild<QLineEdit*>("fixedCpiXField")->text() + "/" +
                dialog.findChild<QLineEdit*>("fixedCpiYField")->text();
        dialog.close();
    });
    Choose(0, kFixedCpiCommand);
    EXPECT_EQ(shown, "400/30000");
    EXPECT_EQ(Slot(1), (ActionValues{0x0C, 0x00, 400, 30000}));
}

TEST_F(MouseSetTest, CancelledFixedCpiChangesNothing) {
    WhenDialogOpens([](QDialog& dialog) { dialog.close(); });
    Choose(1, kFixedCpiCommand);
    EXPECT_EQ(buttons[1]->text(), "MIDDLE CLICK");
    EXPECT_EQ(Slot(2), (ActionValues{0x00, 0x04, 0, 0}));
}

TEST_F(MouseSetTest, DeviceAvailabilityEnablesTheBoxAndTheButtons) {
    page.SetDeviceAvailable(false);
    EXPECT_FALSE(leftHanded->isEnabled());
    for (QPushButton* button : buttons) {
        EXPECT_FALSE(button->isEnabled());
    }
    page.SetDeviceAvailable(true);
    EXPECT_TRUE(leftHanded->isEnabled());
    for (QPushButton* button : buttons) {
        EXPECT_TRUE(button->isEnabled());
    }
}

// A Wayland compositor shows a pop-up only for the latest input event, so the
// menu opens as Space goes down; its release must not choose anything.
TEST_F(MouseSetTest, SpaceOpensTheMenuAsItGoesDown) {
    const SettingsRecord before = pendingSettings;
    buttons[2]->setFocus(Qt::TabFocusReason);
    QTest::keyPress(buttons[2], Qt::Key_Space);
    EXPECT_TRUE(page.ActionMenu()->isVisible());
    EXPECT_EQ(page.CurrentSlot(), 3);
    QTest::keyRelease(buttons[2], Qt::Key_Space);
    EXPECT_TRUE(page.ActionMenu()->isVisible());
    page.ActionMenu()->hide();
    EXPECT_FALSE(SettingsDiffer(pendingSettings, before));
    EXPECT_EQ(buttons[2]->text(), "FORWARD");
}

TEST_F(MouseSetTest, LongestKeyTextIsShownWhole) {
    WhenDialogOpens([](QDialog& dialog) {
        TypingKeySource::current->Type(0xA3);  // Right Control
        for (const char* box : {"shiftCheck", "ctrlCheck", "winCheck", "altCheck"}) {
            ClickBox(dialog.findChild<QCheckBox*>(box));
        }
        ClickOk(dialog, "keyboardOkButton");
    });
    Choose(0, kKeyboardKeyCommand);
    ASSERT_EQ(buttons[0]->text(), "Shift+Ctrl+Win+Alt+Right Control");
    EXPECT_GE(buttons[0]->width(), buttons[0]->sizeHint().width());
}

TEST_F(MouseSetTest, EveryTextAButtonCanShowFits) {
    QStringList texts{"X: 30000, Y: 29990"};
    for (const ActionEntry& entry : ActionTable()) {
        texts << entry.label;
    }
    for (int key = 0; key <= 0xFF; ++key) {
        texts << "Shift+Ctrl+Win+Alt+" + QString::fromStdString(KeyName(key));
    }
    for (const KeyRow& key : AssignableKeys()) {
        texts << "Shift+Ctrl+Win+Alt+" + QString::fromUtf8(key.name) + " (\u00DF)";
    }
    texts << "Shift+Ctrl+Win+Alt+` (Katakana/Hiragana)";
    texts << "Shift+Unknown key 0xFF";
    QPushButton* button = buttons[3];
    for (const QString& text : texts) {
        button->setText(text);
        EXPECT_GE(button->width(), button->sizeHint().width()) << text.toStdString();
    }
}

}  // namespace
