// APPLY in the real main window against the simulated mouse, under the X
// server the driver gives: from the click on APPLY to APPLY disabled again.
// Every device wait is recorded and slept for real; their sum is the floor.
//
// usage: bench-apply CLICKS
// prints: "read-waits FIRMWARE_MS SETTINGS_MS" (each read alone),
//         "startup-waits MS" (the waits of the window's initialisation), then
//         "apply MS FLOOR_MS" per click; exit 1 with a reason on stderr.

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QPushButton>
#include <QTest>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "app/main_window.h"
#include "device/device_link.h"
#include "device/event_listener.h"
#include "device/mouse_session.h"
#include "device/simulated/simulated_mouse.h"
#include "device/sleep.h"

namespace {

using Clock = std::chrono::steady_clock;

// The device waits since the last Take(), slept for real.
class WaitLog {
public:
    WaitLog() {
        SetSleepHook([this](unsigned ms) {
            {
                std::lock_guard lock(mutex_);
                sum_ += ms;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        });
    }
    ~WaitLog() { SetSleepHook({}); }
    unsigned Take() {
        std::lock_guard lock(mutex_);
        const unsigned sum = sum_;
        sum_ = 0;
        return sum;
    }

private:
    std::mutex mutex_;
    unsigned sum_ = 0;
};

// The moment the watched button was last disabled.
class DisabledWatch : public QObject {
public:
    explicit DisabledWatch(QWidget* button) : button_(button) { button->installEventFilter(this); }
    Clock::time_point disabledAt;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == button_ && event->type() == QEvent::EnabledChange && !button_->isEnabled())
            disabledAt = Clock::now();
        return false;
    }

private:
    QWidget* button_;
};

int Fail(const char* reason) {
    std::fprintf(stderr, "bench-apply: %s\n", reason);
    return 1;
}

// The waits of the two reads, alone: the floor of a command that reads.
void PrintReadWaits(WaitLog& waits) {
    FindDevice(kProductId);
    waits.Take();
    std::array<uint8_t, kFirmwareBlockSize> block{};
    ReadFirmwareInfo(block);
    const unsigned firmware = waits.Take();
    ReadSettings();
    std::printf("read-waits %u %u\n", firmware, waits.Take());
}

int Run(CUpdaterDlg& dialog, WaitLog& waits, int clicks) {
    PrintReadWaits(waits);
    dialog.Initialise();
    std::printf("startup-waits %u\n", waits.Take());
    dialog.show();
    if (!QTest::qWaitForWindowExposed(&dialog))
        return Fail("the window was not shown");
    auto* apply = dialog.findChild<QPushButton*>("applyButton");
    auto* rates = dialog.findChild<QComboBox*>("pollingRateList");
    if (!apply || !rates)
        return Fail("no applyButton or pollingRateList");
    DisabledWatch watch(apply);
    for (int click = 0; click < clicks; ++click) {
        // A user's change on the Basic page enables APPLY.
        const bool atEnd = rates->currentIndex() + 1 >= rates->count();
        QTest::keyClick(rates, atEnd ? Qt::Key_Up : Qt::Key_Down);
        if (!apply->isEnabled())
            return Fail("changing the report rate did not enable APPLY");
        QTest::qWait(20);  // let the window repaint, as between a user's clicks
        waits.Take();
        const Clock::time_point clicked = Clock::now();
        QTest::mouseClick(apply, Qt::LeftButton);
        if (apply->isEnabled())
            return Fail("APPLY stayed enabled: the write failed");
        const double ms =
            std::chrono::duration<double, std::milli>(watch.disabledAt - clicked).count();
        std::printf("apply %.3f %u\n", ms, waits.Take());
    }
    std::fflush(stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const int clicks = argc > 1 ? std::atoi(argv[1]) : 7;
    QApplication application(argc, argv);
    SimulatedMouse mouse;
    SetHidTransport(&mouse);
    int result = 0;
    {
        WaitLog waits;
        MouseSession session;
        CUpdaterDlg dialog(session);
        result = Run(dialog, waits, clicks);
    }
    // Both connections close before the simulated mouse behind them ends.
    StopDeviceEventListener();
    ReleaseDevice();
    SetHidTransport(nullptr);
    return result;
}
