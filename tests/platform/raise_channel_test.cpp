#include "platform/raise_channel.h"

#include <fcntl.h>
#include <malloc.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <cstdlib>
#include <vector>

namespace {

// A connection to the listener, as the second start makes it; -1 = refused.
int Connect(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

size_t HeapInUse() {
    const struct mallinfo2 info = ::mallinfo2();
    return info.uordblks + info.hblkhd;
}

// The soft limit on descriptors, put back when the test ends.
class DescriptorLimit {
public:
    explicit DescriptorLimit(rlim_t soft) {
        ::getrlimit(RLIMIT_NOFILE, &saved_);
        rlimit lowered = saved_;
        lowered.rlim_cur = soft;
        ::setrlimit(RLIMIT_NOFILE, &lowered);
    }
    ~DescriptorLimit() { ::setrlimit(RLIMIT_NOFILE, &saved_); }
    DescriptorLimit(const DescriptorLimit&) = delete;
    DescriptorLimit& operator=(const DescriptorLimit&) = delete;

private:
    rlimit saved_{};
};

// What the process writes to its standard error meanwhile, into a file that
// stays open for reading, so it can be read with no descriptor left.
class StderrCapture {
public:
    explicit StderrCapture(const QString& path) {
        const QByteArray name = QFile::encodeName(path);
        std::fflush(stderr);
        saved_ = ::dup(STDERR_FILENO);
        const int file = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        ::dup2(file, STDERR_FILENO);
        ::close(file);
        reader_ = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    }
    ~StderrCapture() {
        std::fflush(stderr);
        ::dup2(saved_, STDERR_FILENO);
        ::close(saved_);
        ::close(reader_);
    }
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;

    QByteArray Text() const {
        std::fflush(stderr);
        QByteArray text;
        char chunk[4096];
        ssize_t length;
        while ((length = ::pread(reader_, chunk, sizeof chunk, text.size())) > 0) {
            text.append(chunk, length);
        }
        return text;
    }

private:
    int saved_ = -1;
    int reader_ = -1;
};

size_t OpenDescriptors() {
    return static_cast<size_t>(QDir("/proc/self/fd").entryList(QDir::Files | QDir::System).size());
}

// The running instance's window and its listener, as the program sets them up.
class RaiseChannel : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        window.setWindowTitle("running");
        other.setWindowTitle("other");
        window.show();
        other.show();
    }
    std::string Folder() const { return folder.path().toStdString(); }

    QTemporaryDir folder;
    QWidget window;
    QWidget other;
    RaiseListener listener{&window};
};

TEST_F(RaiseChannel, ASecondStartBringsTheWindowForward) {
    std::string error;
    ASSERT_TRUE(listener.Listen(Folder(), error)) << error;
    window.showMinimized();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return other.isActiveWindow(); }, 5000));

    EXPECT_TRUE(AskRunningInstanceToRaise(Folder()));

    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.isMinimized(); }, 5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.isActiveWindow(); }, 5000));

    // Shown but behind another window.
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return other.isActiveWindow(); }, 5000));
    EXPECT_TRUE(AskRunningInstanceToRaise(Folder()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.isActiveWindow(); }, 5000));
}

// A run that ended without removing its socket leaves the file behind; the
// next run holds the lock, so it may take the place.
TEST_F(RaiseChannel, ASocketLeftByAnEndedRunIsReplaced) {
    const std::string path = RaiseSocketPath(Folder());
    const int stale = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(stale, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(stale);
    EXPECT_FALSE(AskRunningInstanceToRaise(Folder()));  // no one listens there

    std::string error;
    ASSERT_TRUE(listener.Listen(Folder(), error)) << error;
    window.showMinimized();
    EXPECT_TRUE(AskRunningInstanceToRaise(Folder()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.isMinimized(); }, 5000));
}

TEST_F(RaiseChannel, NoOneToAskIsAnAnswerNotAWait) {
    EXPECT_FALSE(AskRunningInstanceToRaise(Folder()));
    QFile plain(QString::fromStdString(RaiseSocketPath(Folder())));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));  // not a socket
    plain.close();
    EXPECT_FALSE(AskRunningInstanceToRaise(Folder()));
}

// The token of the launcher that started the second copy reaches the
// toolkit in the running one, which reads it from its environment.
TEST_F(RaiseChannel, AnActivationTokenGoesAlongAndReachesTheToolkit) {
    std::string error;
    ASSERT_TRUE(listener.Listen(Folder(), error)) << error;
    QSignalSpy raised(&listener, &RaiseListener::Raised);
    window.showMinimized();
    ::setenv("XDG_ACTIVATION_TOKEN", "launcher-token_42", 1);
    EXPECT_TRUE(AskRunningInstanceToRaise(Folder()));
    ::unsetenv("XDG_ACTIVATION_TOKEN");  // the sender's; the receiver sets its own

    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.isMinimized(); }, 5000));
    ASSERT_EQ(raised.count(), 1);
    EXPECT_EQ(raised[0][0].toByteArray(), "launcher-token_42");
    EXPECT_STREQ(std::getenv("XDG_ACTIVATION_TOKEN"), "launcher-token_42");
    ::unsetenv("XDG_ACTIVATION_TOKEN");
}

