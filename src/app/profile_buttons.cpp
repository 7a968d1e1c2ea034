#include "app/profile_buttons.h"

#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QPushButton>

#include "app/automatic_profiles_dialog.h"
#include "device/mouse_session.h"
#include "platform/user_files.h"
#include "profile/profile.h"
#include "ui/message_box.h"

namespace {

std::function<QString(ProfileDialog)> fileChooser;

const char kFilter[] = "Profiles (*.toml);;All files (*)";

QString ChooseFile(QWidget* window, ProfileDialog dialog) {
    if (fileChooser) {
        return fileChooser(dialog);
    }
    if (dialog == ProfileDialog::Export) {
        return QFileDialog::getSaveFileName(window, "Export Settings", "mouse.toml", kFilter);
    }
    return QFileDialog::getOpenFileName(window, "Import Settings", QString(), kFilter);
}

// The two buttons can be used exactly while Factory Reset can: with the mouse there.
class FollowEnabled : public QObject {
public:
    FollowEnabled(QWidget* leader, std::initializer_list<QWidget*> followers)
        : QObject(leader), followers_(followers) {
        leader->installEventFilter(this);
        Follow(leader);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::EnabledChange) {
            Follow(static_cast<QWidget*>(watched));
        }
        return false;
    }

private:
    void Follow(QWidget* leader) {
        for (QWidget* follower : followers_) {
            follower->setEnabled(leader->isEnabled());
        }
    }

    std::vector<QWidget*> followers_;
};

QPushButton* NewButton(const char* text, const char* name, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

QString ProblemLines(const std::vector<ProfileProblem>& problems) {
    QStringList lines;
    for (const ProfileProblem& problem : problems) {
        lines << QString::fromStdString(problem.line > 0
                                            ? std::to_string(problem.line) + ": " + problem.message
                                            : problem.message);
    }
    return lines.join('\n');
}

// How many of a profile's settings differ between two records, counted by
// the names the profile file gives them.
int SettingsDifferingByName(const SettingsRecord& a, const SettingsRecord& b) {
    int differing = 0;
    for (const ProfileKeyHelp& key : ProfileKeys()) {
        std::string unused;
        if (ProfileValueText(a, key.key, unused) != ProfileValueText(b, key.key, unused)) {
            ++differing;
        }
    }
    return differing;
}

}  // namespace

void AddProfileButtons(ProfileHost* host, QWidget* enabledLike, QGroupBox* info,
                       QGridLayout* infoLayout) {
    QWidget* window = host->HostWindow();
    QPushButton* exportButton = NewButton("&Export…", "exportButton", info);
    QPushButton* importButton = NewButton("&Import…", "importButton", info);
    infoLayout->addWidget(exportButton, 0, 4, 2, 1, Qt::AlignVCenter);
    infoLayout->addWidget(importButton, 0, 5, 2, 1, Qt::AlignVCenter);
    QObject::connect(exportButton, &QPushButton::clicked, window, [host] { ExportProfile(host); });
    QObject::connect(importButton, &QPushButton::clicked, window, [host] { ImportProfile(host); });
    new FollowEnabled(enabledLike, {exportButton, importButton});
    // The rules are files of their own: no mouse is needed to edit them.
    QPushButton* automaticButton =
        NewButton("Automatic &profiles…", "automaticProfilesButton", info);
    infoLayout->addWidget(automaticButton, 0, 6, 2, 1, Qt::AlignVCenter);
    QObject::connect(automaticButton, &QPushButton::clicked, window,
                     [window] { OpenAutomaticProfiles(window); });
}

void ExportProfile(ProfileHost* host) {
    QWidget* window = host->HostWindow();
    const QString path = ChooseFile(window, ProfileDialog::Export);
    if (path.isEmpty()) {
        return;
    }
    // What the pages show, applied or not: the profile is the window's picture.
    std::vector<std::string> leftOut;
    const std::string text = FormatProfile(host->Session().pendingSettings, &leftOut);
    std::string error;
    if (WriteUserFile(path.toStdString(), text, "a profile", error) != WriteResult::Written) {
        ShowMessage(window,
                    "The settings could not be exported:\n" + QString::fromStdString(error));
        return;
    }
    if (!leftOut.empty()) {
        QStringList notes;
        for (const std::string& note : leftOut) {
            notes << QString::fromStdString(note);
        }
        ShowMessage(window, "Exported, with these settings left out:\n" + notes.join('\n'));
    }
    host->ShowProfileExported(QDir::toNativeSeparators(path));
}

void ImportProfile(ProfileHost* host) {
    QWidget* window = host->HostWindow();
    const QString path = ChooseFile(window, ProfileDialog::Import);
    if (path.isEmpty()) {
        return;
    }
    const QString name = QFileInfo(path).fileName();
    std::string text;
    std::string error;
    if (!ReadUserFile(path.toStdString(), kMaxProfileBytes, "a profile", text, error)) {
        ShowMessage(window, "The profile could not be read:\n" + QString::fromStdString(error));
        return;
    }
    SettingsRecord record = host->Session().pendingSettings;
    const std::vector<ProfileProblem> problems = ApplyProfile(ParseProfileText(text), record);
    if (!problems.empty()) {
        ShowMessage(window, "The profile " + name + " was not loaded; nothing changed:\n" +
                                ProblemLines(problems));
        return;
    }
    host->Session().pendingSettings = record;
    host->ShowImportedProfile(SettingsDifferingByName(record, host->Session().deviceSettings));
}

void SetProfileFileChooser(std::function<QString(ProfileDialog)> chooser) {
    fileChooser = std::move(chooser);
}
