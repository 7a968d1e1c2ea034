#include "app/automatic_profiles_dialog.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "app/rules_table_model.h"
#include "platform/next_active_window.h"
#include "platform/user_files.h"
#include "platform/window_source.h"
#include "platform/x11_windows.h"
#include "ui/dialog_keys.h"
#include "ui/keyboard_focus.h"
#include "ui/message_box.h"
#include "ui/tab_order.h"

namespace {

std::function<QString(const QString&)>& ProfileChooser() {
    static std::function<QString(const QString&)> chooser;
    return chooser;
}

constexpr int kByProgram = 0;
constexpr int kByClass = 1;

// A Wayland pick waits this long for the user to bring a window to the front.
constexpr int kPickLimitMs = 10000;

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

QPushButton* NewButton(const QString& text, const char* name, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    // Enter never presses a button here: the dialog ends only through them.
    button->setAutoDefault(false);
    return button;
}

QLabel* NewLabel(const QString& text, QWidget* buddy, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}

QString InstanceText(const WindowIdentity& window) {
    return window.instance.empty() ? QString() : " (instance \"" + Text(window.instance) + "\")";
}

QString PickedText(const WindowIdentity& window) {
    if (window.program.empty()) {
        return QString(
                   "Picked: window class \"%1\"%2. Its program is unknown (the desktop does "
                   "not say which process the window belongs to), so the rule matches it by "
                   "window class.")
            .arg(Text(window.windowClass), InstanceText(window));
    }
    return QString("Picked: program \"%1\", window class \"%2\"%3")
        .arg(Text(window.program), Text(window.windowClass), InstanceText(window));
}

}  // namespace

AutomaticProfilesDialog::AutomaticProfilesDialog(const QString& rulesPath, WindowPicker picker,
                                                 QWidget* parent, const QString& windowsFollowed)
    : QDialog(parent),
      rulesPath_(rulesPath),
      windowsFollowed_(windowsFollowed),
      picker_(std::move(picker)) {
    BuildLayout();
    NameControls();
    ConnectSignals();
    ShowFocusFrameFromTheStart(this);
    Load();
    ShowRows(model_->Size() == 0 ? -1 : 0);
}

// What the rules are for, how this session's windows are followed, and where
// the rules file is; then its problems, when it has any.
void AutomaticProfilesDialog::AddHeaderTexts(QVBoxLayout* layout) {
    auto* intro = new QLabel(
        "While a program's window is in front, the mouse gets the profile of the first rule "
        "that matches it; otherwise the default profile, if one is chosen. The background "
        "agent applies them: it runs while \"Show a notice when the mouse's buttons change "
        "CPI or report rate\" is on.",
        this);
    intro->setObjectName("rulesIntroText");
    intro->setWordWrap(true);
    // How the agent sees this session's windows, or why it cannot.
    auto* followedText = new QLabel(windowsFollowed_, this);
    followedText->setObjectName("windowsFollowedText");
    followedText->setWordWrap(true);
    followedText->setVisible(!windowsFollowed_.isEmpty());
    // The home folder as ~, as a user writes it.
    const QString home = QDir::homePath() + "/";
    auto* fileText = new QLabel(
        "Rules file: " +
            (rulesPath_.startsWith(home) ? "~/" + rulesPath_.mid(home.size()) : rulesPath_),
        this);
    fileText->setObjectName("rulesFileText");
    fileText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    problemsText_ = new QLabel(this);
    problemsText_->setObjectName("rulesProblemsText");
    problemsText_->setWordWrap(true);
    problemsText_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    problemsText_->setFrameShape(QFrame::StyledPanel);
    problemsText_->hide();

    layout->addWidget(intro);
    layout->addWidget(followedText);
    layout->addWidget(fileText);
    layout->addWidget(problemsText_);
}

