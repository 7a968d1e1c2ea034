// The "Automatic profiles…" dialog: the rules file as a table, edited with
// the mouse or the keyboard, saved whole or not at all; Cancel and a refused
// replacement leave the file as it was, and a file with problems says so.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <map>

#include "app/app_fixture.h"
#include "app/automatic_profiles_dialog.h"
#include "profile/automatic_rules.h"
#include "support/keyboard_walk.h"
#include "support/message_recorder.h"

namespace {

const char kRules[] =
    "format = 1\n"
    "default = \"desktop.toml\"\n"
    "[[rule]]\n"
    "program = \"cs2\"\n"
    "profile = \"cs2.toml\"\n"
    "[[rule]]\n"
    "window_class = \"steam_app_570\"\n"
    "profile = \"/games/dota.toml\"\n";

class AutomaticProfilesTest : public ::testing::Test {
protected:
    void TearDown() override { SetRulesProfileChooser({}); }

    QString RulesPath() const { return folder.filePath("kestrine-config/rules.toml"); }

    void WriteRules(const QByteArray& text) {
        QDir().mkpath(folder.filePath("kestrine-config"));
        QFile file(RulesPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    QByteArray RulesOnDisk() const {
        QFile file(RulesPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
    }

    AutomaticRules SavedRules() const {
        const ParsedRules parsed = ParseAutomaticRules(RulesOnDisk().toStdString(), "saved");
        EXPECT_TRUE(parsed.problems.empty()) << parsed.problems.front();
        return parsed.rules;
    }

    // A picker whose user picks nothing: the button is on.
    static WindowPicker NeverPicks() {
        return {[](int, std::string&) { return std::optional<WindowIdentity>(); },
                "Click a window.",
                {}};
    }

    void Open(WindowPicker picker = {}) {
        dialog = std::make_unique<AutomaticProfilesDialog>(RulesPath(), std::move(picker));
    }

    template <typename T = QWidget>
    T* Find(const char* name) const {
        T* widget = dialog->findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    void Click(const char* name) { QTest::mouseClick(Find<QPushButton>(name), Qt::LeftButton); }

    // Presses "Pick a window" and waits for the pick, which runs off the dialog's thread, to end.
    void Pick() {
        Click("pickWindowButton");
        auto* button = Find<QPushButton>("pickWindowButton");
        for (int turn = 0; turn < 500 && button->text() != "Pick a &window"; ++turn) {
            QTest::qWait(10);
        }
        ASSERT_EQ(button->text(), "Pick a &window");
    }

    void Type(const char* field, const QString& text) {
        auto* edit = Find<QLineEdit>(field);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, text);
    }

    void ChooseKind(int index) {
        auto* list = Find<QComboBox>("matchKindList");
        list->setCurrentIndex(index);
        emit list->activated(index);
    }

    // What the table shows, a line a rule.
    QStringList TableRows() const {
        const QAbstractItemModel* model = Find<QTableView>("rulesTable")->model();
        QStringList rows;
        for (int row = 0; row < model->rowCount(); ++row) {
            rows << model->index(row, 0).data().toString() + " -> " +
                        model->index(row, 1).data().toString();
        }
        return rows;
    }

    int SelectedRow() const {
        const QModelIndexList rows =
            Find<QTableView>("rulesTable")->selectionModel()->selectedRows();
        return rows.isEmpty() ? -1 : rows.front().row();
    }

    QTemporaryDir folder;
    MessageRecorder messages;
    std::unique_ptr<AutomaticProfilesDialog> dialog;
};

TEST_F(AutomaticProfilesTest, TheRulesFileIsShownAsATable) {
    WriteRules(kRules);
    Open();
    EXPECT_EQ(TableRows(), QStringList({"program \"cs2\" -> cs2.toml",
                                        "window class \"steam_app_570\" -> /games/dota.toml"}));
    EXPECT_EQ(Find<QLineEdit>("defaultProfileField")->text(), "desktop.toml");
    EXPECT_FALSE(Find<QLabel>("rulesProblemsText")->isVisibleTo(dialog.get()));
    // The first rule is in the editor.
    EXPECT_EQ(SelectedRow(), 0);
    EXPECT_EQ(Find<QComboBox>("matchKindList")->currentText(), "Program");
    EXPECT_EQ(Find<QLineEdit>("matchNameField")->text(), "cs2");
    EXPECT_EQ(Find<QLineEdit>("ruleProfileField")->text(), "cs2.toml");
    EXPECT_TRUE(messages.messages.isEmpty());
}

TEST_F(AutomaticProfilesTest, TheRulesFileIsNamedWithTheHomeFolderAsTilde) {
    const QByteArray savedHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(folder.path()));
    Open();
    qputenv("HOME", savedHome);
    EXPECT_EQ(Find<QLabel>("rulesFileText")->text(), "Rules file: ~/kestrine-config/rules.toml");
    Open();
    EXPECT_EQ(Find<QLabel>("rulesFileText")->text(), "Rules file: " + RulesPath());
}

TEST_F(AutomaticProfilesTest, AddEditMoveRemoveThenSaveWritesTheRules) {
    WriteRules(kRules);
    Open();
    Click("addRuleButton");
    EXPECT_EQ(SelectedRow(), 2);
    ChooseKind(1);
    Type("matchNameField", "Firefox");
    Type("ruleProfileField", "web.toml");
    EXPECT_EQ(TableRows().last(), "window class \"Firefox\" -> web.toml");

    Click("moveRuleUpButton");  // above dota
    EXPECT_EQ(SelectedRow(), 1);
    Click("moveRuleUpButton");  // first
    EXPECT_EQ(SelectedRow(), 0);
    EXPECT_FALSE(Find("moveRuleUpButton")->isEnabled());
    Click("moveRuleDownButton");  // second again
    Find<QTableView>("rulesTable")->selectRow(2);
    Click("removeRuleButton");  // dota
    EXPECT_EQ(SelectedRow(), 1);
    Type("defaultProfileField", "");

    Click("saveRulesButton");
    EXPECT_TRUE(messages.messages.isEmpty()) << messages.messages.join('\n').toStdString();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    const AutomaticRules expected{"", {{"cs2", "", "cs2.toml"}, {"", "Firefox", "web.toml"}}};
    EXPECT_EQ(SavedRules(), expected) << RulesOnDisk().toStdString();
    EXPECT_FALSE(QFile::exists(RulesPath() + ".tmp"));
    EXPECT_EQ(QDir(folder.filePath("kestrine-config")).entryList(QDir::Files),
              QStringList({"rules.toml"}));  // no temporary file left beside it
}

TEST_F(AutomaticProfilesTest, CancelLeavesTheFileAsItWas) {
    WriteRules(kRules);
    Open();
    Click("removeRuleButton");
    Type("defaultProfileField", "other.toml");
    Click("cancelRulesButton");
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(RulesOnDisk(), QByteArray(kRules));
}

TEST_F(AutomaticProfilesTest, WithoutAFileTheFirstSaveMakesItAndItsFolder) {
    Open();
    EXPECT_TRUE(TableRows().isEmpty());
    EXPECT_FALSE(Find("removeRuleButton")->isEnabled());
    EXPECT_FALSE(Find("matchNameField")->isEnabled());
    Click("addRuleButton");
    Type("matchNameField", "cs2");
    Type("ruleProfileField", "cs2.toml");
    Click("saveRulesButton");
    ASSERT_TRUE(messages.messages.isEmpty()) << messages.messages.join('\n').toStdString();
    EXPECT_EQ(SavedRules(), (AutomaticRules{"", {{"cs2", "", "cs2.toml"}}}));
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(folder.filePath("kestrine-config")).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST_F(AutomaticProfilesTest, AnUnfinishedRuleIsNotSaved) {
    WriteRules(kRules);
    Open();
    Click("addRuleButton");
    Type("ruleProfileField", "~/x.toml");
    Click("saveRulesButton");
    ASSERT_EQ(messages.messages.size(), 1);
    EXPECT_EQ(messages.messages[0].toStdString(),
              "The rules were not saved:\nRule 3: say which program it matches.\n"
              "Rule 3: write the profile's whole path; ~ is not expanded.");
    EXPECT_NE(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(RulesOnDisk(), QByteArray(kRules));
}

// A file with problems is shown with them, and replaced only when the user agrees.
TEST_F(AutomaticProfilesTest, AFileWithProblemsIsReplacedOnlyWhenTheUserAgrees) {
    const QByteArray bad =
        "format = 1\n[[rule]]\nprogram = \"cs2\"\nprofile = \"cs2.toml\"\n[[rule]]\n"
        "program = \"x\"\nwindow_class = \"y\"\nprofile = \"b.toml\"\n";
    WriteRules(bad);
    Open();
    auto* problems = Find<QLabel>("rulesProblemsText");
    EXPECT_TRUE(problems->isVisibleTo(dialog.get()));
    EXPECT_TRUE(problems->text().contains(RulesPath() + ":5: rule: both program and window_class"))
        << problems->text().toStdString();
    EXPECT_EQ(TableRows(), QStringList({"program \"cs2\" -> cs2.toml"}));

    messages.answer = Answer::No;
    Click("saveRulesButton");
    ASSERT_EQ(messages.questions.size(), 1);
    EXPECT_TRUE(messages.questions[0].contains("Replace it?"));
    EXPECT_EQ(RulesOnDisk(), bad);
    EXPECT_NE(dialog->result(), QDialog::Accepted);

    messages.answer = Answer::Yes;
    Click("saveRulesButton");
    EXPECT_EQ(SavedRules(), (AutomaticRules{"", {{"cs2", "", "cs2.toml"}}}));
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
}

// The file that overflowed the TOML library's stack: 35,000 dotted parts.
TEST_F(AutomaticProfilesTest, ADottedNameOfThousandsOfPartsIsShownWithItsLine) {
    QByteArray chain = "a";
    for (int part = 1; part < 35000; ++part) {
        chain += ".a";
    }
    WriteRules("format = 1\n" + chain + ".b = 1\n");
    Open();
    auto* problems = Find<QLabel>("rulesProblemsText");
    EXPECT_TRUE(problems->isVisibleTo(dialog.get()));
    EXPECT_TRUE(problems->text().contains(RulesPath() +
                                          ":2: a dotted name of more than 8 parts; no setting "
                                          "has that many"))
        << problems->text().toStdString();
    EXPECT_TRUE(TableRows().isEmpty());
}

TEST_F(AutomaticProfilesTest, ASaveThatFailsSaysWhyAndStaysOpen) {
    // A folder where the file should be: nothing can replace it.
    QDir().mkpath(RulesPath());
    Open();
    Click("addRuleButton");
    Type("matchNameField", "cs2");
    Type("ruleProfileField", "cs2.toml");
    Click("saveRulesButton");
    // It could not be read, so replacing it was asked first.
    EXPECT_EQ(messages.questions.size(), 1);
    ASSERT_EQ(messages.messages.size(), 1);
    EXPECT_TRUE(messages.messages.last().startsWith("The rules could not be saved:\n"))
        << messages.messages.last().toStdString();
    EXPECT_NE(dialog->result(), QDialog::Accepted);
    EXPECT_TRUE(QFileInfo(RulesPath()).isDir());
}

TEST_F(AutomaticProfilesTest, PickAWindowFillsInItsProgramOrItsClass) {
    std::vector<std::optional<WindowIdentity>> answers = {
        WindowIdentity{"dota2", "steam_app_570", "steam_app_570_class"},
        std::nullopt,
        WindowIdentity{"", "", "org.example.Game"},
    };
    std::atomic<size_t> asked = 0;
    Open({[&](int, std::string& error) {
              error = "no other window came to the front within 10 seconds";
              return answers.at(asked++);
          },
          "Bring the window to the front.",
          {}});
    ASSERT_TRUE(Find("pickWindowButton")->isEnabled());

    Pick();  // no rule selected: a new one
    EXPECT_EQ(TableRows(), QStringList({"program \"dota2\" -> (none chosen yet)"}));
    EXPECT_TRUE(Find<QLabel>("pickedWindowText")->text().contains("steam_app_570_class"));
    ChooseKind(1);
    EXPECT_EQ(Find<QLineEdit>("matchNameField")->text(), "steam_app_570_class");
    ChooseKind(0);
    EXPECT_EQ(Find<QLineEdit>("matchNameField")->text(), "dota2");

    Pick();  // nothing picked: nothing changes, and the reason is shown
    EXPECT_EQ(Find<QLabel>("pickedWindowText")->text(),
              "No window was picked: no other window came to the front within 10 seconds.");
    EXPECT_EQ(TableRows(), QStringList({"program \"dota2\" -> (none chosen yet)"}));

    // No process known (a Wayland app id, say): by its class, and the dialog says why.
    Pick();
    EXPECT_EQ(TableRows(), QStringList({"window class \"org.example.Game\" -> (none chosen yet)"}));
    EXPECT_TRUE(Find<QLabel>("pickedWindowText")->text().contains("Its program is unknown"))
        << Find<QLabel>("pickedWindowText")->text().toStdString();
    EXPECT_EQ(asked, 3u);
}

// The pick waits off the dialog's thread: the dialog answers meanwhile, the
// button stops it, and a dialog closed during a pick ends it.
TEST_F(AutomaticProfilesTest, APickNeverBlocksTheDialog) {
    std::atomic<int> cancelled = 0;
    const auto waitForCancel = [&](int cancelFd,
                                   std::string& error) -> std::optional<WindowIdentity> {
        pollfd item{cancelFd, POLLIN, 0};
        ::poll(&item, 1, -1);
        ++cancelled;
        error = "cancelled";
        return std::nullopt;
    };
    Open({waitForCancel, "Bring the window to the front within 10 seconds.", {}});
    Click("pickWindowButton");
    EXPECT_EQ(Find<QLabel>("pickedWindowText")->text(),
              "Bring the window to the front within 10 seconds.");
    EXPECT_EQ(Find<QPushButton>("pickWindowButton")->text(), "Stop &waiting");
    Click("addRuleButton");  // the dialog answers while the pick waits
    EXPECT_EQ(TableRows().size(), 1);
    Click("pickWindowButton");
    EXPECT_EQ(cancelled, 1);
    EXPECT_EQ(Find<QLabel>("pickedWindowText")->text(), "No window was picked.");
    EXPECT_EQ(Find<QPushButton>("pickWindowButton")->text(), "Pick a &window");
    QCoreApplication::processEvents();  // the stopped pick's late answer changes nothing
    EXPECT_EQ(Find<QLabel>("pickedWindowText")->text(), "No window was picked.");

    Click("pickWindowButton");
    dialog.reset();
    EXPECT_EQ(cancelled, 2);
}

TEST_F(AutomaticProfilesTest, WithoutAPickerTheButtonIsOffAndSaysWhy) {
    const QString why =
        "Picking a window needs a desktop whose windows can be followed: no "
        "desktop session (neither WAYLAND_DISPLAY nor DISPLAY is set).";
    Open({{}, {}, why});
    auto* pick = Find("pickWindowButton");
    EXPECT_FALSE(pick->isEnabled());
    EXPECT_EQ(pick->toolTip(), why);
}

TEST_F(AutomaticProfilesTest, SaysHowTheWindowsAreFollowed) {
    dialog = std::make_unique<AutomaticProfilesDialog>(RulesPath(), WindowPicker{}, nullptr,
                                                       "Windows: followed through sway.");
    EXPECT_EQ(Find<QLabel>("windowsFollowedText")->text(), "Windows: followed through sway.");
}

TEST_F(AutomaticProfilesTest, BrowsedProfilesAreWrittenFromTheRulesFolderWhenInsideIt) {
    WriteRules(kRules);
    QString chosen;
    QStringList titles;
    SetRulesProfileChooser([&](const QString& title) {
        titles << title;
        return chosen;
    });
    Open();
    chosen = folder.filePath("kestrine-config/games/cs2.toml");
    Click("ruleProfileBrowseButton");
    EXPECT_EQ(Find<QLineEdit>("ruleProfileField")->text(), "games/cs2.toml");
    EXPECT_EQ(TableRows().first(), "program \"cs2\" -> games/cs2.toml");
    chosen = "/elsewhere/desktop.toml";
    Click("defaultProfileBrowseButton");
    EXPECT_EQ(Find<QLineEdit>("defaultProfileField")->text(), "/elsewhere/desktop.toml");
    chosen = "";  // Cancel
    Click("defaultProfileBrowseButton");
    EXPECT_EQ(Find<QLineEdit>("defaultProfileField")->text(), "/elsewhere/desktop.toml");
    EXPECT_EQ(titles, QStringList({"Profile for the Rule", "Default Profile", "Default Profile"}));
}

TEST_F(AutomaticProfilesTest, TheKeyboardReachesEverythingAndEnterOrEscapeCloseNothing) {
    WriteRules(kRules);
    Open(NeverPicks());
    ShowActive(*dialog);
    EXPECT_EQ(
        TabWalk(Find("rulesTable")),
        QStringList({"rulesTable", "addRuleButton", "removeRuleButton", "moveRuleDownButton",
                     "matchKindList", "matchNameField", "pickWindowButton", "ruleProfileField",
                     "ruleProfileBrowseButton", "defaultProfileField", "defaultProfileBrowseButton",
                     "saveRulesButton", "cancelRulesButton"}));  // Up is off on the first rule

    Find("matchNameField")->setFocus();
    PressKey(Qt::Key_Return);
    PressKey(Qt::Key_Escape);
    EXPECT_TRUE(dialog->isVisible());

    Find<QPushButton>("cancelRulesButton")->setFocus();
    PressKey(Qt::Key_Space);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(RulesOnDisk(), QByteArray(kRules));
}

// Every button and every field's label has an Alt+letter of its own. (The
// offscreen platform delivers no shortcuts: the letters are checked here, and
// pressed for real in the end-to-end run.)
TEST_F(AutomaticProfilesTest, EveryControlHasItsOwnAltLetter) {
    Open(NeverPicks());
    std::map<QString, QString> letters;  // Alt+letter -> control
    const auto take = [&](const QString& text, QWidget* control) {
        const QKeySequence key = QKeySequence::mnemonic(text);
        ASSERT_FALSE(key.isEmpty()) << text.toStdString();
        const auto [at, added] = letters.emplace(key.toString(), control->objectName());
        EXPECT_TRUE(added) << key.toString().toStdString() << ": " << text.toStdString() << " and "
                           << at->second.toStdString();
    };
    for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
        take(button->text(), button);
    }
    for (QLabel* label : dialog->findChildren<QLabel*>()) {
        if (label->buddy() != nullptr) {
            take(label->text(), label->buddy());
        }
    }
    const std::map<QString, QString> expected = {{"Alt+A", "addRuleButton"},
                                                 {"Alt+M", "removeRuleButton"},
                                                 {"Alt+U", "moveRuleUpButton"},
                                                 {"Alt+D", "moveRuleDownButton"},
                                                 {"Alt+B", "matchKindList"},
                                                 {"Alt+N", "matchNameField"},
                                                 {"Alt+W", "pickWindowButton"},
                                                 {"Alt+P", "ruleProfileField"},
                                                 {"Alt+O", "ruleProfileBrowseButton"},
                                                 {"Alt+E", "defaultProfileField"},
                                                 {"Alt+R", "defaultProfileBrowseButton"},
                                                 {"Alt+S", "saveRulesButton"},
                                                 {"Alt+C", "cancelRulesButton"}};
    EXPECT_EQ(letters, expected);
}

// The window's button opens the dialog on the user's own file, saying first
// what is wrong with it.
class AutomaticProfilesButtonTest : public AppFixture {};

TEST_F(AutomaticProfilesButtonTest, TheButtonOpensTheUsersRulesWithTheirProblems) {
    QTemporaryDir config;
    const QByteArray savedXdg = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    QDir().mkpath(config.filePath("kestrine-config"));
    QFile file(config.filePath("kestrine-config/rules.toml"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("format = 2\n");
    file.close();

    StartWindow();
    auto* button = window->findChild<QPushButton*>("automaticProfilesButton");
    ASSERT_NE(button, nullptr);
    EXPECT_TRUE(button->isEnabled());  // no mouse is needed to edit the rules
    QString seenTitle;
    QTimer::singleShot(0, [&] {
        QWidget* open = QApplication::activeModalWidget();
        ASSERT_NE(open, nullptr);
        seenTitle = open->windowTitle();
        QTest::mouseClick(open->findChild<QPushButton*>("cancelRulesButton"), Qt::LeftButton);
    });
    QTest::mouseClick(button, Qt::LeftButton);
    if (savedXdg.isNull()) {
        qunsetenv("XDG_CONFIG_HOME");
    } else {
        qputenv("XDG_CONFIG_HOME", savedXdg);
    }

    EXPECT_EQ(seenTitle, "Automatic Profiles");
    ASSERT_EQ(messages.messages.size(), 1);
    EXPECT_TRUE(messages.messages[0].contains(config.filePath("kestrine-config/rules.toml") +
                                              ":1: format: this version reads format = 1 only"))
        << messages.messages[0].toStdString();
}

}  // namespace
