// The active window and a picked window, read from a real X server (Xvfb,
// started by each test) with windows this test creates and activates as a
// window manager would: by setting the root's _NET_ACTIVE_WINDOW.
#include "platform/x11_windows.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

// A child process with its stdout on a pipe.
struct Child {
    pid_t pid = -1;
    int out = -1;
};

Child Spawn(std::vector<std::string> arguments, bool quiet = true) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        return {};
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipeFds[1], 1);
        if (quiet) {
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 2);
        }
        std::vector<char*> argv;
        for (std::string& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    return {pid, pipeFds[0]};
}

bool WaitReadable(int fd, int limitMs) {
    pollfd item{fd, POLLIN, 0};
    return ::poll(&item, 1, limitMs) == 1;
}

// One line of a child's output, waited for at most 10 s.
std::string ReadLine(int fd) {
    std::string line;
    char c;
    while (WaitReadable(fd, 10000) && ::read(fd, &c, 1) == 1 && c != '\n') {
        line += c;
    }
    return line;
}

void Stop(Child& child) {
    if (child.pid > 0) {
        ::kill(child.pid, SIGTERM);
        ::waitpid(child.pid, nullptr, 0);
        ::close(child.out);
        child.pid = -1;
    }
}

std::string OwnProgram() {
    std::ifstream comm("/proc/self/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

std::string Hostname() {
    char name[HOST_NAME_MAX + 1] = {};
    ::gethostname(name, sizeof name - 1);
    return name;
}

struct WindowShape {
    std::optional<std::string> wmClass = {};  // raw bytes
    uint8_t classFormat = 8;
    std::optional<uint32_t> pid = {};
    std::optional<std::string> machine = {};
};

class X11WindowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        server_ = Spawn({"Xvfb", "-displayfd", "1", "-noreset", "-screen", "0", "640x480x24",
                         "-nolisten", "tcp"});
        const std::string number = ReadLine(server_.out);
        if (number.empty()) {
            GTEST_SKIP() << "Xvfb did not start here";
        }
        display_ = ":" + number;
        ::setenv("DISPLAY", display_.c_str(), 1);
        connection_ = xcb_connect(nullptr, nullptr);
        ASSERT_FALSE(xcb_connection_has_error(connection_));
        screen_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
        activeAtom_ = Atom("_NET_ACTIVE_WINDOW");
    }
    void TearDown() override {
        for (Child& child : children_) {
            Stop(child);
        }
        if (connection_ != nullptr) {
            xcb_disconnect(connection_);
        }
        Stop(server_);
    }

    xcb_atom_t Atom(const char* name) {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
            connection_, xcb_intern_atom(connection_, 0, std::strlen(name), name), nullptr);
        const xcb_atom_t atom = reply ? reply->atom : 0;
        std::free(reply);
        return atom;
    }

    xcb_window_t CreateWindow(const WindowShape& shape, xcb_window_t parent = 0, int16_t x = 0,
                              int16_t y = 0, uint16_t size = 100) {
        const xcb_window_t window = xcb_generate_id(connection_);
        xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window,
                          parent != 0 ? parent : screen_->root, x, y, size, size, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen_->root_visual, 0, nullptr);
        if (shape.wmClass) {
            const uint32_t units = shape.wmClass->size() / (shape.classFormat / 8);
            xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS,
                                XCB_ATOM_STRING, shape.classFormat, units, shape.wmClass->data());
        }
        if (shape.pid) {
            xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, Atom("_NET_WM_PID"),
                                XCB_ATOM_CARDINAL, 32, 1, &*shape.pid);
        }
        if (shape.machine) {
            xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window,
                                XCB_ATOM_WM_CLIENT_MACHINE, XCB_ATOM_STRING, 8,
                                shape.machine->size(), shape.machine->data());
        }
        xcb_map_window(connection_, window);
        Sync();
        return window;
    }

    // What a window manager does when a window comes to the front.
    void SetActive(xcb_window_t window, xcb_atom_t type = XCB_ATOM_WINDOW) {
        xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, screen_->root, activeAtom_, type,
                            32, 1, &window);
        Sync();
    }

    // A round trip: every request before it has been carried out, and the
    // events it caused have been sent.
    void Sync() {
        std::free(
            xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
    }

    Child server_;
    std::vector<Child> children_;
    std::string display_;
    xcb_connection_t* connection_ = nullptr;
    xcb_screen_t* screen_ = nullptr;
    xcb_atom_t activeAtom_ = 0;
};

const std::string kProgram = OwnProgram();
const uint32_t kOwnPid = static_cast<uint32_t>(::getpid());

