#include "app/window_program.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QRegularExpression>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

#include "app/agent_check_box.h"
#include "app/hotplug_watcher.h"
#include "app/simulated_mouse_window.h"
#include "app/main_window.h"
#include "cli/command_line.h"
#include "device/device_link.h"
#include "device/event_listener.h"
#include "device/mouse_session.h"
#include "device/simulated/simulated_session.h"
#include "device/user_command_lock.h"
#include "platform/instance_lock.h"
#include "platform/raise_channel.h"
#include "ui/first_expose.h"
#include "ui/message_box.h"

namespace {

// Bad usage exits as the command line does (kExitUsage); so does a refusal to run unlocked.
constexpr int kExitNoLock = 1;
// How often a window waiting for another program of the user tries again.
constexpr int kTurnRetryMs = 50;

void PrintError(const std::string& text) {
    std::fprintf(stderr, "kestrine-config: %s\n", text.c_str());
}

// A refusal to start, also in a message box when there is a desktop to show
// it on: started from a menu, the user never sees stderr.
void RefuseToStart(int& argc, char** argv, const std::string& text) {
    PrintError(text);
    if (!qEnvironmentVariableIsEmpty("DISPLAY") ||
        !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        QApplication application(argc, argv);
        QString sentence = QString::fromStdString(text);
        sentence[0] = sentence[0].toUpper();
        ShowMessage(nullptr, sentence);
    }
}

// Drawn at build time in the sizes a desktop asks for, each named by its
// size ("kestrine-config-32.png"), so that none is read before it is needed.
QIcon ProgramIcon() {
    QIcon icon;
    for (const QString& file : QDir(":/icons").entryList(QDir::Files)) {
        const int size = file.section('-', -1).section('.', 0, 0).toInt();
        icon.addFile(":/icons/" + file, QSize(size, size));
    }
    return icon;
}

// Another process of the user that holds the mouse (a command, the agent
// writing a profile) is done in a moment; the window is not.
bool HeldByAnotherProgram(InstanceLock::Result result, const InstanceLock& lock) {
    return result == InstanceLock::Result::HeldElsewhere &&
           lock.HeldBy().holder != InstanceLock::Holder::Window;
}

// Who holds the window's lock, as it recorded itself.
std::string LockHolderText(const InstanceLock::HolderInfo& held) {
    const std::string who = held.holder == InstanceLock::Holder::Agent
                                ? "the background agent"
                                : "a kestrine-config command";
    return held.pid > 0 ? who + ", pid " + std::to_string(held.pid) : who;
}

}  // namespace

