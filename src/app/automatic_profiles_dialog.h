#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "profile/automatic_rules.h"

class QComboBox;
class QLabel;
class QLayout;
class QLineEdit;
class QPushButton;
class QTableView;
class RulesTableModel;
class QVBoxLayout;

// How "Pick a window" finds the window: `pick` waits (off the user
// interface's thread) for the user to click a window or bring one to the
// front, and says what it is; nothing, with the reason, when no window was
// picked or `cancelFd` became readable. Without `pick` the button is off and
// `unavailable` says why.
struct WindowPicker {
    std::function<std::optional<WindowIdentity>(int cancelFd, std::string& error)> pick;
    QString prompt;       // what the user does now, shown while it waits
    QString unavailable;  // why there is no picker
};

// "Automatic profiles…": the rules file as a table of rules (what matches,
// and the profile file), the default profile, and Save or Cancel. Save
// writes the file whole or not at all; a file with problems is shown with
// them and replaced only when the user agrees.
class AutomaticProfilesDialog : public QDialog {
    Q_OBJECT
public:
    // Without a picker, "Pick a window" is off and says why. `windowsFollowed`
    // says how the agent follows the windows of this session, or why it cannot.
    AutomaticProfilesDialog(const QString& rulesPath, WindowPicker picker,
                            QWidget* parent = nullptr, const QString& windowsFollowed = {});
    ~AutomaticProfilesDialog() override;

    // What was wrong with the file when it was opened, one line each.
    const std::vector<std::string>& LoadProblems() const { return loadProblems_; }
    // The rules as the dialog shows them.
    AutomaticRules Rules() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void BuildLayout();
    void AddHeaderTexts(QVBoxLayout* layout);
    QLayout* BuildRulesTable();
    QWidget* BuildRuleBox();
    QLayout* BuildDefaultRow();
    void NameControls();
    void ConnectSignals();
    void Load();
    void ShowRows(int select);
    void ShowSelected();
    void ShowPicked(const QString& text);
    int Selected() const;
    void OnAdd();
    void OnRemove();
    void OnMove(int by);
    void OnKindActivated(int index);
    void OnNameEdited(const QString& text);
    void OnProfileEdited(const QString& text);
    void OnBrowseProfile();
    void OnBrowseDefault();
    void OnPick();
    void OnPicked(int generation, const std::optional<WindowIdentity>& window,
                  const QString& error);
    void StopPicking();
    void OnSave();
    // Where the chosen file is written in the rules: from the rules file's
    // folder when it is inside it, else whole.
    QString ProfileAsWritten(const QString& chosen) const;
    QString ChooseProfile(const QString& title, const QString& current);
    QStringList RowProblems() const;

    QString rulesPath_;
    QString windowsFollowed_;
    WindowPicker picker_;
    std::vector<std::string> loadProblems_;
    bool replaceConfirmed_ = false;
    // The pick that runs, and what ends it early.
    std::thread pickThread_;
    int pickCancelFd_ = -1;
    int pickGeneration_ = 0;

    QLabel* problemsText_ = nullptr;
    RulesTableModel* model_ = nullptr;
    QTableView* table_ = nullptr;
    QPushButton* addButton_ = nullptr;
    QPushButton* removeButton_ = nullptr;
    QPushButton* upButton_ = nullptr;
    QPushButton* downButton_ = nullptr;
    QComboBox* kindList_ = nullptr;
    QLineEdit* nameField_ = nullptr;
    QPushButton* pickButton_ = nullptr;
    QLabel* pickedText_ = nullptr;
    QLineEdit* profileField_ = nullptr;
    QPushButton* profileBrowseButton_ = nullptr;
    QLineEdit* defaultField_ = nullptr;
    QPushButton* defaultBrowseButton_ = nullptr;
    QPushButton* saveButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
};

// Opens the dialog on the user's rules file, saying first what is wrong
// with it if anything is.
void OpenAutomaticProfiles(QWidget* parent);

// The picker of this session: a click on X11, the next window brought to
// the front where the desktop's window source reports it (Wayland lets no
// program grab the pointer), none where no window can be followed.
WindowPicker SessionWindowPicker();
// "Windows: followed through sway." or why they cannot be, for the dialog.
QString SessionWindowsFollowedText();

// Tests answer the dialog's file choosers: the chosen file, or "" for
// Cancel. {} = the real file dialog.
void SetRulesProfileChooser(std::function<QString(const QString& title)> chooser);
