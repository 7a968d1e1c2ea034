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
#include "app/main_window.h"
#include "app/simulated_mouse_window.h"
#include "cli/command_line.h"
#include "device/device_link.h"
#include "device/event_listener.h"
#include "device/mouse_session.h"
#include "device/simulated/simulated_session.h"
#include "device/user_command_lock.h"
#include "platform/instance_lock.h"
#include "platform/raise_channel.h"
#include "platform/x11_window_focus.h"
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

// What the window program was given that is not for it: an exit status.
std::optional<int> RefusedArguments(const ParseResult& parsed) {
    if (!parsed.commandLine) {
        std::fputs(parsed.output.c_str(), stdout);
        std::fputs(parsed.error.c_str(), stderr);
        return parsed.exitCode;
    }
    if (parsed.commandLine->command != Command::None) {
        PrintError("commands are run by kestrine-config itself, not by the window program");
        return kExitUsage;
    }
    return std::nullopt;
}

// The first answer of the instance lock: an exit status when this window is
// not to be shown (another one is, or nothing can make sure of that).
std::optional<int> ExitForLock(InstanceLock& lock, InstanceLock::Result locked, int& argc,
                               char** argv) {
    switch (locked) {
        case InstanceLock::Result::HeldElsewhere:
            if (HeldByAnotherProgram(locked, lock)) {
                return std::nullopt;  // the window shows at once and waits for its turn
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
    return std::nullopt;
}

std::unique_ptr<SimulatedSession> StartSimulation(const std::string& memoryFile) {
    std::string error;
    std::unique_ptr<SimulatedSession> simulation = SimulatedSession::Start(memoryFile, error);
    if (!simulation) {
        PrintError(error);
        return nullptr;
    }
    if (!simulation->Notice().empty()) {
        PrintError(simulation->Notice());
    }
    if (!simulation->MemoryFile().empty()) {
        // The agent the window turns on follows the same simulated mouse.
        char* absolute = ::realpath(simulation->MemoryFile().c_str(), nullptr);
        SetAgentProgram({}, {"--simulate=" +
                             std::string(absolute ? absolute : simulation->MemoryFile().c_str())});
        std::free(absolute);
    }
    return simulation;
}

// An X server without a window manager gives a new window no focus: the
// window takes it itself, unless another window has it or lies under the
// pointer. A window manager's choice is left to it.
void TakeUnclaimedFocus(QWidget& window) {
    const auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 && KeyboardFocusUnclaimed(x11->connection(), window.winId())) {
        window.activateWindow();
    }
}

// Names and checks what Qt took of the command line; false after a bad option.
bool SetUpApplication() {
    QApplication::setApplicationName("kestrine-config");
    QApplication::setApplicationVersion(KESTRINE_VERSION);
    QApplication::setDesktopFileName("io.github.kestrine.config");
    const QStringList leftOver =
        QApplication::arguments().mid(1).filter(QRegularExpression("^-[^-]"));
    if (!leftOver.isEmpty()) {
        PrintError("unknown argument " + leftOver.first().toStdString() + " (see --help)");
        return false;
    }
    return true;
}

// The window's start: while another program of the user holds the mouse the
// window is there at once and says so, instead of appearing when that
// program is done; once the locks are free it reads the mouse.
class WindowStart {
public:
    WindowStart(InstanceLock& lock, InstanceLock::Result locked, CUpdaterDlg& dialog,
                RaiseListener& raiseListener)
        : lock_(lock), locked_(locked), dialog_(dialog), raiseListener_(raiseListener) {
        timer_.setSingleShot(true);
        timer_.setInterval(kTurnRetryMs);
        QObject::connect(&timer_, &QTimer::timeout, &dialog_, [this] { Try(); });
        if (locked_ == InstanceLock::Result::Acquired) {
            // The background agent may be reading the mouse: the two take turns at each command.
            UseUserCommandLock(lock_.Folder());
        }
    }

    void Try() {
        TakeLockIfFree();
        if (locked_ != InstanceLock::Result::Acquired && !HeldByAnotherProgram(locked_, lock_)) {
            GiveUp();
            return;
        }
        if (const std::optional<std::string> holder = Holder()) {
            dialog_.ShowWaitingToStart(QString::fromStdString(*holder));
            timer_.start();
            return;
        }
        // Listening before the mouse is read, so a second start meanwhile is not lost.
        if (std::string raiseError; !raiseListener_.Listen(lock_.Folder(), raiseError)) {
            PrintError("a second start cannot show this window: " + raiseError);
        }
        dialog_.Initialise();
    }

    void Stop() { timer_.stop(); }
    bool GaveUp() const { return gaveUp_; }
    int Status() const { return status_; }

private:
    void TakeLockIfFree() {
        if (locked_ == InstanceLock::Result::Acquired) {
            return;
        }
        const std::string folder = lock_.Folder();
        locked_ = lock_.Acquire(folder);
        if (locked_ == InstanceLock::Result::Acquired) {
            UseUserCommandLock(folder);
        }
    }

    // A window started meanwhile took the lock (it is the one to show), or
    // the lock went away.
    void GiveUp() {
        if (locked_ == InstanceLock::Result::HeldElsewhere) {
            AskRunningInstanceToRaise(lock_.Folder());
        } else {
            PrintError("cannot make sure that only one copy runs: " + lock_.Problem());
            status_ = kExitNoLock;
        }
        gaveUp_ = true;
        dialog_.close();
    }

    // Who holds the window's lock or the mouse now; nothing when both are free.
    std::optional<std::string> Holder() const {
        if (locked_ == InstanceLock::Result::HeldElsewhere) {
            return LockHolderText(lock_.HeldBy());
        }
        return UserCommandTurnHolder();
    }

    InstanceLock& lock_;
    InstanceLock::Result locked_;
    CUpdaterDlg& dialog_;
    RaiseListener& raiseListener_;
    QTimer timer_;
    bool gaveUp_ = false;
    int status_ = 0;
};

}  // namespace

