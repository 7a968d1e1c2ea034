#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/button_actions.h"

// A button action as a profile names it: the Button Mapping page's own words
// ("LEFT CLICK", "SCROLL UP", "CPI LOOP", "DISABLE"), the media entries with
// "media:" ("media:PLAY/PAUSE"), keyboard keys with "key:" and every modifier
// ("key:Shift+Ctrl+F13") and fixed CPI as "fixed-cpi:800x1600".

// The name of the action in a slot; nothing for an action no page offers.
std::optional<std::string> ActionName(const ButtonAction& action);

// The values a name stands for, or nothing with the reason in `error`. Case
// is ignored and the media names are taken without "media:" as well.
// `allowFixedCpi` is false for the wheel, whose menu has no FIXED CPI.
std::optional<ActionValues> ParseActionName(std::string_view name, bool allowFixedCpi,
                                            std::string& error);

// "ctrl+shift+f13": the key part of a "key:" name; nothing with a reason.
std::optional<ActionValues> ParseKeyActionName(std::string_view text, std::string& error);

// Every key a "key:" name can bind, as names give it, in the key list's order.
std::vector<std::string> BindableKeyNames();
