#include "pages/buttons/key_source_qt.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>

#include "pages/buttons/key_source_keysyms.h"

namespace {

struct QtKeyCode {
    int key;
    uint16_t virtualKey;
};
constexpr QtKeyCode kQtKeyCodes[] = {
    {Qt::Key_Backspace, 0x08},    {Qt::Key_Tab, 0x09},         {Qt::Key_Backtab, 0x09},
    {Qt::Key_Clear, 0x0C},        {Qt::Key_Return, 0x0D},      {Qt::Key_Enter, 0x0D},
    {Qt::Key_Pause, 0x13},        {Qt::Key_CapsLock, 0x14},    {Qt::Key_Escape, 0x1B},
    {Qt::Key_Space, 0x20},        {Qt::Key_PageUp, 0x21},      {Qt::Key_PageDown, 0x22},
    {Qt::Key_End, 0x23},          {Qt::Key_Home, 0x24},        {Qt::Key_Left, 0x25},
    {Qt::Key_Up, 0x26},           {Qt::Key_Right, 0x27},       {Qt::Key_Down, 0x28},
    {Qt::Key_Select, 0x29},       {Qt::Key_Print, 0x2C},       {Qt::Key_Execute, 0x2B},
    {Qt::Key_Insert, 0x2D},       {Qt::Key_Delete, 0x2E},      {Qt::Key_Help, 0x2F},
    {Qt::Key_Menu, 0x5D},         {Qt::Key_NumLock, 0x90},     {Qt::Key_ScrollLock, 0x91},
    {Qt::Key_Shift, 0xA0},        {Qt::Key_Control, 0xA2},     {Qt::Key_Alt, 0xA4},
    {Qt::Key_AltGr, 0xA5},        {Qt::Key_Meta, 0x5B},        {Qt::Key_Super_L, 0x5B},
    {Qt::Key_Super_R, 0x5C},      {Qt::Key_Back, 0xA6},        {Qt::Key_Forward, 0xA7},
    {Qt::Key_Refresh, 0xA8},      {Qt::Key_VolumeMute, 0xAD},  {Qt::Key_VolumeDown, 0xAE},
    {Qt::Key_VolumeUp, 0xAF},     {Qt::Key_MediaNext, 0xB0},   {Qt::Key_MediaPrevious, 0xB1},
    {Qt::Key_MediaStop, 0xB2},    {Qt::Key_MediaPlay, 0xB3},   {Qt::Key_MediaTogglePlayPause, 0xB3},
    {Qt::Key_Semicolon, 0xBA},    {Qt::Key_Equal, 0xBB},       {Qt::Key_Comma, 0xBC},
    {Qt::Key_Minus, 0xBD},        {Qt::Key_Period, 0xBE},      {Qt::Key_Slash, 0xBF},
    {Qt::Key_QuoteLeft, 0xC0},    {Qt::Key_BracketLeft, 0xDB}, {Qt::Key_Backslash, 0xDC},
    {Qt::Key_BracketRight, 0xDD}, {Qt::Key_Apostrophe, 0xDE},
};

// Keys of the numeric keypad that have codes of their own.
constexpr QtKeyCode kKeypadCodes[] = {
    {Qt::Key_Asterisk, 0x6A}, {Qt::Key_Plus, 0x6B},  {Qt::Key_Minus, 0x6D},
    {Qt::Key_Period, 0x6E},   {Qt::Key_Slash, 0x6F}, {Qt::Key_Enter, 0x0D},
};

// Qt has one key for both sides of a modifier; the XKB key code tells the
// right-hand ones apart where the platform passes it on.
struct RightHandKey {
    uint32_t scanCode;
    uint16_t leftKey;
    uint16_t rightKey;
};
constexpr RightHandKey kRightHandKeys[] = {
    {62, 0xA0, 0xA1},   // Shift_R
    {105, 0xA2, 0xA3},  // Control_R
    {108, 0xA4, 0xA5},  // Alt_R
    {134, 0x5B, 0x5C},  // Super_R
};

template <size_t N>
uint16_t Lookup(const QtKeyCode (&table)[N], int key) {
    for (const QtKeyCode& entry : table) {
        if (entry.key == key) {
            return entry.virtualKey;
        }
    }
    return 0;
}

bool PlatformGivesKeysyms() {
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("xcb") || platform.startsWith(QLatin1String("wayland"));
}

uint16_t ByQtKey(const QKeyEvent& event) {
    const int key = event.key();
    const bool keypad = event.modifiers() & Qt::KeypadModifier;
    if (keypad && key >= Qt::Key_0 && key <= Qt::Key_9) {
        return static_cast<uint16_t>(0x60 + (key - Qt::Key_0));
    }
    if (keypad) {
        if (const uint16_t code = Lookup(kKeypadCodes, key)) {
            return code;
        }
    }
    if ((key >= Qt::Key_0 && key <= Qt::Key_9) || (key >= Qt::Key_A && key <= Qt::Key_Z)) {
        return static_cast<uint16_t>(key);  // the same codes as the virtual keys
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) {
        return static_cast<uint16_t>(0x70 + (key - Qt::Key_F1));
    }
    const uint16_t code = Lookup(kQtKeyCodes, key);
    for (const RightHandKey& right : kRightHandKeys) {
        if (code == right.leftKey && event.nativeScanCode() == right.scanCode) {
            return right.rightKey;
        }
    }
    return code;
}

}  // namespace

uint16_t QtKeyToVirtualKey(const QKeyEvent& event) {
    if (event.nativeVirtualKey() != 0 && PlatformGivesKeysyms()) {
        if (const uint16_t code = KeysymToVirtualKey(event.nativeVirtualKey())) {
            return code;
        }
    }
    return ByQtKey(event);
}

QtKeySource::~QtKeySource() {
    if (QCoreApplication::instance()) {
        QCoreApplication::instance()->removeEventFilter(this);
    }
}

bool QtKeySource::Start(Sink sink) {
    if (!QCoreApplication::instance()) {
        return false;
    }
    sink_ = std::move(sink);
    QCoreApplication::instance()->installEventFilter(this);
    return true;
}

bool QtKeySource::eventFilter(QObject* watched, QEvent* event) {
    const auto type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease) {
        return QObject::eventFilter(watched, event);
    }
    // A key event reaches its window once, before Qt offers it to the focus
    // widget and the widgets above it; counting it there counts it once.
    if (!watched->isWindowType()) {
        return false;
    }
    sink_(QtKeyToVirtualKey(*static_cast<QKeyEvent*>(event)), type == QEvent::KeyRelease);
    return false;
}
