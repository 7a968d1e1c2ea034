#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QObject;
class QString;

// One key press or release, by the key's position.
struct KeyEvent {
    uint16_t virtualKey = 0;
    bool released = false;
    // The keysym the current layout gives that key without modifiers, where
    // the source can tell (ssharp on the German layout's minus key); 0 =
    // unknown. Shown beside the key's name where the live keymap cannot be
    // asked, never stored.
    uint32_t layoutKeysym = 0;
};

// A source of key presses and releases, as Windows virtual-key codes named by
// the key's physical position (settings/key_table.h). It only listens: every
// key still reaches the window with the focus.
class KeySource {
public:
    // May be called on any thread; InstallKeyHook queues it onto the UI thread.
    using Sink = std::function<void(const KeyEvent&)>;

    virtual ~KeySource() = default;  // stops the source
    // false: this source cannot run here (no X server, no application, ...).
    virtual bool Start(Sink sink) = 0;
    // true: keys pressed in any application; false: only those typed into the tool.
    virtual bool CapturesEverywhere() const = 0;
};

using KeySourceList = std::vector<std::unique_ptr<KeySource>>;

// The sources to try on a Qt platform, best first: XInput 2 raw key events
// when running on X11 ("xcb"), then an application-wide event filter that sees
// the keys typed into the tool (Wayland and everything else).
KeySourceList PlatformKeySources(const QString& platformName);
KeySourceList PlatformKeySources();  // for the running application's platform

// Tests put their own sources here. {} = PlatformKeySources.
void SetKeySourceFactory(std::function<KeySourceList()> factory);

// Starts the first source that can run and hands each key event to `handler`
// on the UI thread for as long as `owner` lives and the hook stays installed.
// A hook still installed is removed first, so there is never more than one.
// false: no source could start, and no hook is installed.
bool InstallKeyHook(QObject* owner, std::function<void(const KeyEvent&)> handler);
// Removes the hook if `owner` installed it; a later owner's hook stays.
void RemoveKeyHook(const QObject* owner);
bool KeyHookInstalled();
bool KeyHookOwnedBy(const QObject* owner);
// Whether the installed hook sees keys pressed in other applications too.
bool KeyHookCapturesEverywhere();

// The character an X keysym types, or 0 for none (function keys, dead keys
// without a spacing form). Qt reports keysyms as native virtual keys on X11
// and Wayland, so both sources use it.
char32_t KeysymCharacter(uint32_t keysym);
