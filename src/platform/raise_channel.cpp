#include "platform/raise_channel.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <utility>

namespace {

constexpr char kSocketName[] = "kestrine-config.socket";
constexpr char kRequest[] = "raise";
constexpr qsizetype kMaxRequestLength = 512;
constexpr int kRequestTimeoutMs = 2000;
constexpr int kMaxTokenLength = 256;
constexpr char kTokenVariable[] = "XDG_ACTIVATION_TOKEN";
// While no descriptor is left, accepting is tried again after this long.
constexpr int kExhaustedRetryMs = 200;

// Activation tokens are short printable words; anything else is not passed on.
bool IsToken(const QByteArray& token) {
    if (token.isEmpty() || token.size() > kMaxTokenLength) {
        return false;
    }
    for (const char c : token) {
        if (c <= ' ' || c > '~') {
            return false;
        }
    }
    return true;
}

// The toolkit reads the token from the environment when the window asks to
// be activated. setenv would keep every value ever set (the C library never
// frees them), so the variable points at this one buffer, overwritten.
void HandTokenToToolkit(const QByteArray& token) {
    static char entry[sizeof kTokenVariable + kMaxTokenLength + 1];
    std::snprintf(entry, sizeof entry, "%s=%s", kTokenVariable, token.constData());
    ::putenv(entry);
}

int OpenSpare() {
    return ::open("/dev/null", O_RDONLY | O_CLOEXEC);
}

// One accepted connection: reads up to its first line, then goes. A peer that
// never finishes its line, sends too much or hangs up is dropped, and the
// notifier and the timer go with it: a flood of short connections leaves
// nothing behind.
class RaiseRequest : public QObject {
public:
    // Takes `fd`, a connected non-blocking socket, and closes it when it goes.
    RaiseRequest(int fd, std::function<void(const QByteArray&)> onLine, QObject* parent)
        : QObject(parent),
          fd_(fd),
          onLine_(std::move(onLine)),
          notifier_(fd, QSocketNotifier::Read, this) {
        connect(&notifier_, &QSocketNotifier::activated, this, &RaiseRequest::ReadWhatArrived);
        // A member, not a single-shot timer: that would outlive this request until it fired.
        limit_.setSingleShot(true);
        connect(&limit_, &QTimer::timeout, this, &RaiseRequest::Drop);
        limit_.start(kRequestTimeoutMs);
    }
    ~RaiseRequest() override { ::close(fd_); }

    void ReadWhatArrived() {
        char chunk[kMaxRequestLength];
        for (;;) {
            const ssize_t count = ::recv(fd_, chunk, sizeof chunk, MSG_DONTWAIT);
            if (count < 0 && errno == EINTR) {
                continue;
            }
            if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                return;  // more may come
            }
            if (count <= 0) {
                Drop();  // hung up, or failed
                return;
            }
            received_.append(chunk, count);
            if (const qsizetype end = received_.indexOf('\n'); end >= 0) {
                Drop();
                onLine_(received_.left(end));
                return;
            }
            if (received_.size() > kMaxRequestLength) {
                Drop();
                return;
            }
        }
    }

private:
    void Drop() {
        notifier_.setEnabled(false);
        limit_.stop();
        deleteLater();
    }

    int fd_;
    std::function<void(const QByteArray&)> onLine_;
    QSocketNotifier notifier_;
    QTimer limit_;
    QByteArray received_;
};

}  // namespace

void RaiseOpenFileLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

std::string RaiseSocketPath(const std::string& lockFolder) {
    return lockFolder + "/" + kSocketName;
}

bool AskRunningInstanceToRaise(const std::string& lockFolder) {
    const std::string path = RaiseSocketPath(lockFolder);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        return false;
    }
    path.copy(address.sun_path, path.size());
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISSOCK(info.st_mode) ||
        info.st_uid != ::geteuid()) {
        return false;
    }
    // Non-blocking: a busy instance's full queue is no reason to hang.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        return false;
    }
    std::string request = kRequest;
    if (const char* token = std::getenv("XDG_ACTIVATION_TOKEN");
        token && IsToken(QByteArray(token))) {
        request += std::string(" ") + token;
    }
    request += "\n";
    // What is sent stays readable for the running instance after this process has ended.
    const bool sent =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
        ::send(fd, request.data(), request.size(), MSG_NOSIGNAL | MSG_DONTWAIT) ==
            static_cast<ssize_t>(request.size());
    ::close(fd);
    return sent;
}

