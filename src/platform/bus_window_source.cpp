#include "platform/bus_window_source.h"

#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <utility>

#include "platform/kwin_script.h"
#include "platform/process_name.h"

namespace {

constexpr char kKWin[] = "org.kde.KWin";
constexpr char kScripting[] = "/Scripting";
constexpr char kScriptingInterface[] = "org.kde.kwin.Scripting";
constexpr char kShell[] = "org.gnome.Shell";
constexpr char kShellPath[] = "/org/gnome/Shell";
constexpr char kExtensionsInterface[] = "org.gnome.Shell.Extensions";
// GNOME Shell's ExtensionState: ENABLED, ERROR (it would not load) and
// OUT_OF_DATE (made for another GNOME Shell version).
constexpr double kExtensionEnabled = 1;
constexpr double kExtensionError = 3;
constexpr double kExtensionOutOfDate = 4;
// The compositor answers at once; a stuck one must not hold the agent's start.
constexpr uint64_t kCallTimeoutUs = 3'000'000;

std::string BusError(const sd_bus_error& error, int code) {
    if (error.message != nullptr) {
        return error.message;
    }
    return std::strerror(code < 0 ? -code : code);
}

// Where the script is written for KWin to read: the user's runtime folder.
std::string ScriptPath(const std::string& pluginName) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string folder = runtime != nullptr && runtime[0] == '/' ? runtime : "/tmp";
    return folder + "/" + pluginName + "-" + std::to_string(::getuid()) + ".js";
}

// The script, calling `service` instead of the agent's name.
std::string ScriptCalling(const std::string& service) {
    std::string script = kKWinScript;
    const std::string line = std::string("const service = \"") + BusWindowSource::kService + "\"";
    if (const size_t at = script.find(line); at != std::string::npos) {
        script.replace(at, line.size(), "const service = \"" + service + "\"");
    }
    return script;
}

struct ExtensionInfo {
    double state = -1;
    std::string error;
};

// GetExtensionInfo's a{sv}: empty when the extension is not installed; its
// "state" is a double, 1 while it is enabled and running; "error" says why it
// is not. false when empty.
bool ReadExtensionInfo(sd_bus_message* reply, ExtensionInfo& info) {
    bool found = false;
    if (sd_bus_message_enter_container(reply, 'a', "{sv}") <= 0) {
        return false;
    }
    while (sd_bus_message_enter_container(reply, 'e', "sv") > 0) {
        const char* key = "";
        sd_bus_message_read(reply, "s", &key);
        found = true;
        const char* text = nullptr;
        if (std::strcmp(key, "state") == 0 && sd_bus_message_enter_container(reply, 'v', "d") > 0) {
            sd_bus_message_read(reply, "d", &info.state);
            sd_bus_message_exit_container(reply);
        } else if (std::strcmp(key, "error") == 0 &&
                   sd_bus_message_enter_container(reply, 'v', "s") > 0) {
            sd_bus_message_read(reply, "s", &text);
            info.error = text != nullptr ? text : "";
            sd_bus_message_exit_container(reply);
        } else {
            sd_bus_message_skip(reply, "v");
        }
        sd_bus_message_exit_container(reply);
    }
    return found;
}

// Activated(resource class, resource name, pid, caption), all strings.
int HandleActivated(sd_bus_message* message, void* source, sd_bus_error*) {
    const char* resourceClass = nullptr;
    const char* resourceName = nullptr;
    const char* pid = nullptr;
    const char* caption = nullptr;
    const int result =
        sd_bus_message_read(message, "ssss", &resourceClass, &resourceName, &pid, &caption);
    if (result < 0) {
        return result;
    }
    ActiveWindow window;
    window.windowClass = resourceClass;
    // A Wayland window's instance repeats its app id: no instance of its own.
    window.instance = std::strcmp(resourceName, resourceClass) == 0 ? "" : resourceName;
    char* end = nullptr;
    const long number = std::strtol(pid, &end, 10);
    if (end != pid && *end == '\0' && number > 0 && number <= INT32_MAX) {
        window.pid = number;
        window.program = ProgramOfPid(static_cast<uint32_t>(number));
    }
    static_cast<BusWindowSource*>(source)->OnActivated(window);
    return sd_bus_reply_method_return(message, "");
}

