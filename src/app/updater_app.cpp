#include "app/updater_app.h"

#include <QApplication>
#include <cstdio>
#include <memory>

#include "app/instance_lock.h"
#include "app/simulated_mouse_window.h"
#include "app/simulated_session.h"
#include "app/updater_dlg.h"
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

void PrintError(const QString& text) {
    std::fprintf(stderr, "kestrine-config: %s\n", qPrintable(text));
}

}  // namespace

std::optional<CUpdaterApp::Options> CUpdaterApp::ParseArguments(const QStringList& arguments,
                                                                QString& error) {
    Options options;
    for (const QString& argument : arguments.mid(1)) {
        if (argument == "--simulate") {
            options.simulate = true;
        } else if (argument.startsWith("--simulate=")) {
            options.simulate = true;
            options.simulateFile = argument.mid(int(sizeof("--simulate=")) - 1).toStdString();
            if (options.simulateFile.empty()) {
                error = "--simulate= needs a file name";
                return std::nullopt;
            }
        } else if (argument == "--help" || argument == "-h") {
            options.help = true;
        } else if (argument == "--version") {
            options.version = true;
        } else {
            error = QString("unknown argument %1 (see --help)").arg(argument);
            return std::nullopt;
        }
    }
    return options;
}

int CUpdaterApp::Run() {
    QString error;
    const std::optional<Options> options = ParseArguments(QCoreApplication::arguments(), error);
    if (!options) {
        PrintError(error);
        return kExitUsage;
    }
    if (options->help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (options->version) {
        std::printf("kestrine-config %s\n", qPrintable(QCoreApplication::applicationVersion()));
        return 0;
    }

    InstanceLock lock;
    if (lock.Acquire() == InstanceLock::Result::HeldElsewhere) {
        return 0;  // the running instance stays undisturbed
    }

    std::unique_ptr<SimulatedSession> simulation;
    std::unique_ptr<SimulatedMouseWindow> simulatedMouseWindow;
    if (options->simulate) {
        std::string fileError;
        simulation = SimulatedSession::Start(options->simulateFile, fileError);
        if (!simulation) {
            PrintError(QString::fromStdString(fileError));
            return kExitUsage;
        }
        simulatedMouseWindow = std::make_unique<SimulatedMouseWindow>(simulation->Mouse());
    }

    CUpdaterDlg dialog;
    dialog.Initialise();
    // Shown, not run with exec(): a modal run would block the simulated mouse's window.
    QObject::connect(&dialog, &QDialog::finished, qApp, &QCoreApplication::quit);
    dialog.show();
    if (simulatedMouseWindow) {
        simulatedMouseWindow->show();
    }
    QApplication::exec();
    // The listener's thread and connection end before the mouse they read.
    StopDeviceEventListener();
    return 0;
}
