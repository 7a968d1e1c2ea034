#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <functional>

#include "app/simulated_mouse_window.h"
#include "app_fixture.h"

namespace {

// What the status line says in each state the tool can know the mouse in.
struct StatusCase {
    const char* name;
    std::function<void(SimulatedMouse&)> beforeStart;
    std::function<void(CUpdaterDlg&, SimulatedMouse&)> afterStart;
    const char* text;
    bool ruleCommandsShown;
    bool connected;
    bool applyEnabled;
};

void PrintTo(const StatusCase& c, std::ostream* os) {
    *os << c.name;
}

void Nothing(SimulatedMouse&) {}
void NothingAfter(CUpdaterDlg&, SimulatedMouse&) {}

void OpenFails(SimulatedMouse& mouse, OpenFailure reason) {
    mouse.SetOpenFailure(0, reason);
}

void ApplyNotConfirmed(CUpdaterDlg& window, SimulatedMouse& mouse) {
    window.Session().pendingSettings.buttons[4].code = 0x10;
    window.RefreshApplyState();
    mouse.Firmware().QueueStatuses({2, 2, 2});
    QTest::mouseClick(window.ApplyButton(), Qt::LeftButton);
}

void LevelWriteNotConfirmed(CUpdaterDlg& window, SimulatedMouse& mouse) {
    window.show();
    mouse.Firmware().QueueStatuses({2, 2, 2});
    QTest::mouseClick(window.findChild<QRadioButton*>("cpiLevelRadio3"), Qt::LeftButton);
}

void ResetNotConfirmed(CUpdaterDlg& window, SimulatedMouse& mouse) {
    mouse.Firmware().QueueStatuses({2});
    QTest::mouseClick(window.FactoryResetButton(), Qt::LeftButton);
}

void Edit(CUpdaterDlg& window) {
    QTest::mouseClick(window.findChild<QCheckBox*>("angleSnappingCheck"), Qt::LeftButton);
}

void EditAfterApply(CUpdaterDlg& window, SimulatedMouse&) {
    window.show();
    Edit(window);
    QTest::mouseClick(window.ApplyButton(), Qt::LeftButton);
    Edit(window);
}

void EditAfterReset(CUpdaterDlg& window, SimulatedMouse&) {
    window.show();
    QTest::mouseClick(window.FactoryResetButton(), Qt::LeftButton);
    Edit(window);
}

void ResetNotSent(CUpdaterDlg& window, SimulatedMouse& mouse) {
    window.show();
    Edit(window);
    mouse.FailSends(HidResult::Error, 1);
    QTest::mouseClick(window.FactoryResetButton(), Qt::LeftButton);
}

void UnplugAfterStart(CUpdaterDlg&, SimulatedMouse& mouse) {
    mouse.Unplug();
    QCoreApplication::processEvents();
}

const StatusCase kStatusCases[] = {
    {"Connected", Nothing, NothingAfter, "Kestrine XQ3 8k v2 connected, firmware V1.07.", false,
     true, false},
    {"NoMouse", [](SimulatedMouse& mouse) { mouse.Unplug(); }, NothingAfter,
     "No mouse found: plug in the Kestrine XQ3 8k v2.", false, false, false},
    {"Unplugged", Nothing, UnplugAfterStart, "No mouse found: plug in the Kestrine XQ3 8k v2.",
     false, false, false},
    {"AccessDenied", [](SimulatedMouse& mouse) { OpenFails(mouse, OpenFailure::AccessDenied); },
     NothingAfter,
     "The mouse is plugged in, but this user may not open it: the udev rule "
     "70-kestrine-xq3.rules is not installed.",
     true, false, false},
    {"Gone", [](SimulatedMouse& mouse) { OpenFails(mouse, OpenFailure::Gone); }, NothingAfter,
     "The mouse was unplugged while it was being opened: plug it in again.", false, false, false},
    {"OpenFailed", [](SimulatedMouse& mouse) { OpenFails(mouse, OpenFailure::Other); },
     NothingAfter, "The mouse is plugged in, but it could not be opened.", false, false, false},
    {"NotAnswering", [](SimulatedMouse& mouse) { mouse.FailSends(HidResult::Error, 1000); },
     NothingAfter, "The mouse was found but did not answer: unplug it and plug it in again.", false,
     false, false},
    {"SettingsNotAnswered",
     [](SimulatedMouse& mouse) {
         mouse.Firmware().QueueStatuses({1, 2});
     },
     NothingAfter, "The mouse was found but did not answer: unplug it and plug it in again.", false,
     false, false},
    {"ApplyNotSaved", Nothing, ApplyNotConfirmed,
     "Settings not saved on the mouse; press APPLY to try again.", false, true, true},
    {"LevelNotSaved", Nothing, LevelWriteNotConfirmed,
     "The CPI level was not saved on the mouse; choose it again to retry.", false, true, true},
    {"EditAfterApply", Nothing, EditAfterApply,
     "Kestrine XQ3 8k v2 connected, firmware V1.07. Changes not applied: press APPLY to save "
     "them on the mouse.",
     false, true, true},
    {"EditAfterReset", Nothing, EditAfterReset,
     "Kestrine XQ3 8k v2 connected, firmware V1.07. Changes not applied: press APPLY to save "
     "them on the mouse.",
     false, true, true},
    {"ResetNotSent", Nothing, ResetNotSent,
     "The Factory Reset did not happen: the mouse did not take it and holds its settings as "
     "before. Your changes are kept.",
     false, true, true},
    // The mouse answered that the reset failed, and holds what it held.
    {"ResetNotConfirmed", Nothing, ResetNotConfirmed,
     "The Factory Reset did not happen: the mouse did not take it and holds its settings as "
     "before. Your changes are kept.",
     false, true, false},
};

class StatusLineTest : public AppFixture, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(StatusLineTest, SaysTheStateInWords) {
    const StatusCase& c = GetParam();
    c.beforeStart(mouse);
    StartWindow();
    c.afterStart(*window, mouse);