int CUpdaterApp::Run(int argc, char** argv) {
    std::string error;
    const ParseResult parsed =
        ParseCommandLine(std::vector<std::string>(argv + std::min(argc, 1), argv + argc));
    if (!parsed.commandLine) {
        std::fputs(parsed.output.c_str(), stdout);
        std::fputs(parsed.error.c_str(), stderr);
        return parsed.exitCode;
    }
    const CommandLine* options = &*parsed.commandLine;
    if (options->command != Command::None) {
        PrintError("commands are run by kestrine-config itself, not by the window program");
        return kExitUsage;
    }

    InstanceLock lock;
    InstanceLock::Result locked = lock.Acquire();
    switch (locked) {
        case InstanceLock::Result::HeldElsewhere:
            if (HeldByAnotherProgram(locked, lock)) {
                break;  // the window shows at once and waits for its turn
            }
            AskRunningInstanceToRaise(lock.Folder());
            return 0;  // the running instance shows its window, if it can
        case InstanceLock::Result::Unavailable:
            RefuseToStart(argc, argv,
                          "cannot make sure that only one copy runs: " + lock.Problem());
            return kExitNoLock;
        case InstanceLock::Result::Acquired:
            break;
    }

    std::unique_ptr<SimulatedSession> simulation;
    if (options->simulate) {
        simulation = SimulatedSession::Start(options->simulateFile, error);
        if (!simulation) {
            PrintError(error);
            return kExitUsage;
        }
        if (!simulation->Notice().empty()) {
            PrintError(simulation->Notice());
        }
    }

    QApplication application(argc, argv);
    QApplication::setApplicationName("kestrine-config");
    QApplication::setApplicationVersion(KESTRINE_VERSION);
    QApplication::setDesktopFileName("io.github.kestrine.config");
    const QStringList leftOver =
        QApplication::arguments().mid(1).filter(QRegularExpression("^-[^-]"));
    if (!leftOver.isEmpty()) {
        PrintError("unknown argument " + leftOver.first().toStdString() + " (see --help)");
        return kExitUsage;
    }

    std::unique_ptr<SimulatedMouseWindow> simulatedMouseWindow;
    if (simulation && !simulation->MemoryFile().empty()) {
        // The agent the window turns on follows the same simulated mouse.
        char* absolute = ::realpath(simulation->MemoryFile().c_str(), nullptr);
        SetAgentProgram({}, {"--simulate=" +
                             std::string(absolute ? absolute : simulation->MemoryFile().c_str())});
        std::free(absolute);
    }
    if (simulation) {
        // Its unplug and plug reach the window as the real mouse's do.
        SetSimulatedHotplugSource(&simulation->Mouse());
    }
    MouseSession session;
    CUpdaterDlg dialog(session);
    RaiseListener raiseListener(&dialog);
    int status = 0;
    bool gaveUp = false;
    // Shown, not run with exec(): a modal run would block the simulated mouse's window.
    QObject::connect(&dialog, &QDialog::finished, qApp, &QCoreApplication::quit);
    // While another program of the user holds the mouse the window is there
    // at once and says so, instead of appearing when that program is done.
    QTimer turnTimer;
    turnTimer.setSingleShot(true);
    turnTimer.setInterval(kTurnRetryMs);
    const auto tryToStart = [&] {
        if (locked != InstanceLock::Result::Acquired) {
            const std::string folder = lock.Folder();
            locked = lock.Acquire(folder);
            if (locked == InstanceLock::Result::Acquired) {
                UseUserCommandLock(folder);
            }
        }
        if (locked != InstanceLock::Result::Acquired && !HeldByAnotherProgram(locked, lock)) {
            // A window started meanwhile took the lock (it is the one to
            // show), or the lock went away.
            if (locked == InstanceLock::Result::HeldElsewhere) {
                AskRunningInstanceToRaise(lock.Folder());
            } else {
                PrintError("cannot make sure that only one copy runs: " + lock.Problem());
                status = kExitNoLock;
            }
            gaveUp = true;
            dialog.close();
            return;
        }
        std::optional<std::string> holder;
        if (locked == InstanceLock::Result::HeldElsewhere) {
            holder = LockHolderText(lock.HeldBy());
        } else {
            holder = UserCommandTurnHolder();
        }
        if (holder) {
            dialog.ShowWaitingToStart(QString::fromStdString(*holder));
            turnTimer.start();
            return;
        }
        // Listening before the mouse is read, so a second start meanwhile is not lost.
        if (std::string raiseError; !raiseListener.Listen(lock.Folder(), raiseError)) {
            PrintError("a second start cannot show this window: " + raiseError);
        }
        dialog.Initialise();
    };
    QObject::connect(&turnTimer, &QTimer::timeout, &dialog, tryToStart);
    if (locked == InstanceLock::Result::Acquired) {
        // The background agent may be reading the mouse: the two take turns at each command.
        UseUserCommandLock(lock.Folder());
    }
    tryToStart();
    if (gaveUp) {
        return status;
    }
    dialog.show();
    // What nobody looks at before the window is on screen comes after it.
    RunWhenFirstExposed(&dialog, [&simulatedMouseWindow, &simulation, &dialog] {
        if (QApplication::windowIcon().isNull()) {  // else the user chose one (-qwindowicon)
            QApplication::setWindowIcon(ProgramIcon());
        }
        if (simulation) {
            simulatedMouseWindow = std::make_unique<SimulatedMouseWindow>(*simulation);
            simulatedMouseWindow->ShowBeside(dialog);
        }
    });
    QApplication::exec();
    turnTimer.stop();
    // Both connections close before the mouse or the HID library behind them ends.
    StopDeviceEventListener();
    ReleaseDevice();
    SetSimulatedHotplugSource(nullptr);
    return status;
}
