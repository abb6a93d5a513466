// The firmware's serial port on the computer: a real pseudo-terminal and a real TCP socket opened
// from the test talk to the serial-echo firmware, run in simulated time; delivery at the
// firmware's baud rate, bad clients, the link name, and the terminal dock's views and bounds.
#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QGuiApplication>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QtTest>
#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "editor/brelvanfrm.h"
#include "editor/firmwarepanels.h"
#include "editor/firmwarerunner.h"
#include "editor/firmwareui.h"
#include "editor/serialbridge.h"
#include "editor/serialportui.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "tests/support/windowfixture.h"

namespace {

const QString EchoFirmware =
    QStringLiteral(BRELVAN_SOURCE_DIR) + QStringLiteral("/examples/firmware/serial_echo.ihx");

// The echo firmware, started, and a bridge to its serial port. Not free running: the test runs
// it in simulated time.
struct EchoBoard {
    ScopedManualClock clock;
    TFirmwareRunner runner;
    TSerialBridge bridge{&runner};

    bool start() {
        if (!runner.Load(EchoFirmware).isEmpty()) return false;
        runner.Start();
        return runner.CurrentState() == TFirmwareRunner::State::Running;
    }
    // Runs the firmware in steps of 1 ms of simulated time, the event loop having a turn before
    // each (notifiers, sockets), until done() or the time is up.
    bool runUntil(double ms, const std::function<bool()>& done) {
        for (double t = 0; t < ms; t += 1) {
            QCoreApplication::processEvents();
            if (done()) return true;
            runner.RunFor(1);
        }
        QCoreApplication::processEvents();
        return done();
    }
    // The event loop alone, until done() or a wall-clock limit (the sockets' own pace).
    static bool pumpUntil(const std::function<bool()>& done, int limitMs = 10000) {
        QElapsedTimer timer;
        timer.start();
        while (!done()) {
            if (timer.elapsed() > limitMs) return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        return true;
    }
};

// One end of the serial port as a client program sees it: the terminal device opened by path,
// or a TCP connection.
class Client {
public:
    virtual ~Client() = default;
    virtual bool Write(const QByteArray& bytes) = 0;
    // What arrived so far, all of it.
    virtual QByteArray Read() = 0;
};

class TerminalClient : public Client {
public:
    explicit TerminalClient(const QString& path) {
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_fd < 0) return;
        // What a terminal program does first; the firmware keeps its own baud rate.
        struct termios mode = {};
        ::tcgetattr(m_fd, &mode);
        ::cfmakeraw(&mode);
        ::cfsetispeed(&mode, B300);
        ::cfsetospeed(&mode, B300);
        ::tcsetattr(m_fd, TCSANOW, &mode);
    }
    ~TerminalClient() override {
        if (m_fd >= 0) ::close(m_fd);
    }
    bool Open() const { return m_fd >= 0; }
    bool Write(const QByteArray& bytes) override {
        return ::write(m_fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }
    QByteArray Read() override {
        char buffer[4096];
        ssize_t n;
        while ((n = ::read(m_fd, buffer, sizeof buffer)) > 0)
            m_got.append(buffer, qsizetype(n));
        return m_got;
    }

private:
    int m_fd = -1;
    QByteArray m_got;
};

class TcpClient : public Client {
public:
    explicit TcpClient(quint16 port) { m_socket.connectToHost(QHostAddress::LocalHost, port); }
    bool Connected() {
        return EchoBoard::pumpUntil(
            [this] { return m_socket.state() == QAbstractSocket::ConnectedState; });
    }
    bool Write(const QByteArray& bytes) override {
        const bool ok = m_socket.write(bytes) == bytes.size();
        m_socket.flush();
        return ok;
    }
    QByteArray Read() override {
        m_got += m_socket.readAll();
        return m_got;
    }
    QTcpSocket& Socket() { return m_socket; }

private:
    QTcpSocket m_socket;
    QByteArray m_got;
};

std::unique_ptr<Client> connectClient(TSerialBridge& bridge, const QString& end) {
    if (end == u"pty") {
        auto client = std::make_unique<TerminalClient>(bridge.TerminalPath());
        if (!client->Open()) return nullptr;
        return client;
    }
    auto client = std::make_unique<TcpClient>(bridge.Port());
    if (!client->Connected()) return nullptr;
    // The bridge has taken it once it has a client.
    if (!EchoBoard::pumpUntil([&bridge] { return bridge.HasClient(); })) return nullptr;
    return client;
}

QString openEnd(TSerialBridge& bridge, const QString& end) {
    return end == u"pty" ? bridge.OpenTerminal() : bridge.Listen();
}

} // namespace

class TestSerialBridge : public QObject {
    Q_OBJECT

private slots:
    // ---- the ends talk to the firmware

