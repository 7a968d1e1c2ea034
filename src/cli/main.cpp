// The program's two faces. This part links no window toolkit: a command runs
// here and costs only its talk with the mouse plus about 2 ms, where merely
// loading and relocating Qt's libraries at start costs 9 ms of CPU and twice
// that in time. Without a command the window program, installed beside this
// one, takes over the process (exec: same process id, arguments and
// terminal), so the window starts as it always did.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/commands.h"

namespace {

std::string OwnFolder() {
    std::string path(4096, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (length <= 0) {
        return ".";
    }
    path.resize(static_cast<size_t>(length));
    return path.substr(0, path.rfind('/'));
}

bool IsSet(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0';
}

// The toolkit would abort without a display; say what is missing instead.
// A platform chosen by hand (offscreen, vnc, ...) may need none.
bool HasDisplay(const CommandLine& line) {
    const auto& toolkit = line.toolkitArguments;
    return IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY") || IsSet("QT_QPA_PLATFORM") ||
           std::find(toolkit.begin(), toolkit.end(), "-platform") != toolkit.end();
}

// Output that never arrived (stdout on a full disk) is a failure, with the
// reason. The command has said so itself when it saw it; this is the last flush.
int OutputStatus(int status) {
    errno = 0;
    if (status != kExitDone || (std::fflush(stdout) == 0 && !std::ferror(stdout))) {
        return status;
    }
    std::cerr << "kestrine-config: the output could not be written"
              << (errno != 0 ? std::string(": ") + std::strerror(errno) : std::string()) << "\n";
    return kExitMouse;
}

// The same process becomes the window program: its id, lock and arguments stay.
int StartWindow(char** argv) {
    const std::string folder = OwnFolder();
    std::string tried;
    for (const std::string& path :
         {folder + "/kestrine-config-gui", folder + "/" KESTRINE_GUI_FROM_BINDIR}) {
        ::execv(path.c_str(), argv);
        tried += "\n  " + path + ": " + std::strerror(errno);
    }
    std::cerr << "kestrine-config: the configuration window cannot be started:" << tried << "\n"
              << "Commands work without it (see kestrine-config --help).\n";
    return kExitMouse;
}

}  // namespace

int main(int argc, char** argv) {
    ParseResult parsed = ParseCommandLine(std::vector<std::string>(argv + (argc > 0), argv + argc));
    if (!parsed.commandLine) {
        std::cout << parsed.output;
        std::cerr << parsed.error;
        return parsed.exitCode;
    }
    if (parsed.commandLine->command == Command::None) {
        if (!HasDisplay(*parsed.commandLine)) {
            std::cerr << "kestrine-config: no display for the window: neither DISPLAY nor "
                         "WAYLAND_DISPLAY is set (commands work without one, see "
                         "kestrine-config --help)\n";
            return kExitMouse;
        }
        return StartWindow(argv);
    }
    // Into a file or a pipe the output goes in one piece at the end, so a
    // failed write is seen where its reason is known.
    if (::isatty(STDOUT_FILENO) == 0) {
        static char buffer[1 << 20];
        std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    }
    CommandStreams streams{std::cin, std::cout, std::cerr, {}};
    streams.terminal = ::isatty(STDIN_FILENO) == 1 && ::isatty(STDERR_FILENO) == 1;
    return OutputStatus(RunCommand(*parsed.commandLine, streams));
}
