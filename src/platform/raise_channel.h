#pragma once

#include <QByteArray>
#include <QObject>
#include <string>

class QSocketNotifier;
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

// A long-running desktop program may hold many descriptors (and a flood of
// idle connections would take them): the soft limit goes up to the hard one.
void RaiseOpenFileLimit();

// The running instance's side: brings `window` to the front when asked.
//
// It keeps listening whatever happens to single connections: when no
// descriptor is left to accept one, the waiting connection is dropped (said
// once on stderr) and the next one is served as usual.
class RaiseListener : public QObject {
    Q_OBJECT
public:
    explicit RaiseListener(QWidget* window);
    ~RaiseListener() override;

    // A socket left by a run that ended without removing it is replaced: the
    // caller holds the lock, so no one else listens there.
    bool Listen(const std::string& lockFolder, std::string& error);

signals:
    // A request was taken: the window was brought forward, with the
    // activation token it carried (empty = none).
    void Raised(const QByteArray& activationToken);

private:
    void OnConnection();
    void DropWaitingConnection();
    void OnRequest(const QByteArray& line);
    void BringWindowToFront(const QByteArray& activationToken);

    QWidget* window_;
    int listenFd_ = -1;
    int spareFd_ = -1;  // given up to accept, and so drop, a connection when none is left
    std::string path_;
    QSocketNotifier* notifier_ = nullptr;
    bool toldExhausted_ = false;
};
