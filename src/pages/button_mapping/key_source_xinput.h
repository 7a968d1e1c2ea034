#pragma once

#include "pages/button_mapping/key_source.h"

#if KESTRINE_HAVE_XI

#include <atomic>
#include <thread>

struct _XDisplay;

// Global key events on X11: XInput 2 raw key presses and releases, read on a
// private X connection by a thread of its own. Raw events are copies: nothing
// is grabbed, and every key still reaches the window that has the focus.
class XInputKeySource : public KeySource {
public:
    XInputKeySource() = default;
    ~XInputKeySource() override;
    XInputKeySource(const XInputKeySource&) = delete;
    XInputKeySource& operator=(const XInputKeySource&) = delete;

    // false without an X server or without XInput 2.1 (raw events for all clients).
    bool Start(Sink sink) override;
    bool CapturesEverywhere() const override { return true; }

private:
    void Run();
    void HandlePendingEvents();

    Sink sink_;
    _XDisplay* display_ = nullptr;
    int opcode_ = 0;
    int wakePipe_[2] = {-1, -1};
    std::thread reader_;
};

#endif
