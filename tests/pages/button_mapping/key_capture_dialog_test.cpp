#include "pages/button_mapping/key_capture_dialog.h"

#include <gtest/gtest.h>

#include <linux/input-event-codes.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QWindow>
#include <thread>
#include <tuple>

#include "pages/button_mapping/key_source.h"
#include "pages/button_mapping/key_source_qt.h"
#include "pages/button_mapping/keyboard_layout.h"
#include "settings/button_actions.h"
#include "settings/key_table.h"
#include "support/keyboard_walk.h"
#include "support/message_recorder.h"
#include "support/unbindable_keys.h"

namespace {

// A key source the test types into; it delivers through the sink it was
// started with, as the real sources do.
class FakeKeySource : public KeySource {
public:
    explicit FakeKeySource(bool starts, bool everywhere = true)
        : starts_(starts), everywhere_(everywhere) {}
    ~FakeKeySource() override {
        if (running_) {
            --live;
        }
        if (current == this) {
            current = nullptr;
        }
    }
    bool Start(Sink sink) override {
        if (!starts_) {
            return false;
        }
        sink_ = std::move(sink);
        running_ = true;
        ++live;
        ++started;
        current = this;
        return true;
    }
    bool CapturesEverywhere() const override { return everywhere_; }
    void Push(uint16_t virtualKey, bool released = false, uint32_t keysym = 0) {
        sink_({virtualKey, released, keysym});
    }
    Sink sink_;

    static inline int live = 0;
    static inline int started = 0;
    static inline FakeKeySource* current = nullptr;

private:
    bool starts_;
    bool everywhere_;
    bool running_ = false;
};

void Deliver() {
    QCoreApplication::sendPostedEvents();
}

// A key as the platform hands it to a window: Qt's key and text, and the
// physical key's X key code (evdev code + 8) as the native scan code.
void SendKey(QWindow* window, QEvent::Type type, int evdevCode, int qtKey = Qt::Key_unknown,
             const QString& text = {}, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent event(type, qtKey, modifiers, evdevCode + kXKeycodeOffset, 0, 0, text);
    QCoreApplication::sendEvent(window, &event);
}

void PressAndRelease(QWindow* window, int evdevCode, int qtKey = Qt::Key_unknown,
                     const QString& text = {}) {
    SendKey(window, QEvent::KeyPress, evdevCode, qtKey, text);
    SendKey(window, QEvent::KeyRelease, evdevCode, qtKey, text);
    Deliver();
}

KeySourceList InToolSourceOnly() {
    KeySourceList list;
    list.push_back(std::make_unique<QtKeySource>());
    return list;
}

void Type(uint16_t virtualKey) {
    ASSERT_NE(FakeKeySource::current, nullptr);
    FakeKeySource::current->Push(virtualKey);
    FakeKeySource::current->Push(virtualKey, true);
    Deliver();
}

template <typename T>
T* Child(QWidget& parent, const char* name) {
    T* child = parent.findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
}

class KeyboardDialogTest : public testing::Test {
protected:
    void SetUp() override {
        keyCapture = {};
        FakeKeySource::live = 0;
        FakeKeySource::started = 0;
        UseSources({true});
        // No live keymap: the layout's legend comes from the key event.
        SetLayoutKeysymLookup([](uint16_t) { return 0u; });
    }
    void TearDown() override {
        SetKeySourceFactory({});
        SetLayoutKeysymLookup({});
    }

    // The sources offered to the next hook, best first; true = it can start.
    static void UseSources(std::vector<bool> starts, bool everywhere = true) {
        SetKeySourceFactory([starts, everywhere] {
            KeySourceList list;
            for (bool s : starts) {
                list.push_back(std::make_unique<FakeKeySource>(s, everywhere));
            }
            return list;
        });
    }

    MessageRecorder messages;
};

TEST_F(KeyboardDialogTest, OpensEmptyWithItsControls) {
    keyCapture = {0x41, 0x03, "Shift+CTRL+A"};
    CKeyboard dialog;
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "KEYBOARD KEY");
    EXPECT_TRUE(Child<QLabel>(dialog, "keyLabel")->text().isEmpty());
    for (const char* box : {"shiftCheck", "ctrlCheck", "winCheck", "altCheck"}) {
        EXPECT_FALSE(Child<QCheckBox>(dialog, box)->isChecked()) << box;
    }
    EXPECT_EQ(Child<QCheckBox>(dialog, "shiftCheck")->text(), "SHIFT");
    EXPECT_EQ(Child<QCheckBox>(dialog, "ctrlCheck")->text(), "CTRL");
    EXPECT_EQ(Child<QCheckBox>(dialog, "winCheck")->text(), "WIN");
    EXPECT_EQ(Child<QCheckBox>(dialog, "altCheck")->text(), "ALT");
    EXPECT_EQ(Child<QPushButton>(dialog, "keyboardOkButton")->text(), "OK");
    EXPECT_TRUE(dialog.CapturesKeys());
    EXPECT_TRUE(messages.messages.isEmpty());
}