// Each window made active in turn, each identity different from the one before.
TEST_F(X11WindowsTest, ReportsTheIdentityOfEachActiveWindow) {
    ActiveWindowWatcher watcher;
    std::string error;
    ASSERT_TRUE(watcher.Start(error)) << error;
    EXPECT_EQ(watcher.Current(), X11WindowIdentity{});

    const std::string huge = std::string(8192, 'x') + '\0' + "Huge" + '\0';
    struct Case {
        const char* name;
        WindowShape shape;
        X11WindowIdentity expected;
    };
    const Case cases[] = {
        {"class and pid",
         {std::string("alpha\0Alpha\0", 12), 8, kOwnPid, {}},
         {kProgram, "alpha", "Alpha"}},
        {"no pid", {std::string("beta\0Beta\0", 10), 8, {}, {}}, {"", "beta", "Beta"}},
        {"one string, no NUL", {std::string("gamma"), 8, {}, {}}, {"", "gamma", ""}},
        {"empty instance", {std::string("\0Delta\0", 7), 8, kOwnPid, {}}, {kProgram, "", "Delta"}},
        {"a class far too long is no class", {huge, 8, {}, {}}, {"", "", ""}},
        {"32-bit WM_CLASS is no class",
         {std::string("epsilonEpsilon\0\0", 16), 32, kOwnPid, {}},
         {kProgram, "", ""}},
        {"the pid of no process",
         {std::string("zeta\0Zeta\0", 10), 8, 2147483646u, {}},
         {"", "zeta", "Zeta"}},
        {"the pid of another machine",
         {std::string("eta\0Eta\0", 8), 8, kOwnPid, std::string("elsewhere.invalid")},
         {"", "eta", "Eta"}},
        {"the pid of this machine",
         {std::string("eta\0Eta\0", 8), 8, kOwnPid, Hostname()},
         {kProgram, "eta", "Eta"}},
        {"no WM_CLASS at all", {{}, 8, {}, {}}, {"", "", ""}},
    };
    X11WindowIdentity previous;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NE(c.expected, previous) << "the table must change the identity each time";
        SetActive(CreateWindow(c.shape));
        ASSERT_TRUE(WaitReadable(watcher.Fd(), 5000));
        EXPECT_EQ(watcher.ReadChanges(), c.expected);
        EXPECT_EQ(watcher.Current(), c.expected);
        previous = c.expected;
    }
    EXPECT_FALSE(watcher.Broken());
}

// No active window, one that is gone, or a property of the wrong type: an
// empty identity, reported once.
TEST_F(X11WindowsTest, NoWindowIsAnEmptyIdentity) {
    const xcb_window_t alpha = CreateWindow({std::string("alpha\0Alpha\0", 12)});
    const xcb_window_t gone = CreateWindow({std::string("gone\0Gone\0", 10)});
    xcb_destroy_window(connection_, gone);
    Sync();
    ActiveWindowWatcher watcher;
    std::string error;
    ASSERT_TRUE(watcher.Start(error)) << error;

    struct Case {
        const char* name;
        xcb_window_t window;
        xcb_atom_t type;
    };
    const Case cases[] = {
        {"None", XCB_WINDOW_NONE, XCB_ATOM_WINDOW},
        {"a destroyed window", gone, XCB_ATOM_WINDOW},
        {"not of type WINDOW", alpha, XCB_ATOM_CARDINAL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetActive(alpha);
        ASSERT_TRUE(WaitReadable(watcher.Fd(), 5000));
        ASSERT_EQ(watcher.ReadChanges(), (X11WindowIdentity{"", "alpha", "Alpha"}));
        SetActive(c.window, c.type);
        ASSERT_TRUE(WaitReadable(watcher.Fd(), 5000));
        EXPECT_EQ(watcher.ReadChanges(), X11WindowIdentity{});
        EXPECT_EQ(watcher.Current(), X11WindowIdentity{});
    }
}

// The property rewritten with the same window, another window of the same
// program and class, another root property: the events come and are read,
// and nothing is reported.
TEST_F(X11WindowsTest, NothingWhenTheIdentityStaysTheSame) {
    const WindowShape alphaSpec{std::string("alpha\0Alpha\0", 12), 8, kOwnPid, {}};
    const xcb_window_t alpha = CreateWindow(alphaSpec);
    const xcb_window_t alphaTwin = CreateWindow(alphaSpec);
    SetActive(alpha);
    ActiveWindowWatcher watcher;
    std::string error;
    ASSERT_TRUE(watcher.Start(error)) << error;
    EXPECT_EQ(watcher.Current(), (X11WindowIdentity{kProgram, "alpha", "Alpha"}));

    SetActive(alpha);
    ASSERT_TRUE(WaitReadable(watcher.Fd(), 5000));
    EXPECT_EQ(watcher.ReadChanges(), std::nullopt);

    SetActive(alphaTwin);
    ASSERT_TRUE(WaitReadable(watcher.Fd(), 5000));
    EXPECT_EQ(watcher.ReadChanges(), std::nullopt);

    const uint32_t desktop = 1;
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, screen_->root,
                        Atom("_NET_CURRENT_DESKTOP"), XCB_ATOM_CARDINAL, 32, 1, &desktop);
    Sync();
    ASSERT_TRUE(WaitReadable(watcher.Fd(), 5000));
    EXPECT_EQ(watcher.ReadChanges(), std::nullopt);
    // Everything was read: nothing waits on the connection.
    EXPECT_FALSE(WaitReadable(watcher.Fd(), 0));
    EXPECT_EQ(watcher.Current(), (X11WindowIdentity{kProgram, "alpha", "Alpha"}));
}

