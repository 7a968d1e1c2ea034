#include "pages/button_mapping/keyboard_layout.h"

#include <linux/input-event-codes.h>
#include <xkbcommon/xkbcommon.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QSocketNotifier>
#include <memory>
#include <vector>

#include "pages/button_mapping/key_source.h"
#include "platform/wayland_keymap.h"
#include "settings/button_actions.h"
#include "settings/key_table.h"
#if KESTRINE_HAVE_XI
#include "platform/x11_keymap.h"
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

void TellListeners() {
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

std::unique_ptr<KeymapSource> OpenLiveKeymap() {
    // A native Wayland window asks the compositor; under X11 and XWayland the
    // X server, which follows the compositor's keymap.
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        return WaylandKeymap::Connect();
    }
#if KESTRINE_HAVE_XI
    return X11Keymap::Open();
#else
    return nullptr;
#endif
}

// The server's notices, read on the UI thread from the keymap's connection.
void WatchLayout(KeymapSource& source) {
    if (!QCoreApplication::instance() || source.ChangeDescriptor() < 0) {
        return;
    }
    auto* notifier = new QSocketNotifier(source.ChangeDescriptor(), QSocketNotifier::Read,
                                         QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [&source, notifier] {
        // The listeners ask the keymap again, which may read a further notice.
        for (;;) {
            switch (source.ReadChanges()) {
                case KeymapSource::Update::Unchanged:
                    return;
                case KeymapSource::Update::Changed:
                    TellListeners();
                    break;
                case KeymapSource::Update::Closed:
                    notifier->setEnabled(false);
                    TellListeners();
                    return;
            }
        }
    });
}

// Opened when a legend is first asked for, not at start-up: a window with no
// key bound never connects. One connection for the process.
KeymapSource* LiveKeymap() {
    static std::unique_ptr<KeymapSource> source = [] {
        std::unique_ptr<KeymapSource> opened = OpenLiveKeymap();
        if (opened) {
            WatchLayout(*opened);
        }
        return opened;
    }();
    return source.get();
}

// "Num +" is read against the legend as "+".
QString WithoutKeypadPrefix(const QString& name) {
    return name.startsWith("Num ") ? name.mid(4) : name;
}

}  // namespace

uint32_t LayoutKeysymAt(uint16_t evdevCode) {
    if (Lookup()) {
        return Lookup()(evdevCode);
    }
    KeymapSource* keymap = LiveKeymap();
    return keymap ? keymap->KeysymAt(evdevCode) : 0;
}

void CallOnLayoutChange(QObject* context, std::function<void()> callback) {
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

QString KeyLabel(uint16_t virtualKey, uint32_t pressedKeysym) {
    const QString name = QString::fromStdString(KeyName(virtualKey));
    const KeyRow* key = FindKeyByVirtualKey(virtualKey);
    if (!key) {
        return name;
    }
    const uint32_t keysym = pressedKeysym != 0 ? pressedKeysym : LayoutKeysymAt(key->evdevCode);
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