// What OK leaves behind: the captured key's name after the checked boxes'
// prefixes, the boxes' bits, and the action the page stores.
TEST_F(KeyboardDialogTest, OkGivesTheTextTheModifiersAndTheAction) {
    struct Case {
        const char* what;
        uint16_t codeBefore;             // keyCapture.keyCode when the dialog opens
        std::vector<uint16_t> keys;      // typed, in order
        std::vector<const char*> boxes;  // clicked, in order
        const char* keyText;
        uint8_t modifiers;
        uint16_t keyCode;
        ActionValues action;
    };
    const Case cases[] = {
        {"A with SHIFT and CTRL",
         0,
         {0x41},
         {"shiftCheck", "ctrlCheck"},
         "Shift+Ctrl+A",
         0x03,
         0x41,
         {0x02, 0x03, 0x04, 0}},
        {"prefixes in box order",
         0,
         {0x70},
         {"altCheck", "winCheck", "ctrlCheck", "shiftCheck"},
         "Shift+Ctrl+Win+Alt+F1",
         0x0F,
         0x70,
         {0x02, 0x0F, 0x3A, 0}},
        // A modifier key alone is its own usage, without the left-hand bit.
        {"Left Shift alone", 0, {0xA0}, {}, "Left Shift", 0, 0xA0, {0x02, 0x00, 0xE1, 0}},
        {"Right Control alone", 0, {0xA3}, {}, "Right Control", 0, 0xA3, {0x02, 0x00, 0xE4, 0}},
        {"F13", 0, {0x7C}, {}, "F13", 0, 0x7C, {0x02, 0x00, 0x68, 0}},
        {"Keypad 1", 0, {0x61}, {}, "Num 1", 0, 0x61, {0x02, 0x00, 0x59, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        keyCapture = {};
        keyCapture.keyCode = c.codeBefore;
        CKeyboard dialog;
        dialog.show();
        for (const uint16_t key : c.keys) {
            Type(key);
        }
        for (const char* box : c.boxes) {
            QTest::mouseClick(Child<QCheckBox>(dialog, box), Qt::LeftButton);
        }
        QTest::mouseClick(Child<QPushButton>(dialog, "keyboardOkButton"), Qt::LeftButton);
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(keyCapture.keyText, c.keyText);
        EXPECT_EQ(keyCapture.modifiers, c.modifiers);
        EXPECT_EQ(keyCapture.keyCode, c.keyCode);
        EXPECT_EQ(EncodeKeyAction(keyCapture), c.action);
        EXPECT_FALSE(KeyHookInstalled());
    }
}

// A refused key refuses the whole capture: the text names the key (a media
// key points to the MEDIA menu), the modifiers held with it are not taken,
// and OK stays off, as it is until a key is taken: a modifier alone, or one
// left from an earlier capture, is never stored.
TEST_F(KeyboardDialogTest, ARefusedKeyRefusesTheWholeCapture) {
    // The command line refuses the same keys with the same words (tests/cli).
    std::vector<UnbindableKey> keys(std::begin(kUnbindableKeys), std::end(kUnbindableKeys));
    keys.push_back({0x00, "a key without a name"});
    for (const auto& [key, name] : keys) {
        SCOPED_TRACE(name);
        keyCapture = {0x13, 0, "Pause"};
        CKeyboard dialog;
        dialog.show();
        auto* ok = Child<QPushButton>(dialog, "keyboardOkButton");
        EXPECT_FALSE(ok->isEnabled());
        Type(0x41);
        EXPECT_TRUE(ok->isEnabled());
        FakeKeySource::current->Push(0xA2);  // Ctrl held ...
        FakeKeySource::current->Push(key);   // ... with the refused key
        Deliver();
        EXPECT_EQ(Child<QLabel>(dialog, "keyLabel")->text().toStdString(), KeyRefusalText(key));
        EXPECT_FALSE(Child<QCheckBox>(dialog, "ctrlCheck")->isChecked());
        EXPECT_EQ(keyCapture.keyCode, 0);
        EXPECT_FALSE(ok->isEnabled());
        QTest::mouseClick(Child<QCheckBox>(dialog, "shiftCheck"), Qt::LeftButton);
        QTest::mouseClick(ok, Qt::LeftButton);
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(keyCapture.keyText, "");
    }
    const std::string playPause = KeyRefusalText(0xB3);
    EXPECT_EQ(playPause,
              "Play/Pause cannot be assigned to a mouse button: choose PLAY/PAUSE in the MEDIA "
              "menu");
}

// Keyboard alone: the key field has the focus at opening and captures what is
// pressed there, Space and Enter included; Tab moves on without being
// captured, the other controls take their keys, and Esc cancels.
TEST_F(KeyboardDialogTest, WorksFromTheKeyboardAlone) {
    SetKeySourceFactory(InToolSourceOnly);
    CKeyboard dialog;
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    QLabel* label = Child<QLabel>(dialog, "keyLabel");
    ASSERT_EQ(QApplication::focusWidget(), label);
    struct Step {
        int evdevCode;
        Qt::Key key;
        const char* text;
        const char* label;  // after the key
        const char* focus;  // after the key
    };
    const Step steps[] = {
        {KEY_SPACE, Qt::Key_Space, " ", "Space", "keyLabel"},
        {KEY_ENTER, Qt::Key_Return, "\r", "Enter", "keyLabel"},
        {KEY_KPENTER, Qt::Key_Enter, "\r", "Num Enter", "keyLabel"},
        {KEY_TAB, Qt::Key_Tab, "\t", "Num Enter", "keyList"},
        {KEY_TAB, Qt::Key_Tab, "\t", "Num Enter", "shiftCheck"},
        {KEY_SPACE, Qt::Key_Space, " ", "Num Enter", "shiftCheck"},    // toggles SHIFT
        {KEY_ENTER, Qt::Key_Return, "\r", "Num Enter", "shiftCheck"},  // confirms nothing
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.label);
        PressAndRelease(dialog.windowHandle(), step.evdevCode, step.key, step.text);
        EXPECT_EQ(label->text(), step.label);
        EXPECT_EQ(FocusName(), step.focus);
        EXPECT_TRUE(dialog.isVisible());
    }
    EXPECT_TRUE(Child<QCheckBox>(dialog, "shiftCheck")->isChecked());
    // The captured key is in the field's name, which a screen reader reads.
    EXPECT_EQ(label->accessibleName(), "Key to bind: Num Enter");
    PressAndRelease(dialog.windowHandle(), KEY_ESC, Qt::Key_Escape, "\x1b");
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_FALSE(KeyHookInstalled());
}

TEST_F(KeyboardDialogTest, TabToOkAndEnterConfirmsTheKey) {
    SetKeySourceFactory(InToolSourceOnly);
    CKeyboard dialog;
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    PressAndRelease(dialog.windowHandle(), KEY_F5, Qt::Key_F5);
    while (FocusName() != "keyboardOkButton") {
        ASSERT_NE(FocusName(), "keyboardCancelButton");
        PressAndRelease(dialog.windowHandle(), KEY_TAB, Qt::Key_Tab, "\t");
    }
    PressAndRelease(dialog.windowHandle(), KEY_ENTER, Qt::Key_Return, "\r");
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(keyCapture.keyText, "F5");
    EXPECT_EQ(EncodeKeyAction(keyCapture), (ActionValues{0x02, 0x00, 0x3E, 0}));
}

// Modifiers held while a key is pressed become its modifiers; a modifier
// pressed alone is the key. AltGr cannot be stored, and the dialog says so.
TEST_F(KeyboardDialogTest, AChordTakesItsModifiers) {
    struct Case {
        std::vector<std::pair<uint16_t, bool>> events;  // key, released
        const char* label;
        uint8_t boxes;
        bool altGrNote;
        const char* keyText;  // after OK
    };
    const Case cases[] = {
        {{{0xA2, false}, {0xA0, false}, {'K', false}, {'K', true}, {0xA0, true}, {0xA2, true}},
         "K",
         kCtrlBit | kShiftBit,
         false,
         "Shift+Ctrl+K"},
        {{{0xA3, false}, {'K', false}}, "K", kCtrlBit, false, "Ctrl+K"},  // right = left
        {{{0xA0, false}, {0xA0, true}}, "Left Shift", 0, false, "Left Shift"},
        {{{0xA5, false}, {'Q', false}}, "Q", 0, true, "Q"},
        {{{0xA5, false}, {0xA5, true}, {'Q', false}}, "Q", 0, false, "Q"},  // let go before
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keyText);
        CKeyboard dialog;
        dialog.show();
        for (const auto& [key, released] : c.events) {
            FakeKeySource::current->Push(key, released);
        }
        Deliver();
        EXPECT_EQ(Child<QLabel>(dialog, "keyLabel")->text(), c.label);
        QLabel* note = Child<QLabel>(dialog, "modifierNoteLabel");
        EXPECT_EQ(!note->isHidden(), c.altGrNote);
        if (c.altGrNote) {
            EXPECT_EQ(note->text(), "AltGr cannot be stored: the mouse sends Right Alt");
        }
        QTest::mouseClick(Child<QPushButton>(dialog, "keyboardOkButton"), Qt::LeftButton);
        EXPECT_EQ(keyCapture.keyText, c.keyText);
        EXPECT_EQ(keyCapture.modifiers, c.boxes);
    }
}

