#pragma once

#include <string>
#include <vector>

#include "device/device_link.h"

// What the tool tells the user about the last FindDevice, in the window's
// status line and on the command line alike: one sentence, and for a mouse
// this user may not open, the commands that install the udev rule.
std::string FindResultText(FindResult result);
// The shell lines that install the udev rule by hand and re-trigger the mouse.
std::string UdevRuleInstallCommands();
// The sentence that leads to those lines: where the package puts the rule,
// and the replug that makes it apply.
std::string UdevRuleInstallHint();
// The project's rule where udev reads it, or "" when it is in none of udev's folders.
std::string InstalledUdevRule();
// udev's four rule folders, where InstalledUdevRule looks unless tests say otherwise.
std::vector<std::string> DefaultUdevRuleFolders();
void SetUdevRuleFolders(std::vector<std::string> folders);
