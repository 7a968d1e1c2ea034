#include "platform/raise_channel.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <QWidget>
#include <cstdlib>

namespace {

constexpr char kSocketName[] = "kestrine-config.socket";
constexpr char kRequest[] = "raise";
constexpr qint64 kMaxRequestLength = 512;
constexpr int kRequestTimeoutMs = 2000;

// Activation tokens are short printable words; anything else is not passed on.
bool IsToken(const QByteArray& token) {
    if (token.isEmpty() || token.size() > 256) {
        return false;
    }
    for (const char c : token) {
        if (c <= ' ' || c > '~') {
            return false;
        }
    }
    return true;
}

}  // namespace

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

RaiseListener::RaiseListener(QWidget* window) : window_(window), server_(new QLocalServer(this)) {
    connect(server_, &QLocalServer::newConnection, this, &RaiseListener::OnConnection);
}

bool RaiseListener::Listen(const std::string& lockFolder, std::string& error) {
    const QString path = QString::fromStdString(RaiseSocketPath(lockFolder));
    QLocalServer::removeServer(path);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(path)) {
        error = server_->errorString().toStdString();
        return false;
    }
    return true;
}

void RaiseListener::OnConnection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { OnRequest(socket); });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // A peer that never finishes its line is dropped.
        QTimer::singleShot(kRequestTimeoutMs, socket, &QObject::deleteLater);
        OnRequest(socket);  // the request may be here already
    }
}

void RaiseListener::OnRequest(QLocalSocket* socket) {
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > kMaxRequestLength) {
            socket->deleteLater();
        }
        return;
    }
    const QByteArray line = socket->readLine(kMaxRequestLength).trimmed();
    socket->disconnect(this);
    socket->deleteLater();
    const QList<QByteArray> words = line.split(' ');
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
        qputenv("XDG_ACTIVATION_TOKEN", activationToken);
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
}
