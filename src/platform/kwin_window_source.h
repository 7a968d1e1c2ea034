#pragma once

#include <string>

#include "platform/window_source.h"

struct sd_bus;
struct sd_bus_slot;

// KWin's active window (KDE Plasma 5.27 and 6 on Wayland): a small KWin
// script, loaded through KWin's scripting D-Bus interface, calls this
// source's object on the session bus with each window that becomes active
// (its resource class, which is the app id of a Wayland window, its resource
// name, pid and caption).
class KWinWindowSource : public WindowSource {
public:
    static constexpr char kService[] = "io.github.kestrine.config.ActiveWindow";
    static constexpr char kPath[] = "/io/github/kestrine/config/ActiveWindow";
    static constexpr char kPluginName[] = "kestrine-config-windows";

    // `forPicking`: the rules dialog's, beside the agent's: a bus name and a
    // script of its own, so that the two never take each other's place.
    explicit KWinWindowSource(bool forPicking = false);
    ~KWinWindowSource() override;
    KWinWindowSource(const KWinWindowSource&) = delete;
    KWinWindowSource& operator=(const KWinWindowSource&) = delete;

    bool Start(std::string& error) override;
    int Fd() const override;
    std::optional<ActiveWindow> ReadChanges() override;
    ActiveWindow Current() const override { return current_; }
    bool Broken() const override { return broken_; }
    std::string Name() const override { return "the KWin script"; }

    // What the script said: the window that became active.
    void OnActivated(const ActiveWindow& window) { current_ = window; }

private:
    bool LoadScript(std::string& error);
    void UnloadScript();

    std::string service_;
    std::string pluginName_;
    sd_bus* bus_ = nullptr;
    sd_bus_slot* slot_ = nullptr;
    std::string scriptPath_;
    bool loaded_ = false;
    ActiveWindow current_;
    ActiveWindow reported_;
    bool broken_ = false;
};