int CUpdaterApp::Run(int argc, char** argv) {
    const ParseResult parsed =
        ParseCommandLine(std::vector<std::string>(argv + std::min(argc, 1), argv + argc));
    if (const std::optional<int> exit = RefusedArguments(parsed)) {
        return *exit;
    }
    const CommandLine& options = *parsed.commandLine;

    InstanceLock lock;
    const InstanceLock::Result locked = lock.Acquire();
    if (const std::optional<int> exit = ExitForLock(lock, locked, argc, argv)) {
        return *exit;
    }
    std::unique_ptr<SimulatedSession> simulation;
    if (options.simulate && !(simulation = StartSimulation(options.simulateFile))) {
        return kExitUsage;
    }

    QApplication application(argc, argv);
    if (!SetUpApplication()) {
        return kExitUsage;
    }
    if (simulation) {
        // Its unplug and plug reach the window as the real mouse's do.
        SetSimulatedHotplugSource(&simulation->Mouse());
    }
    MouseSession session;
    CUpdaterDlg dialog(session);
    RaiseListener raiseListener(&dialog);
    // Shown, not run with exec(): a modal run would block the simulated mouse's window.
    QObject::connect(&dialog, &QDialog::finished, qApp, &QCoreApplication::quit);
    WindowStart start(lock, locked, dialog, raiseListener);
    start.Try();
    if (start.GaveUp()) {
        return start.Status();
    }
    dialog.show();
    // What nobody looks at before the window is on screen comes after it.
    std::unique_ptr<SimulatedMouseWindow> simulatedMouseWindow;
    RunWhenFirstExposed(&dialog, [&simulatedMouseWindow, &simulation, &dialog] {
        TakeUnclaimedFocus(dialog);
        if (QApplication::windowIcon().isNull()) {  // else the user chose one (-qwindowicon)
            QApplication::setWindowIcon(ProgramIcon());
        }
        if (simulation) {
            simulatedMouseWindow = std::make_unique<SimulatedMouseWindow>(*simulation);
            simulatedMouseWindow->ShowBeside(dialog);
        }
    });
    QApplication::exec();
    start.Stop();
    // Both connections close before the mouse or the HID library behind them ends.
    StopDeviceEventListener();
    ReleaseDevice();
    SetSimulatedHotplugSource(nullptr);
    return start.Status();
}
