// The Wayland keymap reader against a stand-in compositor: a libwayland
// server in a thread of the test that offers one seat and hands each keyboard
// the keymap text it is given. The keymaps are xkeyboard-config's own layouts.
#include "platform/wayland_keymap.h"

#include <gtest/gtest.h>
#include <linux/input-event-codes.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-server.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string LayoutKeymapText(const char* layout) {
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    const xkb_rule_names names = {"evdev", "pc105", layout, "", ""};
    xkb_keymap* keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    char* text = keymap ? xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1) : nullptr;
    std::string result = text ? text : "";
    std::free(text);
    xkb_keymap_unref(keymap);
    xkb_context_unref(context);
    return result;
}

// What a compositor sends as a keymap: the format, the file and the size it
// claims (the file's unless told otherwise).
struct SentKeymap {
    std::string file;
    uint32_t format = WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1;
    int64_t claimedSize = -1;
};

// A keymap as a compositor should send it: the text and its NUL.
SentKeymap Keymap(const std::string& text) {
    return {text + '\0'};
}

class StandInCompositor {
public:
    explicit StandInCompositor(SentKeymap keymap) : keymap_(std::move(keymap)) {
        display_ = wl_display_create();
        socket_ = wl_display_add_socket_auto(display_);
        wl_global_create(display_, &wl_seat_interface, 7, this, &StandInCompositor::BindSeat);
        wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        wake_ = wl_event_loop_add_fd(wl_display_get_event_loop(display_), wakeFd_,
                                     WL_EVENT_READABLE, &StandInCompositor::RunQueued, this);
        thread_ = std::thread([this] {
            while (!stopping_) {
                wl_event_loop_dispatch(wl_display_get_event_loop(display_), -1);
                wl_display_flush_clients(display_);
            }
        });
    }

    ~StandInCompositor() { Close(); }

    const char* SocketName() const { return socket_; }

    // Every keyboard handed out gets this keymap now, as after a layout switch.
    void SendKeymap(SentKeymap keymap) {
        OnThread([this, keymap = std::move(keymap)] {
            keymap_ = keymap;
            for (wl_resource* keyboard : keyboards_) {
                SendKeymapTo(keyboard);
            }
        });
    }

    // The compositor ends: its clients' connections close.
    void Close() {
        if (!thread_.joinable()) {
            return;
        }
        OnThread([this] { stopping_ = true; });
        thread_.join();
        wl_event_source_remove(wake_);
        wl_display_destroy_clients(display_);
        wl_display_destroy(display_);
        close(wakeFd_);
    }

private:
    void OnThread(std::function<void()> work) {
        std::packaged_task<void()> task(std::move(work));
        std::future<void> done = task.get_future();
        {
            std::lock_guard lock(mutex_);
            queue_.push_back(std::move(task));
        }
        const uint64_t one = 1;
        EXPECT_EQ(write(wakeFd_, &one, sizeof one), static_cast<ssize_t>(sizeof one));
        done.wait();
    }

    static int RunQueued(int fd, uint32_t, void* data) {
        auto* self = static_cast<StandInCompositor*>(data);
        uint64_t count = 0;
        EXPECT_EQ(read(fd, &count, sizeof count), static_cast<ssize_t>(sizeof count));
        std::vector<std::packaged_task<void()>> tasks;
        {
            std::lock_guard lock(self->mutex_);
            tasks.swap(self->queue_);
        }
        for (auto& task : tasks) {
            task();
        }
        wl_display_flush_clients(self->display_);
        return 0;
    }

    void SendKeymapTo(wl_resource* keyboard) {
        const int fd = memfd_create("keymap", MFD_CLOEXEC);
        const std::string& file = keymap_.file;
        EXPECT_EQ(write(fd, file.data(), file.size()), static_cast<ssize_t>(file.size()));
        const auto size = static_cast<uint32_t>(
            keymap_.claimedSize >= 0 ? keymap_.claimedSize : static_cast<int64_t>(file.size()));
        wl_keyboard_send_keymap(keyboard, keymap_.format, fd, size);
        close(fd);
    }

    static void BindSeat(wl_client* client, void* data, uint32_t version, uint32_t id) {
        wl_resource* seat = wl_resource_create(client, &wl_seat_interface, version, id);
        wl_resource_set_implementation(seat, &kSeat, data, nullptr);
        wl_seat_send_capabilities(seat, WL_SEAT_CAPABILITY_KEYBOARD);
    }

    static void GetKeyboard(wl_client* client, wl_resource* seat, uint32_t id) {
        auto* self = static_cast<StandInCompositor*>(wl_resource_get_user_data(seat));
        wl_resource* keyboard =
            wl_resource_create(client, &wl_keyboard_interface, wl_resource_get_version(seat), id);
        wl_resource_set_implementation(keyboard, &kKeyboard, self, [](wl_resource* gone) {
            auto* owner = static_cast<StandInCompositor*>(wl_resource_get_user_data(gone));
            std::erase(owner->keyboards_, gone);
        });
        self->keyboards_.push_back(keyboard);
        self->SendKeymapTo(keyboard);
    }

    static void Unused(wl_client*, wl_resource*, uint32_t) {}
    static void Release(wl_client*, wl_resource* resource) { wl_resource_destroy(resource); }
    static constexpr struct wl_seat_interface kSeat = {Unused, GetKeyboard, Unused, Release};
    static constexpr struct wl_keyboard_interface kKeyboard = {Release};

