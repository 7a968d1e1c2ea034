#pragma once

#include <QString>
#include <functional>

class CUpdaterDlg;
class QGridLayout;
class QGroupBox;

// "Export…" and "Import…" beside Factory Reset: the settings the pages show
// saved as a profile file, and a profile loaded into the pages. An import
// only changes pendingSettings, so APPLY lights up and nothing reaches the
// mouse before it; a bad file is refused with its lines and reasons. Then
// "Automatic profiles…", which edits the rules file.
void AddProfileButtons(CUpdaterDlg* window, QGroupBox* info, QGridLayout* infoLayout);

void ExportProfile(CUpdaterDlg* window);
void ImportProfile(CUpdaterDlg* window);

// Tests answer the file dialogs instead of showing them: the chosen file, or
// "" for Cancel. {} = the real dialogs.
enum class ProfileDialog { Export, Import };
void SetProfileFileChooser(std::function<QString(ProfileDialog)> chooser);
