// Another process at the simulated mouse, for the end-to-end runs:
//   kestrine-simulated-peer FILE cpi          presses the CPI button
//   kestrine-simulated-peer FILE rate CODE    switches the report rate
//   kestrine-simulated-peer FILE hold MS      takes the user's device turn, says
//                                             "held", keeps it MS ms, says "released"
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <thread>

#include "device/simulated/simulated_mouse.h"
#include "device/simulated/simulated_session.h"
#include "device/user_command_lock.h"
#include "platform/instance_lock.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: " << argv[0] << " FILE cpi | rate CODE | hold MS\n";
        return 2;
    }
    std::string error;
    std::unique_ptr<SimulatedSession> session = SimulatedSession::Start(argv[1], error);
    if (!session) {
        std::cerr << error << "\n";
        return 1;
    }
    const std::string what = argv[2];
    if (what == "cpi") {
        session->Mouse().PressCpiButton();
    } else if (what == "rate" && argc > 3) {
        session->Mouse().SwitchReportRate(static_cast<uint8_t>(std::atoi(argv[3])));
    } else if (what == "hold" && argc > 3) {
        const std::string folder = UserLockFolder(error);
        if (folder.empty()) {
            std::cerr << error << "\n";
            return 1;
        }
        UseUserCommandLock(folder);
        {
            UserCommandTurn turn;
            std::cout << "held" << std::endl;
            std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argv[3])));
            std::cout << "released" << std::endl;
        }
    } else {
        std::cerr << "unknown action " << what << "\n";
        return 2;
    }
    return 0;
}