    void echo_data() {
        QTest::addColumn<QString>("end");
        QTest::newRow("terminal device") << QStringLiteral("pty");
        QTest::newRow("TCP") << QStringLiteral("tcp");
    }
    // A client writes "abc" and reads the firmware's greeting and the echo.
    void echo() {
        QFETCH(QString, end);
        EchoBoard board;
        QCOMPARE(openEnd(board.bridge, end), QString());
        std::unique_ptr<Client> client = connectClient(board.bridge, end);
        QVERIFY(client);
        QVERIFY(board.start());
        QVERIFY(board.runUntil(50, [&] { return client->Read() == "hello\r\n"; }));
        QVERIFY(client->Write("abc"));
        QVERIFY2(board.runUntil(100, [&] { return client->Read().size() >= 10; }),
                 client->Read().constData());
        QCOMPARE(client->Read(), QByteArray("hello\r\nabc"));
        QCOMPARE(board.bridge.Overflow(), quint64(0));
    }

    // Everything at once: the dock, the terminal device and a TCP client all see what the
    // firmware sends, and what each sends reaches the firmware in the order it arrived.
    void allEndsTogether() {
        EchoBoard board;
        QCOMPARE(board.bridge.OpenTerminal(), QString());
        QCOMPARE(board.bridge.Listen(), QString());
        TSerialTerminal terminal(&board.runner);
        terminal.SetSendTarget([&board](const QByteArray& bytes) { board.bridge.Send(bytes); });
        std::unique_ptr<Client> pty = connectClient(board.bridge, QStringLiteral("pty"));
        std::unique_ptr<Client> tcp = connectClient(board.bridge, QStringLiteral("tcp"));
        QVERIFY(pty && tcp);
        QVERIFY(board.start());
        QVERIFY(pty->Write("a"));
        QVERIFY(EchoBoard::pumpUntil([&] { return board.bridge.Queued() == 1; }));
        QVERIFY(tcp->Write("b"));
        QVERIFY(EchoBoard::pumpUntil([&] { return board.bridge.Queued() == 2; }));
        terminal.SendTyped("c");
        QVERIFY(tcp->Write("d"));
        QVERIFY(EchoBoard::pumpUntil([&] { return board.bridge.Queued() == 4; }));
        QVERIFY(board.runUntil(
            100, [&] { return pty->Read().endsWith("abcd") && tcp->Read().endsWith("abcd"); }));
        QCOMPARE(pty->Read(), QByteArray("hello\r\nabcd"));
        QCOMPARE(tcp->Read(), QByteArray("hello\r\nabcd"));
        terminal.Flush();
        QCOMPARE(terminal.toPlainText(), QStringLiteral("hello\nabcd"));
    }

