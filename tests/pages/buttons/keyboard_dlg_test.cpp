#include "pages/buttons/keyboard_dlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QWindow>
#include <thread>
#include <tuple>

#include "pages/buttons/key_source.h"
#include "pages/buttons/key_source_keysyms.h"
#include "pages/buttons/key_source_qt.h"
#include "settings/button_actions.h"
#include "support/message_recorder.h"

namespace {

// A key source the test types into; it delivers through the sink it was
// started with, as the real sources do.
class FakeKeySource : public KeySource {
public:
    explicit FakeKeySource(bool starts) : starts_(starts) {}
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
    void Push(uint16_t virtualKey, bool released = false) { sink_(virtualKey, released); }
    Sink sink_;

    static inline int live = 0;
    static inline int started = 0;
    static inline FakeKeySource* current = nullptr;

private:
    bool starts_;
    bool running_ = false;
};

void Deliver() {
    QCoreApplication::sendPostedEvents();
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
    }
    void TearDown() override { SetKeySourceFactory({}); }

    // The sources offered to the next hook, best first; true = it can start.
    static void UseSources(std::vector<bool> starts) {
        SetKeySourceFactory([starts] {
            KeySourceList list;
            for (bool s : starts) {
                list.push_back(std::make_unique<FakeKeySource>(s));
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

TEST_F(KeyboardDialogTest, KeyWithShiftAndCtrlGivesTheCapitalCtrlSpelling) {
    CKeyboard dialog;
    dialog.show();
    Type(0x41);
    EXPECT_EQ(Child<QLabel>(dialog, "keyLabel")->text(), "A");
    EXPECT_EQ(keyCapture.keyText, "A");
    QTest::mouseClick(Child<QCheckBox>(dialog, "shiftCheck"), Qt::LeftButton);
    QTest::mouseClick(Child<QCheckBox>(dialog, "ctrlCheck"), Qt::LeftButton);
    QTest::mouseClick(Child<QPushButton>(dialog, "keyboardOkButton"), Qt::LeftButton);

    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(keyCapture.keyText, "Shift+CTRL+A");
    EXPECT_EQ(keyCapture.modifiers, 0x03);
    EXPECT_EQ(keyCapture.keyCode, 0x41);
    EXPECT_EQ(EncodeKeyAction(keyCapture), (ActionValues{0x02, 0x03, 0x04, 0}));
    EXPECT_FALSE(KeyHookInstalled());
}

TEST_F(KeyboardDialogTest, PrefixesFollowTheBoxOrder) {
    CKeyboard dialog;
    dialog.show();
    Type(0x70);
    for (const char* box : {"altCheck", "winCheck", "ctrlCheck", "shiftCheck"}) {
        QTest::mouseClick(Child<QCheckBox>(dialog, box), Qt::LeftButton);
    }
    QTest::mouseClick(Child<QPushButton>(dialog, "keyboardOkButton"), Qt::LeftButton);
    EXPECT_EQ(keyCapture.keyText, "Shift+CTRL+Win+Alt+F1");
    EXPECT_EQ(keyCapture.modifiers, 0x0F);
}

TEST_F(KeyboardDialogTest, LeftShiftAloneEncodesItsOwnBit) {
    CKeyboard dialog;
    dialog.show();
    Type(0xA0);
    QTest::mouseClick(Child<QPushButton>(dialog, "keyboardOkButton"), Qt::LeftButton);
    EXPECT_EQ(keyCapture.keyText, "Left Shift");
    EXPECT_EQ(keyCapture.modifiers, 0);
    EXPECT_EQ(EncodeKeyAction(keyCapture), (ActionValues{0x02, 0x02, 0xE1, 0}));
}

TEST_F(KeyboardDialogTest, OkWithoutKeyKeepsTheEarlierCodeAndGivesThePrefixesAlone) {
    keyCapture.keyCode = 0x13;
    {
        CKeyboard dialog;
        dialog.show();
        QTest::mouseClick(Child<QPushButton>(dialog, "keyboardOkButton"), Qt::LeftButton);
        EXPECT_EQ(keyCapture.keyText, "");
    }
    {
        CKeyboard dialog;
        dialog.show();
        QTest::mouseClick(Child<QCheckBox>(dialog, "shiftCheck"), Qt::LeftButton);
        QTest::mouseClick(Child<QPushButton>(dialog, "keyboardOkButton"), Qt::LeftButton);
        EXPECT_EQ(keyCapture.keyText, "Shift+");
        EXPECT_EQ(keyCapture.keyCode, 0x13);
    }
}

TEST_F(KeyboardDialogTest, KeyWithoutNameEmptiesTheLabel) {
    CKeyboard dialog;
    dialog.show();
    Type(0x41);
    Type(0x88);
    EXPECT_EQ(Child<QLabel>(dialog, "keyLabel")->text(), "");
    EXPECT_EQ(keyCapture.keyText, "");
    EXPECT_EQ(keyCapture.keyCode, 0x88);
}

TEST_F(KeyboardDialogTest, EscAndEnterAreCapturedAndDoNotCloseIt) {
    // The in-tool source: the keys typed into the dialog are the ones captured.
    SetKeySourceFactory([] {
        KeySourceList list;
        list.push_back(std::make_unique<QtKeySource>());
        return list;
    });
    CKeyboard dialog;
    dialog.show();
    QCheckBox* shift = Child<QCheckBox>(dialog, "shiftCheck");
    shift->setFocus();
    const std::pair<Qt::Key, const char*> keys[] = {
        {Qt::Key_Escape, "Esc"}, {Qt::Key_Return, "Enter"}, {Qt::Key_Enter, "Enter"}};
    for (const auto& [key, name] : keys) {
        QTest::keyClick(dialog.windowHandle(), key);
        Deliver();
        EXPECT_EQ(Child<QLabel>(dialog, "keyLabel")->text(), name);
        EXPECT_TRUE(dialog.isVisible()) << name;
        EXPECT_EQ(dialog.result(), 0);
    }
    // Keys are passed on: Space toggles the focused box and is captured too.
    QTest::keyClick(dialog.windowHandle(), Qt::Key_Space);
    Deliver();
    EXPECT_EQ(Child<QLabel>(dialog, "keyLabel")->text(), "Space");
    EXPECT_TRUE(shift->isChecked());
}

TEST_F(KeyboardDialogTest, NoSourceShowsHookFailedAndOkStillWorks) {
    UseSources({false, false});
    CKeyboard dialog;
    dialog.show();
    EXPECT_EQ(messages.messages, QStringList{"hook failed."});
    EXPECT_FALSE(dialog.CapturesKeys());
    EXPECT_FALSE(KeyHookInstalled());
    QTest::mouseClick(Child<QCheckBox>(dialog, "altCheck"), Qt::LeftButton);
    QTest::mouseClick(Child<QPushButton>(dialog, "keyboardOkButton"), Qt::LeftButton);
    EXPECT_EQ(keyCapture.keyText, "Alt+");
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
    staleSink(0x41, false);
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
    std::thread reader([&sink] { sink(0x26, false); });
    reader.join();
    EXPECT_EQ(Child<QLabel>(dialog, "keyLabel")->text(), "");  // not before the loop runs
    Deliver();
    EXPECT_EQ(Child<QLabel>(dialog, "keyLabel")->text(), "Up Arrow ");
}

using KeyEvents = std::vector<std::pair<uint16_t, bool>>;

// A window with a focused check box, and the in-tool source hooked to it.
class QtKeySourceTest : public testing::Test {
protected:
    void SetUp() override {
        SetKeySourceFactory([] {
            KeySourceList list;
            list.push_back(std::make_unique<QtKeySource>());
            return list;
        });
        box = new QCheckBox("box", &window);  // ignores A, which goes on to the window
        window.show();
        box->setFocus();
        ASSERT_TRUE(InstallKeyHook(
            &owner, [this](uint16_t key, bool released) { events.emplace_back(key, released); }));
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
};

TEST_F(QtKeySourceTest, DeliversEachKeyOnceThoughItTravelsUpTheWidgets) {
    QTest::keyClick(window.windowHandle(), Qt::Key_A);
    QTest::keyClick(window.windowHandle(), Qt::Key_A);
    Deliver();
    const KeyEvents expected = {{0x41, false}, {0x41, true}, {0x41, false}, {0x41, true}};
    EXPECT_EQ(events, expected);
}

TEST_F(QtKeySourceTest, DeliversEveryKeyOfAChordInOneLoopPass) {
    // Handed to the window back to back with no event loop run between them,
    // the way a burst of key events from the platform arrives.
    const std::tuple<QEvent::Type, int, Qt::KeyboardModifiers> chord[] = {
        {QEvent::KeyPress, Qt::Key_Shift, Qt::ShiftModifier},
        {QEvent::KeyPress, Qt::Key_A, Qt::ShiftModifier},
        {QEvent::KeyRelease, Qt::Key_A, Qt::ShiftModifier},
        {QEvent::KeyRelease, Qt::Key_Shift, Qt::NoModifier},
    };
    for (const auto& [type, key, modifiers] : chord) {
        QKeyEvent event(type, key, modifiers);
        QCoreApplication::sendEvent(window.windowHandle(), &event);
    }
    Deliver();
    const KeyEvents expected = {{0xA0, false}, {0x41, false}, {0x41, true}, {0xA0, true}};
    EXPECT_EQ(events, expected);
}

TEST(QtKeySource, MapsQtKeysToVirtualKeys) {
    struct Case {
        int key;
        Qt::KeyboardModifiers modifiers;
        quint32 scanCode;
        uint16_t virtualKey;
    };
    const Case cases[] = {
        {Qt::Key_A, Qt::NoModifier, 0, 0x41},
        {Qt::Key_A, Qt::ShiftModifier, 0, 0x41},
        {Qt::Key_7, Qt::NoModifier, 0, 0x37},
        {Qt::Key_7, Qt::KeypadModifier, 0, 0x67},
        {Qt::Key_Plus, Qt::KeypadModifier, 0, 0x6B},
        {Qt::Key_Escape, Qt::NoModifier, 0, 0x1B},
        {Qt::Key_Return, Qt::NoModifier, 0, 0x0D},
        {Qt::Key_F1, Qt::NoModifier, 0, 0x70},
        {Qt::Key_F13, Qt::NoModifier, 0, 0x7C},
        {Qt::Key_Shift, Qt::ShiftModifier, 50, 0xA0},
        {Qt::Key_Shift, Qt::ShiftModifier, 62, 0xA1},
        {Qt::Key_Control, Qt::ControlModifier, 105, 0xA3},
        {Qt::Key_Alt, Qt::AltModifier, 0, 0xA4},
        {Qt::Key_Meta, Qt::MetaModifier, 134, 0x5C},
        {Qt::Key_Up, Qt::NoModifier, 0, 0x26},
        {Qt::Key_BracketLeft, Qt::NoModifier, 0, 0xDB},
        {Qt::Key_VolumeUp, Qt::NoModifier, 0, 0xAF},
        {Qt::Key_Exclam, Qt::ShiftModifier, 0, 0},
    };
    for (const Case& c : cases) {
        QKeyEvent event(QEvent::KeyPress, c.key, c.modifiers, c.scanCode, 0, 0);
        EXPECT_EQ(QtKeyToVirtualKey(event), c.virtualKey) << "Qt key " << c.key;
    }
}

TEST(KeysymToVirtualKey, KeepsLeftAndRightApart) {
    const std::pair<uint32_t, uint16_t> cases[] = {
        {0x0061, 0x41}, {0x0041, 0x41}, {0x007A, 0x5A},     {0x0030, 0x30}, {0xFFB5, 0x65},
        {0xFFBE, 0x70}, {0xFFD5, 0x87}, {0xFFE1, 0xA0},     {0xFFE2, 0xA1}, {0xFFE3, 0xA2},
        {0xFFE4, 0xA3}, {0xFFE9, 0xA4}, {0xFFEA, 0xA5},     {0xFE03, 0xA5}, {0xFFEB, 0x5B},
        {0xFFEC, 0x5C}, {0xFF1B, 0x1B}, {0xFF0D, 0x0D},     {0xFF13, 0x13}, {0x0020, 0x20},
        {0x0060, 0xC0}, {0x005C, 0xDC}, {0x1008FF13, 0xAF}, {0xFF52, 0x26}, {0x0021, 0},
        {0x00E9, 0},    {0, 0},
    };
    for (const auto& [keysym, virtualKey] : cases) {
        EXPECT_EQ(KeysymToVirtualKey(keysym), virtualKey) << std::hex << "keysym " << keysym;
    }
}

}  // namespace