// One line a rule, with the buttons that add, remove and order them.
QLayout* AutomaticProfilesDialog::BuildRulesTable() {
    model_ = new RulesTableModel(this);
    table_ = new QTableView(this);
    table_->setObjectName("rulesTable");
    table_->setModel(model_);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    // One line a rule: a long name or path is shortened in its middle, where
    // the folder is, and shown whole in the editor below.
    table_->setWordWrap(false);
    table_->setTextElideMode(Qt::ElideMiddle);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab leaves the table for the next control instead of walking its cells.
    table_->setTabKeyNavigation(false);
    table_->setMinimumHeight(table_->fontMetrics().height() * 10);
    addButton_ = NewButton("&Add", "addRuleButton", this);
    removeButton_ = NewButton("Re&move", "removeRuleButton", this);
    upButton_ = NewButton("&Up", "moveRuleUpButton", this);
    downButton_ = NewButton("&Down", "moveRuleDownButton", this);
    auto* tableButtons = new QVBoxLayout;
    for (QPushButton* button : {addButton_, removeButton_, upButton_, downButton_}) {
        tableButtons->addWidget(button);
    }
    tableButtons->addStretch();
    auto* tableRow = new QHBoxLayout;
    tableRow->addWidget(table_, 1);
    tableRow->addLayout(tableButtons);

    return tableRow;
}

// The editor of the rule chosen in the table.
QWidget* AutomaticProfilesDialog::BuildRuleBox() {
    auto* ruleBox = new QGroupBox("Selected rule", this);
    ruleBox->setObjectName("selectedRuleBox");
    kindList_ = new QComboBox(ruleBox);
    kindList_->setObjectName("matchKindList");
    kindList_->addItems({"Program", "Window class"});
    nameField_ = new QLineEdit(ruleBox);
    nameField_->setObjectName("matchNameField");
    pickButton_ = NewButton("Pick a &window", "pickWindowButton", ruleBox);
    pickedText_ = new QLabel(ruleBox);
    pickedText_->setObjectName("pickedWindowText");
    pickedText_->setWordWrap(true);
    pickedText_->hide();
    profileField_ = new QLineEdit(ruleBox);
    profileField_->setObjectName("ruleProfileField");
    profileBrowseButton_ = NewButton("Br&owse…", "ruleProfileBrowseButton", ruleBox);
    auto* ruleGrid = new QGridLayout(ruleBox);
    ruleGrid->addWidget(NewLabel("Match &by:", kindList_, ruleBox), 0, 0);
    ruleGrid->addWidget(kindList_, 0, 1, 1, 2, Qt::AlignLeft);
    ruleGrid->addWidget(NewLabel("&Name:", nameField_, ruleBox), 1, 0);
    ruleGrid->addWidget(nameField_, 1, 1);
    ruleGrid->addWidget(pickButton_, 1, 2);
    ruleGrid->addWidget(pickedText_, 2, 1, 1, 2);
    ruleGrid->addWidget(NewLabel("&Profile file:", profileField_, ruleBox), 3, 0);
    ruleGrid->addWidget(profileField_, 3, 1);
    ruleGrid->addWidget(profileBrowseButton_, 3, 2);
    ruleGrid->setColumnStretch(1, 1);

    return ruleBox;
}

QLayout* AutomaticProfilesDialog::BuildDefaultRow() {
    defaultField_ = new QLineEdit(this);
    defaultField_->setObjectName("defaultProfileField");
    defaultField_->setPlaceholderText("none: the mouse keeps its settings");
    defaultBrowseButton_ = NewButton("B&rowse…", "defaultProfileBrowseButton", this);
    auto* defaultRow = new QHBoxLayout;
    defaultRow->addWidget(NewLabel("D&efault profile:", defaultField_, this));
    defaultRow->addWidget(defaultField_, 1);
    defaultRow->addWidget(defaultBrowseButton_);

    return defaultRow;
}

