#include "pages/button_mapping/key_source.h"

#include <xkbcommon/xkbcommon.h>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QPointer>

#include "pages/button_mapping/key_source_qt.h"
#include "pages/button_mapping/key_source_xinput.h"

namespace {

struct HookState {
    std::unique_ptr<KeySource> source;
    QPointer<QObject> owner;
    const QObject* ownerAddress = nullptr;  // for RemoveKeyHook after the owner is gone
    std::function<void(const KeyEvent&)> handler;
    uint64_t generation = 0;  // events of an earlier hook still queued are dropped
};

HookState& Hook() {
    static HookState state;
    return state;
}

std::function<KeySourceList()>& Factory() {
    static std::function<KeySourceList()> factory;
    return factory;
}

void Deliver(uint64_t generation, const KeyEvent& event) {
    HookState& hook = Hook();
    if (hook.source && hook.generation == generation && hook.owner && hook.handler) {
        hook.handler(event);
    }
}

// Dead keys type nothing by themselves; their spacing forms name them.
struct DeadKey {
    uint32_t keysym;
    char32_t character;
};
constexpr DeadKey kDeadKeys[] = {
    {XKB_KEY_dead_grave, U'`'},          {XKB_KEY_dead_acute, U'\u00B4'},
    {XKB_KEY_dead_circumflex, U'^'},     {XKB_KEY_dead_tilde, U'~'},
    {XKB_KEY_dead_diaeresis, U'\u00A8'}, {XKB_KEY_dead_cedilla, U'\u00B8'},
    {XKB_KEY_dead_caron, U'\u02C7'},     {XKB_KEY_dead_abovering, U'\u02DA'},
};

void RemoveAnyHook() {
    HookState& hook = Hook();
    hook.source.reset();
    hook.owner = nullptr;
    hook.ownerAddress = nullptr;
    hook.handler = {};
}

}  // namespace

KeySourceList PlatformKeySources(const QString& platformName) {
    KeySourceList sources;
#if KESTRINE_HAVE_XI
    // Under Wayland an X connection reaches only XWayland's clients, so raw X
    // events would miss most keys: the global source is for X11 alone.
    if (platformName == QLatin1String("xcb")) {
        sources.push_back(std::make_unique<XInputKeySource>());
    }
#else
    Q_UNUSED(platformName);
#endif
    sources.push_back(std::make_unique<QtKeySource>());
    return sources;
}

KeySourceList PlatformKeySources() {
    return PlatformKeySources(QGuiApplication::platformName());
}

void SetKeySourceFactory(std::function<KeySourceList()> factory) {
    Factory() = std::move(factory);
}

bool InstallKeyHook(QObject* owner, std::function<void(const KeyEvent&)> handler) {
    RemoveAnyHook();
    if (!QCoreApplication::instance()) {
        return false;
    }
    HookState& hook = Hook();
    const uint64_t generation = ++hook.generation;
    auto sink = [generation](const KeyEvent& event) {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [generation, event] { Deliver(generation, event); },
            Qt::QueuedConnection);
    };
    KeySourceList candidates = Factory() ? Factory()() : PlatformKeySources();
    for (std::unique_ptr<KeySource>& candidate : candidates) {
        if (candidate && candidate->Start(sink)) {
            hook.source = std::move(candidate);
            hook.owner = owner;
            hook.ownerAddress = owner;
            hook.handler = std::move(handler);
            return true;
        }
    }
    return false;
}

void RemoveKeyHook(const QObject* owner) {
    if (Hook().source && Hook().ownerAddress == owner) {
        RemoveAnyHook();
    }
}

bool KeyHookInstalled() {
    return Hook().source != nullptr;
}

bool KeyHookOwnedBy(const QObject* owner) {
    return Hook().source != nullptr && Hook().ownerAddress == owner;
}

bool KeyHookCapturesEverywhere() {
    return Hook().source != nullptr && Hook().source->CapturesEverywhere();
}

char32_t KeysymCharacter(uint32_t keysym) {
    for (const DeadKey& dead : kDeadKeys) {
        if (dead.keysym == keysym) {
            return dead.character;
        }
    }
    return xkb_keysym_to_utf32(keysym);
}
