#include "device/find_result_text.h"

#include <sys/stat.h>

#include <utility>

namespace {

bool Exists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

std::vector<std::string>& RuleFolders() {
    static std::vector<std::string> folders = DefaultUdevRuleFolders();
    return folders;
}

}  // namespace

std::vector<std::string> DefaultUdevRuleFolders() {
    // Where udev reads rules: the administrator's folder, then the packages'.
    return {"/etc/udev/rules.d", "/lib/udev/rules.d", "/usr/lib/udev/rules.d",
            "/usr/local/lib/udev/rules.d"};
}

std::string InstalledUdevRule() {
    for (const std::string& folder : RuleFolders()) {
        const std::string path = folder + "/70-kestrine-xq3.rules";
        if (Exists(path)) {
            return path;
        }
    }
    return {};
}

void SetUdevRuleFolders(std::vector<std::string> folders) {
    RuleFolders() = std::move(folders);
}

std::string FindResultText(FindResult result) {
    switch (result) {
        case FindResult::Found:
            return "Mouse connected.";
        case FindResult::NoMouse:
            return "No mouse found: plug in the Kestrine XQ3 8k v2.";
        case FindResult::AccessDenied:
            if (const std::string rule = InstalledUdevRule(); !rule.empty()) {
                return "The mouse is plugged in, but this user may not open it, although the "
                       "udev rule is installed (" +
                       rule +
                       "): unplug the mouse and plug it in again, or log out and log in again.";
            }
            return "The mouse is plugged in, but this user may not open it: the udev rule "
                   "70-kestrine-xq3.rules is not installed.";
        case FindResult::Gone:
            return "The mouse was unplugged while it was being opened: plug it in again.";
        case FindResult::OpenFailed:
            break;
    }
    return "The mouse is plugged in, but it could not be opened.";
}

// The package puts the rule where udev reads it: then only a reload is
// missing. From a source tree the rule is installed from there, by its full
// path, so the commands work from any folder.
std::string UdevRuleInstallCommands() {
    const std::string reload = "sudo udevadm control --reload && sudo udevadm trigger";
    if (!InstalledUdevRule().empty() || !Exists(KESTRINE_SOURCE_RULE)) {
        return reload;
    }
    return "sudo install -m 644 " KESTRINE_SOURCE_RULE " /etc/udev/rules.d/\n" + reload;
}

std::string UdevRuleInstallHint() {
    if (const std::string rule = InstalledUdevRule(); !rule.empty()) {
        return "The rule is installed as " + rule +
               "; if replugging does not help, make udev apply it with these commands, then "
               "unplug and replug the mouse:";
    }
    if (Exists(KESTRINE_SOURCE_RULE)) {
        return "To install the rule from the source tree, run these commands, then unplug and "
               "replug the mouse:";
    }
    return "The package installs the rule as " KESTRINE_INSTALLED_RULE
           "; reinstall the package, or run these commands, then unplug and replug the mouse:";
}
