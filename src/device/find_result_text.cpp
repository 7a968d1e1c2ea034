#include "device/find_result_text.h"

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

std::string UdevRuleInstallCommands() {
    // The packaged rule needs only the reload; a source tree installs it first.
    return "sudo install -m 644 packaging/70-kestrine-xq3.rules /etc/udev/rules.d/\n"
           "sudo udevadm control --reload && sudo udevadm trigger";
}

std::string UdevRuleInstallHint() {
    return "The package installs it as /usr/lib/udev/rules.d/70-kestrine-xq3.rules; to install it "
           "by hand, run these commands, then unplug and replug the mouse:";
}
