#include "app/updater_app.h"

#include <QApplication>
#include <QRegularExpression>
#include <algorithm>
#include <cstdio>
#include <memory>

#include "app/instance_lock.h"
#include "app/simulated_mouse_window.h"
#include "app/simulated_session.h"
#include "app/updater_dlg.h"
#include "device/device_link.h"
#include "device/event_listener.h"

namespace {

constexpr int kExitUsage = 2;

const char kUsage[] =
    "Usage: kestrine-config [--simulate[=FILE]]\n"
    "Configuration tool for the Kestrine XQ3 8k v2 mouse.\n"
    "\n"
    "  --simulate         use a simulated mouse instead of the real one\n"
    "  --simulate=FILE    the same, keeping the simulated mouse's memory in FILE\n"
    "  --help             show this help and exit\n"
    "  --version          show the version and exit\n";

void PrintError(const std::string& text) {
    std::fprintf(stderr, "kestrine-config: %s\n", text.c_str());
}

}  // namespace

std::optional<CUpdaterApp::Options> CUpdaterApp::ParseArguments(
    const std::vector<std::string>& arguments, std::string& error) {
    const std::string simulateWithFile = "--simulate=";
    Options options;
    for (const std::string& argument : arguments) {
        if (argument == "--simulate") {
            options.simulate = true;
        } else if (argument.rfind(simulateWithFile, 0) == 0) {
            options.simulate = true;
            options.simulateFile = argument.substr(simulateWithFile.size());
            if (options.simulateFile.empty()) {
                error = "--simulate= needs a file name";
                return std::nullopt;
            }
        } else if (argument == "--help" || argument == "-h") {
            options.help = true;
        } else if (argument == "--version") {
            options.version = true;
        } else if (argument.rfind("--", 0) == 0) {
            error = "unknown argument " + argument + " (see --help)";
            return std::nullopt;
        }
    }
    return options;
}

int CUpdaterApp::Run(int argc, char** argv) {
    std::string error;
    const std::optional<Options> options =
        ParseArguments(std::vector<std::string>(argv + std::min(argc, 1), argv + argc), error);
    if (!options) {
        PrintError(error);
        return kExitUsage;
    }
    if (options->help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (options->version) {
        std::printf("kestrine-config %s\n", KESTRINE_VERSION);
        return 0;
    }

    InstanceLock lock;
    if (lock.Acquire() == InstanceLock::Result::HeldElsewhere) {
        return 0;  // the running instance stays undisturbed
    }

    std::unique_ptr<SimulatedSession> simulation;
    if (options->simulate) {
        simulation = SimulatedSession::Start(options->simulateFile, error);
        if (!simulation) {
            PrintError(error);
            return kExitUsage;
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
    if (simulation) {
        simulatedMouseWindow = std::make_unique<SimulatedMouseWindow>(simulation->Mouse());
    }
    CUpdaterDlg dialog;
    dialog.Initialise();
    // Shown, not run with exec(): a modal run would block the simulated mouse's window.
    QObject::connect(&dialog, &QDialog::finished, qApp, &QCoreApplication::quit);
    dialog.show();
    if (simulatedMouseWindow) {
        // Beside the main window, not over it.
        simulatedMouseWindow->move(dialog.frameGeometry().topRight() + QPoint(16, 0));
        simulatedMouseWindow->show();
    }
    QApplication::exec();
    // Both connections close before the mouse or the HID library behind them ends.
    StopDeviceEventListener();
    ReleaseDevice();
    return 0;
}