// NameOwnerChanged(name, old owner, new owner) of org.kde.KWin.
int HandleKWinOwnerChanged(sd_bus_message* message, void* source, sd_bus_error*) {
    const char* name = nullptr;
    const char* oldOwner = nullptr;
    const char* newOwner = nullptr;
    if (sd_bus_message_read(message, "sss", &name, &oldOwner, &newOwner) >= 0) {
        static_cast<BusWindowSource*>(source)->OnKWinOwnerChanged(newOwner);
    }
    return 0;
}

int HandleKWinActive(sd_bus_message*, void* source, sd_bus_error*) {
    static_cast<BusWindowSource*>(source)->OnKWinActive();
    return 0;
}

// The scripting object is not there (yet): KWin answers for it only once it is up.
bool NotUpYet(const sd_bus_error& error) {
    return sd_bus_error_has_name(&error, SD_BUS_ERROR_UNKNOWN_OBJECT) ||
           sd_bus_error_has_name(&error, SD_BUS_ERROR_UNKNOWN_METHOD) ||
           sd_bus_error_has_name(&error, SD_BUS_ERROR_UNKNOWN_INTERFACE);
}

const sd_bus_vtable kVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Activated", "ssss", "", HandleActivated, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_VTABLE_END,
};

}  // namespace

BusWindowSource::BusWindowSource(Desktop desktop, bool forPicking)
    : desktop_(desktop),
      service_(std::string(kService) + (forPicking ? ".Pick" : "")),
      pluginName_(std::string(kPluginName) + (forPicking ? "-pick" : "")) {}

BusWindowSource::~BusWindowSource() {
    UnloadScript();
    if (!scriptPath_.empty()) {
        ::unlink(scriptPath_.c_str());
    }
    sd_bus_slot_unref(newKWinSignals_);
    sd_bus_slot_unref(newKWinNames_);
    sd_bus_slot_unref(kwinWatch_);
    sd_bus_slot_unref(slot_);
    sd_bus_flush_close_unref(bus_);
}

int BusWindowSource::Fd() const {
    return bus_ != nullptr ? sd_bus_get_fd(bus_) : -1;
}

bool BusWindowSource::Start(std::string& error) {
    int result = sd_bus_open_user(&bus_);
    if (result < 0) {
        error = std::string("no session bus: ") + std::strerror(-result);
        return false;
    }
    sd_bus_set_method_call_timeout(bus_, kCallTimeoutUs);
    result = sd_bus_add_object_vtable(bus_, &slot_, kPath, kService, kVtable, this);
    if (result < 0) {
        error = std::string("cannot offer the window object on the session bus: ") +
                std::strerror(-result);
        return false;
    }
    result = sd_bus_request_name(bus_, service_.c_str(), 0);
    if (result < 0) {
        error = result == -EEXIST ? "another program follows the windows already (" + service_ + ")"
                                  : "cannot take the name " + service_ +
                                        " on the session bus: " + std::strerror(-result);
        return false;
    }
    if (desktop_ == Desktop::GnomeShell) {
        return ExtensionEnabled(error);
    }
    // Watched first: a KWin that restarts while the script loads is seen.
    if (!WatchKWin(error)) {
        return false;
    }
    switch (LoadScript(error)) {
        case Load::Done:
            return true;
        case Load::Failed:
            return false;
        case Load::NotYet:
            // Started with the session, before KWin's scripting was up: loaded
            // once it is, as into a KWin that restarted.
            kwinOwner_ = NameOwner(kKWin);
            WatchNewKWin();
            error.clear();
            return true;
    }
    return false;
}

std::string BusWindowSource::NameOwner(const char* name) {
    sd_bus_creds* creds = nullptr;
    const char* owner = nullptr;
    std::string unique;
    if (sd_bus_get_name_creds(bus_, name, SD_BUS_CREDS_UNIQUE_NAME, &creds) >= 0 &&
        sd_bus_creds_get_unique_name(creds, &owner) >= 0 && owner != nullptr) {
        unique = owner;
    }
    sd_bus_creds_unref(creds);
    return unique;
}

