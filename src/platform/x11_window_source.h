#pragma once

#include "platform/window_source.h"
#include "platform/x11_windows.h"

// The X11 display's active window (_NET_ACTIVE_WINDOW) as a window source.
class X11WindowSource : public WindowSource {
public:
    bool Start(std::string& error) override { return watcher_.Start(error); }
    int Fd() const override { return watcher_.Fd(); }
    std::optional<ActiveWindow> ReadChanges() override;
    ActiveWindow Current() const override { return FromX11(watcher_.Current()); }
    bool Broken() const override { return watcher_.Broken(); }
    std::string Name() const override { return "X11"; }

private:
    static ActiveWindow FromX11(const X11WindowIdentity& window);

    ActiveWindowWatcher watcher_;
};
