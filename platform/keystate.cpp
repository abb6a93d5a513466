#include "platform/keystate.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QObject>

namespace {
KeyStateService* g_keyState = nullptr;

QtKeyState& qtKeyState() {
    static QtKeyState state;
    return state;
}

// Key symbols of X11 and Wayland (xkb).
constexpr quint32 XK_Shift_L = 0xffe1;
constexpr quint32 XK_Shift_R = 0xffe2;
constexpr quint32 XK_Control_L = 0xffe3;
constexpr quint32 XK_Control_R = 0xffe4;
// Windows: the virtual key names the key without its side; the scan code (with the extended-key
// flag as bit 8) tells the side.
constexpr quint32 VK_SHIFT = 0x10;
constexpr quint32 VK_CONTROL = 0x11;
constexpr quint32 ScanLeftShift = 0x2a;
constexpr quint32 ScanRightShift = 0x36;
constexpr quint32 ScanLeftCtrl = 0x1d;
constexpr quint32 ScanRightCtrl = 0x11d;
} // namespace

// Sees every key event of the application before it is delivered; owned by the application, so
// it goes with it.
class KeyWatcher : public QObject {
public:
    KeyWatcher(QtKeyState* state, QObject* app) : QObject(app), m_state(state) {
        app->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (type != QEvent::KeyPress && type != QEvent::KeyRelease) return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool down = type == QEvent::KeyPress;
        if (key->key() == Qt::Key_Shift)
            m_state->m_shift.Press(
                QtKeyState::ShiftSide(key->nativeVirtualKey(), key->nativeScanCode()), down);
        else if (key->key() == Qt::Key_Control)
            m_state->m_ctrl.Press(
                QtKeyState::CtrlSide(key->nativeVirtualKey(), key->nativeScanCode()), down);
        return false;
    }

private:
    QtKeyState* m_state;
};

KeyStateService& KeyState() {
    if (g_keyState) return *g_keyState;
    QtKeyState& state = qtKeyState();
    state.Watch();
    return state;
}

void InstallKeyState(KeyStateService* service) {
    g_keyState = service;
}

void QtKeyState::Watch() {
    if (m_watcher || !QCoreApplication::instance()) return;
    m_watcher = new KeyWatcher(this, QCoreApplication::instance());
}

QtKeyState::Side QtKeyState::ShiftSide(quint32 nativeVirtualKey, quint32 nativeScanCode) {
    if (nativeVirtualKey == XK_Shift_L) return Side::Left;
    if (nativeVirtualKey == XK_Shift_R) return Side::Right;
    if (nativeVirtualKey == VK_SHIFT) {
        if (nativeScanCode == ScanLeftShift) return Side::Left;
        if (nativeScanCode == ScanRightShift) return Side::Right;
    }
    return Side::Unknown;
}

QtKeyState::Side QtKeyState::CtrlSide(quint32 nativeVirtualKey, quint32 nativeScanCode) {
    if (nativeVirtualKey == XK_Control_L) return Side::Left;
    if (nativeVirtualKey == XK_Control_R) return Side::Right;
    if (nativeVirtualKey == VK_CONTROL) {
        if (nativeScanCode == ScanLeftCtrl) return Side::Left;
        if (nativeScanCode == ScanRightCtrl) return Side::Right;
    }
    return Side::Unknown;
}

void QtKeyState::Tracked::Press(Side side, bool down) {
    switch (side) {
    case Side::Left:
        Left = down;
        break;
    case Side::Right:
        Right = down;
        break;
    case Side::Unknown:
        // No side: forget what was known, so a held key counts as the left one.
        Left = Right = false;
        break;
    }
}

bool QtKeyState::Tracked::LeftHeld(bool qtHeld) {
    if (!qtHeld) {
        // Released, perhaps while another program had the keyboard.
        Left = Right = false;
        return false;
    }
    return Left || !Right;
}

bool QtKeyState::LeftShiftHeld() const {
    const bool held = qGuiApp && (QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier);
    return m_shift.LeftHeld(held);
}

bool QtKeyState::LeftCtrlHeld() const {
    const bool held = qGuiApp && (QGuiApplication::queryKeyboardModifiers() & Qt::ControlModifier);
    return m_ctrl.LeftHeld(held);
}

ScopedKeyState::ScopedKeyState() : m_previous(g_keyState) {
    g_keyState = &m_state;
}

ScopedKeyState::~ScopedKeyState() {
    g_keyState = m_previous;
}
