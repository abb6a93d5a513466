// Firmware on the board: the bridge's host messages, the runner's one clock, loading errors, and
// the window's firmware controls, register panel, serial terminal and firmware memory.
#include <QAction>
#include <QComboBox>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QToolButton>
#include <QtTest>
#include <condition_variable>
#include <fcntl.h>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "components/drivenports.h"
#include "components/pins.h"
#include "components/ports.h"
#include "components/switches.h"
#include "editor/brelvanfrm.h"
#include "editor/firmwarepanels.h"
#include "editor/firmwarerunner.h"
#include "editor/firmwareui.h"
#include "host/boardbridge.h"
#include "model/hostpins.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "simulation/simform.h"
#include "tests/support/windowfixture.h"

namespace {

const QString SourceDir = QStringLiteral(BRELVAN_SOURCE_DIR);

QString example(const QString& name) {
    return SourceDir + QStringLiteral("/examples/") + name;
}

QString testFirmware(const QString& name) {
    return SourceDir + QStringLiteral("/tests/scenarios/firmware/") + name;
}

// Firmware that reads P1 for ever: loop: MOV 30h, P1; SJMP loop.
const char* const ReadP1Firmware = ":0500000085903080FB3B\n"
                                   ":00000001FF\n";

// A switch from P1.0 to ground, on a lone host pin or on a host port's pin 0; the port may feed a
// driven port (its strobe and output enable unwired: transparent, output off).
const char* const SwitchOnLonePin = R"(object P10: TUPin
  Address = 144
  PinNumber = 0
end
object SW1: TSwitch
  HasAretation = True
  Contact1 = P10.Pin
  Contact2 = GND1.Pin
  Left = 120
end
object GND1: TGND
  Left = 220
end
)";
const char* const SwitchOnPortPin = R"(object P1: TUPort
  Address = 144
end
object SW1: TSwitch
  HasAretation = True
  Contact1 = P1.Pin0
  Contact2 = GND1.Pin
  Left = 120
end
object GND1: TGND
  Left = 220
end
)";
const char* const DrivenPortReads = R"(object Dr: TUDrivenPort
  InputPort = P1.Port
  Left = 300
end
)";

// The file `text` in `dir`, or an empty name when it cannot be written.
QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& text) {
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size()) return QString();
    return file.fileName();
}

// Records the host messages the bridge sends and answers accesses from a script.
class RecordingBoard : public MessageTarget {
public:
    struct Access {
        int kind;
        int address;
        int data;
        int driven;
    };
    qintptr HandleMessage(quint32 msg, quint32 wParam, qintptr lParam) override {
        if (msg != HostMsg::HostAccess) return 0;
        accesses.append({int(wParam >> 24), int(wParam & 0xFFFFFF), int(lParam & 0xFFFF),
                         int((lParam >> 16) & 0xFFFF)});
        return replies.isEmpty() ? -1 : replies.takeFirst();
    }
    QList<Access> accesses;
    QList<qintptr> replies;
};

