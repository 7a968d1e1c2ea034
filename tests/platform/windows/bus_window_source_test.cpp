// The KWin source against a stand-in KWin on a private session bus (the real
// KWin is tried in tests/e2e/desktop_kwin.sh, which the desktops stage runs):
// the script loaded at the start, then KWin gone and a new one on the bus
// whose scripting is not up yet, as a real KWin takes its name first; the
// source waits without breaking, and loads the script into it once it is up.
#include "platform/bus_window_source.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// A dbus-daemon of the test's own, the session bus of everything in it.
class PrivateSessionBus {
public:
    PrivateSessionBus() {
        FILE* daemon = ::popen(
            "dbus-daemon --session --fork --print-address=1 --print-pid=1 2>/dev/null", "r");
        if (daemon == nullptr) {
            return;
        }
        char address[512] = {};
        char pid[32] = {};
        if (std::fgets(address, sizeof address, daemon) != nullptr &&
            std::fgets(pid, sizeof pid, daemon) != nullptr) {
            address_ = std::string(address, std::strlen(address) - 1);
            pid_ = std::atoi(pid);
        }
        ::pclose(daemon);
    }
    ~PrivateSessionBus() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
        }
    }
    const std::string& Address() const { return address_; }

private:
    std::string address_;
    pid_t pid_ = 0;
};

// KWin as the agent sees it: org.kde.KWin, and /Scripting once its scripting
// is up; before that every call to /Scripting is refused as an unknown
// object, as KWin's D-Bus library refuses it. Its own connection and thread:
// the source's calls wait for its answers.
class StandInKWin {
public:
    explicit StandInKWin(bool scriptingUp) : up_(scriptingUp) {
        sd_bus_open_user(&bus_);
        sd_bus_add_object_vtable(bus_, nullptr, "/Scripting", "org.kde.kwin.Scripting", kVtable,
                                 this);
        sd_bus_request_name(bus_, "org.kde.KWin", 0);
        thread_ = std::thread([this] { Run(); });
    }
    ~StandInKWin() {
        stop_ = true;
        Wake();
        thread_.join();
        sd_bus_flush_close_unref(bus_);
        ::close(wake_);
    }

    // As KWin does once its scripting is up: the plugins that start after
    // it take their names.
    void BringScriptingUp() {
        Do([this] {
            up_ = true;
            sd_bus_request_name(bus_, "org.kde.NightColor", 0);
        });
    }

    // What the script does when a window becomes active.
    void Activate(const std::string& windowClass) {
        Do([this, windowClass] {
            sd_bus_call_method_async(bus_, nullptr, BusWindowSource::kService,
                                     BusWindowSource::kPath, BusWindowSource::kService, "Activated",
                                     nullptr, nullptr, "ssss", windowClass.c_str(),
                                     windowClass.c_str(), "", "");
        });
    }

    int Loads() const { return loads_; }
    int Refused() const { return refused_; }
    std::string ScriptPath() const {
        std::lock_guard lock(mutex_);
        return scriptPath_;
    }

private:
    static int Method(sd_bus_message* message, void* data, sd_bus_error* error) {
        auto* kwin = static_cast<StandInKWin*>(data);
        if (!kwin->up_) {
            ++kwin->refused_;
            return sd_bus_error_set(error, SD_BUS_ERROR_UNKNOWN_OBJECT, "No such object path");
        }
        const std::string member = sd_bus_message_get_member(message);
        if (member == "isScriptLoaded") {
            return sd_bus_reply_method_return(message, "b", 0);
        }
        if (member == "loadScript") {
            const char* path = nullptr;
            sd_bus_message_read(message, "s", &path);
            std::lock_guard lock(kwin->mutex_);
            kwin->scriptPath_ = path;
            ++kwin->loads_;
            return sd_bus_reply_method_return(message, "i", 1);
        }
        if (member == "unloadScript") {
            return sd_bus_reply_method_return(message, "b", 1);
        }
        return sd_bus_reply_method_return(message, "");
    }

