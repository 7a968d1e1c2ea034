#pragma once

#include <cstdint>
#include <string>

#include "platform/window_source.h"

// sway's (and i3's) active window through its IPC socket (sway-ipc(7)):
// subscribed to window events, whose focus changes carry the app id (or the
// X11 class of an XWayland window) and the pid; the tree says which window
// has the focus at the start.
class SwayWindowSource : public WindowSource {
public:
    // `socketPath`: SWAYSOCK or I3SOCK; `name`: "sway" or "i3".
    SwayWindowSource(std::string socketPath, std::string name);
    ~SwayWindowSource() override;
    SwayWindowSource(const SwayWindowSource&) = delete;
    SwayWindowSource& operator=(const SwayWindowSource&) = delete;

    bool Start(std::string& error) override;
    int Fd() const override { return fd_; }
    std::optional<ActiveWindow> ReadChanges() override;
    ActiveWindow Current() const override { return current_; }
    bool Broken() const override { return broken_; }
    std::string Name() const override { return name_; }

private:
    bool Send(uint32_t type, const std::string& payload);
    // Reads what the socket holds now; false when it closed or failed.
    bool ReadAvailable();
    // The next whole message in the buffer, if one is there.
    bool TakeMessage(uint32_t& type, std::string& payload);
    void OnMessage(uint32_t type, const std::string& payload);

    std::string socketPath_;
    std::string name_;
    int fd_ = -1;
    std::string buffer_;
    ActiveWindow current_;
    ActiveWindow reported_;
    bool haveTree_ = false;
    bool broken_ = false;
};