bool BusWindowSource::WatchKWin(std::string& error) {
    const std::string match = std::string(
                                  "type='signal',sender='org.freedesktop.DBus',"
                                  "path='/org/freedesktop/DBus',interface='org.freedesktop.DBus',"
                                  "member='NameOwnerChanged',arg0='") +
                              kKWin + "'";
    const int result =
        sd_bus_add_match(bus_, &kwinWatch_, match.c_str(), HandleKWinOwnerChanged, this);
    if (result < 0) {
        error = std::string("cannot watch KWin on the session bus: ") + std::strerror(-result);
        return false;
    }
    return true;
}

void BusWindowSource::OnKWinOwnerChanged(const std::string& owner) {
    // The script lived in the KWin that left; the window in front stays
    // whatever it was until the new KWin's script says otherwise.
    loaded_ = false;
    kwinOwner_ = owner;
    kwinChanged_ = true;
    scriptWanted_ = !owner.empty();
}

// KWin takes its name before its scripting is up, and says nothing when it
// is: the script is loaded at once, and tried again at each signal the new
// KWin sends and each name it takes (its effects and plugins start after its
// scripting) until it loads.
void BusWindowSource::WatchNewKWin() {
    newKWinSignals_ = sd_bus_slot_unref(newKWinSignals_);
    newKWinNames_ = sd_bus_slot_unref(newKWinNames_);
    if (kwinOwner_.empty()) {
        return;
    }
    const std::string signals = "type='signal',sender='" + kwinOwner_ + "'";
    const std::string names =
        "type='signal',sender='org.freedesktop.DBus',interface='org.freedesktop.DBus',"
        "member='NameOwnerChanged',arg2='" +
        kwinOwner_ + "'";
    sd_bus_add_match(bus_, &newKWinSignals_, signals.c_str(), HandleKWinActive, this);
    sd_bus_add_match(bus_, &newKWinNames_, names.c_str(), HandleKWinActive, this);
}

bool BusWindowSource::EnableGnomeShellExtension(std::string& error) {
    sd_bus* bus = nullptr;
    int result = sd_bus_open_user(&bus);
    if (result < 0) {
        error = std::string("no session bus: ") + std::strerror(-result);
        return false;
    }
    sd_bus_set_method_call_timeout(bus, kCallTimeoutUs);
    sd_bus_error busError = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    result = sd_bus_call_method(bus, kShell, kShellPath, kExtensionsInterface, "EnableExtension",
                                &busError, &reply, "s", kExtensionUuid);
    int enabled = 0;
    if (result >= 0) {
        sd_bus_message_read(reply, "b", &enabled);
    }
    if (result < 0) {
        error = "GNOME Shell did not answer: " + BusError(busError, result);
    } else if (enabled == 0) {
        error = std::string("GNOME Shell did not enable ") + kExtensionUuid +
                " (not installed, or not yet loaded: on Wayland, GNOME loads a newly installed "
                "extension only after logging out and in again)";
    }
    sd_bus_error_free(&busError);
    sd_bus_message_unref(reply);
    sd_bus_flush_close_unref(bus);
    return result >= 0 && enabled != 0;
}

// GNOME Shell's own word on the extension: installed, and enabled.
bool BusWindowSource::ExtensionEnabled(std::string& error) {
    sd_bus_error busError = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    const int result =
        sd_bus_call_method(bus_, kShell, kShellPath, kExtensionsInterface, "GetExtensionInfo",
                           &busError, &reply, "s", kExtensionUuid);
    if (result < 0) {
        error = "GNOME Shell does not answer on the session bus: " + BusError(busError, result);
        sd_bus_error_free(&busError);
        return false;
    }
    ExtensionInfo info;
    const bool found = ReadExtensionInfo(reply, info);
    sd_bus_message_unref(reply);
    const std::string extension = std::string("the GNOME Shell extension ") + kExtensionUuid;
    if (!found) {
        error = extension + " is not installed (the package installs it)";
        return false;
    }
    // The package holds the form for one GNOME generation (43-44, or 45 and
    // newer): the Shell of the other refuses it, or fails to load it.
    if (info.state == kExtensionOutOfDate) {
        error = extension +
                " is made for another GNOME Shell version than this one (the package was built "
                "for another GNOME)";
        return false;
    }
    if (info.state == kExtensionError) {
        error = extension + " does not run: GNOME Shell says: " +
                (info.error.empty() ? std::string("it failed") : info.error);
        return false;
    }
    if (info.state != kExtensionEnabled) {
        error = extension +
                " is installed but not enabled: kestrine-config agent --enable enables it (on "
                "Wayland, GNOME loads a newly installed extension only after logging out and "
                "in again)";
        return false;
    }
    return true;
}

