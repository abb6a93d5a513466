#pragma once

#include <QPointer>

class QObject;

// Which of the modifier keys the probe listens to are held. The probe tells the left Shift and
// left Ctrl keys from the right ones; Qt's modifier flags do not, so the Qt service watches the
// key events that carry the side. Tests install a ManualKeyState.
class KeyStateService {
public:
    virtual ~KeyStateService() = default;
    virtual bool LeftShiftHeld() const = 0;
    virtual bool LeftCtrlHeld() const = 0;
};

KeyStateService& KeyState();
// Not owned. nullptr restores the Qt service.
void InstallKeyState(KeyStateService* service);

// The keyboard as Qt sees it. A key counts as held while Qt reports its modifier. Which side is
// held comes from the native key of the last press or release of that modifier: the key symbol
// on X11 and Wayland, the scan code on Windows. Where the side is not known (a platform without
// such codes, or a key pressed while another program had the keyboard), a held key counts as
// the left one, so the probe still answers to either key there.
class QtKeyState : public KeyStateService {
public:
    bool LeftShiftHeld() const override;
    bool LeftCtrlHeld() const override;

    // Starts watching the application's key events; called by KeyState() and cheap to repeat.
    void Watch();

    enum class Side { Unknown, Left, Right };
    // The side a native key code names, for a Shift or Ctrl key event; Unknown for other keys
    // or codes that carry no side.
    static Side ShiftSide(quint32 nativeVirtualKey, quint32 nativeScanCode);
    static Side CtrlSide(quint32 nativeVirtualKey, quint32 nativeScanCode);

    // Records one press (down) or release of a Shift or Ctrl key on a side.
    struct Tracked {
        bool Left = false;
        bool Right = false;
        void Press(Side side, bool down);
        // Held as Qt reports it, told apart by the tracked side.
        bool LeftHeld(bool qtHeld);
    };

private:
    friend class KeyWatcher;
    mutable Tracked m_shift;
    mutable Tracked m_ctrl;
    QPointer<QObject> m_watcher;
};

// Test double: the keys are held as set.
class ManualKeyState : public KeyStateService {
public:
    bool LeftShiftHeld() const override { return leftShift; }
    bool LeftCtrlHeld() const override { return leftCtrl; }
    bool leftShift = false;
    bool leftCtrl = false;
};

// Installs a manual key state for the lifetime of the guard.
class ScopedKeyState {
public:
    ScopedKeyState();
    ~ScopedKeyState();
    ScopedKeyState(const ScopedKeyState&) = delete;
    ScopedKeyState& operator=(const ScopedKeyState&) = delete;
    ManualKeyState* operator->() { return &m_state; }
    ManualKeyState& operator*() { return m_state; }

private:
    ManualKeyState m_state;
    KeyStateService* m_previous;
};