TEST_F(KeyboardDialogTest, CancelLeavesWithoutAResult) {
    CKeyboard dialog;
    dialog.show();
    Type('A');
    QTest::mouseClick(Child<QPushButton>(dialog, "keyboardCancelButton"), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_FALSE(KeyHookInstalled());
}

TEST_F(KeyboardDialogTest, AReleaseWithoutItsPressIsNotCaptured) {
    // The Enter that chose "KEYBOARD KEY" in the menu comes up in the open dialog.
    keyCapture.keyCode = 0x41;
    CKeyboard dialog;
    dialog.show();
    FakeKeySource::current->Push(0x0D, true);
    Deliver();
    EXPECT_EQ(Child<QLabel>(dialog, "keyLabel")->text(), "");
    EXPECT_EQ(keyCapture.keyCode, 0x41);
    FakeKeySource::current->Push(0x0D);
    Deliver();
    EXPECT_EQ(Child<QLabel>(dialog, "keyLabel")->text(), "Enter");
}

TEST_F(KeyboardDialogTest, TheLabelAddsWhatTheLayoutTypesButNothingIsStored) {
    struct Case {
        uint16_t key;
        uint32_t keysym;
        const char* label;
    };
    const Case cases[] = {
        {0xBD, 0xDF, "- (\u00DF)"},             // German ß on the minus key
        {0x59, 'z', "Y (z)"},                   // German Z on the Y key
        {0x31, '&', "1 (&)"},                   // French layout's 1 key
        {0xC0, 0xFE52, "` (^)"},                // German dead circumflex
        {0xC0, 0xFF2A, "` (Zenkaku/Hankaku)"},  // the Japanese layout's key there
        {0x189, '\\', "Yen (\u00A5)"},          // its backslash, under a ¥ keycap
        {0x41, 'a', "A"},                       // the same letter
        {0xBD, '-', "-"},
        {0x6A, 0xFFAA, "Num *"},  // KP_Multiply: what the name says
        {0x0D, 0xFF0D, "Enter"},  // no printable character
        {0x20, ' ', "Space"},
        {0x7C, 0, "F13"},  // nothing known
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        CKeyboard dialog;
        dialog.show();
        FakeKeySource::current->Push(c.key, false, c.keysym);
        Deliver();
        EXPECT_EQ(Child<QLabel>(dialog, "keyLabel")->text(), QString::fromUtf8(c.label));
        EXPECT_EQ(keyCapture.keyText, KeyName(c.key));
        QTest::mouseClick(Child<QPushButton>(dialog, "keyboardOkButton"), Qt::LeftButton);
        EXPECT_EQ(keyCapture.keyText, KeyName(c.key));
    }
}

// A keymap of two layouts where the compositor told the window nothing of
// which is active: the key as pressed shows the layout it was typed with,
// and the live keymap answers where the event says nothing.
TEST_F(KeyboardDialogTest, ThePressedKeysLegendWinsOverTheLiveKeymap) {
    SetLayoutKeysymLookup([](uint16_t evdevCode) { return evdevCode == KEY_Q ? 'q' : 'x'; });
    CKeyboard dialog;
    dialog.show();
    FakeKeySource::current->Push(0x51, false, 'a');  // the Q key on the French layout
    Deliver();
    EXPECT_EQ(Child<QLabel>(dialog, "keyLabel")->text(), "Q (a)");
    FakeKeySource::current->Push(0x5A, false, 0);  // the Z key, pressed with a modifier
    Deliver();
    EXPECT_EQ(Child<QLabel>(dialog, "keyLabel")->text(), "Z (x)");
}

TEST_F(KeyboardDialogTest, NoSourceShowsHookFailedAndOkStillWorks) {
    UseSources({false, false});
    CKeyboard dialog;
    dialog.show();
    EXPECT_EQ(messages.messages, QStringList{"hook failed."});
    EXPECT_FALSE(dialog.CapturesKeys());
    EXPECT_FALSE(KeyHookInstalled());
    QComboBox* list = Child<QComboBox>(dialog, "keyList");
    list->setCurrentIndex(list->findText("F13"));
    list->activated(list->currentIndex());
    QTest::mouseClick(Child<QCheckBox>(dialog, "altCheck"), Qt::LeftButton);
    QTest::mouseClick(Child<QPushButton>(dialog, "keyboardOkButton"), Qt::LeftButton);
    EXPECT_EQ(keyCapture.keyText, "Alt+F13");
    EXPECT_EQ(keyCapture.modifiers, 0x04);
}

TEST_F(KeyboardDialogTest, FallsBackToTheNextSourceWithoutAMessage) {
    UseSources({false, true});
    CKeyboard dialog;
    dialog.show();
    EXPECT_TRUE(messages.messages.isEmpty());
    EXPECT_TRUE(dialog.CapturesKeys());
    Type(0x5A);
    EXPECT_EQ(Child<QLabel>(dialog, "keyLabel")->text(), "Z");
}

TEST_F(KeyboardDialogTest, NeverMoreThanOneSourceAndNoneAfterClosing) {
    auto first = std::make_unique<CKeyboard>();
    first->show();
    EXPECT_EQ(FakeKeySource::live, 1);
    FakeKeySource* firstSource = FakeKeySource::current;
    KeySource::Sink staleSink = firstSource->sink_;

    CKeyboard second;
    second.show();
    EXPECT_EQ(FakeKeySource::live, 1);
    EXPECT_EQ(FakeKeySource::started, 2);
    EXPECT_FALSE(first->CapturesKeys());
    EXPECT_TRUE(second.CapturesKeys());

    // An event the first source queued before it was stopped goes nowhere.
    staleSink({0x41, false});
    Deliver();
    EXPECT_EQ(Child<QLabel>(second, "keyLabel")->text(), "");
    EXPECT_EQ(Child<QLabel>(*first, "keyLabel")->text(), "");

    first.reset();  // the later dialog's hook stays
    EXPECT_TRUE(second.CapturesKeys());

    second.close();  // the close box
    EXPECT_EQ(second.result(), QDialog::Rejected);
    EXPECT_EQ(FakeKeySource::live, 0);
    EXPECT_FALSE(KeyHookInstalled());
}

TEST_F(KeyboardDialogTest, DestroyingTheDialogRemovesItsSource) {
    {
        CKeyboard dialog;
        dialog.show();
        EXPECT_EQ(FakeKeySource::live, 1);
    }
    EXPECT_EQ(FakeKeySource::live, 0);
    EXPECT_FALSE(KeyHookInstalled());
}

TEST_F(KeyboardDialogTest, EventsFromAnotherThreadArriveOnTheUiThread) {
    CKeyboard dialog;
    dialog.show();
    KeySource::Sink sink = FakeKeySource::current->sink_;
    std::thread reader([&sink] { sink({0x26, false}); });
    reader.join();
    EXPECT_EQ(Child<QLabel>(dialog, "keyLabel")->text(), "");  // not before the loop runs
    Deliver();
    EXPECT_EQ(Child<QLabel>(dialog, "keyLabel")->text(), "Up Arrow");
}

TEST_F(KeyboardDialogTest, SaysInOneLineWhenOnlyKeysTypedIntoItAreCaptured) {
    struct Case {
        std::vector<bool> starts;
        bool everywhere;
        bool noteShown;
    };
    const Case cases[] = {
        {{true}, true, false},           // global source
        {{false, true}, false, true},    // fell back to the in-tool filter
        {{false, false}, false, false},  // nothing runs: "hook failed." says it
    };
    for (const Case& c : cases) {
        UseSources(c.starts, c.everywhere);
        messages.messages.clear();
        CKeyboard dialog;
        dialog.show();
        QLabel* note = Child<QLabel>(dialog, "captureNoteLabel");
        EXPECT_EQ(note->isVisible(), c.noteShown);
        EXPECT_EQ(note->text(), "Keys are captured only while this window is active.");
        const bool failed = !c.starts.back();
        EXPECT_EQ(messages.messages, failed ? QStringList{"hook failed."} : QStringList{});
    }
}

// The list of keys: grouped, searchable, and a choice there is a key press.
class KeyListTest : public KeyboardDialogTest {
protected:
    void SetUp() override {
        KeyboardDialogTest::SetUp();
        dialog.show();
        dialog.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
        list = Child<QComboBox>(dialog, "keyList");
        label = Child<QLabel>(dialog, "keyLabel");
    }

    // Picks the entry with the mouse from the opened list.
    void Pick(int row) {
        list->showPopup();
        QAbstractItemView* view = list->view();
        const QModelIndex index = view->model()->index(row, 0);
        view->scrollTo(index);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
        Deliver();
    }

    int RowOf(const QString& text) { return list->findText(text, Qt::MatchExactly); }

    CKeyboard dialog;
    QComboBox* list = nullptr;
    QLabel* label = nullptr;
};

TEST_F(KeyListTest, ListsEveryAssignableKeyUnderItsGroup) {
    EXPECT_TRUE(list->isEditable());
    EXPECT_EQ(list->currentText(), "");
    int keys = 0;
    QStringList headings;
    for (int row = 0; row < list->count(); ++row) {
        const QModelIndex index = list->model()->index(row, 0);
        if (list->itemData(row, Qt::UserRole).isValid()) {
            ++keys;
            EXPECT_TRUE(index.flags() & Qt::ItemIsSelectable) << list->itemText(row).toStdString();
        } else {
            headings << list->itemText(row);
            EXPECT_FALSE(index.flags() & Qt::ItemIsSelectable);
        }
    }
    EXPECT_EQ(keys, static_cast<int>(AssignableKeys().size()));
    const QStringList expected = {"Letters",
                                  "Digits",
                                  "F1 to F24",
                                  "Editing and navigation",
                                  "Punctuation (by US-layout position)",
                                  "Keypad",
                                  "Modifiers",
                                  "Media",
                                  "International"};
    EXPECT_EQ(headings, expected);
    EXPECT_EQ(list->itemText(RowOf("F13") - 13), "F1 to F24");
}

TEST_F(KeyListTest, ChoosingAKeyGivesWhatPressingItGives) {
    // Each key is pressed through the in-tool source by its physical key, then
    // chosen from the list; both must leave the same capture behind.
    SetKeySourceFactory(InToolSourceOnly);
    CKeyboard pressDialog;
    pressDialog.show();
    QWidget* focus = Child<QLabel>(pressDialog, "keyLabel");
    for (const AssignableKey& key : AssignableKeys()) {
        SCOPED_TRACE(key.name);
        if (key.virtualKey == 0x09 || key.virtualKey == 0x1B) {
            continue;  // Tab moves on and Esc cancels: the list is their way in
        }
        int evdev = 0;
        while (evdev < 256 && EvdevToVirtualKey(evdev) != key.virtualKey) {
            ++evdev;
        }
        ASSERT_LT(evdev, 256) << "no key position gives it";
        focus->setFocus();
        keyCapture = {};
        SendKey(pressDialog.windowHandle(), QEvent::KeyPress, evdev, Qt::Key_0);
        Deliver();
        const KeyCaptureState pressed = keyCapture;
        const QString pressedLabel = Child<QLabel>(pressDialog, "keyLabel")->text();
        SendKey(pressDialog.windowHandle(), QEvent::KeyRelease, evdev, Qt::Key_0);

        keyCapture = {};
        Pick(RowOf(QString::fromUtf8(key.name)));
        EXPECT_EQ(list->currentText(), QString::fromUtf8(key.name));
        EXPECT_EQ(keyCapture.keyCode, pressed.keyCode);
        EXPECT_EQ(keyCapture.keyText, pressed.keyText);
        EXPECT_FALSE(pressed.keyText.empty());
        EXPECT_EQ(EncodeKeyAction(keyCapture), EncodeKeyAction(pressed));
        EXPECT_EQ(label->text(), pressedLabel);
    }
}

TEST_F(KeyListTest, ChoiceTakesTheModifierBoxesAndOk) {
    Pick(RowOf("F13"));
    QTest::mouseClick(Child<QCheckBox>(dialog, "ctrlCheck"), Qt::LeftButton);
    QTest::mouseClick(Child<QPushButton>(dialog, "keyboardOkButton"), Qt::LeftButton);
    EXPECT_EQ(keyCapture.keyText, "Ctrl+F13");
    EXPECT_EQ(EncodeKeyAction(keyCapture), (ActionValues{0x02, 0x01, 0x68, 0}));
}

TEST_F(KeyListTest, TypingFiltersTheListAndEnterChooses) {
    QLineEdit* edit = list->lineEdit();
    edit->setFocus();
    QTest::keyClicks(edit, "yen");
    QAbstractItemView* popup = list->completer()->popup();
    ASSERT_TRUE(popup->isVisible());
    ASSERT_EQ(popup->model()->rowCount(), 1);
    EXPECT_EQ(popup->model()->index(0, 0).data().toString(), "Yen");
    QTest::keyClick(popup, Qt::Key_Down);
    QTest::keyClick(popup, Qt::Key_Return);
    Deliver();
    EXPECT_EQ(label->text(), "Yen");
    EXPECT_EQ(EncodeKeyAction(keyCapture), (ActionValues{0x02, 0x00, 0x89, 0}));
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(KeyboardDialogTest, KeysTypedIntoTheListSearchItAndAreNotCaptured) {
    SetKeySourceFactory(InToolSourceOnly);
    CKeyboard dialog;
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    QComboBox* list = Child<QComboBox>(dialog, "keyList");
    QLabel* label = Child<QLabel>(dialog, "keyLabel");
    list->lineEdit()->setFocus();
    PressAndRelease(dialog.windowHandle(), KEY_F, Qt::Key_F, "f");
    PressAndRelease(dialog.windowHandle(), KEY_1, Qt::Key_1, "1");
    EXPECT_EQ(list->lineEdit()->text(), "f1");  // each key once
    EXPECT_EQ(label->text(), "");

    // Elsewhere they are not captured either; in the key field they are, and
    // the list lets go of its text.
    Child<QCheckBox>(dialog, "winCheck")->setFocus();
    PressAndRelease(dialog.windowHandle(), KEY_F, Qt::Key_F, "f");
    EXPECT_EQ(label->text(), "");
    label->setFocus();
    PressAndRelease(dialog.windowHandle(), KEY_F, Qt::Key_F, "f");
    EXPECT_EQ(label->text(), "F");
    EXPECT_EQ(list->lineEdit()->text(), "");
}

TEST_F(KeyListTest, AKeyThatLeavesTheListIsNotCapturedOnItsRelease) {
    list->lineEdit()->setFocus();
    FakeKeySource::current->Push(0x09);  // Tab, pressed in the list ...
    Deliver();
    label->setFocus();
    FakeKeySource::current->Push(0x09, true);  // ... released in the key field
    Deliver();
    EXPECT_EQ(label->text(), "");
    Type(0x09);  // Tab moves on from the key field too; the list has it
    EXPECT_EQ(label->text(), "");
    Type(0x41);
    EXPECT_EQ(label->text(), "A");
}

TEST_F(KeyListTest, ThePressedKeyWinsOverAnEarlierChoice) {
    Pick(RowOf("Num 7"));
    EXPECT_EQ(label->text(), "Num 7");
    EXPECT_EQ(keyCapture.keyCode, 0x67);
    Type(0x41);
    EXPECT_EQ(label->text(), "A");
    EXPECT_EQ(list->currentText(), "");
}

using KeyEvents = std::vector<std::pair<uint16_t, bool>>;

// A window with a focused check box, and the in-tool source hooked to it.
class QtKeySourceTest : public testing::Test {
protected:
    void SetUp() override {
        SetKeySourceFactory(InToolSourceOnly);
        box = new QCheckBox("box", &window);  // ignores A, which goes on to the window
        window.show();
        box->setFocus();
        ASSERT_TRUE(InstallKeyHook(&owner, [this](const KeyEvent& event) {
            events.emplace_back(event.virtualKey, event.released);
            keysyms.push_back(event.layoutKeysym);
        }));
    }
    void TearDown() override {
        RemoveKeyHook(&owner);
        EXPECT_FALSE(KeyHookInstalled());
        SetKeySourceFactory({});
    }

    QWidget window;
    QCheckBox* box = nullptr;
    QObject owner;
    KeyEvents events;
    std::vector<uint32_t> keysyms;
};

TEST_F(QtKeySourceTest, DeliversEachKeyOnceThoughItTravelsUpTheWidgets) {
    EXPECT_FALSE(KeyHookCapturesEverywhere());
    PressAndRelease(window.windowHandle(), KEY_A, Qt::Key_A, "a");
    PressAndRelease(window.windowHandle(), KEY_A, Qt::Key_A, "a");
    const KeyEvents expected = {{0x41, false}, {0x41, true}, {0x41, false}, {0x41, true}};
    EXPECT_EQ(events, expected);
}

TEST_F(QtKeySourceTest, DeliversEveryKeyOfAChordInOneLoopPass) {
    // Handed to the window back to back with no event loop run between them,
    // the way a burst of key events from the platform arrives.
    const std::tuple<QEvent::Type, int, int, Qt::KeyboardModifiers> chord[] = {
        {QEvent::KeyPress, KEY_LEFTSHIFT, Qt::Key_Shift, Qt::ShiftModifier},
        {QEvent::KeyPress, KEY_A, Qt::Key_A, Qt::ShiftModifier},
        {QEvent::KeyRelease, KEY_A, Qt::Key_A, Qt::ShiftModifier},
        {QEvent::KeyRelease, KEY_LEFTSHIFT, Qt::Key_Shift, Qt::NoModifier},
    };
    for (const auto& [type, code, key, modifiers] : chord) {
        SendKey(window.windowHandle(), type, code, key, {}, modifiers);
    }
    Deliver();
    const KeyEvents expected = {{0xA0, false}, {0x41, false}, {0x41, true}, {0xA0, true}};
    EXPECT_EQ(events, expected);
}

TEST_F(QtKeySourceTest, TellsWhatTheLayoutTypesOnAKeyPressedAlone) {
    // The German layout's ß key: keysym ssharp as the native virtual key.
    QKeyEvent alone(QEvent::KeyPress, Qt::Key_ssharp, Qt::NoModifier, KEY_MINUS + 8, 0xDF, 0,
                    QString::fromUtf8("ß"));
    QCoreApplication::sendEvent(window.windowHandle(), &alone);
    QKeyEvent shifted(QEvent::KeyPress, Qt::Key_Question, Qt::ShiftModifier, KEY_MINUS + 8, '?', 0,
                      "?");
    QCoreApplication::sendEvent(window.windowHandle(), &shifted);
    Deliver();
    const KeyEvents expected = {{0xBD, false}, {0xBD, false}};
    EXPECT_EQ(events, expected);
    EXPECT_EQ(keysyms, std::vector<uint32_t>({0xDF, 0}));
}

TEST(KeysymCharacter, GivesWhatAKeyTypes) {
    const std::pair<uint32_t, char32_t> cases[] = {
        {0x0061, U'a'},
        {0x00DF, U'\u00DF'},      // ssharp
        {0x00FC, U'\u00FC'},      // udiaeresis
        {0x06C1, U'\u0430'},      // Cyrillic_a, a keysym of its own
        {0x01000444, U'\u0444'},  // a keysym by Unicode value
        {0xFE52, U'^'},           // dead_circumflex, in its spacing form
        {0xFE51, U'\u00B4'},      // dead_acute
        {0x1008FF81, 0},          // XF86Tools
        {0xFFC2, 0},              // F5
        {0, 0},
    };
    for (const auto& [keysym, character] : cases) {
        EXPECT_EQ(KeysymCharacter(keysym), character) << std::hex << "keysym " << keysym;
    }
}

TEST(QtKeySource, TakesThePhysicalKeyNotTheSymbol) {
    struct Case {
        quint32 scanCode;  // X key code
        int key;           // what the layout made of it
        Qt::KeyboardModifiers modifiers;
        uint16_t virtualKey;
    };
    const Case cases[] = {
        {KEY_A + 8, Qt::Key_A, Qt::NoModifier, 0x41},
        {KEY_Q + 8, Qt::Key_A, Qt::NoModifier, 0x51},           // French layout: A on Q
        {KEY_MINUS + 8, Qt::Key_ssharp, Qt::NoModifier, 0xBD},  // German: ß on minus
        {KEY_Y + 8, Qt::Key_Z, Qt::NoModifier, 0x59},           // German: Z on Y
        {191, Qt::Key_Tools, Qt::NoModifier, 0x7C},             // F13, XF86Tools in the keymap
        {KEY_RIGHTSHIFT + 8, Qt::Key_Shift, Qt::ShiftModifier, 0xA1},
        {KEY_RIGHTCTRL + 8, Qt::Key_Control, Qt::ControlModifier, 0xA3},
        {KEY_RIGHTMETA + 8, Qt::Key_Meta, Qt::MetaModifier, 0x5C},
        {KEY_REFRESH + 8, Qt::Key_Reload, Qt::NoModifier, 0xA8},
        {KEY_KP7 + 8, Qt::Key_7, Qt::KeypadModifier, 0x67},        // NumLock on
        {KEY_KP7 + 8, Qt::Key_Home, Qt::KeypadModifier, 0x67},     // NumLock off: the same key
        {KEY_KPDOT + 8, Qt::Key_Comma, Qt::KeypadModifier, 0x6E},  // German decimal comma
        {KEY_KPDOT + 8, Qt::Key_Delete, Qt::KeypadModifier, 0x6E},
        {KEY_KPPLUS + 8, Qt::Key_Plus, Qt::KeypadModifier, 0x6B},
        {0, Qt::Key_A, Qt::NoModifier, 0},  // no physical key: nothing to bind
    };
    for (const Case& c : cases) {
        QKeyEvent event(QEvent::KeyPress, c.key, c.modifiers, c.scanCode, 0, 0);
        EXPECT_EQ(QtKeyToVirtualKey(event), c.virtualKey) << "scan code " << c.scanCode;
    }
}

TEST(PlatformKeySources, GlobalCaptureOnX11OnlyThenTheInToolFilter) {
    struct Case {
        const char* platform;
        std::vector<bool> everywhere;  // per source, best first
    };
    const Case cases[] = {
#if KESTRINE_HAVE_XI
        {"xcb", {true, false}},
#else
        {"xcb", {false}},
#endif
        {"wayland", {false}},
        {"wayland-egl", {false}},
        {"offscreen", {false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.platform);
        const KeySourceList sources = PlatformKeySources(QString::fromUtf8(c.platform));
        std::vector<bool> everywhere;
        for (const auto& source : sources) {
            everywhere.push_back(source->CapturesEverywhere());
        }
        EXPECT_EQ(everywhere, c.everywhere);
        EXPECT_NE(dynamic_cast<QtKeySource*>(sources.back().get()), nullptr);
    }
}

}  // namespace