void AutomaticProfilesDialog::BuildLayout() {
    setWindowTitle("Automatic Profiles");
    auto* layout = new QVBoxLayout(this);
    AddHeaderTexts(layout);
    layout->addLayout(BuildRulesTable(), 1);
    layout->addWidget(BuildRuleBox());
    layout->addLayout(BuildDefaultRow());
    saveButton_ = NewButton("&Save", "saveRulesButton", this);
    cancelButton_ = NewButton("&Cancel", "cancelRulesButton", this);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(saveButton_);
    bottom->addWidget(cancelButton_);

    layout->addLayout(bottom);
    resize(sizeHint().expandedTo(QSize(fontMetrics().averageCharWidth() * 110, 0)));

    SetTabOrderChain({table_, addButton_, removeButton_, upButton_, downButton_, kindList_,
                      nameField_, pickButton_, profileField_, profileBrowseButton_, defaultField_,
                      defaultBrowseButton_, saveButton_, cancelButton_});
}

// The two Browse… buttons and the table say what they are about.
void AutomaticProfilesDialog::NameControls() {
    table_->setAccessibleName("Rules");
    table_->setAccessibleDescription("The first rule that matches the window in front wins");
    // The corner above the rule numbers; one rule is chosen at a time, so it selects nothing.
    table_->setCornerButtonEnabled(false);
    if (auto* corner = table_->findChild<QAbstractButton*>()) {
        corner->setAccessibleName("Rule number");
    }
    profileBrowseButton_->setAccessibleName("Browse for the rule's profile file");
    defaultBrowseButton_->setAccessibleName("Browse for the default profile file");
    upButton_->setAccessibleName("Move the rule up");
    downButton_->setAccessibleName("Move the rule down");
    if (!picker_.pick) {
        pickButton_->setEnabled(false);
        pickButton_->setToolTip(picker_.unavailable);
        pickButton_->setAccessibleDescription(picker_.unavailable);
    }
}

void AutomaticProfilesDialog::ConnectSignals() {
    connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &AutomaticProfilesDialog::ShowSelected);
    connect(addButton_, &QPushButton::clicked, this, &AutomaticProfilesDialog::OnAdd);
    connect(removeButton_, &QPushButton::clicked, this, &AutomaticProfilesDialog::OnRemove);
    connect(upButton_, &QPushButton::clicked, this, [this] { OnMove(-1); });
    connect(downButton_, &QPushButton::clicked, this, [this] { OnMove(1); });
    connect(kindList_, &QComboBox::activated, this, &AutomaticProfilesDialog::OnKindActivated);
    connect(nameField_, &QLineEdit::textEdited, this, &AutomaticProfilesDialog::OnNameEdited);
    connect(profileField_, &QLineEdit::textEdited, this, &AutomaticProfilesDialog::OnProfileEdited);
    connect(pickButton_, &QPushButton::clicked, this, &AutomaticProfilesDialog::OnPick);
    connect(profileBrowseButton_, &QPushButton::clicked, this,
            &AutomaticProfilesDialog::OnBrowseProfile);
    connect(defaultBrowseButton_, &QPushButton::clicked, this,
            &AutomaticProfilesDialog::OnBrowseDefault);
    connect(saveButton_, &QPushButton::clicked, this, &AutomaticProfilesDialog::OnSave);
    connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);
}

void AutomaticProfilesDialog::Load() {
    const std::string path = rulesPath_.toStdString();
    if (!QFileInfo::exists(rulesPath_)) {
        return;  // no rules yet: Save makes the file
    }
    std::string text;
    std::string error;
    ParsedRules parsed;
    if (!ReadUserFile(path, kMaxRulesBytes, "a rules file", text, error)) {
        parsed.problems.push_back(error);
    } else {
        parsed = ParseAutomaticRules(text, path);
    }
    loadProblems_ = parsed.problems;
    model_->Load(parsed.rules.rules);
    defaultField_->setText(Text(parsed.rules.defaultProfile));
    if (!loadProblems_.empty()) {
        QStringList lines;
        for (const std::string& problem : loadProblems_) {
            lines << Text(problem);
        }
        problemsText_->setText(
            "This rules file has problems; only the rules that could be read are shown, and "
            "saving replaces the file:\n" +
            lines.join('\n'));
        problemsText_->show();
    }
}

