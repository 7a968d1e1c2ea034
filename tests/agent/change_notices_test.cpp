#include "agent/change_notices.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "agent/notifier.h"
#include "device/device_link.h"
#include "device/event_listener.h"
#include "device/hid_transport.h"
#include "device/simulated/simulated_mouse.h"
#include "device/user_command_lock.h"
#include "device/write_retries.h"
#include "support/sleep_recorder.h"

namespace {

// Records what would reach the desktop; `available` false answers as a
// missing service does.
class FakeNotifier : public Notifier {
public:
    void SetUnshown(Unshown unshown) override { unshown_ = std::move(unshown); }
    void Show(const std::string& text) override {
        if (!available) {
            unshown_(text, "no notification service");
            return;
        }
        shown.push_back(text);
    }
    int Fd() const override { return -1; }
    short Events() const override { return 0; }
    std::optional<int64_t> DeadlineMs() const override { return std::nullopt; }
    void Process(int64_t) override {}

    bool available = true;
    std::vector<std::string> shown;

private:
    Unshown unshown_;
};

SettingsRecord Levels(std::vector<std::pair<uint16_t, uint16_t>> cpi, uint8_t count) {
    SettingsRecord record{};
    for (size_t i = 0; i < cpi.size(); ++i) {
        record.cpiLevels[i] = {static_cast<uint8_t>(cpi[i].first != cpi[i].second), cpi[i].first,
                               cpi[i].second};
    }
    record.cpiLevelCount = count;
    return record;
}

TEST(ChangeNoticeTexts, SayWhatTheButtonChangedTo) {
    const SettingsRecord four = Levels({{400, 400}, {1600, 1600}, {800, 1600}, {3200, 3200}}, 4);
    const SettingsRecord badCount = Levels({{400, 400}, {1600, 1600}}, 9);
    const struct {
        std::optional<SettingsRecord> known;
        uint8_t code, value;
        std::optional<std::string> text;
    } cases[] = {
        {four, kEventLevelChanged, 1, "CPI 1600 — level 2 of 4"},
        {four, kEventLevelChanged, 2, "CPI 800×1600 — level 3 of 4"},
        {badCount, kEventLevelChanged, 0, "CPI 400 — level 1 of 4"},
        {four, kEventLevelChanged, 7, "CPI level 8"},
        {std::nullopt, kEventLevelChanged, 1, "CPI level 2"},
        {four, kEventReportRateChanged, 1, "Report rate 8000 Hz"},
        {four, kEventReportRateChanged, 64, "Report rate 125 Hz"},
        {four, kEventReportRateChanged, 3, "Report rate changed"},
        {four, kEventWithoutEffect, 1, std::nullopt},
        {four, 0x55, 1, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ChangeNotices::TextFor(c.known, c.code, c.value), c.text)
            << int(c.code) << "/" << int(c.value);
    }
}

class ChangeNoticesTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetHidTransport(&mouse_);
        char folder[] = "/tmp/kestrine-notices-XXXXXX";
        folder_ = ::mkdtemp(folder);
        UseUserCommandLock(folder_);
    }
    void TearDown() override {
        ReleaseDevice();
        UseUserCommandLock({});
        SetHidTransport(nullptr);
        std::filesystem::remove_all(folder_);
    }

    SleepRecorder sleeps_;
    SimulatedMouse mouse_;
    std::string folder_;
    FakeNotifier notifier_;
    std::ostringstream out_;
    std::ostringstream err_;
    ChangeNotices notices_{notifier_, out_, err_};
};

uint8_t ActiveLevel(SimulatedMouse& mouse) {
    SettingsRecord record{};
    DecodeSettingsImage(mouse.Firmware().Memory(), record);
    return record.activeCpiLevel;
}

TEST_F(ChangeNoticesTest, EachPressGivesANotice) {
    ASSERT_TRUE(notices_.ReadMouse());
    mouse_.PressCpiButton();
    notices_.OnMouseEvent(kEventLevelChanged, ActiveLevel(mouse_));
    mouse_.PressCpiButton();
    notices_.OnMouseEvent(kEventLevelChanged, ActiveLevel(mouse_));
    mouse_.SwitchReportRate(1);
    notices_.OnMouseEvent(kEventReportRateChanged, 1);

    EXPECT_EQ(notifier_.shown,
              (std::vector<std::string>{"CPI 1600 — level 3 of 4", "CPI 3200 — level 4 of 4",
                                        "Report rate 8000 Hz"}));
    EXPECT_TRUE(out_.str().empty());
}

// The tool's own write brings no report and so no notice; the next press shows
// the CPI the tool wrote, read again because a write was counted meanwhile.
TEST_F(ChangeNoticesTest, AWriteByTheToolGivesNoNoticeAndIsShownAtTheNextPress) {
    ASSERT_TRUE(notices_.ReadMouse());
    ASSERT_TRUE(FindDevice(kProductId));
    SettingsRecord written{};
    DecodeSettingsImage(mouse_.Firmware().Memory(), written);
    written.cpiLevels[2] = {0, 5000, 5000};
    ASSERT_TRUE(WriteSettingsWithRetries(written));
    ReleaseDevice();
    EXPECT_TRUE(notifier_.shown.empty());

    mouse_.PressCpiButton();
    notices_.OnMouseEvent(kEventLevelChanged, ActiveLevel(mouse_));
    EXPECT_EQ(notifier_.shown, (std::vector<std::string>{"CPI 5000 — level 3 of 4"}));
}

TEST_F(ChangeNoticesTest, WithoutANoticeServiceTheNoticesArePrintedAndTheReasonSaidOnce) {
    notifier_.available = false;
    ASSERT_TRUE(notices_.ReadMouse());
    mouse_.PressCpiButton();
    notices_.OnMouseEvent(kEventLevelChanged, ActiveLevel(mouse_));
    mouse_.SwitchReportRate(8);
    notices_.OnMouseEvent(kEventReportRateChanged, 8);

    EXPECT_EQ(out_.str(), "CPI 1600 — level 3 of 4\nReport rate 1000 Hz\n");
    EXPECT_EQ(err_.str(),
              "kestrine-config agent: no notification service; notices are printed here "
              "instead\n");
}

TEST_F(ChangeNoticesTest, AMouseThatDoesNotAnswerStillGivesTheLevel) {
    mouse_.FailSends(HidResult::Error, 100);
    EXPECT_FALSE(notices_.ReadMouse());
    notices_.OnMouseEvent(kEventLevelChanged, 1);
    EXPECT_EQ(notifier_.shown, (std::vector<std::string>{"CPI level 2"}));
}

}  // namespace
