#include "platform/raise_channel.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

namespace {

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

}  // namespace