AutomaticRules AutomaticProfilesDialog::Rules() const {
    AutomaticRules rules;
    rules.defaultProfile = defaultField_->text().toStdString();
    rules.rules = model_->Rules();
    return rules;
}

void AutomaticProfilesDialog::ShowRows(int select) {
    if (select >= 0) {
        table_->selectRow(select);
    } else {
        table_->clearSelection();
    }
    ShowSelected();
}

// Shown only while it says something, so it leaves no gap in the editor.
void AutomaticProfilesDialog::ShowPicked(const QString& text) {
    pickedText_->setText(text);
    pickedText_->setVisible(!text.isEmpty());
}

int AutomaticProfilesDialog::Selected() const {
    const QModelIndexList rows = table_->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.front().row();
}

// The editor shows the selected rule; with none, it is off.
void AutomaticProfilesDialog::ShowSelected() {
    const int row = Selected();
    const bool any = row >= 0;
    for (QWidget* control :
         {static_cast<QWidget*>(removeButton_), static_cast<QWidget*>(kindList_),
          static_cast<QWidget*>(nameField_), static_cast<QWidget*>(profileField_),
          static_cast<QWidget*>(profileBrowseButton_)}) {
        control->setEnabled(any);
    }
    upButton_->setEnabled(any && row > 0);
    downButton_->setEnabled(any && row + 1 < model_->Size());
    if (!any) {
        kindList_->setCurrentIndex(kByProgram);
        nameField_->clear();
        profileField_->clear();
        ShowPicked({});
        return;
    }
    const RulesTableModel::Row& rule = model_->At(row);
    kindList_->setCurrentIndex(rule.byClass ? kByClass : kByProgram);
    nameField_->setText(Text(rule.name));
    profileField_->setText(Text(rule.profile));
    ShowPicked(rule.picked ? PickedText(*rule.picked) : QString());
}

void AutomaticProfilesDialog::OnAdd() {
    ShowRows(model_->Add());
    nameField_->setFocus(Qt::OtherFocusReason);
}

void AutomaticProfilesDialog::OnRemove() {
    const int row = Selected();
    if (row < 0) {
        return;
    }
    model_->Remove(row);
    ShowRows(model_->Size() == 0 ? -1 : std::min(row, model_->Size() - 1));
    // The button may have gone off under the focus.
    if (!removeButton_->isEnabled()) {
        addButton_->setFocus(Qt::OtherFocusReason);
    }
}

void AutomaticProfilesDialog::OnMove(int by) {
    const int row = Selected();
    if (!model_->Move(row, by)) {
        return;
    }
    ShowRows(row + by);
    // At either end the pressed button goes off: the other one keeps the focus.
    QPushButton* pressed = by < 0 ? upButton_ : downButton_;
    if (!pressed->isEnabled()) {
        (by < 0 ? downButton_ : upButton_)->setFocus(Qt::OtherFocusReason);
    }
}

void AutomaticProfilesDialog::OnKindActivated(int index) {
    const int row = Selected();
    if (row < 0) {
        return;
    }
    model_->SetByClass(row, index == kByClass);
    // A picked window names itself both ways.
    if (model_->At(row).picked) {
        nameField_->setText(Text(model_->At(row).name));
    }
}

void AutomaticProfilesDialog::OnNameEdited(const QString& text) {
    if (const int row = Selected(); row >= 0) {
        model_->SetName(row, text.toStdString());
    }
}

void AutomaticProfilesDialog::OnProfileEdited(const QString& text) {
    if (const int row = Selected(); row >= 0) {
        model_->SetProfile(row, text.toStdString());
    }
}

QString AutomaticProfilesDialog::ProfileAsWritten(const QString& chosen) const {
    const QDir folder = QFileInfo(rulesPath_).absoluteDir();
    const QString relative = folder.relativeFilePath(QFileInfo(chosen).absoluteFilePath());
    return relative.startsWith("../") ? QFileInfo(chosen).absoluteFilePath() : relative;
}

