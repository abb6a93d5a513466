#pragma once

#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTimer>
#include <QWidget>
#include <functional>

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

// The serial terminal: what the firmware transmits is shown, as text or as hex bytes; what the
// user types is sent to the firmware's receiver (Enter sends the chosen line ending), and shown
// too with local echo on.
//
// The terminal keeps the last MaxLines lines of at most MaxLineLength characters each: a longer
// line goes on in the next one. A firmware sending without line breaks thus still fills lines of
// bounded length, the window lays out only the last of them per append, and what is kept stays
// below MaxLines * (MaxLineLength + 1) characters. What the firmware sends is laid out at most
// every CoalesceMs, however often it arrives, and the last MaxHistory bytes are kept to show
// again when the view changes.
class TSerialTerminal : public QPlainTextEdit {
    Q_OBJECT

public:
    static constexpr int MaxLines = 5000;
    static constexpr int MaxLineLength = 1000;
    static constexpr int CoalesceMs = 100;
    static constexpr qsizetype MaxHistory = 64 * 1024;
    static constexpr int HexPerLine = 16;
    enum class View { Ascii, Hex };
    enum class LineEnding { None, Cr, Lf, CrLf };

    explicit TSerialTerminal(TFirmwareRunner* runner, QWidget* parent = nullptr);
    // Shows bytes at once.
    void Append(const QByteArray& bytes);
    // Shows bytes with the next coalesced append (at once when none was made lately).
    void Receive(const QByteArray& bytes);
    // Lays out what Receive has gathered.
    void Flush();
    void ClearTerminal();

    View CurrentView() const { return m_view; }
    // Shows what is kept again in the other view.
    void SetView(View view);
    LineEnding Ending() const { return m_ending; }
    void SetEnding(LineEnding ending) { m_ending = ending; }
    static QByteArray EndingBytes(LineEnding ending);
    bool LocalEcho() const { return m_echo; }
    void SetLocalEcho(bool on) { m_echo = on; }
    // Where typed bytes go; the runner's receiver unless set.
    void SetSendTarget(std::function<void(const QByteArray&)> send) { m_send = std::move(send); }
    // Typed bytes: to the target, and shown with local echo.
    void SendTyped(const QByteArray& bytes);

protected:
    // Typed and pasted text goes to the firmware.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Show(const QByteArray& bytes);
    QString AsciiText(const QByteArray& bytes);
    QString HexText(const QByteArray& bytes);
    void Remember(const QByteArray& bytes);

    TFirmwareRunner* m_runner;
    std::function<void(const QByteArray&)> m_send;
    View m_view = View::Ascii;
    LineEnding m_ending = LineEnding::Cr;
    bool m_echo = false;
    bool m_pendingReturn = false; // a carriage return not yet followed by a line feed
    int m_column = 0;             // characters in the last line (ASCII) or bytes in it (hex)
    QByteArray m_gathered;        // received, not yet laid out
    QByteArray m_history;         // the last MaxHistory bytes shown
    QTimer m_coalesce;
    QElapsedTimer m_lastLayout;
};
