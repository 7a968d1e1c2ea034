#pragma once

#include <QString>
#include <functional>

class MouseSession;
class QGridLayout;
class QGroupBox;
class QWidget;

// What the profile buttons need of the window they sit in.
class ProfileHost {
public:
    virtual QWidget* HostWindow() = 0;
    virtual MouseSession& Session() = 0;
    // After an import into pendingSettings: the pages show it anew, and the
    // status line says how many named settings now differ from the mouse.
    virtual void ShowImportedProfile(int settingsDiffering) = 0;
    // An export wrote the profile to `path`.
    virtual void ShowProfileExported(const QString& path) = 0;

protected:
    ~ProfileHost() = default;
};

// "Export…" and "Import…" beside Factory Reset: the settings the pages show
// saved as a profile file, and a profile loaded into the pages. An import
// only changes pendingSettings, so APPLY lights up and nothing reaches the
// mouse before it; a bad file is refused with its lines and reasons. Then
// "Automatic profiles…", which edits the rules file. Export and Import are
// enabled exactly while `enabledLike` is.
void AddProfileButtons(ProfileHost* host, QWidget* enabledLike, QGroupBox* info,
                       QGridLayout* infoLayout);

void ExportProfile(ProfileHost* host);
void ImportProfile(ProfileHost* host);

// Tests answer the file dialogs instead of showing them: the chosen file, or
// "" for Cancel. {} = the real dialogs.
enum class ProfileDialog { Export, Import };
void SetProfileFileChooser(std::function<QString(ProfileDialog)> chooser);