    // 1,000 bytes written at once reach the firmware's receive buffer one frame time apart in
    // simulated cycles (never faster), none lost, and all come back.
    void deliveryFollowsBaudRate() {
        EchoBoard board;
        QCOMPARE(board.bridge.OpenTerminal(), QString());
        TerminalClient client(board.bridge.TerminalPath());
        QVERIFY(client.Open());
        QVERIFY(board.start());
        QVERIFY(board.runUntil(50, [&] { return client.Read() == "hello\r\n"; }));
        mcs51::Core& core = board.runner.Core();
        // Mode 1 with Timer 1 in mode 2: a bit is 16 overflows (32 without SMOD), a frame 10 bits.
        const int reload = core.Sfr(mcs51::sfr::TH1);
        const bool smod = core.Sfr(mcs51::sfr::PCON) & 0x80;
        const quint64 frame = 10 * (smod ? 16 : 32) * quint64(256 - reload);
        QCOMPARE(frame, quint64(2080)); // 4,800 baud at 12 MHz

        constexpr int Count = 1000;
        QByteArray bytes;
        for (int i = 0; i < Count; ++i)
            bytes += char(i % 255 + 1); // each differs from the one before, none is 0
        QVERIFY(client.Write(bytes));
        QVERIFY(EchoBoard::pumpUntil([&] { return board.bridge.Queued() == Count; }));

        QList<quint64> arrivals;
        uint8_t seen = core.Sfr(mcs51::sfr::SBUF);
        const quint64 limit = board.runner.Cycles() + quint64(Count + 10) * frame * 2;
        while (arrivals.size() < Count && board.runner.Cycles() < limit) {
            board.runner.RunCycles(8);
            const uint8_t now = core.Sfr(mcs51::sfr::SBUF);
            if (now != seen) {
                QCOMPARE(now, uint8_t(arrivals.size() % 255 + 1));
                arrivals << board.runner.Cycles();
                seen = now;
            }
        }
        QCOMPARE(arrivals.size(), Count);
        for (int i = 1; i < Count; ++i) {
            const quint64 gap = arrivals[i] - arrivals[i - 1];
            // Sampled every few cycles; the firmware takes a few more to clear RI.
            if (gap + 12 < frame || gap > frame + 100)
                QFAIL(qPrintable(QStringLiteral("byte %1 came %2 cycles after the one before, "
                                                "a frame is %3")
                                     .arg(i)
                                     .arg(gap)
                                     .arg(frame)));
        }
        QVERIFY(board.runUntil(50, [&] { return client.Read().size() == 7 + Count; }));
        QCOMPARE(client.Read().mid(7), bytes);
        QCOMPARE(board.bridge.Overflow(), quint64(0));
    }

    // Bytes wait while the receiver is off (the firmware has not set REN yet): none is lost.
    void bytesWaitForTheReceiver() {
        EchoBoard board;
        QVERIFY(board.start());
        QCOMPARE(board.runner.Core().Sfr(mcs51::sfr::SCON) & 0x10, 0); // REN still clear
        QCOMPARE(board.bridge.Send("xyz"), qsizetype(3));
        QByteArray sent;
        connect(&board.runner, &TFirmwareRunner::Transmitted,
                [&sent](const QByteArray& bytes) { sent += bytes; });
        QVERIFY(board.runUntil(100, [&] { return sent.endsWith("xyz"); }));
        QCOMPARE(sent, QByteArray("hello\r\nxyz"));
    }

    // ---- bad clients

    // A second TCP client is told why and closed; the first goes on being served.
    void secondClientRefused() {
        EchoBoard board;
        QCOMPARE(board.bridge.Listen(), QString());
        std::unique_ptr<Client> first = connectClient(board.bridge, QStringLiteral("tcp"));
        QVERIFY(first);
        TcpClient second(board.bridge.Port());
        QVERIFY(EchoBoard::pumpUntil(
            [&] { return second.Socket().state() == QAbstractSocket::UnconnectedState; }));
        QCOMPARE(second.Read(), TSerialBridge::RefusalText());
        QCOMPARE(board.bridge.RefusedClients(), quint64(1));
        QVERIFY(board.bridge.HasClient());
        QVERIFY(board.start());
        QVERIFY(first->Write("ok"));
        QVERIFY(board.runUntil(100, [&] { return first->Read().endsWith("ok"); }));
    }

    // A client gone mid-stream: what it sent still reaches the firmware; the next one is served.
    // A client connecting and leaving again and again leaves nothing behind.
    void clientsComeAndGo() {
        EchoBoard board;
        QCOMPARE(board.bridge.Listen(), QString());
        {
            std::unique_ptr<Client> client = connectClient(board.bridge, QStringLiteral("tcp"));
            QVERIFY(client);
            QVERIFY(client->Write(QByteArray(100, 'm')));
            static_cast<TcpClient*>(client.get())->Socket().disconnectFromHost();
            QVERIFY(EchoBoard::pumpUntil([&] { return !board.bridge.HasClient(); }));
        }
        QCOMPARE(board.bridge.Queued(), qsizetype(100));
        for (int round = 0; round < 50; ++round) {
            TcpClient client(board.bridge.Port());
            QVERIFY(client.Connected());
            QVERIFY(EchoBoard::pumpUntil([&] { return board.bridge.HasClient(); }));
            QVERIFY(client.Write("r"));
            if (round % 2)
                client.Socket().abort(); // without a goodbye
            else
                client.Socket().disconnectFromHost();
            QVERIFY(EchoBoard::pumpUntil([&] { return !board.bridge.HasClient(); }));
        }
        QCOMPARE(board.bridge.RefusedClients(), quint64(0));
        // Aborted clients may lose what was not yet sent; nothing else.
        QVERIFY(board.bridge.Queued() >= 125 && board.bridge.Queued() <= 150);
        std::unique_ptr<Client> last = connectClient(board.bridge, QStringLiteral("tcp"));
        QVERIFY(last);
        board.bridge.ClearQueue();
        QVERIFY(board.start());
        QVERIFY(last->Write("end"));
        QVERIFY(board.runUntil(100, [&] { return last->Read().endsWith("end"); }));
    }