QString AutomaticProfilesDialog::ChooseProfile(const QString& title, const QString& current) {
    if (ProfileChooser()) {
        return ProfileChooser()(title);
    }
    const QString start =
        current.isEmpty()
            ? QFileInfo(rulesPath_).absolutePath()
            : Text(ResolveProfilePath(rulesPath_.toStdString(), current.toStdString()));
    return QFileDialog::getOpenFileName(this, title, start, "Profiles (*.toml);;All files (*)");
}

void AutomaticProfilesDialog::OnBrowseProfile() {
    const int row = Selected();
    if (row < 0) {
        return;
    }
    const QString chosen = ChooseProfile("Profile for the Rule", profileField_->text());
    if (chosen.isEmpty()) {
        return;
    }
    model_->SetProfile(row, ProfileAsWritten(chosen).toStdString());
    profileField_->setText(Text(model_->At(row).profile));
}

void AutomaticProfilesDialog::OnBrowseDefault() {
    const QString chosen = ChooseProfile("Default Profile", defaultField_->text());
    if (!chosen.isEmpty()) {
        defaultField_->setText(ProfileAsWritten(chosen));
    }
}

// The pick waits on a thread of its own, so the dialog answers meanwhile;
// pressing the button again ends it.
void AutomaticProfilesDialog::OnPick() {
    if (!picker_.pick) {
        return;
    }
    if (pickThread_.joinable()) {
        StopPicking();
        ShowPicked("No window was picked.");
        return;
    }
    pickCancelFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (pickCancelFd_ < 0) {
        ShowPicked("No window was picked: " + Text(std::strerror(errno)));
        return;
    }
    pickButton_->setText("Stop &waiting");
    ShowPicked(picker_.prompt);
    const int generation = ++pickGeneration_;
    pickThread_ = std::thread([this, pick = picker_.pick, cancelFd = pickCancelFd_, generation] {
        std::string error;
        const std::optional<WindowIdentity> window = pick(cancelFd, error);
        QMetaObject::invokeMethod(
            this, [this, window, error, generation] { OnPicked(generation, window, Text(error)); },
            Qt::QueuedConnection);
    });
}

void AutomaticProfilesDialog::StopPicking() {
    if (!pickThread_.joinable()) {
        return;
    }
    const uint64_t one = 1;
    (void)!::write(pickCancelFd_, &one, sizeof one);
    pickThread_.join();
    ::close(pickCancelFd_);
    pickCancelFd_ = -1;
    pickButton_->setText("Pick a &window");
}

AutomaticProfilesDialog::~AutomaticProfilesDialog() {
    StopPicking();
}

// The picked window fills in the selected rule, or a new one.
void AutomaticProfilesDialog::OnPicked(int generation, const std::optional<WindowIdentity>& window,
                                       const QString& error) {
    if (generation != pickGeneration_ || !pickThread_.joinable()) {
        return;  // a pick that was stopped: its answer comes too late to count
    }
    StopPicking();
    if (!window) {
        ShowPicked(error.isEmpty() ? "No window was picked."
                                   : "No window was picked: " + error + ".");
        return;
    }
    if (Selected() < 0) {
        ShowRows(model_->Add());
    }
    model_->SetPicked(Selected(), *window);
    ShowSelected();
}

QStringList AutomaticProfilesDialog::RowProblems() const {
    QStringList problems;
    for (int index = 0; index < model_->Size(); ++index) {
        const RulesTableModel::Row& rule = model_->At(index);
        const QString which = QString("Rule %1: ").arg(index + 1);
        if (rule.name.empty()) {
            problems << which + "say which " + (rule.byClass ? "window class" : "program") +
                            " it matches.";
        }
        if (rule.profile.empty()) {
            problems << which + "choose its profile file.";
        } else if (rule.profile.starts_with("~")) {
            problems << which + "write the profile's whole path; ~ is not expanded.";
        }
    }
    if (defaultField_->text().startsWith("~")) {
        problems << "Default profile: write its whole path; ~ is not expanded.";
    }
    return problems;
}

