#include "agent/agent_loop.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "agent/agent_status.h"
#include "agent/automatic_profiles.h"
#include "agent/change_notices.h"
#include "agent/notifier.h"
#include "device/device_link.h"
#include "device/event_listener.h"
#include "device/simulated/simulated_session.h"
#include "device/udev_monitor.h"

namespace {

using Clock = std::chrono::steady_clock;

// As the window does: the interfaces of a mouse arrive one by one, and the
// mouse needs a moment before it answers.
constexpr auto kArrivalSettle = std::chrono::milliseconds(900);

bool IsThisMouse(const std::string& path) {
    return path.find("5B29:0C7E") != std::string::npos ||
           path.find("5b29:0c7e") != std::string::npos;
}

class Agent {
public:
    Agent(AgentSetup& setup, std::ostream& out, std::ostream& err)
        : setup_(setup),
          err_(err),
          notices_(setup.notifier, out, err),
          status_(AgentStatus::PathIn(setup.lockFolder)) {
        if (!setup.rulesFile.empty()) {
            profiles_ = std::make_unique<AutomaticProfiles>(
                setup.rulesFile, setup.lockFolder, status_,
                [this](const std::string& text) { notices_.Notify(text); });
        }
    }

    ~Agent() {
        SetDeviceEventHandler({});
        StopDeviceEventListener();
        for (int fd : {eventPipe_[0], eventPipe_[1], signalFd_}) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
    }

