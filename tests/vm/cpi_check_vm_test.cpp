// cpi-check through the real road: the program reads the uhid mouse's set
// CPI over its configuration interface, then sums the counts of its pointer
// reports as the kernel hands them over hidraw, decoded as the descriptor the
// kernel read from the device lays them out. Strokes of known counts must
// give exactly the CPI those counts mean over the distance. Runs inside the
// test VM; elsewhere it skips.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "device/hid_transport.h"
#include "vm/support/kernel_devices.h"
#include "vm/support/uhid_mouse_process.h"
#include "vm/support/write_all.h"

namespace {

// kestrine-config with its three standard streams in the test's hands.
class ProgramProcess {
public:
    explicit ProgramProcess(const std::vector<std::string>& arguments) {
        int in[2], out[2], err[2];
        if (::pipe(in) != 0 || ::pipe(out) != 0 || ::pipe(err) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(in[0], 0);
            ::dup2(out[1], 1);
            ::dup2(err[1], 2);
            for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]})
                ::close(fd);
            std::vector<char*> argv{const_cast<char*>(KESTRINE_CONFIG_PROGRAM)};
            for (const std::string& argument : arguments)
                argv.push_back(const_cast<char*>(argument.c_str()));
            argv.push_back(nullptr);
            ::execv(KESTRINE_CONFIG_PROGRAM, argv.data());
            ::_exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        ::close(err[1]);
        toProgram_ = in[1];
        fromOut_ = out[0];
        fromErr_ = err[0];
    }
    ~ProgramProcess() {
        CloseInput();
        if (pid_ > 0 && !reaped_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        for (int fd : {fromOut_, fromErr_})
            if (fd >= 0)
                ::close(fd);
    }

    bool SendLine() { return WriteAll(toProgram_, "\n"); }
    void CloseInput() {
        if (toProgram_ >= 0)
            ::close(toProgram_);
        toProgram_ = -1;
    }

    // Reads stderr until it holds `text` after what was waited for before.
    bool WaitForError(const std::string& text) {
        const auto limit =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(kDeviceTimeoutMs);
        while (errors_.find(text, seen_) == std::string::npos) {
            pollfd fd{fromErr_, POLLIN, 0};
            if (std::chrono::steady_clock::now() > limit || ::poll(&fd, 1, 100) < 0)
                return false;
            if (fd.revents == 0)
                continue;
            char buffer[1024];
            const ssize_t n = ::read(fromErr_, buffer, sizeof buffer);
            if (n <= 0)
                return false;
            errors_.append(buffer, static_cast<size_t>(n));
        }
        seen_ = errors_.find(text, seen_) + text.size();
        return true;
    }

    // Everything left on stdout, and the exit status.
    int Finish(std::string& output) {
        char buffer[4096];
        for (ssize_t n; (n = ::read(fromOut_, buffer, sizeof buffer)) > 0;)
            output.append(buffer, static_cast<size_t>(n));
        int status = 0;
        ::waitpid(pid_, &status, 0);
        reaped_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    const std::string& Errors() const { return errors_; }

private:
    pid_t pid_ = -1;
    bool reaped_ = false;
    int toProgram_ = -1;
    int fromOut_ = -1;
    int fromErr_ = -1;
    std::string errors_;
    size_t seen_ = 0;
};

// The factory settings' active level is 800 CPI; over 4 in, a sensor 3 %
// high counts 3,296: a stroke left along X and one down along Y.
TEST(CpiCheckVm, StrokesOfKnownCountsGiveExactlyTheirCpi) {
    if (access("/dev/uhid", W_OK) != 0) {
        GTEST_SKIP() << "no writable /dev/uhid: this test runs inside the VM "
                        "(ctest -R vm.real_kernel)";
    }
    SetHidTransport(nullptr);
    UhidMouseProcess mouse;
    ASSERT_NO_FATAL_FAILURE(PlugWithPointer(mouse));

    ProgramProcess check({"cpi-check", "--distance", "4in", "--strokes", "2", "--json"});
    for (const char* stroke : {"stroke -3296 5", "stroke 3 3296"}) {
        ASSERT_TRUE(check.WaitForError("press Enter.")) << check.Errors();
        ASSERT_EQ(mouse.Command("await-pointer-open"), "ok");
        ASSERT_TRUE(check.SendLine());
        ASSERT_TRUE(check.WaitForError("then press Enter.")) << check.Errors();
        const std::string sent = mouse.Command(stroke);
        ASSERT_EQ(sent.rfind("ok ", 0), 0u) << sent;
        // As a hand rests at the mark before Enter: the reader has had the
        // last reports long before, even on an emulated machine.
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        ASSERT_TRUE(check.SendLine());
    }
    check.CloseInput();
    std::string json;
    ASSERT_EQ(check.Finish(json), 0) << check.Errors() << json;
    for (const char* expected : {
             "\"set_cpi_x\": 800,",
             "\"counts_x\": -3296, \"counts_y\": 5, \"direction\": \"horizontal\", "
             "\"trustworthy\": true}",
             "\"counts_x\": 3, \"counts_y\": 3296, \"direction\": \"vertical\", "
             "\"trustworthy\": true}",
             "\"x\": {\"strokes\": 1, \"mean_cpi\": 824.000, \"spread_cpi\": 0.000, "
             "\"set_cpi\": 800.000, \"deviation_percent\": 3.000}",
             "\"y\": {\"strokes\": 1, \"mean_cpi\": 824.000, \"spread_cpi\": 0.000, "
             "\"set_cpi\": 800.000, \"deviation_percent\": 3.000}",
             "\"trustworthy\": true,",
         }) {
        EXPECT_NE(json.find(expected), std::string::npos) << expected << "\n" << json;
    }
}

}  // namespace
