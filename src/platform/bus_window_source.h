#pragma once

#include <string>

#include "platform/window_source.h"

struct sd_bus;
struct sd_bus_slot;

// The active window of a desktop that tells it on the session bus, from a
// piece of code of ours running inside its compositor, which calls this
// source's object with each window that becomes active (its class, which is
// the app id of a Wayland window, its instance, pid and title):
// - KWin (KDE Plasma 5.27 and 6 on Wayland): a small KWin script, which this
//   source loads through KWin's scripting D-Bus interface, and loads again
//   whenever a new KWin comes onto the bus (`kwin_wayland --replace`, a
//   crash), as soon as that KWin's scripting is up;
// - GNOME Shell 43 and 44: a Shell extension the package installs, which
//   the user enables (`agent --enable` does); the source checks that it is.
class BusWindowSource : public WindowSource {
public:
    enum class Desktop { KWin, GnomeShell };

    static constexpr char kService[] = "io.github.kestrine.config.ActiveWindow";
    static constexpr char kPath[] = "/io/github/kestrine/config/ActiveWindow";
    static constexpr char kPluginName[] = "kestrine-config-windows";
    static constexpr char kExtensionUuid[] = "kestrine-config-windows@kestrine.github.io";

    // `forPicking`: the rules dialog's, beside the agent's: a bus name (and a
    // KWin script) of its own, so that the two never take each other's place.
    explicit BusWindowSource(Desktop desktop, bool forPicking = false);
    ~BusWindowSource() override;
    BusWindowSource(const BusWindowSource&) = delete;
    BusWindowSource& operator=(const BusWindowSource&) = delete;

    bool Start(std::string& error) override;
    int Fd() const override;
    std::optional<ActiveWindow> ReadChanges() override;
    ActiveWindow Current() const override { return current_; }
    bool Broken() const override { return broken_; }
    std::string Name() const override {
        return desktop_ == Desktop::KWin ? "the KWin script" : "the GNOME Shell extension";
    }

    // Asks GNOME Shell to enable the extension (`agent --enable` on GNOME).
    // false with the reason in `error`.
    static bool EnableGnomeShellExtension(std::string& error);

    // What the script or extension said: the window that became active.
    void OnActivated(const ActiveWindow& window) { current_ = window; }
    // org.kde.KWin has a new owner: `owner` (a new KWin, without the
    // script), or none (KWin left, its script with it).
    void OnKWinOwnerChanged(const std::string& owner);
    // The new KWin did something on the bus: its scripting may be up now.
    void OnKWinActive() { scriptWanted_ = !loaded_ && !kwinOwner_.empty(); }

private:
    enum class Load { Done, NotYet, Failed };

    bool WatchKWin(std::string& error);
    // The unique name that owns `name` on the bus now; empty when none does.
    std::string NameOwner(const char* name);
    void WatchNewKWin();
    Load LoadScript(std::string& error);
    bool ProcessWaiting();
    void UnloadScript();
    bool ExtensionEnabled(std::string& error);

    Desktop desktop_;
    std::string service_;
    std::string pluginName_;
    sd_bus* bus_ = nullptr;
    sd_bus_slot* slot_ = nullptr;
    sd_bus_slot* kwinWatch_ = nullptr;
    // While a new KWin's script waits to be loaded: its signals, and the
    // names it takes, which follow its scripting's start.
    sd_bus_slot* newKWinSignals_ = nullptr;
    sd_bus_slot* newKWinNames_ = nullptr;
    std::string kwinOwner_;
    bool kwinChanged_ = false;
    bool scriptWanted_ = false;
    std::string scriptPath_;
    bool loaded_ = false;
    ActiveWindow current_;
    ActiveWindow reported_;
    bool broken_ = false;
};
