// Which window source a session gets, and the sway IPC source against a
// stand-in compositor that sends what sway sends (the real sway is tried in
// tests/e2e/sway_automatic_profiles.sh): the focus at the start from the
// tree, focus changes, the last window closing, messages cut anywhere, and a
// peer that sends no IPC at all.
#include "platform/window_source.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/next_active_window.h"
#include "platform/sway_window_source.h"

namespace {

TEST(WindowSourceChoiceTest, TheDesktopsOwnSourceElseX11) {
    struct Case {
        SessionEnvironment session;
        WindowSourceKind kind;
        const char* note;  // a part of the note; "" = no note
    };
    const Case cases[] = {
        {{"sway", "wayland", "/run/sway.sock", "/run/sway.sock", "wayland-1", ""},
         WindowSourceKind::Sway,
         ""},
        // XWayland's display beside sway changes nothing: sway sees every window.
        {{"sway", "wayland", "/run/sway.sock", "", "wayland-1", ":0"}, WindowSourceKind::Sway, ""},
        {{"i3", "x11", "", "/run/i3.sock", "", ":0"}, WindowSourceKind::I3, ""},
        {{"XFCE", "x11", "", "", "", ":0"}, WindowSourceKind::X11, ""},
        {{"", "", "", "", "", ":1"}, WindowSourceKind::X11, ""},
        {{"KDE", "wayland", "", "", "wayland-0", ":1"}, WindowSourceKind::KWin, ""},
        {{"KDE", "x11", "", "", "", ":0"}, WindowSourceKind::X11, ""},
        {{"ubuntu:GNOME", "wayland", "", "", "wayland-0", ":0"}, WindowSourceKind::GnomeShell, ""},
        {{"GNOME-Flashback:GNOME", "x11", "", "", "", ":0"}, WindowSourceKind::X11, ""},
        {{"Hyprland", "wayland", "", "", "wayland-1", ":1"},
         WindowSourceKind::X11,
         "only the windows of X11 programs (XWayland)"},
        {{"Hyprland", "wayland", "", "", "wayland-1", ""},
         WindowSourceKind::None,
         "Hyprland (Wayland) does not tell this program its native windows (only sway, KDE "
         "Plasma and GNOME do; wlr-foreign-toplevel-management, which wlroots desktops offer, "
         "is not supported"},
        {{"", "wayland", "", "", "", ""}, WindowSourceKind::None, "this Wayland desktop"},
        {{"", "tty", "", "", "", ""},
         WindowSourceKind::None,
         "neither WAYLAND_DISPLAY nor DISPLAY"},
    };
    for (const Case& c : cases) {
        const WindowSourceChoice choice = ChooseWindowSource(c.session);
        const std::string where =
            c.session.currentDesktop + "/" + c.session.waylandDisplay + "/" + c.session.display;
        EXPECT_EQ(choice.kind, c.kind) << where;
        if (*c.note == '\0') {
            EXPECT_EQ(choice.note, "") << where;
        } else {
            EXPECT_NE(choice.note.find(c.note), std::string::npos) << where << ": " << choice.note;
        }
        EXPECT_EQ(MakeWindowSource(c.kind, c.session) == nullptr, c.kind == WindowSourceKind::None);
    }
}

std::string Message(uint32_t type, const std::string& payload) {
    std::string message = "i3-ipc";
    const auto length = static_cast<uint32_t>(payload.size());
    message.append(reinterpret_cast<const char*>(&length), 4);
    message.append(reinterpret_cast<const char*>(&type), 4);
    return message + payload;
}

constexpr uint32_t kWindowEvent = 0x80000003u;

// A tree as sway gives it: the output, a workspace, two windows, one of them
// XWayland's (no app id, its WM_CLASS instead), the focus on `focused`.
std::string Tree(const std::string& focused) {
    const auto window = [&](const std::string& id, const std::string& body) {
        return "{\"type\":\"con\",\"focused\":" + std::string(id == focused ? "true" : "false") +
               ",\"nodes\":[],\"floating_nodes\":[]," + body + "}";
    };
    return R"({"type":"root","focused":false,"nodes":[{"type":"output","focused":false,"nodes":[)"
           R"({"type":"workspace","focused":)" +
           std::string(focused == "workspace" ? "true" : "false") + R"(,"nodes":[)" +
           window("foot", R"("app_id":"org.foot","pid":0)") + "," +
           window("game", R"("app_id":null,"pid":0,"window_properties":)"
                          R"({"class":"GameX","instance":"gamex"})") +
           R"(],"floating_nodes":[]}]}]})";
}

// A stand-in compositor on a socket of its own: it answers the subscription
// and the tree, then sends what each test gives it.
class FakeSway {
public:
    explicit FakeSway(std::string tree) : tree_(std::move(tree)) {
        folder_ =
            std::filesystem::temp_directory_path() /
            ("kestrine-sway-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++));
        std::filesystem::create_directories(folder_);
        path_ = (folder_ / "ipc.sock").string();
        listener_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path_.c_str(), sizeof address.sun_path - 1);
        EXPECT_EQ(::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(::listen(listener_, 1), 0);
        server_ = std::thread([this] { Answer(); });
    }
    ~FakeSway() {
        if (server_.joinable()) {
            server_.join();
        }
        for (int fd : {peer_, listener_}) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
        std::filesystem::remove_all(folder_);
    }

    const std::string& Path() const { return path_; }
    // Waits for the start's two answers to be sent.
    void Started() { server_.join(); }
    void Send(const std::string& bytes) {
        ASSERT_EQ(::write(peer_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    void Close() {
        ::close(peer_);
        peer_ = -1;
    }

private:
    void Answer() {
        peer_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        // Subscribe, then get_tree: 14 bytes each, plus the subscription's list.
        std::string got;
        char chunk[256];
        while (got.find("i3-ipc", 1) == std::string::npos || got.size() < 14 + 10 + 14) {
            const ssize_t n = ::read(peer_, chunk, sizeof chunk);
            if (n <= 0) {
                return;
            }
            got.append(chunk, static_cast<size_t>(n));
        }
        // An event that the tree is newer than comes first, as it may.
        const std::string early = Message(kWindowEvent, R"({"change":"focus","container":)"
                                                        R"({"app_id":"stale","pid":0}})");
        const std::string replies = Message(2, R"({"success":true})") + early + Message(4, tree_);
        (void)!::write(peer_, replies.data(), replies.size());
    }

    static inline int counter_ = 0;
    std::filesystem::path folder_;
    std::string path_;
    std::string tree_;
    int listener_ = -1;
    int peer_ = -1;
    std::thread server_;
};

// Starts the source on the stand-in and waits until the start's answers are all sent.
::testing::AssertionResult StartOn(FakeSway& sway, SwayWindowSource& source) {
    std::string error;
    if (!source.Start(error)) {
        return ::testing::AssertionFailure() << error;
    }
    sway.Started();
    return ::testing::AssertionSuccess();
}

bool WaitReadable(int fd) {
    pollfd item{fd, POLLIN, 0};
    return ::poll(&item, 1, 5000) == 1;
}

std::string FocusEvent(const std::string& container) {
    return Message(kWindowEvent, R"({"change":"focus","container":)" + container + "}");
}

TEST(SwayWindowSourceTest, FollowsTheFocusFromTheTreeOn) {
    FakeSway sway(Tree("game"));
    SwayWindowSource source(sway.Path(), "sway");
    ASSERT_TRUE(StartOn(sway, source));
    // XWayland's window by its WM_CLASS; the stale event before the tree is not taken.
    EXPECT_EQ(source.Current(), (ActiveWindow{"", "gamex", "GameX", 0}));
    EXPECT_EQ(source.Name(), "sway");

    // Our own pid: the program name comes from /proc, as for any window.
    const std::string self = std::to_string(::getpid());
    const std::string event =
        FocusEvent(R"({"app_id":"org.foot","focused":true,"pid":)" + self + "}");
    // Cut in three, the middle inside the header: nothing until it is whole.
    sway.Send(event.substr(0, 8));
    ASSERT_TRUE(WaitReadable(source.Fd()));
    EXPECT_EQ(source.ReadChanges(), std::nullopt);
    sway.Send(event.substr(8, 20));
    ASSERT_TRUE(WaitReadable(source.Fd()));
    EXPECT_EQ(source.ReadChanges(), std::nullopt);
    sway.Send(event.substr(28));
    ASSERT_TRUE(WaitReadable(source.Fd()));
    const std::optional<ActiveWindow> changed = source.ReadChanges();
    ASSERT_TRUE(changed);
    EXPECT_EQ(changed->windowClass, "org.foot");
    EXPECT_EQ(changed->pid, ::getpid());
    EXPECT_FALSE(changed->program.empty());

    // There and back between two reads is no change; a title is none either.
    sway.Send(FocusEvent(R"({"app_id":"other","pid":0})") +
              FocusEvent(R"({"app_id":"org.foot","focused":true,"pid":)" + self + "}") +
              Message(kWindowEvent, R"({"change":"title","container":{"app_id":"x"}})"));
    ASSERT_TRUE(WaitReadable(source.Fd()));
    EXPECT_EQ(source.ReadChanges(), std::nullopt);

    // The focused window closes: no window is in front.
    sway.Send(Message(kWindowEvent,
                      R"({"change":"close","container":{"app_id":"org.foot","focused":true}})"));
    ASSERT_TRUE(WaitReadable(source.Fd()));
    EXPECT_EQ(source.ReadChanges(), ActiveWindow{});

    sway.Close();
    ASSERT_TRUE(WaitReadable(source.Fd()));
    EXPECT_EQ(source.ReadChanges(), std::nullopt);
    EXPECT_TRUE(source.Broken());
}

TEST(SwayWindowSourceTest, AFocusedWorkspaceIsNoWindow) {
    FakeSway sway(Tree("workspace"));
    SwayWindowSource source(sway.Path(), "i3");
    ASSERT_TRUE(StartOn(sway, source));
    EXPECT_EQ(source.Current(), ActiveWindow{});
}

TEST(SwayWindowSourceTest, APeerThatSpeaksNoIpcIsLeft) {
    FakeSway sway(Tree("foot"));
    SwayWindowSource source(sway.Path(), "sway");
    ASSERT_TRUE(StartOn(sway, source));
    sway.Send(std::string(64, 'x'));
    ASSERT_TRUE(WaitReadable(source.Fd()));
    EXPECT_EQ(source.ReadChanges(), std::nullopt);
    EXPECT_TRUE(source.Broken());
}

TEST(SwayWindowSourceTest, NoCompositorSaysWhy) {
    SwayWindowSource source("/nonexistent/sway-ipc.sock", "sway");
    std::string error;
    EXPECT_FALSE(source.Start(error));
    EXPECT_NE(error.find("cannot connect to sway at /nonexistent/sway-ipc.sock"), std::string::npos)
        << error;
}

// "Pick a window" on Wayland: the next window brought to the front that is
// not the asking program's own.
TEST(NextActiveWindowTest, TheNextOtherWindowToComeToTheFront) {
    FakeSway sway(Tree("foot"));
    SwayWindowSource source(sway.Path(), "sway");
    std::string error;
    ASSERT_TRUE(StartOn(sway, source));
    const long self = ::getpid();
    sway.Send(FocusEvent(R"({"app_id":"kestrine-config","pid":)" + std::to_string(self) + "}") +
              FocusEvent(R"({"app_id":"org.example.Game","pid":0})"));
    const std::optional<ActiveWindow> picked =
        WaitForNextActiveWindow(source, -1, 5000, self, error);
    ASSERT_TRUE(picked) << error;
    EXPECT_EQ(picked->windowClass, "org.example.Game");
}

TEST(NextActiveWindowTest, EndsWithTheReason) {
    FakeSway sway(Tree("foot"));
    SwayWindowSource source(sway.Path(), "sway");
    std::string error;
    ASSERT_TRUE(StartOn(sway, source));
    EXPECT_EQ(WaitForNextActiveWindow(source, -1, 50, ::getpid(), error), std::nullopt);
    EXPECT_EQ(error, "no other window came to the front within 1 second");

    const int cancel = ::eventfd(1, EFD_CLOEXEC);
    EXPECT_EQ(WaitForNextActiveWindow(source, cancel, 5000, ::getpid(), error), std::nullopt);
    EXPECT_EQ(error, "no window was picked (cancelled)");
    ::close(cancel);

    sway.Close();
    EXPECT_EQ(WaitForNextActiveWindow(source, -1, 5000, ::getpid(), error), std::nullopt);
    EXPECT_EQ(error, "sway closed the connection");
}

}  // namespace