    static constexpr sd_bus_vtable kVtable[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_METHOD("isScriptLoaded", "s", "b", Method, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("loadScript", "ss", "i", Method, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("unloadScript", "s", "b", Method, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_METHOD("start", "", "", Method, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_VTABLE_END,
    };

    void Do(std::function<void()> work) {
        {
            std::lock_guard lock(mutex_);
            work_.push_back(std::move(work));
        }
        Wake();
    }
    void Wake() {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(wake_, &one, sizeof one);
    }

    void Run() {
        while (!stop_) {
            while (sd_bus_process(bus_, nullptr) > 0) {
            }
            pollfd fds[] = {{sd_bus_get_fd(bus_), static_cast<short>(sd_bus_get_events(bus_)), 0},
                            {wake_, POLLIN, 0}};
            ::poll(fds, 2, -1);
            uint64_t count;
            if ((fds[1].revents & POLLIN) != 0 && ::read(wake_, &count, sizeof count) > 0) {
                std::vector<std::function<void()>> work;
                {
                    std::lock_guard lock(mutex_);
                    work.swap(work_);
                }
                for (const auto& step : work) {
                    step();
                }
                sd_bus_flush(bus_);
            }
        }
    }

    sd_bus* bus_ = nullptr;
    int wake_ = ::eventfd(0, EFD_CLOEXEC);
    std::atomic<bool> up_;
    std::atomic<bool> stop_ = false;
    std::atomic<int> loads_ = 0;
    std::atomic<int> refused_ = 0;
    mutable std::mutex mutex_;
    std::string scriptPath_;
    std::vector<std::function<void()>> work_;
    std::thread thread_;
};

// Runs the source as the agent's loop does until `done` holds, for at most
// five seconds. What it reported, in order.
std::vector<std::string> RunUntil(BusWindowSource& source, const std::function<bool()>& done) {
    std::vector<std::string> reported;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done() && !source.Broken() && std::chrono::steady_clock::now() < deadline) {
        pollfd fd = {source.Fd(), POLLIN, 0};
        ::poll(&fd, 1, 100);
        if (const auto window = source.ReadChanges()) {
            reported.push_back(window->windowClass);
        }
    }
    return reported;
}

class KWinSourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (bus_.Address().empty()) {
            GTEST_SKIP() << "dbus-daemon is not installed (scripts/install-deps)";
        }
        char folder[] = "/tmp/kwin-source-XXXXXX";
        runtime_ = ::mkdtemp(folder);
        ::setenv("DBUS_SESSION_BUS_ADDRESS", bus_.Address().c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1);
    }
    void TearDown() override {
        if (!runtime_.empty()) {
            std::filesystem::remove_all(runtime_);
        }
    }

    PrivateSessionBus bus_;
    std::string runtime_;
};

TEST_F(KWinSourceTest, LoadsTheScriptAgainIntoANewKWinOnceItsScriptingIsUp) {
    auto kwin = std::make_unique<StandInKWin>(true);
    BusWindowSource source(BusWindowSource::Desktop::KWin);
    std::string error;
    ASSERT_TRUE(source.Start(error)) << error;
    EXPECT_EQ(kwin->Loads(), 1);
    EXPECT_EQ(kwin->ScriptPath().rfind(runtime_ + "/", 0), 0u) << kwin->ScriptPath();
    kwin->Activate("alpha");
    EXPECT_EQ(RunUntil(source, [&] { return source.Current().windowClass == "alpha"; }),
              std::vector<std::string>{"alpha"});

    // Gone, and a new KWin whose scripting is not up: no script, no break.
    kwin.reset();
    kwin = std::make_unique<StandInKWin>(false);
    RunUntil(source, [&] { return kwin->Refused() > 0; });
    EXPECT_GT(kwin->Refused(), 0) << "the source did not try the new KWin";
    EXPECT_FALSE(source.Broken());
    EXPECT_EQ(kwin->Loads(), 0);
    EXPECT_EQ(source.Current().windowClass, "alpha") << "the last window stays until told";

    kwin->BringScriptingUp();
    RunUntil(source, [&] { return kwin->Loads() == 1; });
    EXPECT_EQ(kwin->Loads(), 1);
    kwin->Activate("beta");
    EXPECT_EQ(RunUntil(source, [&] { return source.Current().windowClass == "beta"; }),
              std::vector<std::string>{"beta"});
    EXPECT_FALSE(source.Broken());
}

// An agent started with the session, before KWin's scripting is up: it
// starts, waits, and loads the script once KWin says more.
TEST_F(KWinSourceTest, StartsBeforeKWinsScriptingIsUpAndLoadsTheScriptOnceItIs) {
    auto kwin = std::make_unique<StandInKWin>(false);
    BusWindowSource source(BusWindowSource::Desktop::KWin);
    std::string error;
    ASSERT_TRUE(source.Start(error)) << error;
    EXPECT_EQ(kwin->Loads(), 0);
    EXPECT_GT(kwin->Refused(), 0);

    kwin->BringScriptingUp();
    RunUntil(source, [&] { return kwin->Loads() == 1; });
    EXPECT_EQ(kwin->Loads(), 1);
    kwin->Activate("gamma");
    EXPECT_EQ(RunUntil(source, [&] { return source.Current().windowClass == "gamma"; }),
              std::vector<std::string>{"gamma"});
    EXPECT_FALSE(source.Broken());
}

}  // namespace
