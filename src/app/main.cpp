// The program's two faces. This part links no window toolkit: a command runs
// here and costs only its talk with the mouse plus about 2 ms, where merely
// loading and relocating Qt's libraries at start costs 9 ms of CPU and twice
// that in time. Without a command the window program, installed beside this
// one, takes over the process (exec: same process id, arguments and
// terminal), so the window starts as it always did.
#include <unistd.h>

#include <cerrno>
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
        return StartWindow(argv);
    }
    CommandStreams streams{std::cin, std::cout, std::cerr, {}};
    return RunCommand(*parsed.commandLine, streams);
}
