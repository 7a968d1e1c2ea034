#include "device/find_result_text.h"

#include <sys/stat.h>

std::string FindResultText(FindResult result) {
    switch (result) {
        case FindResult::Found:
            return "Mouse connected.";
        case FindResult::NoMouse:
            return "No mouse found: plug in the Kestrine XQ3 8k v2.";
        case FindResult::AccessDenied:
            return "The mouse is plugged in, but this user may not open it: the udev rule "
                   "70-kestrine-xq3.rules is not installed.";
        case FindResult::Gone:
            return "The mouse was unplugged while it was being opened.";
        case FindResult::OpenFailed:
            break;
    }
    return "The mouse is plugged in, but it could not be opened.";
}

namespace {

bool Exists(const char* path) {
    struct stat info {};
    return ::stat(path, &info) == 0;
}

}  // namespace

// The package puts the rule where udev reads it: then only a reload is
// missing. From a source tree the rule is installed from there, by its full
// path, so the commands work from any folder.
std::string UdevRuleInstallCommands() {
    const std::string reload = "sudo udevadm control --reload && sudo udevadm trigger";
    if (Exists(KESTRINE_INSTALLED_RULE) || !Exists(KESTRINE_SOURCE_RULE)) {
        return reload;
    }
    return "sudo install -m 644 " KESTRINE_SOURCE_RULE " /etc/udev/rules.d/\n" + reload;
}

std::string UdevRuleInstallHint() {
    if (Exists(KESTRINE_INSTALLED_RULE)) {
        return "The package installed the rule as " KESTRINE_INSTALLED_RULE
               "; to make udev apply it, run these commands, then unplug and replug the mouse:";
    }
    if (Exists(KESTRINE_SOURCE_RULE)) {
        return "To install the rule from the source tree, run these commands, then unplug and "
               "replug the mouse:";
    }
    return "The package installs the rule as " KESTRINE_INSTALLED_RULE
           "; reinstall the package, or run these commands, then unplug and replug the mouse:";
}
