#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

class QSocketNotifier;
class QTcpServer;
class QTcpSocket;
class TFirmwareRunner;

// The firmware's serial port on the computer: a pseudo-terminal that terminal programs open like
// a serial device, and a TCP port that serves one client at a time. Both may be on together, with
// the terminal dock as a further end: what the firmware transmits goes to every end; what any end
// sends joins one queue, in arrival order, that the firmware's receiver takes at its own baud rate
// in simulated time (the core starts a frame only when the receiver is on and RI is clear, one
// frame time after the previous one, so nothing the firmware would read is dropped).
//
// Everything is bounded: the queue towards the firmware holds MaxQueued bytes, and what an end
// sends beyond that is counted as overflow; what a client does not read fast enough is kept up
// to MaxUnsent bytes per end and the rest counted as lost output. The line settings a client
// sets on the pseudo-terminal (baud rate, bits) do not change the firmware. No threads: the
// descriptors are watched by socket notifiers on the GUI thread.
class TSerialBridge : public QObject {
    Q_OBJECT

public:
    static constexpr qsizetype MaxQueued = 256 * 1024;
    static constexpr qsizetype MaxUnsent = 16 * 1024;
    static constexpr const char* DefaultAddress = "127.0.0.1";

    explicit TSerialBridge(TFirmwareRunner* runner, QObject* parent = nullptr);
    ~TSerialBridge() override;

    // Queues bytes for the firmware's receiver; what does not fit is counted in Overflow. The
    // number of bytes queued.
    qsizetype Send(const QByteArray& bytes);
    // Bytes waiting for the firmware: in the queue and already handed to the core.
    qsizetype Queued() const;
    qsizetype Free() const { return MaxQueued - Queued(); }
    quint64 Overflow() const { return m_overflow; }
    // Bytes the firmware sent that an end did not take in time.
    quint64 LostOutput() const { return m_lostOutput; }
    // Forgets what waits for the firmware (not what the core is receiving already).
    void ClearQueue();

    // Opens a pseudo-terminal; with a link name (a leading "~/" is the home folder) a symbolic
    // link of that name points at it while it is open. An existing file of that name is never
    // replaced, an existing symbolic link is. The error, or empty when it is open.
    QString OpenTerminal(const QString& linkName = QString());
    void CloseTerminal();
    bool TerminalOpen() const { return m_master >= 0; }
    // "/dev/pts/7"; empty when closed.
    QString TerminalPath() const { return m_ptsPath; }
    // The link's absolute path; empty when there is none.
    QString LinkName() const { return m_link; }

    // Listens on the address ("127.0.0.1" unless another is given) and port (0: a free one).
    // The error, or empty when listening.
    QString Listen(const QString& address = QString::fromLatin1(DefaultAddress), quint16 port = 0);
    void StopListening();
    bool Listening() const;
    QString ListenAddress() const;
    quint16 Port() const;
    bool HasClient() const { return !m_client.isNull(); }
    quint64 RefusedClients() const { return m_refused; }
    // What a second client is told before it is closed.
    static QByteArray RefusalText();

    // "Serial port /dev/pts/7 (/home/me/ttyS0), TCP 127.0.0.1:4000 (client), 12 queued" for the
    // status bar; empty when no end is open.
    QString StatusText() const;

signals:
    // An end opened or closed, a client came or went, or the counts changed.
    void Changed();

private:
    void Feed();
    void Transmit(const QByteArray& bytes);
    void ReadTerminal();
    void WriteTerminal();
    void NewConnection();
    void ReadClient();
    void ClientGone();
    void WriteBounded(QByteArray& unsent, const QByteArray& bytes);

    TFirmwareRunner* m_runner;
    QByteArray m_queue; // bytes for the firmware from m_head on
    qsizetype m_head = 0;
    size_t m_ahead = 2;  // how many bytes the core's queue is topped up to
    size_t m_handed = 0; // the core's queue after the last top-up
    quint64 m_overflow = 0;
    quint64 m_lostOutput = 0;

    int m_master = -1;
    int m_slave = -1; // held open, so the master does not hang up between clients
    QString m_ptsPath;
    QString m_link;
    QSocketNotifier* m_readNotifier = nullptr;
    QSocketNotifier* m_writeNotifier = nullptr;
    QByteArray m_ptyUnsent;

    QTcpServer* m_server = nullptr;
    QPointer<QTcpSocket> m_client;
    quint64 m_refused = 0;
};
