#include "pages/buttons/key_source.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPointer>

#include "pages/buttons/key_source_qt.h"
#include "pages/buttons/key_source_xinput.h"

namespace {

struct HookState {
    std::unique_ptr<KeySource> source;
    QPointer<QObject> owner;
    const QObject* ownerAddress = nullptr;  // for RemoveKeyHook after the owner is gone
    std::function<void(uint16_t, bool)> handler;
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

void Deliver(uint64_t generation, uint16_t virtualKey, bool released) {
    HookState& hook = Hook();
    if (hook.source && hook.generation == generation && hook.owner && hook.handler) {
        hook.handler(virtualKey, released);
    }
}

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

bool InstallKeyHook(QObject* owner, std::function<void(uint16_t, bool)> handler) {
    RemoveAnyHook();
    if (!QCoreApplication::instance()) {
        return false;
    }
    HookState& hook = Hook();
    const uint64_t generation = ++hook.generation;
    auto sink = [generation](uint16_t virtualKey, bool released) {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [generation, virtualKey, released] { Deliver(generation, virtualKey, released); },
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