    SentKeymap keymap_;
    wl_display* display_ = nullptr;
    const char* socket_ = nullptr;
    int wakeFd_ = -1;
    wl_event_source* wake_ = nullptr;
    std::thread thread_;
    std::mutex mutex_;
    std::vector<std::packaged_task<void()>> queue_;
    std::vector<wl_resource*> keyboards_;
    bool stopping_ = false;  // set and read on the compositor's thread
};

class WaylandKeymapTest : public ::testing::Test {
protected:
    void SetUp() override {
        runtime_ = std::filesystem::temp_directory_path() /
                   ("wayland-keymap-test-" + std::to_string(getpid()));
        std::filesystem::create_directories(runtime_);
        setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1);
    }
    void TearDown() override { std::filesystem::remove_all(runtime_); }

    // Waits for the source's descriptor, then reads what came.
    static KeymapSource::Update NextUpdate(KeymapSource& source) {
        pollfd readable = {source.ChangeDescriptor(), POLLIN, 0};
        EXPECT_EQ(poll(&readable, 1, 5000), 1) << "nothing came from the compositor";
        return source.ReadChanges();
    }

    std::filesystem::path runtime_;
};

TEST_F(WaylandKeymapTest, AnswersWhatTheKeymapSentTypesOnEachKey) {
    const struct {
        const char* layout;
        uint16_t evdevCode;
        uint32_t keysym;
    } cases[] = {
        {"fr", KEY_Q, XKB_KEY_a},          {"fr", KEY_1, XKB_KEY_ampersand},
        {"de", KEY_MINUS, XKB_KEY_ssharp}, {"de", KEY_Y, XKB_KEY_z},
        {"us", KEY_Q, XKB_KEY_q},          {"jp", KEY_GRAVE, XKB_KEY_Zenkaku_Hankaku},
    };
    for (const auto& c : cases) {
        StandInCompositor compositor(Keymap(LayoutKeymapText(c.layout)));
        const auto source = WaylandKeymap::Connect(compositor.SocketName());
        ASSERT_NE(source, nullptr);
        EXPECT_EQ(source->KeysymAt(c.evdevCode), c.keysym) << c.layout << " evdev " << c.evdevCode;
        EXPECT_EQ(source->KeysymAt(KEY_MAX), 0u) << "a key the keymap lacks";
    }
}

TEST_F(WaylandKeymapTest, FollowsANewKeymapFromTheCompositor) {
    StandInCompositor compositor(Keymap(LayoutKeymapText("fr")));
    const auto source = WaylandKeymap::Connect(compositor.SocketName());
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(source->ReadChanges(), KeymapSource::Update::Unchanged);
    compositor.SendKeymap(Keymap(LayoutKeymapText("de")));
    EXPECT_EQ(NextUpdate(*source), KeymapSource::Update::Changed);
    EXPECT_EQ(source->KeysymAt(KEY_MINUS), XKB_KEY_ssharp);
    EXPECT_EQ(source->KeysymAt(KEY_Q), XKB_KEY_q);
}

// A keymap that cannot be read leaves no legend, never a wrong one or a
// crash, and the next good one is taken.
TEST_F(WaylandKeymapTest, AKeymapItCannotReadGivesNoLegend) {
    const std::string french = LayoutKeymapText("fr");
    const SentKeymap bad[] = {
        Keymap("xkb_keymap { this is no keymap };"),
        {french + '\0', WL_KEYBOARD_KEYMAP_FORMAT_NO_KEYMAP},
        // A size past the file's end, which holds no NUL to stop at.
        {french, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, static_cast<int64_t>(french.size()) + 65536},
        {french + '\0', WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, 0},
    };
    StandInCompositor compositor(Keymap(french));
    const auto source = WaylandKeymap::Connect(compositor.SocketName());
    ASSERT_NE(source, nullptr);
    for (const SentKeymap& keymap : bad) {
        compositor.SendKeymap(keymap);
        EXPECT_EQ(NextUpdate(*source), KeymapSource::Update::Changed);
        EXPECT_EQ(source->KeysymAt(KEY_Q), 0u) << keymap.file.substr(0, 40);
        compositor.SendKeymap(Keymap(french));
        EXPECT_EQ(NextUpdate(*source), KeymapSource::Update::Changed);
        EXPECT_EQ(source->KeysymAt(KEY_Q), XKB_KEY_a);
    }
}

TEST_F(WaylandKeymapTest, AnEndedCompositorClosesTheSource) {
    StandInCompositor compositor(Keymap(LayoutKeymapText("fr")));
    const auto source = WaylandKeymap::Connect(compositor.SocketName());
    ASSERT_NE(source, nullptr);
    compositor.Close();
    EXPECT_EQ(NextUpdate(*source), KeymapSource::Update::Closed);
    EXPECT_EQ(source->KeysymAt(KEY_Q), 0u);
    EXPECT_EQ(source->ChangeDescriptor(), -1);
}

TEST_F(WaylandKeymapTest, NoCompositorNoSource) {
    EXPECT_EQ(WaylandKeymap::Connect("no-such-compositor"), nullptr);
}

}  // namespace