    // 1 MB at once: the queue keeps its bound, the rest is counted, and the port goes on.
    void floodOverflows() {
        EchoBoard board;
        QCOMPARE(board.bridge.Listen(), QString());
        std::unique_ptr<Client> client = connectClient(board.bridge, QStringLiteral("tcp"));
        QVERIFY(client);
        constexpr qsizetype Flood = 1024 * 1024;
        QVERIFY(client->Write(QByteArray(Flood, 'f')));
        QVERIFY(EchoBoard::pumpUntil(
            [&] { return board.bridge.Queued() + qsizetype(board.bridge.Overflow()) == Flood; }));
        QCOMPARE(board.bridge.Queued(), TSerialBridge::MaxQueued);
        QCOMPARE(board.bridge.Overflow(), quint64(Flood - TSerialBridge::MaxQueued));
        QVERIFY(board.bridge.StatusText().contains(
            QStringLiteral("%1 overflowed").arg(Flood - TSerialBridge::MaxQueued)));
        board.bridge.ClearQueue();
        QVERIFY(board.start());
        QVERIFY(client->Write("z"));
        QVERIFY(board.runUntil(100, [&] { return client->Read().endsWith("z"); }));
    }

    // A client that never reads: what the firmware sends is kept up to the bound, then counted.
    void slowReaderBounded() {
        EchoBoard board;
        QCOMPARE(board.bridge.OpenTerminal(), QString());
        QByteArray big(200 * 1024, 's');
        emit board.runner.Transmitted(big);
        QVERIFY(board.bridge.LostOutput() > 0);
        QVERIFY(board.bridge.LostOutput() <= quint64(big.size()));
        // Kept: the bound plus what the device itself holds.
        TerminalClient client(board.bridge.TerminalPath());
        QVERIFY(client.Open());
        QVERIFY(EchoBoard::pumpUntil([&] {
            return client.Read().size() + qsizetype(board.bridge.LostOutput()) == big.size();
        }));
        QVERIFY(client.Read().size() >= TSerialBridge::MaxUnsent);
    }

    // ---- the terminal device's link name