// A named pipe that nobody writes to. Should a reader block on it past the deadline, the guard
// opens the writing end and closes it again, so the reader sees the end and the test goes on to
// fail instead of hanging.
class FifoGuard {
public:
    FifoGuard(const QString& path, int deadlineMs) : m_path(QFile::encodeName(path)) {
        m_made = ::mkfifo(m_path.constData(), 0600) == 0;
        m_thread = std::thread([this, deadlineMs] {
            std::unique_lock lock(m_mutex);
            if (m_cv.wait_for(lock, std::chrono::milliseconds(deadlineMs),
                              [this] { return m_done; }))
                return;
            // A reader stuck in open() lets a writer in; keep trying until one does.
            while (!m_done) {
                const int fd = ::open(m_path.constData(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0) {
                    m_fired = true;
                    ::close(fd);
                }
                m_cv.wait_for(lock, std::chrono::milliseconds(50), [this] { return m_done; });
            }
        });
    }
    ~FifoGuard() {
        {
            std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_cv.notify_all();
        m_thread.join();
    }
    bool Made() const { return m_made; }
    // Whether a reader blocked past the deadline.
    bool Fired() {
        std::lock_guard lock(m_mutex);
        return m_fired;
    }

private:
    QByteArray m_path;
    bool m_made = false;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_done = false;
    bool m_fired = false;
    std::thread m_thread;
};

// Loads fileName into a runner of its own on another thread; nothing when the load has not
// returned by the deadline (the thread, which owns the runner, is then left to itself).
std::optional<QString> loadWithin(const QString& fileName, int deadlineMs) {
    auto result = std::make_shared<std::promise<QString>>();
    std::future<QString> done = result->get_future();
    std::thread([result, fileName] {
        try {
            TFirmwareRunner runner;
            result->set_value(runner.Load(fileName));
        } catch (...) {
            result->set_exception(std::current_exception());
        }
    }).detach();
    if (done.wait_for(std::chrono::milliseconds(deadlineMs)) != std::future_status::ready)
        return std::nullopt;
    return done.get();
}

// A recording board that tells which external addresses and port bits it decodes.
class DecodingBoard : public RecordingBoard, public TBoardDecoding {
public:
    quint64 DecodingGeneration() const override { return generation; }
    std::vector<std::pair<quint32, quint8>> DecodedAddresses(quint8 space) const override {
        return space == TFirmwareBridge::KindXdata ? xdata : data;
    }
    quint64 generation = 1;
    std::vector<std::pair<quint32, quint8>> xdata;
    std::vector<std::pair<quint32, quint8>> data;
};

// A shown main window with the dialog recorder and the manual clock around it.
struct Editor : WindowFixture {
    Editor() : WindowFixture(QSize(900, 640)) { runner()->SetFreeRunning(false); }
    TFirmwareRunner* runner() const { return window->Firmware()->Runner(); }
    void run() {
        if (!window->Running()) window->RunButton()->click();
    }
};

} // namespace

class TestFirmware : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        m_settings = std::make_unique<QTemporaryDir>();
        TFirmwareUi::SetSettingsFile(m_settings->filePath(QStringLiteral("brelvan.ini")));
    }

    // ---- the bridge

    void portAddressCheck_data() {
        QTest::addColumn<qint64>("address");
        QTest::addColumn<bool>("refused");
        QTest::newRow("P1") << qint64(0x90) << false;
        QTest::newRow("zero") << qint64(0) << false;
        QTest::newRow("top of the bus") << qint64(0xFFFF) << false;
        QTest::newRow("past the bus") << qint64(0x10000) << true;
        QTest::newRow("negative") << qint64(-1) << true;
    }
    void portAddressCheck() {
        QFETCH(qint64, address);
        QFETCH(bool, refused);
        mcs51::Core core;
        TFirmwareBridge bridge(core);
        const qintptr answer =
            bridge.HandleMessage(HostMsg::PortAddress, quint32(qint32(address)), 0);
        QCOMPARE(answer != 0, refused);
    }

    // A latch that changes is one data-space byte access at the port's SFR address, carrying
    // the latch in both words; a write that changes nothing sends nothing.
    void portWritesOnlyOnChange() {
        mcs51::Core core;
        TFirmwareBridge bridge(core);
        RecordingBoard board;
        bridge.SetBoard(&board);
        bridge.PortWritten(1, 0xFE);
        bridge.PortWritten(1, 0xFE);
        bridge.PortWritten(3, 0x7F);
        QCOMPARE(board.accesses.size(), 2);
        QCOMPARE(board.accesses[0].kind, 2);
        QCOMPARE(board.accesses[0].address, 0x90);
        QCOMPARE(board.accesses[0].data, 0xFE);
        QCOMPARE(board.accesses[0].driven, 0xFE);
        QCOMPARE(board.accesses[1].address, 0xB0);
        // After a reset the board hears every latch again.
        bridge.SyncPorts();
        QCOMPARE(board.accesses.size(), 6);
    }

    // MOVX is a strobed access followed by its release; a read takes the strobed reply, else the
    // release's, else external RAM.
    void busCycles_data() {
        QTest::addColumn<QList<qintptr>>("replies");
        QTest::addColumn<int>("expected");
        QTest::newRow("latch answers on the strobe") << QList<qintptr>{0x12, -1} << 0x12;
        QTest::newRow("buffer answers on release") << QList<qintptr>{-1, 0x34} << 0x34;
        QTest::newRow("strobe answer wins") << QList<qintptr>{0x12, 0x34} << 0x12;
        QTest::newRow("nobody answers") << QList<qintptr>{-1, -1} << -1;
    }
    void busCycles() {
        QFETCH(QList<qintptr>, replies);
        QFETCH(int, expected);
        mcs51::Core core;
        TFirmwareBridge bridge(core);
        RecordingBoard board;
        bridge.SetBoard(&board);
        core.Xram()[0x8000] = 0x77;
        board.replies = replies;
        QCOMPARE(bridge.ExternalRead(0x8000), expected);
        QCOMPARE(board.accesses.size(), 2);
        QCOMPARE(board.accesses[0].kind, 0x41); // RD active (bit 7 clear), WR idle
        QCOMPARE(board.accesses[1].kind, 0xC1); // both released
        QCOMPARE(board.accesses[0].address, 0x8000);
        QCOMPARE(board.accesses[0].data, 0x77); // the bus shows what RAM holds there

        board.accesses.clear();
        bridge.ExternalWrite(0x1234, 0x5A);
        QCOMPARE(board.accesses.size(), 2);
        QCOMPARE(board.accesses[0].kind, 0x81); // WR active (bit 6 clear), RD idle
        QCOMPARE(board.accesses[1].kind, 0xC1);
        QCOMPARE(board.accesses[1].data, 0x5A);
    }

    // Levels the board reports become the core's external pin levels (above 2.5 V is 1). A level
    // that changes again before the core ran waits for the core, so no pulse is lost.
    void pinReports() {
        mcs51::Core core;
        TFirmwareBridge bridge(core);
        auto pin = [&](int address, int bit, int space, int volts) {
            bridge.HandleMessage(
                HostMsg::PinLevel,
                PackBytes(quint8(address), quint8(bit), quint8(space), quint8(volts)), 0);
        };
        auto runOnce = [&] {
            core.Step(); // a NOP
            bridge.ApplyPending();
        };
        pin(0xB0, 2, 2, 0);
        QCOMPARE(core.ExternalPins(3), uint8_t(0xFB));
        QCOMPARE(core.PortPins(3) & 0x04, 0);
        runOnce();
        pin(0xB0, 2, 2, 2);
        QCOMPARE(core.ExternalPins(3), uint8_t(0xFB));
        pin(0xB0, 2, 2, 3);
        QCOMPARE(core.ExternalPins(3), uint8_t(0xFF));
        // other spaces and addresses are no port of the part
        runOnce();
        pin(0xB0, 2, 1, 0);
        pin(0xB1, 2, 2, 0);
        QCOMPARE(core.ExternalPins(3), uint8_t(0xFF));
        QVERIFY(!bridge.HasPending());
        bridge.HandleMessage(HostMsg::PortByte, PackBytes(0x90, 0, 2, 0x3C), 0);
        QCOMPARE(core.ExternalPins(1), uint8_t(0x3C));

        // a press and a release before the core runs: the release waits a step
        runOnce();
        pin(0xB0, 2, 2, 0);
        pin(0xB0, 2, 2, 5);
        QCOMPARE(core.ExternalPins(3), uint8_t(0xFB));
        QVERIFY(bridge.HasPending());
        QVERIFY(!bridge.ApplyPending()); // the core has not seen the low level yet
        runOnce();
        QCOMPARE(core.ExternalPins(3), uint8_t(0xFF));
        QVERIFY(!bridge.HasPending());
    }

    // ---- a switch to ground on P1.0

    // Closing the switch pulls the pin low, whether it is a lone host pin or a port's pin (read
    // by a driven port or not): the pin, the firmware's read of the port and the driven port's
    // latch all see it, and opening the switch again gives the pin back its high level.
    void switchToGroundOnP10_data() {
        QTest::addColumn<QString>("board");
        QTest::addColumn<int>("clicks");
        QTest::addColumn<int>("level");   // of the pin, mV
        QTest::addColumn<int>("readBit"); // bit 0 of P1 as the firmware reads it
        QTest::addColumn<int>("latched"); // the driven port's latched bit 0; -1: none on the board
        const struct {
            const char* name;
            QString board;
            bool driven;
        } boards[] = {
            {"lone host pin", QLatin1String(SwitchOnLonePin), false},
            {"port pin", QLatin1String(SwitchOnPortPin), false},
            {"port pin read by a driven port",
             QLatin1String(SwitchOnPortPin) + QLatin1String(DrivenPortReads), true},
        };
        const struct {
            const char* name;
            int clicks;
            bool closed;
        } states[] = {{"open", 0, false}, {"closed", 1, true}, {"opened again", 2, false}};
        for (const auto& b : boards) {
            for (const auto& s : states) {
                const int bit = s.closed ? 0 : 1;
                QTest::addRow("%s, %s", b.name, s.name)
                    << b.board << s.clicks << (s.closed ? 0 : 5000) << bit << (b.driven ? bit : -1);
            }
        }
    }
    void switchToGroundOnP10() {
        QFETCH(QString, board);
        QFETCH(int, clicks);
        QFETCH(int, level);
        QFETCH(int, readBit);
        QFETCH(int, latched);
        QTemporaryDir dir;
        const QString boardFile = writeFile(dir, QStringLiteral("p10.ovd"), board.toUtf8());
        const QString firmwareFile = writeFile(dir, QStringLiteral("read_p1.hex"), ReadP1Firmware);
        QVERIFY(!boardFile.isEmpty() && !firmwareFile.isEmpty());
        Editor e;
        QVERIFY(e.window->LoadFromFile(boardFile));
        QVERIFY(e.window->Firmware()->LoadFirmware(firmwareFile));
        e.run();
        e.runner()->RunFor(1);

        auto* sw = e.find<TSwitch>(QStringLiteral("SW1"));
        QVERIFY(sw);
        for (int i = 0; i < clicks; ++i) {
            QTest::mouseClick(sw, Qt::LeftButton, {}, sw->rect().center());
            e.runner()->RunFor(1);
        }

        TOrvexPin* pin = nullptr;
        if (auto* lone = e.find<TUPin>(QStringLiteral("P10")))
            pin = lone->HostPin();
        else if (auto* port = e.find<TUPort>(QStringLiteral("P1")))
            pin = port->Port()->Pins(0);
        QVERIFY(pin);
        QCOMPARE(pin->Value(), level);
        QCOMPARE(e.runner()->Core().Iram()[0x30] & 1, readBit);
        auto* driven = e.find<TUDrivenPort>(QStringLiteral("Dr"));
        QCOMPARE(driven != nullptr, latched >= 0);
        if (driven) QCOMPARE(driven->Latch(0)->LatchedValue() > 2500 ? 1 : 0, latched);
    }

    // ---- the runner and the window

    // While firmware runs, the board's clock is the core's: simulated milliseconds, not real
    // ones. Pausing stops both.
    void oneClock() {
        Editor e;
        QVERIFY(e.window->Firmware()->LoadFirmware(example(QStringLiteral("firmware/blink.ihx"))));
        const qint64 before = Clock().TickCount();
        e.run();
        QCOMPARE(e.runner()->CurrentState(), TFirmwareRunner::State::Running);
        e.runner()->RunFor(250);
        QCOMPARE(Clock().TickCount() - before, qint64(250));
        QVERIFY(e.runner()->Cycles() >= 250000 && e.runner()->Cycles() < 250010);
        e.runner()->SetCrystal(11059200);
        const quint64 cycles = e.runner()->Cycles();
        e.runner()->RunFor(100);
        QVERIFY(qAbs(qint64(e.runner()->Cycles() - cycles) - 92160) < 10);
        // Run off stops the firmware; Run on starts it again from reset.
        e.window->RunButton()->click();
        QCOMPARE(e.runner()->CurrentState(), TFirmwareRunner::State::Stopped);
        e.run();
        QCOMPARE(e.runner()->Cycles(), quint64(0));
        QCOMPARE(e.runner()->Core().PC(), uint16_t(0));
    }

    // A file that does not load names the file and the line, and the firmware that ran goes on.
    void loadErrorChangesNothing_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("message");
        QTest::newRow("checksum") << testFirmware(QStringLiteral("badsum.hex"))
                                  << QStringLiteral("badsum.hex was not loaded: line 1");
        QTest::newRow("missing") << testFirmware(QStringLiteral("nothing.hex"))
                                 << QStringLiteral("nothing.hex was not loaded");
    }
    void loadErrorChangesNothing() {
        QFETCH(QString, file);
        QFETCH(QString, message);
        Editor e;
        const QString good = example(QStringLiteral("firmware/blink.ihx"));
        QVERIFY(e.window->Firmware()->LoadFirmware(good));
        e.run();
        e.runner()->RunFor(10);
        const quint64 cycles = e.runner()->Cycles();
        QVERIFY(!e.window->Firmware()->LoadFirmware(file));
        QVERIFY2(e.dialogs->LastText().contains(message), qPrintable(e.dialogs->LastText()));
        QCOMPARE(e.dialogs->messages.last().caption, QStringLiteral("Error"));
        QCOMPARE(e.runner()->FileName(), good);
        QCOMPARE(e.runner()->CurrentState(), TFirmwareRunner::State::Running);
        QCOMPARE(e.runner()->Cycles(), cycles);
    }

    // The undefined instruction stops the firmware with a clear state; the status bar says so.
    void haltsAtUndefinedInstruction() {
        Editor e;
        QVERIFY(e.window->Firmware()->LoadFirmware(testFirmware(QStringLiteral("undefined.hex"))));
        e.run();
        e.runner()->RunFor(1);
        QCOMPARE(e.runner()->CurrentState(), TFirmwareRunner::State::Halted);
        QVERIFY2(e.window->Firmware()->StatusText().contains(
                     QStringLiteral("stopped at an undefined instruction at 0x0000")),
                 qPrintable(e.window->Firmware()->StatusText()));
        QVERIFY(e.window->Firmware()->StatusText().contains(QStringLiteral("undefined.hex")));
    }

    // Pause, Step and the register panel: one instruction per step, the panel showing it.
    void stepWhilePaused() {
        Editor e;
        TFirmwareUi* ui = e.window->Firmware();
        QVERIFY(ui->LoadFirmware(example(QStringLiteral("firmware/blink.ihx"))));
        QVERIFY(!ui->StepAction()->isEnabled());
        e.run();
        e.runner()->RunFor(3);
        ui->PauseAction()->trigger();
        QCOMPARE(e.runner()->CurrentState(), TFirmwareRunner::State::Paused);
        QVERIFY(ui->StepAction()->isEnabled());
        QCOMPARE(ui->PauseAction()->text(), QStringLiteral("&Continue"));
        const quint64 instructions = e.runner()->Core().Instructions();
        ui->StepAction()->trigger();
        QCOMPARE(e.runner()->Core().Instructions(), instructions + 1);
        const QString pc = QStringLiteral("PC   %1").arg(
            QString::number(e.runner()->Core().PC(), 16).toUpper().rightJustified(4, u'0'));
        QVERIFY2(ui->RegisterPanel()->Text().contains(pc), qPrintable(ui->RegisterPanel()->Text()));
        QVERIFY(ui->RegisterPanel()->Text().contains(QStringLiteral("paused")));
        ui->PauseAction()->trigger();
        QCOMPARE(e.runner()->CurrentState(), TFirmwareRunner::State::Running);
        QVERIFY(!ui->StepAction()->isEnabled());
    }

    // The terminal shows what the firmware sends and sends what the user types.
    void serialTerminal() {
        Editor e;
        TFirmwareUi* ui = e.window->Firmware();
        QVERIFY(ui->LoadFirmware(example(QStringLiteral("firmware/serial_echo.ihx"))));
        e.run();
        e.runner()->RunFor(30);
        QCOMPARE(ui->Terminal()->toPlainText(), QStringLiteral("hello\n"));
        QTest::keyClicks(ui->Terminal(), QStringLiteral("ok"));
        QTest::keyClick(ui->Terminal(), Qt::Key_Return);
        e.runner()->RunFor(30);
        ui->Terminal()->Flush(); // arrivals are laid out together, a few times a second
        QCOMPARE(ui->Terminal()->toPlainText(), QStringLiteral("hello\nok"));
        e.runner()->SerialReceive("\x01!");
        e.runner()->RunFor(30);
        ui->Terminal()->Flush();
        QCOMPARE(ui->Terminal()->toPlainText(), QStringLiteral("hello\nok\n\\x01!"));
    }

    // Firmware belongs to its board: opening a board loads the firmware last loaded with it, else
    // the one named like it (firmware/NAME.ihx, NAME.ihx, NAME.hex) beside it, and never keeps
    // the previous board's; New leaves none.
    void firmwareGoesWithBoard() {
        Editor e;
        TFirmwareUi* ui = e.window->Firmware();
        QTemporaryDir dir;
        const QString mine = dir.filePath(QStringLiteral("mine.ovd"));
        QVERIFY(QFile::copy(example(QStringLiteral("blink.ovd")), mine));
        const QString bare = dir.filePath(QStringLiteral("bare.ovd"));
        QVERIFY(QFile::copy(example(QStringLiteral("blink.ovd")), bare));
        const QString besideHex = dir.filePath(QStringLiteral("hexed.ovd"));
        QVERIFY(QFile::copy(example(QStringLiteral("blink.ovd")), besideHex));
        QVERIFY(QFile::copy(example(QStringLiteral("firmware/counter.ihx")),
                            dir.filePath(QStringLiteral("hexed.hex"))));
        const auto loaded = [&] {
            return e.runner()->HasFirmware() ? QFileInfo(e.runner()->FileName()).fileName()
                                             : QString();
        };

        QVERIFY(e.window->LoadFromFile(mine));
        QCOMPARE(loaded(), QString());
        QVERIFY(ui->LoadFirmware(example(QStringLiteral("firmware/running_light.ihx"))));

        QVERIFY(e.window->LoadFromFile(example(QStringLiteral("blink.ovd"))));
        QCOMPARE(loaded(), QStringLiteral("blink.ihx"));
        QVERIFY(e.window->LoadFromFile(mine));
        QCOMPARE(loaded(), QStringLiteral("running_light.ihx"));
        QVERIFY(e.window->LoadFromFile(besideHex));
        QCOMPARE(loaded(), QStringLiteral("hexed.hex"));
        QVERIFY(e.window->LoadFromFile(bare)); // nothing of its own: the previous one goes
        QCOMPARE(loaded(), QString());
        QCOMPARE(e.window->BoardHost(), nullptr);
        QVERIFY(!ui->OfferAction()->isVisible());

        // The one last loaded with a board wins over the one beside it.
        QVERIFY(e.window->LoadFromFile(example(QStringLiteral("blink.ovd"))));
        QVERIFY(ui->LoadFirmware(example(QStringLiteral("firmware/counter.ihx"))));
        QVERIFY(e.window->LoadFromFile(mine));
        QVERIFY(e.window->LoadFromFile(example(QStringLiteral("blink.ovd"))));
        QCOMPARE(loaded(), QStringLiteral("counter.ihx"));
        QCOMPARE(ui->OfferFor(example(QStringLiteral("blink.ovd"))),
                 QFileInfo(example(QStringLiteral("firmware/counter.ihx"))).absoluteFilePath());
        ui->LoadFirmware(example(QStringLiteral("firmware/blink.ihx")));

        // New: no firmware anywhere the user looks.
        e.run();
        e.window->miNewClick();
        QVERIFY(!e.window->Running());
        QCOMPARE(e.runner()->CurrentState(), TFirmwareRunner::State::NoFirmware);
        QCOMPARE(ui->StatusText(), QString());
        QVERIFY(ui->RegisterPanel()->Text().startsWith(QStringLiteral("No firmware loaded")));
        QVERIFY(!e.window->findChild<QAction*>(QStringLiteral("miReload"))->isEnabled());
        QCOMPARE(e.window->BoardHost(), nullptr);
    }

    // A board's firmware that does not load is named in an error box and stays offered.
    void brokenFirmwareIsOffered() {
        Editor e;
        TFirmwareUi* ui = e.window->Firmware();
        QTemporaryDir dir;
        const QString board = dir.filePath(QStringLiteral("board.ovd"));
        QVERIFY(QFile::copy(example(QStringLiteral("blink.ovd")), board));
        QFile broken(dir.filePath(QStringLiteral("board.ihx")));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write(":nonsense\n");
        broken.close();
        QVERIFY(e.window->LoadFromFile(board));
        QVERIFY(!e.runner()->HasFirmware());
        QVERIFY(ui->OfferAction()->isVisible());
        QVERIFY(ui->OfferAction()->text().contains(QStringLiteral("board.ihx")));
        QCOMPARE(e.dialogs->messages.first().caption, QStringLiteral("Error"));
        QVERIFY(e.dialogs->messages.first().text.contains(QStringLiteral("board.ihx")));
    }

    // The Load dialog starts where the board's own firmware is, with it chosen; for a board
    // without one, in the board's folder.
    void loadDialogStartsAtTheBoard() {
        Editor e;
        TFirmwareUi* ui = e.window->Firmware();
        QVERIFY(e.window->LoadFromFile(example(QStringLiteral("blink.ovd"))));
        ui->LoadFirmware(example(QStringLiteral("firmware/blink.ihx")));
        ui->LoadFirmwareClick();
        QCOMPARE(e.dialogs->fileDialogs.last().directory,
                 QFileInfo(example(QStringLiteral("firmware/blink.ihx"))).absolutePath());
        QCOMPARE(e.dialogs->fileDialogs.last().fileName, QStringLiteral("blink.ihx"));

        QTemporaryDir dir;
        const QString board = dir.filePath(QStringLiteral("plain.ovd"));
        QVERIFY(QFile::copy(example(QStringLiteral("blink.ovd")), board));
        QVERIFY(e.window->LoadFromFile(board));
        ui->LoadFirmwareClick();
        QCOMPARE(e.dialogs->fileDialogs.last().directory, QFileInfo(board).absolutePath());
        QCOMPARE(e.dialogs->fileDialogs.last().fileName, QString());
    }

    // Loading shows the program's reset state at once, not what the previous run left.
    void loadShowsResetState() {
        Editor e;
        TFirmwareUi* ui = e.window->Firmware();
        QVERIFY(ui->LoadFirmware(example(QStringLiteral("firmware/blink.ihx"))));
        QVERIFY(ui->RegisterPanel()->Text().contains(QStringLiteral("PC   0000")));
        e.run();
        e.runner()->RunFor(20);
        e.window->RunButton()->click();
        QVERIFY(!ui->RegisterPanel()->Text().contains(QStringLiteral("Cycles  0\n")));
        QVERIFY(ui->LoadFirmware(example(QStringLiteral("firmware/counter.ihx"))));
        const QString text = ui->RegisterPanel()->Text();
        QVERIFY2(text.contains(QStringLiteral("PC   0000")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("SP   07")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("Cycles  0\n")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("P1   11111111  11111111")), qPrintable(text));
    }

    // The board opened at start-up stands with its title and the firmware given with it before
    // the load message is shown: the box holds up nothing.
    void startUpLoadsBeforeTheMessage_data() {
        QTest::addColumn<bool>("given");
        QTest::newRow("--firmware") << true;
        QTest::newRow("its own") << false;
    }
    void startUpLoadsBeforeTheMessage() {
        QFETCH(bool, given);
        struct Seen {
            QString title;
            QString firmware;
            TFirmwareRunner::State state;
        };
        struct OrderRecorder : DialogRecorder {
            TfrmPlugin* window = nullptr;
            QList<Seen> seen;
            void ShowMessage(QObject* parent, MessageIcon icon, const QString& caption,
                             const QString& text) override {
                TFirmwareRunner* runner = window->Firmware()->Runner();
                seen.append({window->windowTitle(), QFileInfo(runner->FileName()).fileName(),
                             runner->CurrentState()});
                DialogRecorder::ShowMessage(parent, icon, caption, text);
            }
        };
        Editor e;
        // A board of its own, unknown to the firmware memory, with its firmware beside it.
        QTemporaryDir dir;
        const QString board = dir.filePath(QStringLiteral("start.ovd"));
        QVERIFY(QFile::copy(example(QStringLiteral("blink.ovd")), board));
        QVERIFY(QFile::copy(example(QStringLiteral("firmware/blink.ihx")),
                            dir.filePath(QStringLiteral("start.ihx"))));
        OrderRecorder recorder;
        recorder.window = e.window.get();
        DialogService* previous = &Dialogs();
        InstallDialogs(&recorder);
        e.window->Firmware()->OpenWith(
            board, given ? example(QStringLiteral("firmware/counter.ihx")) : QString());
        InstallDialogs(previous);
        QCOMPARE(recorder.messages.size(), 1);
        QCOMPARE(recorder.messages.first().caption, QStringLiteral("Information"));
        QVERIFY2(recorder.seen.first().title.contains(QStringLiteral("start")),
                 qPrintable(recorder.seen.first().title));
        QCOMPARE(recorder.seen.first().firmware,
                 given ? QStringLiteral("counter.ihx") : QStringLiteral("start.ihx"));
        QCOMPARE(recorder.seen.first().state, TFirmwareRunner::State::Stopped);
    }

    // The register panel shows the timers, the serial port and the remaining control registers.
    void registerPanelShowsPeripherals_data() {
        QTest::addColumn<int>("address");
        QTest::addColumn<QString>("label");
        namespace sfr = mcs51::sfr;
        QTest::newRow("TMOD") << int(sfr::TMOD) << QStringLiteral("TMOD");
        QTest::newRow("TH0") << int(sfr::TH0) << QStringLiteral("TH0 ");
        QTest::newRow("TL0") << int(sfr::TL0) << QStringLiteral("TL0 ");
        QTest::newRow("TH1") << int(sfr::TH1) << QStringLiteral("TH1 ");
        QTest::newRow("TL1") << int(sfr::TL1) << QStringLiteral("TL1 ");
        QTest::newRow("SCON") << int(sfr::SCON) << QStringLiteral("SCON");
        QTest::newRow("SBUF") << int(sfr::SBUF) << QStringLiteral("SBUF");
        QTest::newRow("IP") << int(sfr::IP) << QStringLiteral("IP  ");
        QTest::newRow("PCON") << int(sfr::PCON) << QStringLiteral("PCON");
    }
    void registerPanelShowsPeripherals() {
        QFETCH(int, address);
        QFETCH(QString, label);
        Editor e;
        TFirmwareUi* ui = e.window->Firmware();
        QVERIFY(ui->LoadFirmware(example(QStringLiteral("firmware/blink.ihx"))));
        // A value no other register of the panel holds after reset; IP and PCON keep their
        // unused bits.
        const uint8_t value = address == mcs51::sfr::IP     ? 0x15
                              : address == mcs51::sfr::PCON ? 0x03
                                                            : 0xA6;
        e.runner()->Core().SetSfr(uint8_t(address), value);
        const QString expected =
            label + QLatin1Char(' ') +
            QStringLiteral("%1")
                .arg(e.runner()->Core().Sfr(uint8_t(address)), 2, 16, QLatin1Char('0'))
                .toUpper();
        QVERIFY(!ui->RegisterPanel()->Text().contains(expected));
        ui->RegisterPanel()->Refresh();
        QVERIFY2(ui->RegisterPanel()->Text().contains(expected),
                 qPrintable(ui->RegisterPanel()->Text()));
    }

    // Any crystal from 1 to 60 MHz is taken as typed; the usual ones are offered.
    void crystalParsing_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("hz");
        QTest::newRow("offered") << QStringLiteral("11.0592 MHz") << 11059200.0;
        QTest::newRow("bare") << QStringLiteral("14.7456") << 14745600.0;
        QTest::newRow("spaces, lower case") << QStringLiteral(" 24 mhz ") << 24000000.0;
        QTest::newRow("lowest") << QStringLiteral("1") << 1000000.0;
        QTest::newRow("highest") << QStringLiteral("60") << 60000000.0;
        QTest::newRow("too low") << QStringLiteral("0.5") << 0.0;
        QTest::newRow("too high") << QStringLiteral("60.1") << 0.0;
        QTest::newRow("negative") << QStringLiteral("-12") << 0.0;
        QTest::newRow("no number") << QStringLiteral("fast") << 0.0;
        QTest::newRow("empty") << QString() << 0.0;
        QTest::newRow("not a number") << QStringLiteral("nan") << 0.0;
        QTest::newRow("infinite") << QStringLiteral("inf") << 0.0;
    }
    void crystalParsing() {
        QFETCH(QString, text);
        QFETCH(double, hz);
        QCOMPARE(TFirmwareUi::ParseCrystal(text), hz);
    }

    // The crystal is typed or chosen, refused out of range, and remembered with the board.
    void crystalGoesWithBoard() {
        Editor e;
        TFirmwareUi* ui = e.window->Firmware();
        auto* box = e.window->findChild<QComboBox*>(QStringLiteral("cbCrystal"));
        QVERIFY(box && box->isEditable());
        QStringList offered;
        for (int i = 0; i < box->count(); ++i)
            offered << box->itemText(i);
        QCOMPARE(offered, QStringList({QStringLiteral("11.0592 MHz"), QStringLiteral("12 MHz"),
                                       QStringLiteral("24 MHz")}));
        QCOMPARE(box->currentText(), QStringLiteral("12 MHz"));

        QTemporaryDir dir;
        const QString board = dir.filePath(QStringLiteral("fast.ovd"));
        QVERIFY(QFile::copy(example(QStringLiteral("blink.ovd")), board));
        QVERIFY(e.window->LoadFromFile(board));
        box->lineEdit()->setText(QStringLiteral("18.432"));
        emit box->lineEdit()->editingFinished();
        QCOMPARE(e.runner()->Crystal(), 18432000.0);
        box->lineEdit()->setText(QStringLiteral("75"));
        emit box->lineEdit()->editingFinished();
        QCOMPARE(e.runner()->Crystal(), 18432000.0);
        QCOMPARE(box->currentText(), QStringLiteral("18.432 MHz"));
        QVERIFY(!ui->SetCrystal(0.5e6));
        QVERIFY(!ui->SetCrystal(61e6));
        QCOMPARE(e.runner()->Crystal(), 18432000.0);

        e.window->miNewClick();
        QCOMPARE(e.runner()->Crystal(), TFirmwareRunner::DefaultCrystal);
        QCOMPARE(box->currentText(), QStringLiteral("12 MHz"));
        QVERIFY(e.window->LoadFromFile(board));
        QCOMPARE(e.runner()->Crystal(), 18432000.0);

        // Other... asks for the frequency.
        e.dialogs->inputAnswers << QStringLiteral("3.579545");
        e.window->findChild<QAction*>(QStringLiteral("miOtherCrystal"))->trigger();
        QCOMPARE(e.runner()->Crystal(), 3579545.0);
        QVERIFY(e.window->findChild<QAction*>(QStringLiteral("miOtherCrystal"))->isChecked());
        QCOMPARE(box->currentText(), QStringLiteral("3.579545 MHz"));
    }

    // Only regular files of at most 4 MB are firmware: a pipe would block the window for good in
    // open(), a device such as /dev/zero read without end.
    void loadRefusesWhatIsNoFile_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("message");
        QTest::newRow("device") << QStringLiteral("/dev/zero")
                                << QStringLiteral("zero was not loaded: it is a device or a pipe");
        QTest::newRow("folder") << QStringLiteral("/tmp")
                                << QStringLiteral("tmp was not loaded: it is a folder");
        QTest::newRow("too large") << QStringLiteral("large.bin")
                                   << QStringLiteral("large.bin was not loaded: the file is "
                                                     "larger than 4 MB");
        QTest::newRow("pipe") << QStringLiteral("pipe.hex")
                              << QStringLiteral(
                                     "pipe.hex was not loaded: it is a device or a pipe");
    }
    void loadRefusesWhatIsNoFile() {
        QFETCH(QString, file);
        QFETCH(QString, message);
        QTemporaryDir dir;
        std::optional<FifoGuard> fifo;
        if (file == u"large.bin") {
            file = dir.filePath(file);
            QFile large(file);
            QVERIFY(large.open(QIODevice::WriteOnly));
            QVERIFY(large.resize(TFirmwareRunner::MaxFileSize + 1));
        } else if (file == u"pipe.hex") {
            file = dir.filePath(file);
            fifo.emplace(file, 5000);
            QVERIFY(fifo->Made());
        }
        const std::optional<QString> error = loadWithin(file, 10000);
        QVERIFY2(error, "the load did not return");
        QVERIFY2(error->contains(message), qPrintable(*error));
        if (fifo) QVERIFY2(!fifo->Fired(), "the load blocked on the pipe");
    }

    // The window's way (also of the scenario runner and of the firmware that goes with a board)
    // refuses a pipe with a message and keeps the firmware it ran.
    void windowRefusesPipe() {
        Editor e;
        QTemporaryDir dir;
        const QString pipe = dir.filePath(QStringLiteral("pipe.ihx"));
        FifoGuard fifo(pipe, 5000);
        QVERIFY(fifo.Made());
        const QString good = example(QStringLiteral("firmware/blink.ihx"));
        QVERIFY(e.window->Firmware()->LoadFirmware(good));
        QVERIFY(!e.window->Firmware()->LoadFirmware(pipe));
        QVERIFY2(!fifo.Fired(), "the load blocked on the pipe");
        QVERIFY2(e.dialogs->LastText().contains(
                     QStringLiteral("pipe.ihx was not loaded: it is a device or a pipe")),
                 qPrintable(e.dialogs->LastText()));
        QCOMPARE(e.runner()->FileName(), good);
    }

    // Intel HEX or an image by content, whatever the name says; an empty file says so.
    void loadByContent_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message"); // empty: loads
        QTest::addColumn<int>("first");       // the byte at address 0 after a load
        const QByteArray hex = ":0100000055AA\r\n:00000001FF\r\n";
        const QByteArray image("\x20\x3A\x80\xFE", 4);
        QTest::newRow("HEX in a .bin") << "hex.bin" << hex << QString() << 0x55;
        QTest::newRow("HEX with CR in a .hex")
            << "cr.hex" << QByteArray(hex).replace("\r\n", "\r") << QString() << 0x55;
        QTest::newRow("image in a .hex") << "image.hex" << image << QString() << 0x20;
        QTest::newRow("image, no suffix") << "image" << image << QString() << 0x20;
        QTest::newRow("empty .hex")
            << "empty.hex" << QByteArray()
            << "The firmware empty.hex was not loaded: the file is empty." << 0;
        QTest::newRow("empty .bin")
            << "empty.bin" << QByteArray()
            << "The firmware empty.bin was not loaded: the file is empty." << 0;
    }
    void loadByContent() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        QFETCH(int, first);
        QTemporaryDir dir;
        const QString file = dir.filePath(name);
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        QCOMPARE(out.write(bytes), bytes.size());
        out.close();
        TFirmwareRunner runner;
        QCOMPARE(runner.Load(file), message);
        if (message.isEmpty()) QCOMPARE(runner.Core().Code()[0], uint8_t(first));
        QCOMPARE(runner.HasFirmware(), message.isEmpty());
    }

    // A firmware sending without line breaks fills lines of bounded length; what the terminal
    // keeps stays bounded and appending to it stays quick.
    void terminalBoundedUnderFlood() {
        TFirmwareRunner runner;
        TSerialTerminal terminal(&runner);
        terminal.resize(600, 300);
        terminal.show();
        QVERIFY(QTest::qWaitForWindowExposed(&terminal));
        QByteArray chunk(2048, 'a');
        chunk[100] = '\x01'; // shown as four characters
        QElapsedTimer timer;
        timer.start();
        for (int n = 0; n < 1024; ++n) { // 2 MB
            terminal.Append(chunk);
            if (timer.elapsed() > 20000) QFAIL("appending slows down with the line's length");
        }
        const QTextDocument* document = terminal.document();
        QVERIFY(document->blockCount() <= TSerialTerminal::MaxLines);
        QVERIFY(document->characterCount() <=
                TSerialTerminal::MaxLines * (TSerialTerminal::MaxLineLength + 1) + 1);
        for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
            QVERIFY(block.length() - 1 <= TSerialTerminal::MaxLineLength);
        // No escape is cut in two by a break.
        QVERIFY(!terminal.toPlainText().contains(
            QRegularExpression(QStringLiteral("\\\\(\n|x\n|x0\n)"))));
        // The next short text is laid out and shown at once.
        timer.restart();
        terminal.Append("\r\nend");
        terminal.repaint();
        QVERIFY2(timer.elapsed() < 2000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(document->lastBlock().text(), QStringLiteral("end"));
    }

    // A text larger than all the terminal keeps arrives at once (the window was busy): its tail
    // is what shows, and lines go on being counted from there.
    void terminalKeepsTailOfLargeText() {
        TFirmwareRunner runner;
        TSerialTerminal terminal(&runner);
        terminal.Append("first\n");
        QByteArray text;
        const int lines = TSerialTerminal::MaxLines + 10;
        for (int line = 0; line < lines; ++line)
            text +=
                QByteArray::number(line).rightJustified(TSerialTerminal::MaxLineLength, '.') + '\n';
        terminal.Append(text + "tail");
        const QTextDocument* document = terminal.document();
        QVERIFY(document->blockCount() <= TSerialTerminal::MaxLines);
        QVERIFY(!terminal.toPlainText().contains(QStringLiteral("first")));
        QCOMPARE(document->lastBlock().text(), QStringLiteral("tail"));
        QVERIFY(
            document->lastBlock().previous().text().endsWith(QStringLiteral(".%1").arg(lines - 1)));
        terminal.ClearTerminal();
        terminal.Append(QByteArray(TSerialTerminal::MaxLineLength, 'c') + "d");
        QCOMPARE(document->lastBlock().text(), QStringLiteral("d"));
    }

    // Accesses nothing on the board decodes are not sent; what the board decodes is asked again
    // once it changed, and a port write is sent whenever it changes a bit a pin shows, or
    // anything happened on the board since the port's last access.
    void undecodedAccessesStayInTheCore() {
        mcs51::Core core;
        TFirmwareBridge bridge(core);
        DecodingBoard board;
        board.xdata = {{0x8000, 0xFF}};
        board.data = {{0x90, 0x01}};
        bridge.SetBoard(&board);
        core.Xram()[0x1234] = 0x66;
        QCOMPARE(bridge.ExternalRead(0x1234), -1); // external RAM gives the byte
        bridge.ExternalWrite(0x1234, 0x5A);
        QCOMPARE(board.accesses.size(), 0);
        board.replies = {0x12, -1};
        QCOMPARE(bridge.ExternalRead(0x8000), 0x12);
        QCOMPARE(board.accesses.size(), 2);

        board.xdata.push_back({0x1234, 0xFF});
        ++board.generation;
        bridge.ExternalWrite(0x1234, 0x5A);
        QCOMPARE(board.accesses.size(), 4);
        QCOMPARE(board.accesses[2].address, 0x1234);

        board.accesses.clear();
        bridge.PortWritten(1, 0xFE); // first write: the board hears it
        bridge.PortWritten(1, 0xFC); // only P1.1 changed, which nothing shows
        QCOMPARE(board.accesses.size(), 1);
        bridge.PortWritten(1, 0xFD); // P1.0 changed
        QCOMPARE(board.accesses.size(), 2);
        QCOMPARE(board.accesses[1].data, 0xFD);
        // A pin level the board reported meanwhile: the next change is heard with the rest.
        bridge.HandleMessage(HostMsg::PinLevel, PackBytes(0x90, 0, TFirmwareBridge::KindData, 0),
                             0);
        bridge.PortWritten(1, 0xFF);
        QCOMPARE(board.accesses.size(), 3);
        // Another access may have spread to the port's pins.
        bridge.PortWritten(1, 0xFD); // P1.1 only, right after the port's own access
        QCOMPARE(board.accesses.size(), 3);
        bridge.ExternalWrite(0x8000, 1);
        bridge.PortWritten(1, 0xFF);
        QCOMPARE(board.accesses.size(), 6);
        // A pin placed on P1.1 hears the next change there.
        bridge.PortWritten(1, 0xFD);
        QCOMPARE(board.accesses.size(), 6);
        board.data.push_back({0x90, 0x02});
        ++board.generation;
        bridge.PortWritten(1, 0xFF);
        QCOMPARE(board.accesses.size(), 7);
        QCOMPARE(board.accesses[6].data, 0xFF);
    }

    // A MOVX reaches a component from the moment it decodes the address: a port whose address is
    // edited while the firmware runs, or one placed meanwhile.
    void movxSeesDecodingChangesAtOnce_data() {
        QTest::addColumn<bool>("placeNew");
        QTest::newRow("address edited") << false;
        QTest::newRow("port placed") << true;
    }
    void movxSeesDecodingChangesAtOnce() {
        QFETCH(bool, placeNew);
        Editor e;
        QVERIFY(e.window->LoadFromFile(example(QStringLiteral("movx_bus.ovd"))));
        // MOV DPTR,#0x9000 / MOV A,#0x3C / loop: MOVX @DPTR,A / SJMP loop
        const QByteArray program("\x90\x90\x00\x74\x3C\xF0\x80\xFD", 8);
        QTemporaryDir dir;
        const QString binary = dir.filePath(QStringLiteral("write9000.bin"));
        QFile file(binary);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(program);
        file.close();
        QVERIFY(e.window->Firmware()->LoadFirmware(binary));
        e.run();
        auto* bus = e.find<TUPort>(QStringLiteral("Bus"));
        auto* latch = e.find<TUDrivenPort>(QStringLiteral("Latch"));
        QVERIFY(bus && latch);
        e.runner()->RunCycles(200);
        QVERIFY(latch->Port()->Value() != 0x3C);
        const quint64 before = e.runner()->Bridge().AccessCount();
        e.runner()->RunCycles(200);
        QCOMPARE(e.runner()->Bridge().AccessCount(), before); // nothing answers 0x9000

        TUPort* target = bus;
        if (placeNew) {
            target = new TUPort(e.board());
            target->SetName(QStringLiteral("Bus2"));
            target->SetSpace(ops_XDATA);
            target->SetAddress(0x9000);
        } else {
            QVERIFY(bus->setProperty("Address", 0x9000));
            auto* strobe = e.find<TUPin>(QStringLiteral("CS"));
            QVERIFY(strobe && strobe->setProperty("Address", 0x9000));
        }
        e.runner()->RunCycles(4);
        QVERIFY(e.runner()->Bridge().AccessCount() > before);
        // The new port shows the byte; the moved bus's latch took it on its strobe.
        QCOMPARE(placeNew ? target->Port()->Value() : latch->Port()->Value(), 0x3C);
    }

private:
    std::unique_ptr<QTemporaryDir> m_settings;
};

QTEST_MAIN(TestFirmware)
#include "test_firmware.moc"