// Several switches before the agent reads: the last window is reported once.
TEST_F(X11WindowsTest, SeveralSwitchesReadAtOnceReportTheLast) {
    const xcb_window_t alpha = CreateWindow({std::string("alpha\0Alpha\0", 12)});
    const xcb_window_t beta = CreateWindow({std::string("beta\0Beta\0", 10)});
    const xcb_window_t gamma = CreateWindow({std::string("gamma\0Gamma\0", 12)});
    ActiveWindowWatcher watcher;
    std::string error;
    ASSERT_TRUE(watcher.Start(error)) << error;
    SetActive(alpha);
    SetActive(beta);
    SetActive(gamma);
    ASSERT_TRUE(WaitReadable(watcher.Fd(), 5000));
    EXPECT_EQ(watcher.ReadChanges(), (X11WindowIdentity{"", "gamma", "Gamma"}));
    EXPECT_EQ(watcher.ReadChanges(), std::nullopt);
}

// The display goes away: reported, no crash, nothing more.
TEST_F(X11WindowsTest, ALostDisplayIsReported) {
    ActiveWindowWatcher watcher;
    std::string error;
    ASSERT_TRUE(watcher.Start(error)) << error;
    Stop(server_);
    ASSERT_TRUE(WaitReadable(watcher.Fd(), 5000));
    EXPECT_EQ(watcher.ReadChanges(), std::nullopt);
    EXPECT_TRUE(watcher.Broken());
    EXPECT_EQ(watcher.ReadChanges(), std::nullopt);
}

