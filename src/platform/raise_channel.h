#pragma once

#include <QObject>
#include <string>

class QLocalServer;
class QLocalSocket;
class QWidget;

// A second start of the tool shows the running window instead of a second
// one: the running instance listens on a local socket beside its lock, in
// the same private folder, and the second start asks it over that socket.

// The socket beside the lock in `lockFolder`.
std::string RaiseSocketPath(const std::string& lockFolder);

// The second start's side: plain POSIX, so it needs no display and no
// toolkit, and it never waits. false when no one could be asked (nothing
// listens, or the socket is not this user's); the caller ends quietly anyway.
// The launcher's activation token, if any, goes along so that the desktop
// lets the running window take the focus.
bool AskRunningInstanceToRaise(const std::string& lockFolder);

// The running instance's side: brings `window` to the front when asked.
class RaiseListener : public QObject {
    Q_OBJECT
public:
    explicit RaiseListener(QWidget* window);

    // A socket left by a run that ended without removing it is replaced: the
    // caller holds the lock, so no one else listens there.
    bool Listen(const std::string& lockFolder, std::string& error);

private:
    void OnConnection();
    void OnRequest(QLocalSocket* socket);
    void BringWindowToFront(const QByteArray& activationToken);

    QWidget* window_;
    QLocalServer* server_;
};