    EXPECT_EQ(StatusText(), c.text);
    EXPECT_EQ(window->Tabs()->isEnabled(), c.connected);
    EXPECT_EQ(window->FactoryResetButton()->isEnabled(), c.connected);
    EXPECT_EQ(ApplyEnabled(), c.applyEnabled);
    auto* copyButton = window->findChild<QPushButton*>("copyCommandsButton");
    auto* commands = window->findChild<QLabel*>("udevRuleCommands");
    auto* hint = window->findChild<QLabel*>("udevRuleHint");
    EXPECT_EQ(copyButton->isVisibleTo(window.get()), c.ruleCommandsShown);
    EXPECT_EQ(commands->isVisibleTo(window.get()), c.ruleCommandsShown);
    EXPECT_EQ(hint->isVisibleTo(window.get()), c.ruleCommandsShown);
    EXPECT_TRUE(messages.messages.isEmpty()) << "the status line adds no message box";
}

INSTANTIATE_TEST_SUITE_P(EachState, StatusLineTest, ::testing::ValuesIn(kStatusCases),
                         [](const auto& info) { return std::string(info.param.name); });

using RuleCommands = AppFixture;

TEST_F(RuleCommands, AreShownWithWhereThePackagePutsTheRuleAndCopiedByTheButton) {
    mouse.SetOpenFailure(0, OpenFailure::AccessDenied);
    StartWindow();
    // Run from the build tree: the rule is installed from the source tree by
    // its full path, which works from whatever folder the user is in.
    const QString commands = window->findChild<QLabel*>("udevRuleCommands")->text();
    const QRegularExpression install(
        "^sudo install -m 644 (/\\S+/packaging/70-kestrine-xq3.rules) /etc/udev/rules.d/\n"
        "sudo udevadm control --reload && sudo udevadm trigger$");
    const QRegularExpressionMatch match = install.match(commands);
    ASSERT_TRUE(match.hasMatch()) << commands.toStdString();
    EXPECT_TRUE(QFileInfo(match.captured(1)).isFile()) << match.captured(1).toStdString();
    EXPECT_TRUE(window->findChild<QLabel*>("udevRuleHint")->text().contains("source tree"));

    QGuiApplication::clipboard()->clear();
    QTest::mouseClick(window->findChild<QPushButton*>("copyCommandsButton"), Qt::LeftButton);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), commands);
}

