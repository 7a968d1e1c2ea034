#include "platform/x11_window_source.h"

std::optional<ActiveWindow> X11WindowSource::ReadChanges() {
    if (const std::optional<X11WindowIdentity> changed = watcher_.ReadChanges()) {
        return FromX11(*changed);
    }
    return std::nullopt;
}

ActiveWindow X11WindowSource::FromX11(const X11WindowIdentity& window) {
    return ActiveWindow{window.program, window.instance, window.windowClass, 0};
}
