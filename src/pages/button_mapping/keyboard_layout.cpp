#include "pages/button_mapping/keyboard_layout.h"

#include <linux/input-event-codes.h>
#include <xkbcommon/xkbcommon.h>

#include "pages/button_mapping/key_source.h"
#include "settings/button_actions.h"
#include "settings/key_table.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSocketNotifier>
#include <vector>

#if KESTRINE_HAVE_XI
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#endif

namespace {

std::function<uint32_t(uint16_t)>& Lookup() {
    static std::function<uint32_t(uint16_t)> lookup;
    return lookup;
}

// Keys that type no character, named as their keycaps are.
struct Legend {
    uint32_t keysym;
    const char* text;
};
constexpr Legend kLegends[] = {
    {XKB_KEY_Zenkaku_Hankaku, "Zenkaku/Hankaku"},
    {XKB_KEY_Henkan_Mode, "Henkan"},
    {XKB_KEY_Muhenkan, "Muhenkan"},
    {XKB_KEY_Hiragana_Katakana, "Katakana/Hiragana"},
    {XKB_KEY_Eisu_toggle, "Eisu"},
    {XKB_KEY_Hangul, "Hangul"},
    {XKB_KEY_Hangul_Hanja, "Hanja"},
};

struct LayoutListener {
    QPointer<QObject> context;
    std::function<void()> callback;
};

std::vector<LayoutListener>& Listeners() {
    static std::vector<LayoutListener> listeners;
    return listeners;
}

[[maybe_unused]] void TellListeners() {
    auto& listeners = Listeners();
    std::erase_if(listeners, [](const LayoutListener& l) { return l.context.isNull(); });
    for (const LayoutListener& listener : std::vector<LayoutListener>(listeners)) {
        if (listener.context) {
            listener.callback();
        }
    }
}

// A key whose keycap says other than its keysym: the Japanese layout types a
// backslash on the Yen key, whose keycap (and a Japanese font) shows ¥.
struct KeycapLegend {
    uint16_t evdevCode;
    uint32_t keysym;
    const char* text;
};
constexpr KeycapLegend kKeycapLegends[] = {
    {KEY_YEN, XKB_KEY_backslash, "\u00A5"},
};

#if KESTRINE_HAVE_XI
// The server's notices of a new keymap or another group, read on the UI
// thread from the same connection; a modifier's press is no change.
void WatchLayout(Display* display) {
    int opcode = 0;
    int event = 0;
    int error = 0;
    int major = XkbMajorVersion;
    int minor = XkbMinorVersion;
    if (!XkbQueryExtension(display, &opcode, &event, &error, &major, &minor)) {
        return;
    }
    XkbSelectEvents(display, XkbUseCoreKbd, XkbNewKeyboardNotifyMask | XkbMapNotifyMask,
                    XkbNewKeyboardNotifyMask | XkbMapNotifyMask);
    XkbSelectEventDetails(display, XkbUseCoreKbd, XkbStateNotify, XkbGroupStateMask,
                          XkbGroupStateMask);
    XFlush(display);
    auto* notifier = new QSocketNotifier(ConnectionNumber(display), QSocketNotifier::Read,
                                         QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [display] {
        // The listeners ask the server again, and a notice read meanwhile
        // waits in the queue, where the socket no longer shows it.
        while (XPending(display) > 0) {
            while (XPending(display) > 0) {
                XEvent notice;
                XNextEvent(display, &notice);
            }
            TellListeners();
        }
    });
}

// One connection for the process; each question fetches the keymap and the
// active group afresh, so a layout switched since is seen.
Display* LayoutDisplay() {
    static Display* display = [] {
        Display* opened = XOpenDisplay(nullptr);
        if (opened && QCoreApplication::instance()) {
            WatchLayout(opened);
        }
        return opened;
    }();
    return display;
}

uint32_t LiveKeysymAt(uint16_t evdevCode) {
    Display* display = LayoutDisplay();
    const unsigned keycode = evdevCode + kXKeycodeOffset;
    if (!display || keycode > 255) {
        return 0;
    }
    XkbStateRec state;
    if (XkbGetState(display, XkbUseCoreKbd, &state) != Success) {
        return 0;
    }
    XkbDescPtr keymap = XkbGetMap(display, XkbKeyTypesMask | XkbKeySymsMask, XkbUseCoreKbd);
    if (!keymap) {
        return 0;
    }
    uint32_t keysym = 0;
    if (keycode >= keymap->min_key_code && keycode <= keymap->max_key_code) {
        const int groups = XkbKeyNumGroups(keymap, keycode);
        if (groups > 0) {
            const int group = state.group < groups ? state.group : 0;
            keysym = static_cast<uint32_t>(XkbKeySymEntry(keymap, keycode, 0, group));
        }
    }
    XkbFreeKeyboard(keymap, 0, True);
    return keysym;
}
#else
uint32_t LiveKeysymAt(uint16_t) {
    return 0;
}
#endif

void StartWatching() {
#if KESTRINE_HAVE_XI
    LayoutDisplay();
#endif
}

// "Num +" is read against the legend as "+".
QString WithoutKeypadPrefix(const QString& name) {
    return name.startsWith("Num ") ? name.mid(4) : name;
}

}  // namespace

uint32_t LayoutKeysymAt(uint16_t evdevCode) {
    return Lookup() ? Lookup()(evdevCode) : LiveKeysymAt(evdevCode);
}

void CallOnLayoutChange(QObject* context, std::function<void()> callback) {
    StartWatching();
    Listeners().push_back({context, std::move(callback)});
}

void SetLayoutKeysymLookup(std::function<uint32_t(uint16_t evdevCode)> lookup) {
    Lookup() = std::move(lookup);
}

QString KeysymLegend(uint32_t keysym) {
    for (const Legend& legend : kLegends) {
        if (legend.keysym == keysym) {
            return legend.text;
        }
    }
    const char32_t character = KeysymCharacter(keysym);
    if (character == 0) {
        return {};
    }
    const QString text = QString::fromUcs4(&character, 1);
    return text.at(0).isPrint() && !text.at(0).isSpace() ? text : QString();
}

QString KeyLabel(uint16_t virtualKey, uint32_t fallbackKeysym) {
    const QString name = QString::fromStdString(KeyName(virtualKey));
    const KeyRow* key = FindKeyByVirtualKey(virtualKey);
    if (!key) {
        return name;
    }
    uint32_t keysym = LayoutKeysymAt(key->evdevCode);
    if (keysym == 0) {
        keysym = fallbackKeysym;
    }
    QString legend = KeysymLegend(keysym);
    for (const KeycapLegend& keycap : kKeycapLegends) {
        if (keycap.evdevCode == key->evdevCode && keycap.keysym == keysym) {
            legend = QString::fromUtf8(keycap.text);
        }
    }
    if (legend.isEmpty() || legend.compare(name, Qt::CaseInsensitive) == 0 ||
        legend.compare(WithoutKeypadPrefix(name), Qt::CaseInsensitive) == 0) {
        return name;
    }
    return QString("%1 (%2)").arg(name, legend);
}

std::optional<QString> ActionButtonLabel(const ButtonAction& action) {
    const auto text = FormatActionText(action);
    if (!text) {
        return std::nullopt;
    }
    if (action.kind == static_cast<uint8_t>(ActionKind::KeyboardKey)) {
        return QString::fromStdString(ModifierPrefix(action.code)) +
               KeyLabel(UsageToVirtualKey(action.x));
    }
    return QString::fromStdString(*text);
}

QString EscapeMnemonic(QString text) {
    return text.replace('&', "&&");
}