TEST_F(X11WindowsTest, NoDisplayIsAnError) {
    struct Case {
        const char* display;
        const char* errorHas;
    };
    const Case cases[] = {
        {nullptr, "DISPLAY is not set"},
        {"", "DISPLAY is not set"},
        {":65000", "cannot connect to the X display :65000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.display ? c.display : "(unset)");
        if (c.display) {
            ::setenv("DISPLAY", c.display, 1);
        } else {
            ::unsetenv("DISPLAY");
        }
        ActiveWindowWatcher watcher;
        std::string error;
        EXPECT_FALSE(watcher.Start(error));
        EXPECT_NE(error.find(c.errorHas), std::string::npos) << error;
        EXPECT_EQ(watcher.Fd(), -1);
        EXPECT_EQ(watcher.ReadChanges(), std::nullopt);
        error.clear();
        EXPECT_EQ(PickWindow(error), std::nullopt);
        EXPECT_NE(error.find(c.errorHas), std::string::npos) << error;
    }
}

// Activation as in the end-to-end runs: the stand-in window manager and two
// windows of other processes, switched with xdotool windowactivate.
TEST_F(X11WindowsTest, WindowsActivatedWithXdotool) {
    if (std::system("command -v xdotool >/dev/null") != 0) {
        GTEST_SKIP() << "xdotool is not installed";
    }
    children_.push_back(Spawn({KESTRINE_X11_TEST_WINDOW, "manager"}));
    ASSERT_EQ(ReadLine(children_.back().out), "ready");
    children_.push_back(Spawn({KESTRINE_X11_TEST_WINDOW, "window", "one", "One"}));
    const std::string one = ReadLine(children_.back().out);
    children_.push_back(Spawn({KESTRINE_X11_TEST_WINDOW, "window", "two", "Two"}));
    const std::string two = ReadLine(children_.back().out);
    ASSERT_FALSE(one.empty());
    ASSERT_FALSE(two.empty());

    ActiveWindowWatcher watcher;
    std::string error;
    ASSERT_TRUE(watcher.Start(error)) << error;
    // The kernel's name of the helper: 15 bytes at most.
    const std::string program = std::string("x11_test_window").substr(0, 15);
    for (const auto& [id, expected] : {std::pair{one, X11WindowIdentity{program, "one", "One"}},
                                       std::pair{two, X11WindowIdentity{program, "two", "Two"}},
                                       std::pair{one, X11WindowIdentity{program, "one", "One"}}}) {
        SCOPED_TRACE(expected.instance);
        ASSERT_EQ(std::system(("xdotool windowactivate " + id + " 2>/dev/null").c_str()), 0);
        ASSERT_TRUE(WaitReadable(watcher.Fd(), 5000));
        EXPECT_EQ(watcher.ReadChanges(), expected);
    }
}

// PickWindow runs on its own thread; the test waits until it holds pointer
// and keyboard, then acts as the user.
class PickTest : public X11WindowsTest {
protected:
    std::future<std::optional<X11WindowIdentity>> StartPick(int cancelFd = -1) {
        auto grabbed = std::make_shared<std::promise<void>>();
        std::future<void> ready = grabbed->get_future();
        auto pick = std::async(std::launch::async, [this, cancelFd, grabbed] {
            return PickWindow(pickError, cancelFd, [grabbed] { grabbed->set_value(); });
        });
        // A pick that ends without grabbing leaves the promise unset; its error tells why.
        ready.wait_for(std::chrono::seconds(10));
        return pick;
    }

    std::string pickError;
};

TEST_F(PickTest, PicksTheApplicationWindowUnderTheClick) {
    if (std::system("command -v xdotool >/dev/null") != 0) {
        GTEST_SKIP() << "xdotool is not installed";
    }
    // A frame without class holding the application's window, as a window
    // manager reparents it.
    const xcb_window_t frame = CreateWindow({}, 0, 50, 50, 200);
    CreateWindow({std::string("picked\0Picked\0", 14), 8, kOwnPid, {}}, frame, 10, 10, 180);
    CreateWindow({std::string("plain\0Plain\0", 12)}, 0, 400, 50, 100);
    int cancel[2];
    ASSERT_EQ(::pipe(cancel), 0);

    struct Case {
        const char* name;
        std::string user;  // xdotool arguments, or "cancel"
        std::optional<X11WindowIdentity> expected;
        const char* errorHas;
    };
    const Case cases[] = {
        {"a click on the frame's client", "mousemove 150 150 click 1",
         X11WindowIdentity{kProgram, "picked", "Picked"}, ""},
        {"a click on a window of its own", "mousemove 450 100 click 3",
         X11WindowIdentity{"", "plain", "Plain"}, ""},
        {"a click on the desktop", "mousemove 600 400 click 1", std::nullopt, "no window"},
        {"Escape", "key Escape", std::nullopt, "Escape"},
        {"cancelled", "cancel", std::nullopt, "cancelled"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        pickError.clear();
        auto pick = StartPick(cancel[0]);
        if (c.user == "cancel") {
            ASSERT_EQ(::write(cancel[1], "x", 1), 1);
        } else {
            ASSERT_EQ(std::system(("xdotool " + c.user).c_str()), 0);
        }
        ASSERT_EQ(pick.wait_for(std::chrono::seconds(10)), std::future_status::ready);
        EXPECT_EQ(pick.get(), c.expected);
        EXPECT_NE(pickError.find(c.errorHas), std::string::npos) << pickError;
        if (c.user == "cancel") {
            char drained;
            ASSERT_EQ(::read(cancel[0], &drained, 1), 1);
        }
    }
    ::close(cancel[0]);
    ::close(cancel[1]);
}

TEST_F(PickTest, APointerHeldElsewhereIsAnError) {
    xcb_grab_pointer_reply_t* reply = xcb_grab_pointer_reply(
        connection_,
        xcb_grab_pointer(connection_, 0, screen_->root, 0, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC,
                         XCB_NONE, XCB_NONE, XCB_CURRENT_TIME),
        nullptr);
    ASSERT_TRUE(reply && reply->status == XCB_GRAB_STATUS_SUCCESS);
    std::free(reply);
    std::string error;
    EXPECT_EQ(PickWindow(error), std::nullopt);
    EXPECT_NE(error.find("holds the pointer"), std::string::npos) << error;
}

}  // namespace
