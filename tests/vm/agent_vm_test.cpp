// The background agent against the uhid mouse of a real kernel: it finds the
// mouse through udev and hidapi, listens on the event interface and turns a
// level report into a notice. The VM has no session bus, so the notice is
// printed on the agent's output. Runs inside the test VM; elsewhere it skips.
//
// Every wait is for what the next step needs (the agent listening, the
// notice printed), never a guess at how long that takes: on a loaded host
// the emulated VM is many times slower than usual.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "vm/support/kernel_devices.h"
#include "vm/support/uhid_mouse_process.h"

namespace {

std::string FileText(const std::string& path) {
    std::ifstream file(path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// Runs "kestrine-config agent" with its output in `log` until stopped.
class AgentProcess {
public:
    explicit AgentProcess(const std::string& log) {
        pid_ = ::fork();
        if (pid_ == 0) {
            const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(fd, STDOUT_FILENO);
            ::dup2(fd, STDERR_FILENO);
            // No session bus here: the agent must say so and print the notices.
            ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
            ::execl(KESTRINE_CONFIG_PROGRAM, KESTRINE_CONFIG_PROGRAM, "agent",
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
    }
    ~AgentProcess() { Stop(); }

    // Whether it still runs (not reaped, not a zombie).
    bool Running() const {
        siginfo_t ended{};
        return pid_ > 0 &&
               ::waitid(P_PID, static_cast<id_t>(pid_), &ended, WEXITED | WNOHANG | WNOWAIT) == 0 &&
               ended.si_pid == 0;
    }

    // The exit status after SIGTERM.
    int Stop() {
        if (pid_ <= 0) {
            return status_;
        }
        ::kill(pid_, SIGTERM);
        int wait = 0;
        ::waitpid(pid_, &wait, 0);
        pid_ = -1;
        status_ = WIFEXITED(wait) ? WEXITSTATUS(wait) : -1;
        return status_;
    }

private:
    pid_t pid_ = -1;
    int status_ = -1;
};

TEST(AgentVm, ALevelChangeOfTheRealMouseBecomesANotice) {
    if (::access("/dev/uhid", W_OK) != 0) {
        GTEST_SKIP() << "no writable /dev/uhid: this test runs inside the VM "
                        "(ctest -R vm.real_kernel)";
    }
    char folder[] = "/tmp/kestrine-agent-vm-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    ::setenv("XDG_RUNTIME_DIR", folder, 1);
    const std::string log = std::string(folder) + "/agent.log";

    UhidMouseProcess mouse;
    ASSERT_TRUE(mouse.running()) << mouse.error();
    AgentProcess agent(log);
    // Plugged in after the agent started: it must see the arrival through udev.
    ASSERT_EQ(mouse.Command("plug"), "ok");
    ASSERT_EQ(mouse.Command("await-open"), "ok") << FileText(log);
    // Its status says so once it has read the mouse and listens: the reports
    // below would be lost to a listener not yet started.
    const std::string status = std::string(folder) + "/kestrine-config-agent.status";
    ASSERT_TRUE(WaitUntil(
        [&] {
            return !agent.Running() ||
                   FileText(status).find("mouse: connected, listening\n") != std::string::npos;
        },
        kDeviceTimeoutMs))
        << FileText(status) << FileText(log);
    ASSERT_TRUE(agent.Running()) << FileText(log);
    ASSERT_EQ(mouse.Command("input 03 02 02"), "ok");
    ASSERT_EQ(mouse.Command("input 03 06 01"), "ok");

    EXPECT_TRUE(WaitUntil(
        [&] {
            return !agent.Running() ||
                   FileText(log).find("Report rate 8000 Hz") != std::string::npos;
        },
        kDeviceTimeoutMs))
        << FileText(log);
    EXPECT_EQ(agent.Stop(), 0);
    const std::string output = FileText(log);
    EXPECT_NE(output.find("CPI 1600 — level 3 of 4\nReport rate 8000 Hz\n"), std::string::npos)
        << output;
    EXPECT_NE(output.find("notices are printed here instead"), std::string::npos) << output;
}

}  // namespace