// Installed but still denied: the rule applies to the seat's user once the
// mouse is plugged in again (or after logging in again); udev only needs a reload.
TEST_F(RuleCommands, AnInstalledRuleIsNamedWithTheReplugThatMakesItApply) {
    QTemporaryDir rules;
    QFile rule(rules.filePath("70-kestrine-xq3.rules"));
    ASSERT_TRUE(rule.open(QIODevice::WriteOnly));
    rule.close();
    SetUdevRuleFolders({"/nonexistent", rules.path().toStdString()});
    mouse.SetOpenFailure(0, OpenFailure::AccessDenied);
    StartWindow();
    EXPECT_EQ(StatusText().toStdString(),
              "The mouse is plugged in, but this user may not open it, although the udev rule is "
              "installed (" +
                  rule.fileName().toStdString() +
                  "): unplug the mouse and plug it in again, or log out and log in again.");
    EXPECT_EQ(window->findChild<QLabel*>("udevRuleCommands")->text(),
              "sudo udevadm control --reload && sudo udevadm trigger");
}

// The commands wrap rather than widen the window: at a large scale a window
// as wide as its longest command ran past the screen's edge.
TEST_F(RuleCommands, WrapRatherThanWidenTheWindow) {
    mouse.SetOpenFailure(0, OpenFailure::AccessDenied);
    StartWindow();
    window->show();
    auto* commands = window->findChild<QLabel*>("udevRuleCommands");
    ASSERT_TRUE(commands->isVisible());
    int longestLine = 0;
    for (const QString& line : commands->text().split('\n')) {
        longestLine = std::max(longestLine, commands->fontMetrics().horizontalAdvance(line));
    }
    // The window may be narrower than its longest command.
    EXPECT_LT(commands->minimumSizeHint().width(), longestLine);
}

// --simulate can show the state too: the simulated mouse's window denies access.
TEST_F(RuleCommands, TheSimulatedMouseWindowCanDenyAccess) {
    StartWindow();
    SimulatedMouseWindow simulated(mouse);
    auto* plug = simulated.findChild<QPushButton*>("simulatedPlugButton");
    auto* denied = simulated.findChild<QCheckBox*>("simulatedAccessDeniedCheck");
    QTest::mouseClick(plug, Qt::LeftButton);
    DeliverQueuedEvents();
    denied->setChecked(true);
    QTest::mouseClick(plug, Qt::LeftButton);
    DeliverQueuedEvents();
    EXPECT_EQ(window->Status(), DeviceStatus::AccessDenied);
    EXPECT_TRUE(window->findChild<QPushButton*>("copyCommandsButton")->isVisibleTo(window.get()));

    denied->setChecked(false);
    QTest::mouseClick(plug, Qt::LeftButton);
    DeliverQueuedEvents();
    QTest::mouseClick(plug, Qt::LeftButton);
    DeliverQueuedEvents();
    EXPECT_EQ(StatusText(), "Kestrine XQ3 8k v2 connected, firmware V1.07.");
}

using TrueTexts = AppFixture;

// A Factory Reset the mouse never received leaves the mouse, and so the
// user's unapplied edit, as they were.
TEST_F(TrueTexts, AResetThatDidNotHappenKeepsTheEdits) {
    StartWindow();
    ResetNotSent(*window, mouse);
    EXPECT_EQ(pendingSettings.angleSnapping, 1);
    EXPECT_TRUE(window->findChild<QCheckBox*>("angleSnappingCheck")->isChecked());
    EXPECT_FALSE(SettingsDiffer(deviceSettings, MouseMemory()));
    EXPECT_EQ(MouseMemory().angleSnapping, 0);
    QTest::mouseClick(window->ApplyButton(), Qt::LeftButton);
    EXPECT_EQ(MouseMemory().angleSnapping, 1);
    EXPECT_EQ(window->Status(), DeviceStatus::Saved);
}