    int Run() {
        if (!Prepare()) {
            return 1;
        }
        ConnectMouse();
        if (profiles_) {
            profiles_->Start(err_, NowMs());
        }
        while (!stopped_) {
            if (!WaitOnce()) {
                return 1;
            }
        }
        return 0;
    }

private:
    bool Prepare() {
        // Blocked before the listener thread starts, so that it inherits the mask
        // and every signal reaches the signalfd.
        sigset_t signals;
        sigemptyset(&signals);
        for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
            sigaddset(&signals, signal);
        }
        if (::sigprocmask(SIG_BLOCK, &signals, nullptr) != 0 ||
            (signalFd_ = ::signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK)) < 0 ||
            ::pipe2(eventPipe_.data(), O_CLOEXEC | O_NONBLOCK) != 0) {
            return Fail(std::string("cannot wait for events: ") + std::strerror(errno));
        }
        SetDeviceEventHandler([fd = eventPipe_[1]](uint8_t code, uint8_t value) {
            const std::array<uint8_t, 2> event{code, value};
            (void)!::write(fd, event.data(), event.size());
        });
        if (setup_.simulation) {
            setup_.simulation->CatchUp();
            notices_.SetBeforeRead([this] { setup_.simulation->CatchUp(); });
            if (profiles_) {
                profiles_->SetBeforeApply([this] { setup_.simulation->CatchUp(); });
            }
            std::string problem;
            plugFd_ = setup_.simulation->FollowOtherProcesses(problem);
            if (plugFd_ < 0) {
                return Fail(problem);
            }
        } else {
            udev_ = std::make_unique<UdevMonitor>();
            if (!udev_->Start()) {
                return Fail("cannot follow the mouse being plugged in (no udev monitor)");
            }
            plugFd_ = udev_->Fd();
        }
        return true;
    }

    bool Fail(const std::string& problem) {
        err_ << "kestrine-config agent: " << problem << std::endl;
        status_.Set(AgentStatus::kProblem, problem);
        return false;
    }

    static int64_t NowMs() {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   Clock::now().time_since_epoch())
            .count();
    }

    void ConnectMouse() {
        const bool read = notices_.ReadMouse();
        if (profiles_ && read) {
            profiles_->OnMouseArrived(NowMs());
        }
        // A listener that still reads the mouse is kept: the interfaces of one
        // mouse arrive one by one, and a restart for a late one would drop the
        // reports it had not read yet. A removal stops it (TakePlugChanges).
        const bool listening = DeviceEventListenerRunning() || StartDeviceEventListener() == 5;
        status_.Set(AgentStatus::kMouse, !read && !listening ? "not connected"
                                         : listening         ? "connected, listening"
                                                             : "connected, not answering");
    }

    bool WaitOnce() {
        Notifier& notifier = setup_.notifier;
        std::array<pollfd, 6> fds{{{signalFd_, POLLIN, 0},
                                   {eventPipe_[0], POLLIN, 0},
                                   {plugFd_, POLLIN, 0},
                                   {profiles_ ? profiles_->WindowFd() : -1, POLLIN, 0},
                                   {profiles_ ? profiles_->FileFd() : -1, POLLIN, 0},
                                   {notifier.Fd(), notifier.Events(), 0}}};
        if (::poll(fds.data(), fds.size(), TimeLimitMs()) < 0 && errno != EINTR) {
            return Fail(std::string("cannot wait for events: ") + std::strerror(errno));
        }
        if (fds[0].revents != 0) {
            stopped_ = true;
            return true;
        }
        if (fds[2].revents != 0) {
            TakePlugChanges();
        }
        if (fds[1].revents != 0) {
            TakeMouseEvents();
        }
        if (settleUntil_ && Clock::now() >= *settleUntil_) {
            settleUntil_.reset();
            ConnectMouse();
        }
        if (profiles_) {
            if (fds[3].revents != 0) {
                profiles_->OnWindowEvents(NowMs());
            }
            if (fds[4].revents != 0) {
                profiles_->OnFileEvents(NowMs());
            }
            profiles_->OnTime(NowMs());
        }
        // Last: it sends what the steps above asked to show.
        notifier.Process(NowMs());
        return true;
    }

    // Until the next thing due: the mouse's settle, a profile's or the
    // notification service's answer; none = no limit.
    int TimeLimitMs() const {
        std::optional<int64_t> due = setup_.notifier.DeadlineMs();
        const auto sooner = [&due](int64_t other) { due = due ? std::min(*due, other) : other; };
        if (settleUntil_) {
            sooner(
                NowMs() +
                std::chrono::ceil<std::chrono::milliseconds>(*settleUntil_ - Clock::now()).count());
        }
        if (profiles_) {
            if (const auto profileDue = profiles_->NextDeadlineMs()) {
                sooner(*profileDue);
            }
        }
        return due ? static_cast<int>(std::max<int64_t>(0, *due - NowMs())) : -1;
    }

    void TakePlugChanges() {
        if (setup_.simulation) {
            // The other processes' button reports reach this mouse's event interface.
            setup_.simulation->CatchUp();
            return;
        }
        for (const HidrawChange& change : udev_->ReadChanges()) {
            if (!IsThisMouse(change.syspath)) {
                continue;
            }
            if (change.arrived) {
                settleUntil_ = Clock::now() + kArrivalSettle;
            } else {
                settleUntil_.reset();
                StopDeviceEventListener();
                notices_.Forget();
                status_.Set(AgentStatus::kMouse, "not connected");
            }
        }
    }

    void TakeMouseEvents() {
        std::array<uint8_t, 2> event{};
        while (::read(eventPipe_[0], event.data(), event.size()) == 2) {
            notices_.OnMouseEvent(event[0], event[1]);
        }
    }

    AgentSetup& setup_;
    std::ostream& err_;
    ChangeNotices notices_;
    AgentStatus status_;
    std::unique_ptr<AutomaticProfiles> profiles_;
    std::unique_ptr<UdevMonitor> udev_;
    std::array<int, 2> eventPipe_{-1, -1};
    int signalFd_ = -1;
    int plugFd_ = -1;
    std::optional<Clock::time_point> settleUntil_;
    bool stopped_ = false;
};

}  // namespace

int RunAgent(AgentSetup& setup, std::ostream& out, std::ostream& err) {
    Agent agent(setup, out, err);
    return agent.Run();
}
