#pragma once

#include <QPlainTextEdit>
#include <QTimer>
#include <QWidget>

class QLabel;
class TFirmwareRunner;

// The register panel: PC with its instruction, A, B, PSW and its flags, SP, DPTR, R0-R7 of the
// active bank, the four ports (latch and pins), the timers (TMOD, TCON, TH0/TL0, TH1/TL1), the
// serial port (SCON, SBUF: the receive buffer), IE, IP and PCON, machine cycles and simulated time.
// Refreshes a few times a second while the firmware runs, and at every step.
class TRegisterPanel : public QWidget {
    Q_OBJECT

public:
    explicit TRegisterPanel(TFirmwareRunner* runner, QWidget* parent = nullptr);
    // The text shown (also for tests).
    QString Text() const;
    void Refresh();

private:
    TFirmwareRunner* m_runner;
    QLabel* m_label;
    QTimer m_refresh;
};

// The serial terminal: what the firmware transmits is shown; what the user types is sent to the
// firmware's receiver (Enter sends a carriage return).
//
// The terminal keeps the last MaxLines lines of at most MaxLineLength characters each: a longer
// line goes on in the next one. A firmware sending without line breaks thus still fills lines of
// bounded length, the window lays out only the last of them per append, and what is kept stays
// below MaxLines * (MaxLineLength + 1) characters.
class TSerialTerminal : public QPlainTextEdit {
    Q_OBJECT

public:
    static constexpr int MaxLines = 5000;
    static constexpr int MaxLineLength = 1000;

    explicit TSerialTerminal(TFirmwareRunner* runner, QWidget* parent = nullptr);
    void Append(const QByteArray& bytes);
    void ClearTerminal();

protected:
    // Typed and pasted text goes to the firmware.
    void keyPressEvent(QKeyEvent* event) override;

private:
    TFirmwareRunner* m_runner;
    bool m_pendingReturn = false; // a carriage return not yet followed by a line feed
    int m_column = 0;             // characters in the last line
};