BusWindowSource::Load BusWindowSource::LoadScript(std::string& error) {
    scriptPath_ = ScriptPath(pluginName_);
    {
        std::ofstream file(scriptPath_, std::ios::trunc);
        file << ScriptCalling(service_);
        if (!file.flush()) {
            error = "cannot write the KWin script to " + scriptPath_;
            return Load::Failed;
        }
    }
    sd_bus_error busError = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    // One left by an agent that ended without unloading it is replaced.
    int result = sd_bus_call_method(bus_, kKWin, kScripting, kScriptingInterface, "isScriptLoaded",
                                    &busError, &reply, "s", pluginName_.c_str());
    int loaded = 0;
    if (result >= 0) {
        sd_bus_message_read(reply, "b", &loaded);
    }
    reply = sd_bus_message_unref(reply);
    if (result < 0) {
        error = "KWin does not answer on the session bus: " + BusError(busError, result);
        const Load load = NotUpYet(busError) ? Load::NotYet : Load::Failed;
        sd_bus_error_free(&busError);
        return load;
    }
    if (loaded != 0) {
        sd_bus_call_method(bus_, kKWin, kScripting, kScriptingInterface, "unloadScript", nullptr,
                           nullptr, "s", pluginName_.c_str());
    }
    int32_t id = -1;
    result = sd_bus_call_method(bus_, kKWin, kScripting, kScriptingInterface, "loadScript",
                                &busError, &reply, "ss", scriptPath_.c_str(), pluginName_.c_str());
    if (result >= 0) {
        sd_bus_message_read(reply, "i", &id);
    }
    reply = sd_bus_message_unref(reply);
    if (result < 0 || id < 0) {
        error = "KWin did not load the script: " +
                (result < 0 ? BusError(busError, result) : std::string("it refused it"));
        sd_bus_error_free(&busError);
        return Load::Failed;
    }
    loaded_ = true;
    result = sd_bus_call_method(bus_, kKWin, kScripting, kScriptingInterface, "start", &busError,
                                nullptr, "");
    if (result < 0) {
        error = "KWin did not start the script: " + BusError(busError, result);
        sd_bus_error_free(&busError);
        return Load::Failed;
    }
    newKWinSignals_ = sd_bus_slot_unref(newKWinSignals_);
    newKWinNames_ = sd_bus_slot_unref(newKWinNames_);
    return Load::Done;
}

void BusWindowSource::UnloadScript() {
    if (loaded_ && bus_ != nullptr && !broken_) {
        sd_bus_call_method(bus_, kKWin, kScripting, kScriptingInterface, "unloadScript", nullptr,
                           nullptr, "s", pluginName_.c_str());
    }
    loaded_ = false;
}

// Handles every message that waits, read from the socket or not. false when
// the connection is lost.
bool BusWindowSource::ProcessWaiting() {
    int result;
    while ((result = sd_bus_process(bus_, nullptr)) > 0) {
    }
    broken_ = broken_ || result < 0;
    return !broken_;
}

std::optional<ActiveWindow> BusWindowSource::ReadChanges() {
    if (bus_ == nullptr || broken_) {
        return std::nullopt;
    }
    if (!ProcessWaiting()) {
        return std::nullopt;
    }
    // A new KWin: each call to it may bring more of what it says.
    while (kwinChanged_ || scriptWanted_) {
        if (kwinChanged_) {
            kwinChanged_ = false;
            WatchNewKWin();
        }
        std::string error;
        // Without the script no window would ever come again: as broken as
        // a closed connection.
        if (std::exchange(scriptWanted_, false) && LoadScript(error) == Load::Failed) {
            broken_ = true;
        }
        if (!ProcessWaiting()) {
            return std::nullopt;
        }
    }
    if (current_ != reported_) {
        reported_ = current_;
        return current_;
    }
    return std::nullopt;
}