    void terminalLink_data() {
        QTest::addColumn<QString>("before"); // what stands at the name: "", "link", "file"
        QTest::addColumn<bool>("opens");
        QTest::newRow("free name") << QString() << true;
        QTest::newRow("a stale link is replaced") << QStringLiteral("link") << true;
        QTest::newRow("a file is never replaced") << QStringLiteral("file") << false;
    }
    void terminalLink() {
        QFETCH(QString, before);
        QFETCH(bool, opens);
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("ttyS0"));
        if (before == u"link") QVERIFY(QFile::link(dir.filePath(QStringLiteral("gone")), link));
        if (before == u"file") {
            QFile file(link);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("keep me");
        }
        EchoBoard board;
        const QString error = board.bridge.OpenTerminal(link);
        QCOMPARE(error.isEmpty(), opens);
        if (!opens) {
            QVERIFY2(error.contains(QStringLiteral("not a link")), qPrintable(error));
            QVERIFY(!board.bridge.TerminalOpen());
            QFile file(link);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), QByteArray("keep me"));
            return;
        }
        QCOMPARE(board.bridge.LinkName(), link);
        QCOMPARE(QFileInfo(link).symLinkTarget(), board.bridge.TerminalPath());
        QVERIFY(board.bridge.StatusText().contains(link));
        // A client opens it by the link's name.
        TerminalClient client(link);
        QVERIFY(client.Open());
        QVERIFY(board.start());
        QVERIFY(board.runUntil(50, [&] { return client.Read() == "hello\r\n"; }));
        board.bridge.CloseTerminal();
        QVERIFY(!QFileInfo(link).isSymLink());
        QVERIFY(!QFileInfo::exists(link));
        QCOMPARE(board.bridge.StatusText(), QString());
    }

    // The link is removed only while it still points at the device.
    void foreignLinkKept() {
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("ttyS0"));
        EchoBoard board;
        QCOMPARE(board.bridge.OpenTerminal(link), QString());
        QVERIFY(QFile::remove(link));
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("other")), link));
        board.bridge.CloseTerminal();
        QVERIFY(QFileInfo(link).isSymLink());
    }

    void listenErrors_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("message");
        QTest::newRow("no address")
            << QStringLiteral("localhost:x") << QStringLiteral("is not an IP address");
        QTest::newRow("not this machine's")
            << QStringLiteral("192.0.2.1") << QStringLiteral("Cannot listen on 192.0.2.1");
    }
    void listenErrors() {
        QFETCH(QString, address);
        QFETCH(QString, message);
        EchoBoard board;
        const QString error = board.bridge.Listen(address);
        QVERIFY2(error.contains(message), qPrintable(error));
        QVERIFY(!board.bridge.Listening());
    }

    // A port in use is refused with the reason; the bridge listens on none.
    void portInUse() {
        EchoBoard board;
        QCOMPARE(board.bridge.Listen(), QString());
        TFirmwareRunner other;
        TSerialBridge second(&other);
        const QString error = second.Listen(QStringLiteral("127.0.0.1"), board.bridge.Port());
        QVERIFY2(error.contains(QStringLiteral("Cannot listen")), qPrintable(error));
        QVERIFY(!second.Listening());
        QVERIFY(board.bridge.Listening());
    }

    void parseListenText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("port");
        QTest::newRow("port") << QStringLiteral(" 4000 ") << true << QStringLiteral("127.0.0.1")
                              << 4000;
        QTest::newRow("any port") << QStringLiteral("0") << true << QStringLiteral("127.0.0.1")
                                  << 0;
        QTest::newRow("address") << QStringLiteral("0.0.0.0:5000") << true
                                 << QStringLiteral("0.0.0.0") << 5000;
        QTest::newRow("IPv6") << QStringLiteral("[::1]:6000") << true << QStringLiteral("::1")
                              << 6000;
        QTest::newRow("too large") << QStringLiteral("70000") << false << QString() << 0;
        QTest::newRow("words") << QStringLiteral("telnet") << false << QString() << 0;
        QTest::newRow("no port") << QStringLiteral("1.2.3.4:") << false << QString() << 0;
    }
    void parseListenText() {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(QString, address);
        QFETCH(int, port);
        QString gotAddress;
        quint16 gotPort = 1;
        QCOMPARE(TSerialPortUi::ParseListenText(text, &gotAddress, &gotPort), ok);
        if (!ok) return;
        QCOMPARE(gotAddress, address);
        QCOMPARE(int(gotPort), port);
    }

    // ---- the terminal dock

    void lineEnding_data() {
        QTest::addColumn<int>("ending");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QString>("echoed"); // a lone CR ends the line only with what follows
        QTest::newRow("none") << int(TSerialTerminal::LineEnding::None) << QByteArray("ok")
                              << QStringLiteral("ok");
        QTest::newRow("CR") << int(TSerialTerminal::LineEnding::Cr) << QByteArray("ok\r")
                            << QStringLiteral("ok");
        QTest::newRow("LF") << int(TSerialTerminal::LineEnding::Lf) << QByteArray("ok\n")
                            << QStringLiteral("ok\n");
        QTest::newRow("CR LF") << int(TSerialTerminal::LineEnding::CrLf) << QByteArray("ok\r\n")
                               << QStringLiteral("ok\n");
    }
    // Enter sends the chosen ending; local echo shows what was typed, without it nothing shows.
    void lineEnding() {
        QFETCH(int, ending);
        QFETCH(QByteArray, sent);
        QFETCH(QString, echoed);
        TFirmwareRunner runner;
        TSerialTerminal terminal(&runner);
        QByteArray got;
        terminal.SetSendTarget([&got](const QByteArray& bytes) { got += bytes; });
        terminal.SetEnding(TSerialTerminal::LineEnding(ending));
        QTest::keyClicks(&terminal, QStringLiteral("ok"));
        QTest::keyClick(&terminal, Qt::Key_Return);
        QCOMPARE(got, sent);
        QCOMPARE(terminal.toPlainText(), QString());
        terminal.SetLocalEcho(true);
        got.clear();
        QTest::keyClicks(&terminal, QStringLiteral("ok"));
        QTest::keyClick(&terminal, Qt::Key_Return);
        QCOMPARE(got, sent);
        QCOMPARE(terminal.toPlainText(), echoed);
    }

    // The hex view shows every byte, 16 to a line, and switching views shows what is kept again.
    void hexView() {
        TFirmwareRunner runner;
        TSerialTerminal terminal(&runner);
        terminal.Append("hello\r\n");
        terminal.SetView(TSerialTerminal::View::Hex);
        QCOMPARE(terminal.toPlainText(), QStringLiteral("68 65 6C 6C 6F 0D 0A"));
        terminal.Append(QByteArray(10, '\0') + "\xff");
        QCOMPARE(terminal.toPlainText(),
                 QStringLiteral("68 65 6C 6C 6F 0D 0A 00 00 00 00 00 00 00 00 00\n00 FF"));
        terminal.SetView(TSerialTerminal::View::Ascii);
        QCOMPARE(terminal.toPlainText(),
                 QStringLiteral("hello\n\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\xFF"));
        terminal.ClearTerminal();
        terminal.SetView(TSerialTerminal::View::Hex);
        QCOMPARE(terminal.toPlainText(), QString());
    }

    // A firmware at 115,200 baud running as fast as it can for ten minutes: what arrives is laid
    // out in few appends, and what is kept stays within the bound, newest last.
    void scrollbackBounded() {
        TFirmwareRunner runner;
        TSerialTerminal terminal(&runner);
        terminal.resize(600, 300);
        constexpr qint64 Total = 115200 / 10 * 600; // ten minutes of bytes
        QByteArray slice;
        int line = 0;
        while (slice.size() < 40000) // what one slice of a fast run brings
            slice += "line " + QByteArray::number(line++) + "\r\n";
        qint64 sent = 0;
        for (int n = 0; sent < Total; ++n) {
            emit runner.Transmitted(slice);
            sent += slice.size();
            if (n % 10 == 9) terminal.Flush(); // the coalescing timer's turn
        }
        emit runner.Transmitted("last line");
        terminal.Flush();
        const QTextDocument* document = terminal.document();
        QVERIFY(document->blockCount() <= TSerialTerminal::MaxLines);
        QVERIFY(document->characterCount() <=
                TSerialTerminal::MaxLines * (TSerialTerminal::MaxLineLength + 1) + 1);
        QCOMPARE(document->lastBlock().text(), QStringLiteral("last line"));
        QCOMPARE(document->firstBlock().text().left(5), QStringLiteral("line "));
        // The hex view of all that shows only the kept history.
        terminal.SetView(TSerialTerminal::View::Hex);
        QVERIFY(document->characterCount() <= TSerialTerminal::MaxHistory * 3 + 1);
    }

    // Arrivals right after an append are gathered for the next one, not laid out one by one.
    void appendsCoalesced() {
        TFirmwareRunner runner;
        TSerialTerminal terminal(&runner);
        emit runner.Transmitted("a");
        QCOMPARE(terminal.toPlainText(), QStringLiteral("a")); // the first at once
        emit runner.Transmitted("b");
        emit runner.Transmitted("c");
        QCOMPARE(terminal.toPlainText(), QStringLiteral("a"));
        QTRY_COMPARE(terminal.toPlainText(), QStringLiteral("abc"));
    }

    // A file goes through the same queue as typed text; one larger than the room left is refused
    // whole.
    void sendFile() {
        ScopedDialogRecorder dialogs;
        EchoBoard board;
        TSerialTerminal* terminal = new TSerialTerminal(&board.runner);
        TSerialPanel panel(terminal, &board.bridge);
        terminal->SetSendTarget([&board](const QByteArray& bytes) { board.bridge.Send(bytes); });
        QTemporaryDir dir;
        const QString small = dir.filePath(QStringLiteral("small.txt"));
        const QString large = dir.filePath(QStringLiteral("large.bin"));
        {
            QFile file(small);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("file");
            QFile big(large);
            QVERIFY(big.open(QIODevice::WriteOnly));
            big.write(QByteArray(TSerialBridge::MaxQueued, 'L'));
        }
        terminal->SendTyped("x");
        QVERIFY(panel.SendFile(small));
        QVERIFY(!panel.SendFile(large));
        QVERIFY2(dialogs->LastText().contains(QStringLiteral("large.bin was not sent")),
                 qPrintable(dialogs->LastText()));
        QCOMPARE(board.bridge.Queued(), qsizetype(5));
        QVERIFY(!panel.SendFile(dir.path()));
        QVERIFY(dialogs->LastText().contains(QStringLiteral("folder")));
        QByteArray sent;
        connect(&board.runner, &TFirmwareRunner::Transmitted,
                [&sent](const QByteArray& bytes) { sent += bytes; });
        QVERIFY(board.start());
        QVERIFY(board.runUntil(100, [&] { return sent.endsWith("xfile"); }));
        QCOMPARE(sent, QByteArray("hello\r\nxfile"));
        QCOMPARE(board.bridge.Overflow(), quint64(0));
    }

    // ---- the window

    // Firmware > Serial Port opens the ends as asked, shows where they are in the status bar and
    // the dock, and typed keys join the same queue; closing the window removes the link.
    void serialPortMenu() {
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("brelvan-ttyS0"));
        auto e = std::make_unique<WindowFixture>(QSize(900, 640));
        TFirmwareUi* ui = e->window->Firmware();
        TSerialPortUi* ports = ui->SerialPorts();
        TSerialBridge* bridge = ports->Bridge();
        const auto action = [&e](const char* name) {
            auto* found = e->window->findChild<QAction*>(QLatin1String(name));
            if (!found) qFatal("no action %s", name);
            return found;
        };
        QVERIFY(!action("miCopyTerminalPath")->isEnabled());

        e->dialogs->inputAnswers << link;
        action("miConnectTerminal")->trigger();
        QVERIFY(bridge->TerminalOpen());
        QCOMPARE(bridge->LinkName(), link);
        QVERIFY(ports->StatusText().contains(bridge->TerminalPath()));
        QVERIFY(ports->Panel()->EndsText().contains(link));
        QVERIFY(!action("miConnectTerminal")->isEnabled());
        action("miCopyTerminalPath")->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), link);

        e->dialogs->inputAnswers << QStringLiteral("port 80");
        action("miListenTcp")->trigger();
        QVERIFY2(e->dialogs->LastText().contains(QStringLiteral("is no port")),
                 qPrintable(e->dialogs->LastText()));
        QVERIFY(!bridge->Listening());
        e->dialogs->inputAnswers << QStringLiteral("0");
        action("miListenTcp")->trigger();
        QVERIFY(bridge->Listening());
        QCOMPARE(bridge->ListenAddress(), QStringLiteral("127.0.0.1"));
        QVERIFY(
            ports->StatusText().contains(QStringLiteral("TCP 127.0.0.1:%1").arg(bridge->Port())));

        // A second terminal device at a file's name is refused with the reason.
        action("miDisconnectTerminal")->trigger();
        QVERIFY(!QFileInfo::exists(link));
        const QString file = dir.filePath(QStringLiteral("file"));
        {
            QFile existing(file);
            QVERIFY(existing.open(QIODevice::WriteOnly));
        }
        e->dialogs->inputAnswers << file;
        action("miConnectTerminal")->trigger();
        QVERIFY(e->dialogs->LastText().contains(QStringLiteral("not a link")));
        QVERIFY(!bridge->TerminalOpen());

        QTest::keyClicks(ui->Terminal(), QStringLiteral("hi"));
        QCOMPARE(bridge->Queued(), qsizetype(2));

        e->dialogs->inputAnswers << link;
        action("miConnectTerminal")->trigger();
        QVERIFY(QFileInfo(link).isSymLink());
        e.reset();
        QVERIFY(!QFileInfo(link).isSymLink());
    }
};

QTEST_MAIN(TestSerialBridge)
#include "test_serialbridge.moc"