RaiseListener::RaiseListener(QWidget* window) : window_(window) {}

RaiseListener::~RaiseListener() {
    if (listenFd_ >= 0) {
        ::close(listenFd_);
        ::unlink(path_.c_str());
    }
    if (spareFd_ >= 0) {
        ::close(spareFd_);
    }
}

bool RaiseListener::Listen(const std::string& lockFolder, std::string& error) {
    path_ = RaiseSocketPath(lockFolder);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path_.size() >= sizeof address.sun_path) {
        error = path_ + ": the name is too long for a socket";
        return false;
    }
    path_.copy(address.sun_path, path_.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        error = std::string("cannot make a socket: ") + std::strerror(errno);
        return false;
    }
    ::unlink(path_.c_str());
    // Only this user may connect, whatever the folder allows.
    const mode_t mask = ::umask(0077);
    const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::umask(mask);
    if (!bound || ::listen(fd, SOMAXCONN) != 0) {
        error = path_ + ": " + std::strerror(errno);
        ::close(fd);
        return false;
    }
    listenFd_ = fd;
    spareFd_ = OpenSpare();
    notifier_ = new QSocketNotifier(listenFd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &RaiseListener::OnConnection);
    return true;
}

void RaiseListener::OnConnection() {
    for (;;) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            if (errno == EMFILE || errno == ENFILE) {
                DropWaitingConnection();
            }
            // EAGAIN: none left; anything else belongs to that one connection.
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EMFILE || errno == ENFILE) {
                return;
            }
            continue;
        }
        auto* request = new RaiseRequest(
            fd, [this](const QByteArray& line) { OnRequest(line); }, this);
        request->ReadWhatArrived();  // the request may be here already
    }
}

// No descriptor is left to take the waiting connection: the spare one is
// given up for a moment to accept it and close it at once, so it does not
// stay waiting and the listener goes on. Without a spare the listener rests
// a little, as idle connections end by their time limit meanwhile.
void RaiseListener::DropWaitingConnection() {
    const int error = errno;
    if (!toldExhausted_) {
        toldExhausted_ = true;
        std::fprintf(stderr,
                     "kestrine-config: too many open files to take a request to show the "
                     "window (%s); such requests are dropped until some close\n",
                     std::strerror(error));
    }
    if (spareFd_ >= 0) {
        ::close(spareFd_);
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0) {
            ::close(fd);
        }
        spareFd_ = OpenSpare();
    }
    if (spareFd_ < 0) {
        notifier_->setEnabled(false);
        QTimer::singleShot(kExhaustedRetryMs, this, [this] {
            spareFd_ = spareFd_ >= 0 ? spareFd_ : OpenSpare();
            notifier_->setEnabled(true);
        });
    }
    errno = error;
}

void RaiseListener::OnRequest(const QByteArray& line) {
    const QList<QByteArray> words = line.trimmed().split(' ');
    if (words.value(0) != kRequest || words.size() > 2) {
        return;
    }
    BringWindowToFront(words.size() == 2 && IsToken(words[1]) ? words[1] : QByteArray());
}

void RaiseListener::BringWindowToFront(const QByteArray& activationToken) {
    // Before the window is first shown there is nothing to bring forward; it
    // comes up on its own.
    if (!window_->isVisible()) {
        return;
    }
    if (!activationToken.isEmpty()) {
        // Read by the Wayland platform when the window asks to be activated.
        HandTokenToToolkit(activationToken);
    }
    if (window_->isMinimized()) {
        window_->setWindowState((window_->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    }
    window_->raise();
    window_->activateWindow();
    // An open modal dialog stays in front of its window.
    if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != window_) {
        modal->raise();
        modal->activateWindow();
    }
    emit Raised(activationToken);
}
