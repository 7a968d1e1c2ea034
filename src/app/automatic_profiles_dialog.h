#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "profile/automatic_rules.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

// Waits for the user to click a window and says what it is; nothing when
// no window was picked (Escape, or the pointer could not be had).
using WindowPicker = std::function<std::optional<WindowIdentity>()>;

// "Automatic profiles…": the rules file as a table of rules (what matches,
// and the profile file), the default profile, and Save or Cancel. Save
// writes the file whole or not at all; a file with problems is shown with
// them and replaced only when the user agrees.
class AutomaticProfilesDialog : public QDialog {
    Q_OBJECT
public:
    // Without a picker, "Pick a window" is off and says why.
    AutomaticProfilesDialog(const QString& rulesPath, WindowPicker picker,
                            QWidget* parent = nullptr);

    // What was wrong with the file when it was opened, one line each.
    const std::vector<std::string>& LoadProblems() const { return loadProblems_; }
    // The rules as the dialog shows them.
    AutomaticRules Rules() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    // A rule being edited: by program or by window class, and the window it
    // was picked from, so switching between the two takes the other name.
    struct Row {
        bool byClass = false;
        std::string name;
        std::string profile;
        std::optional<WindowIdentity> picked;
    };

    void BuildLayout();
    void NameControls();
    void ConnectSignals();
    void Load();
    void ShowRows(int select);
    void ShowRow(int row);
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
    void OnSave();
    // Where the chosen file is written in the rules: from the rules file's
    // folder when it is inside it, else whole.
    QString ProfileAsWritten(const QString& chosen) const;
    QString ChooseProfile(const QString& title, const QString& current);
    QStringList RowProblems() const;

    QString rulesPath_;
    WindowPicker picker_;
    std::vector<Row> rows_;
    std::vector<std::string> loadProblems_;
    bool replaceConfirmed_ = false;

    QLabel* problemsText_ = nullptr;
    QTableWidget* table_ = nullptr;
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

// The picker the dialog gets: the window system's, set where the
// application starts. {} = none (the button is off).
void SetWindowPicker(WindowPicker picker);

// Tests answer the dialog's file choosers: the chosen file, or "" for
// Cancel. {} = the real file dialog.
void SetRulesProfileChooser(std::function<QString(const QString& title)> chooser);