void AutomaticProfilesDialog::OnSave() {
    if (const QStringList problems = RowProblems(); !problems.isEmpty()) {
        ShowMessage(this, "The rules were not saved:\n" + problems.join('\n'));
        return;
    }
    if (!loadProblems_.empty() && !replaceConfirmed_) {
        const Answer answer = AskQuestion(
            this,
            "The rules file " + rulesPath_ +
                " has problems (shown above the rules). Saving replaces it with the rules shown "
                "here; what could not be read is lost. Replace it?",
            {Answer::Yes, Answer::No}, Answer::No, Answer::No);
        if (answer != Answer::Yes) {
            return;
        }
        replaceConfirmed_ = true;
    }
    // The rules file's folder is made as the XDG rules ask (0700) where it is missing.
    std::string error;
    if (!MakeFolders(QFileInfo(rulesPath_).absolutePath().toStdString(), error) ||
        WriteUserFile(rulesPath_.toStdString(), AutomaticRulesText(Rules()), "a rules file",
                      error) != WriteResult::Written) {
        ShowMessage(this, "The rules could not be saved:\n" + Text(error));
        return;
    }
    accept();
}

void AutomaticProfilesDialog::keyPressEvent(QKeyEvent* event) {
    if (!SwallowEnterAndEscape(event)) {
        QDialog::keyPressEvent(event);
    }
}

void OpenAutomaticProfiles(QWidget* parent) {
    AutomaticProfilesDialog dialog(Text(DefaultRulesPath()), SessionWindowPicker(), parent,
                                   SessionWindowsFollowedText());
    if (!dialog.LoadProblems().empty()) {
        QStringList lines;
        for (const std::string& problem : dialog.LoadProblems()) {
            lines << Text(problem);
        }
        ShowMessage(parent,
                    "The rules file has problems; only the rules that could be read are "
                    "shown, and it is replaced only if you agree when saving:\n" +
                        lines.join('\n'));
    }
    dialog.exec();
}

WindowPicker SessionWindowPicker() {
    const SessionEnvironment session = SessionEnvironment::OfThisProcess();
    const WindowSourceChoice choice = ChooseWindowSource(session);
    if (choice.kind == WindowSourceKind::None) {
        return {{},
                {},
                Text("Picking a window needs a desktop whose windows can be followed: " +
                     choice.note + ".")};
    }
    const auto identity = [](const auto& window) {
        return WindowIdentity{window.program, window.instance, window.windowClass};
    };
    if (choice.kind == WindowSourceKind::X11 && choice.note.empty()) {
        // A plain X11 session lets the pointer be grabbed for a click.
        return {[identity](int cancelFd, std::string& error) -> std::optional<WindowIdentity> {
                    const std::optional<X11WindowIdentity> picked = PickWindow(error, cancelFd);
                    return picked ? std::optional(identity(*picked)) : std::nullopt;
                },
                "Click the window to pick (Escape: none).",
                {}};
    }
    return {[identity, choice, session](int cancelFd,
                                        std::string& error) -> std::optional<WindowIdentity> {
                const std::unique_ptr<WindowSource> source =
                    MakeWindowSource(choice.kind, session, true);
                const std::optional<ActiveWindow> picked = WaitForNextActiveWindow(
                    *source, cancelFd, kPickLimitMs, static_cast<long>(::getpid()), error);
                return picked ? std::optional(identity(*picked)) : std::nullopt;
            },
            QString("Bring the window to pick to the front within %1 seconds: click it, or "
                    "switch to it with the keyboard.")
                .arg(kPickLimitMs / 1000),
            {}};
}

QString SessionWindowsFollowedText() {
    return "Windows: " +
           Text(WindowsFollowedText(ChooseWindowSource(SessionEnvironment::OfThisProcess()))) + ".";
}

void SetRulesProfileChooser(std::function<QString(const QString& title)> chooser) {
    ProfileChooser() = std::move(chooser);
}
