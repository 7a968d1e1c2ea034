#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

#include "settings/settings_image.h"

class QObject;

// What the current keyboard layout types on a key, asked when a label is
// made: a binding stores the key's position, and the user reads it with the
// layout in use now ("Q (a)" on a French keyboard), also after a restart or a
// layout switch.

// The keysym the layout's active group gives the key at an evdev position
// without modifiers; 0 = unknown. From the live keymap: a native Wayland
// window's compositor, else the X server (XWayland follows the compositor's
// keymap); connected on the first question.
uint32_t LayoutKeysymAt(uint16_t evdevCode);
// Tests give their own layout; {} = the live one.
void SetLayoutKeysymLookup(std::function<uint32_t(uint16_t evdevCode)> lookup);

// Calls `callback` whenever the keyboard layout changes (another layout or
// group chosen, a new keymap loaded), for as long as `context` lives, from the
// server's own notices once the live keymap has been asked.
void CallOnLayoutChange(QObject* context, std::function<void()> callback);

// What a user reads on the key for that keysym: its character, or the local
// legend of a key that types none (Zenkaku/Hankaku, Henkan, ...); "" = none.
QString KeysymLegend(uint32_t keysym);

// The key's name with the layout's legend where it differs ("Q (a)",
// "- (ß)", "` (Zenkaku/Hankaku)"). `pressedKeysym`, what a key event itself
// said (0 = none), wins over the live keymap: it was typed with the layout
// active then, which a Wayland compositor tells only the window typed into.
QString KeyLabel(uint16_t virtualKey, uint32_t pressedKeysym = 0);

// The text of an action button (FormatActionText), a key with its legend;
// nullopt = the button keeps its text.
std::optional<QString> ActionButtonLabel(const ButtonAction& action);

// A button or menu text shows "&" as itself, never as a shortcut marker.
QString EscapeMnemonic(QString text);
