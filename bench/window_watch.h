#pragma once

#include <chrono>
#include <optional>
#include <string>

// Watches the X server for top-level windows being mapped, without touching
// the programs that map them: the bench's own connection listens for the
// root window's MapNotify events, which the server sends the moment it maps.
class WindowWatch {
public:
    WindowWatch();  // on $DISPLAY
    ~WindowWatch();
    WindowWatch(const WindowWatch&) = delete;
    WindowWatch& operator=(const WindowWatch&) = delete;

    bool connected() const { return display_ != nullptr; }
    // Forgets the maps seen so far; call before starting the program.
    void Clear();
    // When a window titled `title` was mapped, waiting at most `limit`.
    std::optional<std::chrono::steady_clock::time_point> WaitForMap(
        const std::string& title, std::chrono::milliseconds limit);

private:
    std::string TitleOf(unsigned long window);

    struct _XDisplay* display_ = nullptr;
};
