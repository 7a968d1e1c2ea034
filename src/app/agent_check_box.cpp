#include "app/agent_check_box.h"

#include <unistd.h>

#include <QCheckBox>
#include <QFileSystemWatcher>
#include <QGridLayout>
#include <QSignalBlocker>
#include <climits>

#include "agent/agent_control.h"
#include "ui/message_box.h"

namespace {

std::string agentProgram;
std::vector<std::string> agentArguments;

std::string OwnFolder() {
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) {
        return ".";
    }
    const std::string self(path, static_cast<size_t>(length));
    return self.substr(0, self.rfind('/'));
}

// Built, kestrine-config sits beside the window program; installed, the
// window program lives in libexec and kestrine-config in bin.
std::string DefaultAgentProgram() {
    const std::string folder = OwnFolder();
    for (const std::string& path :
         {folder + "/kestrine-config", folder + "/" KESTRINE_CLI_FROM_GUI_DIR}) {
        if (::access(path.c_str(), X_OK) == 0) {
            return path;
        }
    }
    return "kestrine-config";
}

// Ticked while the agent starts at login or runs now, started from a
// terminal too: unticking stops it either way.
bool AgentOn(const AgentState& state) {
    return state.enabled || state.runningPid != 0;
}

void ShowAgentState(QCheckBox* box) {
    const QSignalBlocker quiet(box);
    box->setChecked(AgentOn(CurrentAgentState()));
}

// The agent's status file comes and goes with it, beside its lock: the box
// follows an agent started or stopped elsewhere while the window is open.
void FollowAgent(QCheckBox* box) {
    const std::string folder = CurrentAgentState().lockFolder;
    if (folder.empty()) {
        return;
    }
    auto* watcher = new QFileSystemWatcher({QString::fromStdString(folder)}, box);
    QObject::connect(watcher, &QFileSystemWatcher::directoryChanged, box,
                     [box] { ShowAgentState(box); });
}

void Turn(QWidget* window, QCheckBox* box, bool on) {
    std::string error;
    const std::string program = agentProgram.empty() ? DefaultAgentProgram() : agentProgram;
    const bool done = on ? EnableAgent(program, agentArguments, error) : DisableAgent(error);
    if (!done) {
        // The box keeps showing what holds.
        ShowAgentState(box);
        ShowMessage(window, QString(on ? "The notices could not be turned on:\n"
                                       : "The notices could not be turned off:\n") +
                                QString::fromStdString(error));
    }
}

}  // namespace

void SetAgentProgram(std::string program, std::vector<std::string> arguments) {
    agentProgram = std::move(program);
    agentArguments = std::move(arguments);
}

void AddAgentCheckBox(QWidget* window, QGridLayout* infoLayout) {
    auto* box = new QCheckBox("Show a &notice when the mouse's buttons change CPI or report rate",
                              infoLayout->parentWidget());
    box->setObjectName("agentNoticesCheck");
    box->setToolTip(
        "A small agent runs in the background from login and shows the new CPI level or "
        "report rate when you press the mouse's own buttons.");
    ShowAgentState(box);
    FollowAgent(box);
    infoLayout->addWidget(box, 2, 0, 1, infoLayout->columnCount());
    QObject::connect(box, &QCheckBox::toggled, window,
                     [window, box](bool on) { Turn(window, box, on); });
}