// Each token replaces the last; none of them is kept.
TEST_F(RaiseChannel, ManyDifferentTokensLeaveMemoryWhereItWas) {
    std::string error;
    ASSERT_TRUE(listener.Listen(Folder(), error)) << error;
    int raised = 0;  // counted only: a spy would keep every token itself
    QObject::connect(&listener, &RaiseListener::Raised, [&raised] { ++raised; });
    const std::string path = RaiseSocketPath(Folder());
    int sent = 0;
    auto send = [&](int count) {
        for (int batch = 0; batch < count; batch += 100) {
            for (int i = 0; i < 100; ++i, ++sent) {
                const std::string request =
                    "raise " + std::string(200, 'a' + sent % 26) + std::to_string(sent) + "\n";
                const int fd = Connect(path);
                ASSERT_GE(fd, 0);
                ASSERT_EQ(::send(fd, request.data(), request.size(), MSG_NOSIGNAL),
                          static_cast<ssize_t>(request.size()));
                ::close(fd);
            }
            ASSERT_TRUE(QTest::qWaitFor([&] { return raised == sent; }, 10000))
                << raised << " of " << sent;
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    };
    send(200);  // the toolkit's own first-use allocations
    const size_t before = HeapInUse();
    send(10000);
    const size_t after = HeapInUse();
    EXPECT_LT(after, before + 1024 * 1024) << "grew by " << (after - before) << " bytes";
    ::unsetenv("XDG_ACTIVATION_TOKEN");
}

// Idle connections take every descriptor there is: the listener drops what
// it cannot take and keeps listening, so a later start still raises.
TEST_F(RaiseChannel, IdleConnectionsBeyondTheDescriptorLimitDoNotEndTheListener) {
    std::string error;
    ASSERT_TRUE(listener.Listen(Folder(), error)) << error;
    // One request first, while descriptors are free: the sanitizer build checks
    // the type of each object the listener calls on once, with a pipe of its own.
    window.showMinimized();
    ASSERT_TRUE(AskRunningInstanceToRaise(Folder()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.isMinimized(); }, 5000));
    window.showMinimized();
    const std::string path = RaiseSocketPath(Folder());
    int done[2];
    int ending[2];
    ASSERT_EQ(::pipe(done), 0);
    ASSERT_EQ(::pipe(ending), 0);
    const StderrCapture said(folder.filePath("stderr"));
    const DescriptorLimit limit(OpenDescriptors() + 40);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Its ends only: a test that fails early ends it by closing its own.
        ::close(done[0]);
        ::close(ending[1]);
        // Another process, as a flood would come; its own limit allows them all.
        rlimit own{};
        ::getrlimit(RLIMIT_NOFILE, &own);
        own.rlim_cur = own.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &own);
        int connected = 0;
        for (int i = 0; i < 1100; ++i) {
            connected += Connect(path) >= 0;
        }
        char byte = connected == 1100 ? 'y' : 'n';
        (void)!::write(done[1], &byte, 1);
        (void)!::read(ending[0], &byte, 1);
        ::_exit(0);
    }
    ::close(done[1]);
    ::close(ending[0]);
    char connected = 0;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            pollfd ready{done[0], POLLIN, 0};
            return ::poll(&ready, 1, 0) == 1 && ::read(done[0], &connected, 1) == 1;
        },
        20000));
    EXPECT_EQ(connected, 'y') << "the flood could not connect 1100 times";
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return said.Text().contains("too many open files to take a request"); }, 10000))
        << "the listener never met the limit: " << said.Text().toStdString();
    (void)!::write(ending[1], "x", 1);  // the flood ends
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(done[0]);
    ::close(ending[1]);

    ASSERT_TRUE(QTest::qWaitFor([&] { return AskRunningInstanceToRaise(Folder()); }, 5000))
        << "nothing listens any more";
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window.isMinimized(); }, 5000));
}

// The soft limit goes up to the hard one, for a desktop program that runs long.
TEST(OpenFileLimit, TheSoftLimitIsRaisedToTheHardOne) {
    rlimit hard{};
    ::getrlimit(RLIMIT_NOFILE, &hard);
    const DescriptorLimit lowered(std::min<rlim_t>(hard.rlim_max, 256));
    RaiseOpenFileLimit();
    rlimit now{};
    ::getrlimit(RLIMIT_NOFILE, &now);
    EXPECT_EQ(now.rlim_cur, hard.rlim_max);
}

}  // namespace