// Unplugged while APPLY waited for the confirmation: the mouse took the edits,
// and the line must not say they were discarded.
TEST_F(TrueTexts, AnUnplugBeforeTheConfirmationDoesNotCallTheEditsDiscarded) {
    StartWindow();
    window->show();
    Edit(*window);
    sleeps.duringNextWait = [this] { mouse.Unplug(); };
    QTest::mouseClick(window->ApplyButton(), Qt::LeftButton);
    DeliverQueuedEvents();
    EXPECT_EQ(MouseMemory().angleSnapping, 1);
    EXPECT_EQ(StatusText(),
              "The mouse was unplugged before it confirmed your changes: it may hold them or not. "
              "Plug it in to see what it holds.");
}

using NotSaved = AppFixture;

// After an unconfirmed write the mouse may hold neither record: APPLY stays
// on offer until a write is confirmed, even when the edit is undone.
TEST_F(NotSaved, LastsUntilAnApplyIsConfirmed) {
    StartWindow();
    window->show();
    ApplyNotConfirmed(*window, mouse);
    pendingSettings.buttons[4].code = deviceSettings.buttons[4].code;
    window->RefreshApplyState();
    EXPECT_TRUE(ApplyEnabled());
    EXPECT_EQ(window->Status(), DeviceStatus::NotSaved);

    // A confirmed level write leaves the other edits unsaved.
    QTest::mouseClick(window->findChild<QRadioButton*>("cpiLevelRadio0"), Qt::LeftButton);
    EXPECT_EQ(window->Status(), DeviceStatus::NotSaved);
    EXPECT_TRUE(ApplyEnabled());

    QTest::mouseClick(window->ApplyButton(), Qt::LeftButton);
    EXPECT_EQ(StatusText(),
              "Kestrine XQ3 8k v2 connected, firmware V1.07. Settings saved on the mouse.");
    EXPECT_FALSE(ApplyEnabled());
}

TEST_F(NotSaved, AConfirmedWriteAfterAnUnconfirmedResetSaysWhatItSet) {
    StartWindow();
    window->show();
    ResetNotConfirmed(*window, mouse);
    QTest::mouseClick(window->findChild<QRadioButton*>("cpiLevelRadio2"), Qt::LeftButton);
    EXPECT_EQ(window->Status(), DeviceStatus::LevelSet);
    ResetNotConfirmed(*window, mouse);
    QTest::mouseClick(window->FactoryResetButton(), Qt::LeftButton);
    EXPECT_EQ(window->Status(), DeviceStatus::ResetDone);
    EXPECT_EQ(StatusText(),
              "Kestrine XQ3 8k v2 connected, firmware V1.07. Factory settings restored.");
}

// While the UI thread waits on the mouse the pointer says so, and only then.
class BusyCursorTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        SetSleepHook([this](unsigned ms) {
            sleeps.waits.push_back(ms);
            const QCursor* cursor = QGuiApplication::overrideCursor();
            cursorsDuringWaits.push_back(cursor ? cursor->shape() : Qt::ArrowCursor);
        });
    }

    void ExpectWaitCursorThroughout(const char* what) {
        EXPECT_FALSE(cursorsDuringWaits.empty()) << what;
        for (Qt::CursorShape shape : cursorsDuringWaits) {
            EXPECT_EQ(shape, Qt::WaitCursor) << what;
        }
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr) << what;
        cursorsDuringWaits.clear();
    }

    std::vector<Qt::CursorShape> cursorsDuringWaits;
};

TEST_F(BusyCursorTest, ShownWhileApplyLevelWriteResetAndPlugInWait) {
    StartWindow();
    window->show();
    cursorsDuringWaits.clear();

    pendingSettings.buttons[4].code = 0x10;
    window->RefreshApplyState();
    QTest::mouseClick(window->ApplyButton(), Qt::LeftButton);
    ExpectWaitCursorThroughout("APPLY");

    QTest::mouseClick(window->findChild<QRadioButton*>("cpiLevelRadio2"), Qt::LeftButton);
    ExpectWaitCursorThroughout("level write");

    QTest::mouseClick(window->FactoryResetButton(), Qt::LeftButton);
    ExpectWaitCursorThroughout("Factory Reset");

    mouse.Unplug();
    DeliverQueuedEvents();
    mouse.Plug();
    DeliverQueuedEvents();
    ExpectWaitCursorThroughout("plug-in");
    EXPECT_TRUE(deviceConnected);
}

}  // namespace
