// brelvan-scenario [options] FILE...: runs scenario files against the main window, headless.
// The options (--jobs, --firmware, --junit, --timeout-ms, --quiet, --verbose; see --help and
// tools/scenariocli.cpp) run many scenarios with many firmware files at once and write reports.
//
// A scenario is a board and what a user does with it, one command per line ("#" after a blank
// or at the start of a line begins a comment; numbers are decimal or 0x hexadecimal):
//
//   board PATH                  open a board file (relative to the scenario) with LoadFromFile
//   run | stop                  switch Run on | off, as the Run button does
//   press NAME [X Y]            left button down on the component (its centre, or X Y inside it)
//   release NAME [X Y]          left button up
//   click NAME [X Y]            both
//   host KIND ADDRESS DATA [DRIVEN]   a host bus access (message 2026) to the board form
//   expect-reply VALUE          the reply to the last host access (-1: nobody answered)
//   wait MS                     advance the clock, running the timers that fall due
//   set PATH VALUE              write a published property from its text form
//   expect PATH VALUE           compare a published property or a state (see below)
//   save PATH                   save the board with SaveToFile (relative to the scenario)
//   expect-message TEXT         the last message box shown contains TEXT
//   firmware PATH               load a firmware file (Intel HEX; relative to the scenario); it
//                               runs while the board is in Run: run starts it from reset; with
//                               --firmware the command line's firmware is loaded instead
//   cycles N                    run the firmware N machine cycles
//   run-for MS                  run the firmware MS milliseconds of simulated time at its crystal
//                               (the board's timers advance with it; wait does not run it)
//   serial-in TEXT              the firmware's serial port receives TEXT (\r \n \\ \xNN escapes)
//   serial-in9 BIT TEXT         the same with BIT (0 or 1) as the ninth bit of every byte, which
//                               modes 2 and 3 receive into RB8 (serial-in sends a ninth bit of 1)
//   expect-serial TEXT          what the firmware transmitted so far ends with TEXT
//   grab PATH [W H]             save a picture of the window (PNG, relative to the scenario)
//   probe NAME X Y [shift|ctrl] the pointer comes to rest at X Y of the component, with the left
//                               Shift or Ctrl key held when given (and let go afterwards); the
//                               probe opens after its 500 ms (the clock advances by that much)
//   move NAME X Y               the pointer moves to X Y of the component without resting
//   expect-probe [TEXT]         the probe window shows TEXT, as laid out, with "\n" for each line
//                               break; without TEXT, no probe window is open
//   break WHERE                 a breakpoint at an address (0x0123 or 0123h), a function or code
//                               label (main), or a source line (main.c:12; a line without code
//                               moves to the next one with code), through the debug information
//                               beside the firmware (the .cdb of SDCC --debug)
//   continue [MS]               run the firmware until a breakpoint stops it, or for MS ms of
//                               simulated time (without MS, no stop within 10 s is an error)
//   step | next | finish        one C line, into calls | over calls; run until the function
//                               returns (by instruction where no source is known); paused after
//   expect Host.LINE FILE:LINE  the C line of the PC ("0x0123" outside any line)
//   expect Var.NAME VALUE       a C variable through the debug information: numbers by value,
//                               arrays and structs as shown ("{1, 2}", "{x = 1, y = 2}"); NAME may
//                               be "pt.x", "arr[2]", "*ptr", "main:local" or "file.c:static"
//   wait-until PATH VALUE [within MS]   run the board and the firmware until PATH shows VALUE,
//                               checked every 0.1 ms of simulated time; fails with the last value
//                               seen when MS pass first (without MS: until the time limit)
//   expect-for MS PATH VALUE    PATH shows VALUE now and all of the next MS ms (checked every 0.1
//                               ms); fails with the value that broke it and when
//   expect-period PATH MS [±PERCENT]   PATH changes back and forth with a period of MS ms within
//                               PERCENT (default 5; "±1%", "+-1" and "1" alike): the time from a
//                               change to the next change the same way, measured twice on the
//                               firmware's cycles in steps of MS/1000 (at least 10 machine cycles)
//
// Time (MS may have decimals in the three commands above) is simulated time: the firmware's
// machine cycles at its crystal while it runs, else the board's clock in whole milliseconds. A
// scenario may take 60000 ms of it (--timeout-ms sets another limit); a command that would go
// beyond stops at the limit and the scenario ends with FILE:LINE: timed out after MS ms of
// simulated time.
//   trace PATH                  record a contact or port ("SW1.Contact1") or the core's own pins
//                               ("Host.P1", "Host.P1.0", "Host.TXD", RXD, INT0, INT1, T0, T1)
//                               while the board is in Run, in simulated time
//   export-vcd FILE [FROM TO] [bits]   write the recording as a value change dump (relative to
//                               the scenario), whole or from FROM to TO ms of the recording;
//                               with "bits" a bus is written as eight 1-bit wires
//
// PATH is an object path as in board files followed by a property: "LED1.Color",
// "Seg1.Segment_B.Lit", "SW1.Contact1.Value". Each name is looked up among the objects the
// previous one owns, else as a published reference of it. Besides published properties (compared
// in their text form: numbers by value, identifiers and sets in any case and spacing, strings
// quoted as in board files or, unquoted, as they stand), expect knows these states:
//   Value, DrivenValue        of a contact, in millivolts
//   Lit, ViewVisible          of a control, or of a component's main control: lit, and its active
//   ViewPicture               picture shown, and that picture's name
//   Picture, Visible          of a component: the name of the picture it shows, and whether it
//                             is shown
//   Text                      of a character LCD: its rows as shown, each without trailing
//                             blanks, joined by "|" (0x20..0x7D as themselves, others \xNN);
//                             empty while the display is off
//   Pixel_X_Y                 of a graphic LCD: 1 when dot (X, Y) is lit, else 0
//   AddressCounter, DisplayOn, Uninitialised   of either LCD's controller, as numbers
//
// and the firmware's state as Host.REG: PC, A, B, PSW, SP, DPTR, P0..P3 (latches), IRAM_0xNN,
// XRAM_0xNNNN, Cycles (machine cycles since the start); the special function registers by name
// (ACC, B, PSW, SP, DPL, DPH, PCON, TCON, TMOD, TL0, TH0, TL1, TH1, SCON, SBUF, IE, IP, T2CON,
// RCAP2L, RCAP2H, TL2, TH2) or as SFR_0xNN, as they stand after the last machine cycle run
// (ports: their latches; SBUF: the receive buffer, as an instruction reads it; an address no
// register occupies, Timer 2's on an 8051 included, reads 0); SBUF_TX: the last byte written to
// SBUF for transmission.
//
// Every failing check is printed as FILE:LINE: expected V, got W; a command that cannot run
// (an unknown command or name, a board that does not exist) is printed as FILE:LINE: error: ...
// and ends its scenario. The last line reads "N passed, M failed; R of S scenario runs passed"
// (N and M counting the checks); the exit code is non-zero when a check failed or a command
// could not run.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMouseEvent>
#include <QPointer>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QToolButton>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>

#include "components/imageview.h"
#include "components/orvexcomponent.h"
#include "editor/boardfile.h"
#include "editor/brelvanfrm.h"
#include "editor/firmwarerunner.h"
#include "editor/firmwareui.h"
#include "lcd/lcd.h"
#include "model/boardlink.h"
#include "model/controls.h"
#include "model/drivers.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "platform/hostmessages.h"
#include "platform/keystate.h"
#include "platform/paintsettings.h"
#include "properties/propertytext.h"
#include "tools/scenario_trace.h"
#include "scenarioresult.h"
#include "scenariotime.h"
#include "tools/scenario_debug.h"

using namespace PropertyText;

namespace {

// The main window, with the board form's own answer to host accesses within reach: the editor
// silences it (it answers no host), a scenario plays the host.
class ScenarioWindow : public TfrmPlugin {
    Q_OBJECT

public:
    qintptr HostAccess(quint32 wParam, qintptr lParam) {
        m_asHost = true;
        const qintptr reply = TSimForm::HostAccessMessage(wParam, lParam);
        m_asHost = false;
        return reply;
    }

    // The probe's memory of where the pointer last rested points nowhere near the board, so the
    // next move is an arrival from elsewhere.
    void ForgetProbePoint() { m_probePoint = QPoint(-1000000, -1000000); }

protected:
    // A component's read answer during the access.
    qintptr HostReplyMessage(quint32 wParam, qintptr lParam) override {
        return m_asHost ? TSimForm::HostReplyMessage(wParam, lParam)
                        : TfrmPlugin::HostReplyMessage(wParam, lParam);
    }

private:
    bool m_asHost = false;
};

// A command that cannot run.
struct CommandError {
    QString Message;
};

using Totals = ScenarioOutcome;

// Findings go into the outcome, which the command line reports; anything printed here directly
// comes before the report (workers' output other than outcomes is dropped).
[[maybe_unused]] QTextStream& out() {
    static QTextStream stream(stdout);
    return stream;
}

// Simulated time a scenario may take unless the command line says otherwise.
constexpr qint64 defaultTimeLimitMs = 60000;

// "#" begins a comment at the start of a line or after a blank, outside quotes, so that the
// character codes of quoted strings ('a'#13'b') stay.
QString withoutComment(const QString& line) {
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (c == u'\'') quoted = !quoted;
        if (c == u'#' && !quoted && (i == 0 || line[i - 1].isSpace())) return line.left(i);
    }
    return line;
}

std::optional<qint64> parseNumber(QStringView text) {
    text = text.trimmed();
    bool negative = false;
    if (!text.isEmpty() && (text.front() == u'-' || text.front() == u'+')) {
        negative = text.front() == u'-';
        text = text.mid(1);
    }
    int base = 10;
    if (text.startsWith(u"0x", Qt::CaseInsensitive)) {
        base = 16;
        text = text.mid(2);
    } else if (text.startsWith(u'$')) {
        base = 16;
        text = text.mid(1);
    }
    if (text.isEmpty() || text.size() > 12) return std::nullopt;
    bool ok = false;
    const qint64 value = text.toLongLong(&ok, base);
    if (!ok) return std::nullopt;
    return negative ? -value : value;
}

qint64 number(QStringView text, qint64 lowest, qint64 highest, const char* what) {
    const std::optional<qint64> value = parseNumber(text);
    if (!value || *value < lowest || *value > highest)
        throw CommandError{QStringLiteral("%1 must be a number from %2 to %3, not \"%4\"")
                               .arg(QLatin1String(what), QString::number(lowest),
                                    QString::number(highest), text.toString())};
    return *value;
}

QString withoutBlanks(QString text) {
    text.remove(QLatin1Char(' '));
    return text;
}

// The value of a check in text form and how it is compared.
struct Observed {
    enum Form { Number, Word, Text };
    Form Kind;
    QString Value;     // the text form
    QString RawString; // strings: the text as it stands, for an unquoted expectation
};

bool matches(const Observed& observed, const QString& expected) {
    switch (observed.Kind) {
    case Observed::Number: {
        const std::optional<qint64> want = parseNumber(expected);
        const std::optional<qint64> got = parseNumber(observed.Value);
        return want && got && *want == *got;
    }
    case Observed::Word: // identifiers, sets, path names, picture names: any case, any spacing
        return withoutBlanks(observed.Value)
                   .compare(withoutBlanks(expected), Qt::CaseInsensitive) == 0;
    case Observed::Text:
        if (expected.startsWith(QLatin1Char('\''))) return observed.Value == expected;
        return observed.RawString == expected;
    }
    return false;
}

QString boolText(bool value) {
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

class Scenario {
public:
    Scenario(const QString& fileName, Totals& totals, const ScenarioSettings& settings = {})
        : m_fileName(fileName), m_totals(totals), m_settings(settings),
          m_limitMs(settings.TimeoutMs > 0 ? settings.TimeoutMs : defaultTimeLimitMs) {}

    void Run() {
        QFile file(m_fileName);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
            m_totals.Findings.append(ScenarioFinding{
                ScenarioFinding::Kind::Error,
                m_fileName,
                0,
                {},
                {},
                QStringLiteral("cannot read the scenario: %1").arg(file.errorString())});
            m_totals.Broken = true;
            return;
        }
        const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
        m_directory = QFileInfo(m_fileName).absoluteDir();

        ScopedDialogRecorder dialogs;
        ScopedManualClock clock;
        ScopedKeyState keys;
        m_dialogs = &*dialogs;
        m_clock = &*clock;
        m_keys = &*keys;
        auto window = std::make_unique<ScenarioWindow>();
        // The firmware runs only when the scenario says so, in simulated time.
        window->Firmware()->Runner()->SetFreeRunning(false);
        window->resize(800, 600);
        // Shown as far as the widgets can tell, but never put on a screen and never painted:
        // painting is most of a short run's cost, and only grab needs it.
        window->setAttribute(Qt::WA_DontShowOnScreen);
        window->show();
        window->setUpdatesEnabled(false);
        m_window = window.get();
        m_startTicks = m_clock->TickCount();
        for (qsizetype i = 0; i < lines.size(); ++i) {
            m_line = int(i + 1);
            const QString line = withoutComment(lines[i]).trimmed();
            if (line.isEmpty()) continue;
            try {
                Execute(line);
            } catch (const CommandError& error) {
                m_totals.Findings.append(ScenarioFinding{
                    ScenarioFinding::Kind::Error, m_fileName, m_line, {}, {}, error.Message});
                m_totals.Broken = true;
                break;
            }
            if (m_outOfTime) {
                TimedOut(QString());
                break;
            }
            if (m_timedOut) break;
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
        }
        m_totals.SimulatedMs = ElapsedMs();
        window.reset();
        m_window = nullptr;
    }

private:
    void Execute(const QString& line) {
        const qsizetype blank = line.indexOf(QLatin1Char(' '));
        const QString command = (blank < 0 ? line : line.left(blank)).toLower();
        const QString rest = blank < 0 ? QString() : line.mid(blank + 1).trimmed();
        const QStringList words = rest.split(QLatin1Char(' '), Qt::SkipEmptyParts);

        if (command == u"board") {
            Board(rest);
        } else if (command == u"run" || command == u"stop") {
            SetRunning(command == u"run");
        } else if (command == u"press" || command == u"release" || command == u"click") {
            Mouse(command, words);
        } else if (command == u"host") {
            Host(words);
        } else if (command == u"expect-reply") {
            if (!m_reply) throw CommandError{QStringLiteral("no host access to check")};
            Check(rest, Observed{Observed::Number, QString::number(*m_reply), {}});
        } else if (command == u"wait") {
            if (words.size() != 1) throw CommandError{QStringLiteral("wait MS")};
            m_clock->Advance(WithinLimit(number(words[0], 0, 3600000, "MS")));
        } else if (command == u"set") {
            Set(rest);
        } else if (command == u"expect") {
            Expect(rest);
        } else if (command == u"save") {
            Save(rest);
        } else if (command == u"grab") {
            Grab(words);
        } else if (command == u"expect-message") {
            if (rest.isEmpty()) throw CommandError{QStringLiteral("expect-message TEXT")};
            const QString last = m_dialogs->LastText();
            if (!m_dialogs->messages.isEmpty() && last.contains(rest))
                Pass();
            else
                Fail(rest, m_dialogs->messages.isEmpty() ? QStringLiteral("no message") : last);
        } else if (command == u"firmware") {
            Firmware(rest);
        } else if (command == u"cycles") {
            if (words.size() != 1) throw CommandError{QStringLiteral("cycles N")};
            LiveFirmware()->RunCycles(CyclesWithinLimit(number(words[0], 0, 1000000000000LL, "N")));
        } else if (command == u"run-for") {
            if (words.size() != 1) throw CommandError{QStringLiteral("run-for MS")};
            LiveFirmware()->RunFor(double(WithinLimit(number(words[0], 0, 3600000, "MS"))));
        } else if (command == u"serial-in") {
            if (rest.isEmpty()) throw CommandError{QStringLiteral("serial-in TEXT")};
            LiveFirmware()->SerialReceive(Unescape(rest));
        } else if (command == u"serial-in9") {
            const qsizetype blank = rest.indexOf(QLatin1Char(' '));
            if (blank < 0) throw CommandError{QStringLiteral("serial-in9 BIT TEXT")};
            const bool ninth = number(rest.left(blank), 0, 1, "BIT") != 0;
            const QString text = rest.mid(blank + 1);
            if (text.isEmpty()) throw CommandError{QStringLiteral("serial-in9 BIT TEXT")};
            LiveFirmware()->SerialReceive(Unescape(text), ninth);
        } else if (command == u"expect-serial") {
            if (rest.isEmpty()) throw CommandError{QStringLiteral("expect-serial TEXT")};
            const QByteArray want = Unescape(rest);
            const std::string& sent = Runner()->Bridge().Transmitted();
            const QByteArray got = QByteArray::fromStdString(sent);
            if (got.endsWith(want))
                Pass();
            else
                Fail(rest, Escape(got.right(qMax(want.size(), 40))));
        } else if (command == u"probe" || command == u"move") {
            Pointer(command, words);
        } else if (command == u"expect-probe") {
            ExpectProbe(rest);
        } else if (ScenarioDebug::Handles(command)) {
            const QString error = ScenarioDebug::Execute(*Runner(), command, rest);
            if (!error.isEmpty()) throw CommandError{error};
        } else if (command == u"wait-until" || command == u"expect-for" ||
                   command == u"expect-period") {
            TimeCommand(command, words);
        } else if (IsTraceCommand(command)) {
            QString error;
            if (!RunTraceCommand(m_window, command, rest, m_directory, &error))
                throw CommandError{error};
        } else {
            throw CommandError{QStringLiteral("unknown command \"%1\"").arg(command)};
        }
    }

    QString FilePath(const QString& path) const {
        if (path.isEmpty()) throw CommandError{QStringLiteral("a file name is missing")};
        return QDir::cleanPath(m_directory.absoluteFilePath(path));
    }

    void Board(const QString& path) {
        const QString fileName = FilePath(path);
        if (!QFileInfo::exists(fileName))
            throw CommandError{QStringLiteral("the board %1 does not exist").arg(fileName)};
        m_window->LoadFromFile(fileName);
    }

    // A picture of the whole window as the user would see it, for looking at a board headless.
    void Grab(const QStringList& words) {
        if (words.size() != 1 && words.size() != 3)
            throw CommandError{QStringLiteral("grab PATH [WIDTH HEIGHT]")};
        if (words.size() == 3)
            m_window->resize(number(words[1], 100, 8000, "WIDTH"),
                             number(words[2], 100, 8000, "HEIGHT"));
        m_window->setUpdatesEnabled(true);
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        const QPixmap picture = m_window->grab();
        m_window->setUpdatesEnabled(false);
        if (!picture.save(FilePath(words[0])))
            throw CommandError{QStringLiteral("cannot write %1").arg(words[0])};
    }

    void Save(const QString& path) {
        const QString fileName = FilePath(path);
        if (!m_window->SaveToFile(fileName))
            throw CommandError{
                QStringLiteral("the board was not saved: %1").arg(m_dialogs->LastText())};
    }

    void SetRunning(bool on) {
        if (m_window->Running() == on)
            throw CommandError{on ? QStringLiteral("Run is on already")
                                  : QStringLiteral("Run is off already")};
        m_window->RunButton()->click();
        if (m_window->Running() != on)
            throw CommandError{QStringLiteral("Run did not switch: %1").arg(m_dialogs->LastText())};
    }

    TPathRoot Root() const {
        TBoardSurface* board = m_window->Board();
        return TPathRoot{board, [board] { return board->OwnedObjects(); },
                         [board](const QString& name) { return board->FindOwnedName(name); }};
    }

    QObject* Object(const QString& path) const {
        QObject* object = ComponentByPath(Root(), path);
        if (!object) throw CommandError{QStringLiteral("nothing is named %1").arg(path)};
        return object;
    }

    void Mouse(const QString& command, const QStringList& words) {
        if (words.size() != 1 && words.size() != 3)
            throw CommandError{QStringLiteral("%1 NAME [X Y]").arg(command)};
        auto* component = qobject_cast<TOrvexGraphicComponent*>(Object(words[0]));
        if (!component) throw CommandError{QStringLiteral("%1 is no component").arg(words[0])};
        QPoint at = component->rect().center();
        if (words.size() == 3) {
            at = QPoint(int(number(words[1], 0, component->width() - 1, "X")),
                        int(number(words[2], 0, component->height() - 1, "Y")));
        }
        if (command != u"release") QTest::mousePress(component, Qt::LeftButton, {}, at);
        if (command != u"press") QTest::mouseRelease(component, Qt::LeftButton, {}, at);
    }

    // The pointer moves to `at` on the component, as the window system reports a move there.
    static void MovePointer(QWidget* component, QPoint at) {
        QMouseEvent event(QEvent::MouseMove, QPointF(at), QPointF(component->mapToGlobal(at)),
                          Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(component, &event);
    }

    void Pointer(const QString& command, const QStringList& words) {
        const bool probe = command == u"probe";
        if (words.size() != 3 && !(probe && words.size() == 4))
            throw CommandError{probe ? QStringLiteral("probe NAME X Y [shift|ctrl]")
                                     : QStringLiteral("move NAME X Y")};
        auto* component = qobject_cast<TOrvexGraphicComponent*>(Object(words[0]));
        if (!component) throw CommandError{QStringLiteral("%1 is no component").arg(words[0])};
        const QPoint at(int(number(words[1], -100000, 100000, "X")),
                        int(number(words[2], -100000, 100000, "Y")));
        if (!probe) {
            MovePointer(component, at);
            return;
        }
        const QString key = words.size() == 4 ? words[3].toLower() : QString();
        if (!key.isEmpty() && key != u"shift" && key != u"ctrl")
            throw CommandError{QStringLiteral("the key is shift or ctrl, not \"%1\"").arg(key)};
        m_keys->leftShift = key == u"shift";
        m_keys->leftCtrl = key == u"ctrl";
        m_window->ForgetProbePoint();
        MovePointer(component, at);
        // A move that closed an open window arms nothing; the pointer's next move does.
        if (!m_window->ProbeTimer()->IsActive()) MovePointer(component, at);
        m_clock->Advance(500);
        m_keys->leftShift = m_keys->leftCtrl = false;
    }

    void ExpectProbe(const QString& text) {
        QString shown = m_window->ProbeWindow() ? m_window->ProbeText() : QString();
        shown.replace(QStringLiteral("\r\n"), QStringLiteral("\\n"));
        if (text.isEmpty()) {
            if (m_window->ProbeWindow())
                Fail(QStringLiteral("no probe window"), shown);
            else
                Pass();
            return;
        }
        if (!m_window->ProbeWindow())
            Fail(text, QStringLiteral("no probe window"));
        else if (shown == text)
            Pass();
        else
            Fail(text, shown);
    }

    void Host(const QStringList& words) {
        if (words.size() != 3 && words.size() != 4)
            throw CommandError{QStringLiteral("host KIND ADDRESS DATA [DRIVEN]")};
        const auto kind = quint8(number(words[0], 0, 0xFF, "KIND"));
        const auto address = quint32(number(words[1], 0, 0xFFFFFF, "ADDRESS"));
        const auto data = quint16(number(words[2], 0, 0xFFFF, "DATA"));
        const auto driven =
            words.size() == 4 ? quint16(number(words[3], 0, 0xFFFF, "DRIVEN")) : data;
        m_reply = int(
            m_window->HostAccess(PackHostAccessW(kind, address), PackHostAccessL(data, driven)));
    }

    // "PATH VALUE": the object, the property or state name and the value text.
    struct Target {
        QObject* Object;
        QString Name;
        QString Value;
    };

    Target Split(const QString& rest, const char* usage) const {
        const qsizetype blank = rest.indexOf(QLatin1Char(' '));
        const QString path = blank < 0 ? rest : rest.left(blank);
        const QString value = blank < 0 ? QString() : rest.mid(blank + 1).trimmed();
        const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
        if (path.isEmpty() || value.isEmpty() || dot <= 0 || dot == path.size() - 1)
            throw CommandError{QString::fromLatin1(usage)};
        return Target{Object(path.left(dot)), path.mid(dot + 1), value};
    }

    void Set(const QString& rest) {
        const Target target = Split(rest, "set PATH.PROPERTY VALUE");
        try {
            TextToProperty(target.Object, target.Name, target.Value, Root());
        } catch (const std::exception& error) {
            throw CommandError{QString::fromStdString(error.what())};
        }
    }

    TFirmwareRunner* Runner() const { return m_window->Firmware()->Runner(); }

    // The firmware, which must be loaded and running (or paused).
    TFirmwareRunner* LiveFirmware() const {
        TFirmwareRunner* runner = Runner();
        if (!runner->HasFirmware()) throw CommandError{QStringLiteral("no firmware is loaded")};
        const auto state = runner->CurrentState();
        if (state != TFirmwareRunner::State::Running && state != TFirmwareRunner::State::Paused &&
            state != TFirmwareRunner::State::Halted)
            throw CommandError{QStringLiteral("the firmware runs only while the board is in Run")};
        return runner;
    }

    void Firmware(const QString& path) {
        // A firmware given on the command line stands in for the one the scenario names.
        const QString fileName =
            m_settings.Firmware.isEmpty() ? FilePath(path) : m_settings.Firmware;
        if (!m_window->Firmware()->LoadFirmware(fileName))
            throw CommandError{m_dialogs->LastText()};
    }

    static QByteArray Unescape(const QString& text) {
        QByteArray bytes;
        const QByteArray in = text.toLatin1();
        for (qsizetype i = 0; i < in.size(); ++i) {
            const char c = in[i];
            if (c != '\\' || i + 1 >= in.size()) {
                bytes += c;
                continue;
            }
            const char e = in[++i];
            if (e == 'r') {
                bytes += '\r';
            } else if (e == 'n') {
                bytes += '\n';
            } else if (e == 'x' && i + 2 < in.size()) {
                bool ok = false;
                const int value = in.mid(i + 1, 2).toInt(&ok, 16);
                if (!ok) throw CommandError{QStringLiteral("bad escape in %1").arg(text)};
                bytes += char(value);
                i += 2;
            } else {
                bytes += e;
            }
        }
        return bytes;
    }

    static QString Escape(const QByteArray& bytes) {
        QString text;
        for (char c : bytes) {
            if (c == '\r')
                text += QStringLiteral("\\r");
            else if (c == '\n')
                text += QStringLiteral("\\n");
            else if (uchar(c) < 0x20 || uchar(c) >= 0x7F)
                text += QStringLiteral("\\x%1").arg(uchar(c), 2, 16, QLatin1Char('0'));
            else
                text += QLatin1Char(c);
        }
        return text;
    }

    // Host.REG: the firmware's registers and memories.
    Observed ObserveHost(const QString& reg) const {
        TFirmwareRunner* runner = Runner();
        if (!runner->HasFirmware()) throw CommandError{QStringLiteral("no firmware is loaded")};
        const mcs51::Core& core = runner->Core();
        const QString name = reg.toUpper();
        auto num = [](qint64 value) {
            return Observed{Observed::Number, QString::number(value), {}};
        };
        if (name == u"PC") return num(core.PC());
        if (name == u"A") return num(core.A());
        if (name == u"B") return num(core.B());
        if (name == u"PSW") return num(core.PSW());
        if (name == u"SP") return num(core.SP());
        if (name == u"DPTR") return num(core.DPTR());
        if (name == u"CYCLES") return num(qint64(runner->Cycles()));
        if (name.size() == 2 && name[0] == u'P' && name[1] >= u'0' && name[1] <= u'3')
            return num(core.PortLatch(name[1].unicode() - u'0'));
        if (name.startsWith(u"IRAM_"))
            return num(core.Iram()[number(name.mid(5), 0, 0xFF, "IRAM address")]);
        if (name.startsWith(u"XRAM_"))
            return num(core.Xram()[number(name.mid(5), 0, 0xFFFF, "XRAM address")]);
        if (name.startsWith(u"SFR_"))
            return num(core.Sfr(uint8_t(number(name.mid(4), 0x80, 0xFF, "SFR address"))));
        if (name == u"SBUF_TX") return num(core.SbufTransmit());
        static const QHash<QString, uint8_t> sfrs = {{QStringLiteral("ACC"), mcs51::sfr::ACC},
                                                     {QStringLiteral("DPL"), mcs51::sfr::DPL},
                                                     {QStringLiteral("DPH"), mcs51::sfr::DPH},
                                                     {QStringLiteral("PCON"), mcs51::sfr::PCON},
                                                     {QStringLiteral("TCON"), mcs51::sfr::TCON},
                                                     {QStringLiteral("TMOD"), mcs51::sfr::TMOD},
                                                     {QStringLiteral("TL0"), mcs51::sfr::TL0},
                                                     {QStringLiteral("TH0"), mcs51::sfr::TH0},
                                                     {QStringLiteral("TL1"), mcs51::sfr::TL1},
                                                     {QStringLiteral("TH1"), mcs51::sfr::TH1},
                                                     {QStringLiteral("SCON"), mcs51::sfr::SCON},
                                                     {QStringLiteral("SBUF"), mcs51::sfr::SBUF},
                                                     {QStringLiteral("IE"), mcs51::sfr::IE},
                                                     {QStringLiteral("IP"), mcs51::sfr::IP},
                                                     {QStringLiteral("T2CON"), mcs51::sfr::T2CON},
                                                     {QStringLiteral("RCAP2L"), mcs51::sfr::RCAP2L},
                                                     {QStringLiteral("RCAP2H"), mcs51::sfr::RCAP2H},
                                                     {QStringLiteral("TL2"), mcs51::sfr::TL2},
                                                     {QStringLiteral("TH2"), mcs51::sfr::TH2}};
        if (auto it = sfrs.constFind(name); it != sfrs.constEnd()) return num(core.Sfr(*it));
        throw CommandError{QStringLiteral("Host has no register %1").arg(reg)};
    }

    void Expect(const QString& rest) {
        if (rest.startsWith(QStringLiteral("Host.LINE "), Qt::CaseInsensitive) ||
            rest.startsWith(QStringLiteral("Var."), Qt::CaseInsensitive)) {
            ExpectDebug(rest);
            return;
        }
        if (rest.startsWith(QStringLiteral("Host."), Qt::CaseInsensitive)) {
            const qsizetype blank = rest.indexOf(QLatin1Char(' '));
            if (blank < 0) throw CommandError{QStringLiteral("expect Host.REG VALUE")};
            Check(rest.mid(blank + 1).trimmed(), ObserveHost(rest.mid(5, blank - 5)));
            return;
        }
        const Target target = Split(rest, "expect PATH.PROPERTY VALUE");
        Check(target.Value, Observe(target.Object, target.Name));
    }

    // Host.LINE and Var.NAME, through the debug information.
    void ExpectDebug(const QString& rest) {
        const qsizetype blank = rest.indexOf(QLatin1Char(' '));
        if (blank < 0)
            throw CommandError{QStringLiteral("expect Host.LINE FILE:LINE | Var.NAME VALUE")};
        const QString what = rest.left(blank);
        const ScenarioDebug::TObserved seen =
            what.startsWith(QStringLiteral("Var."), Qt::CaseInsensitive)
                ? ScenarioDebug::ObserveVariable(*Runner(), what.mid(4))
                : ScenarioDebug::ObserveLine(*Runner());
        if (!seen.Error.isEmpty()) throw CommandError{seen.Error};
        Check(rest.mid(blank + 1).trimmed(),
              Observed{seen.Number ? Observed::Number : Observed::Word, seen.Value, {}});
    }

    Observed Observe(QObject* object, const QString& name) const {
        if (const TPropertyInfo* prop = FindProperty(object->metaObject(), name)) {
            try {
                const QString text = PropertyToText(object, *prop, m_window->Board());
                switch (prop->Kind()) {
                case TPropertyKind::Integer:
                    return Observed{Observed::Number, text, {}};
                case TPropertyKind::String:
                    return Observed{
                        Observed::Text, text,
                        PropertyToText(object, *prop, m_window->Board(), TTextForm::Editor)};
                default:
                    return Observed{Observed::Word, text, {}};
                }
            } catch (const ConversionError&) {
                // no text form: perhaps a state of the same name
            }
        }
        auto* component = qobject_cast<TOrvexGraphicComponent*>(object);
        auto* control = qobject_cast<TOrvexControl*>(object);
        if (component && !control) control = component->Control();
        const QString state = name.toLower();
        if (auto* driver = qobject_cast<TOrvexDriver*>(object)) {
            if (state == u"value") return {Observed::Number, QString::number(driver->Value()), {}};
            if (state == u"drivenvalue")
                return {Observed::Number, QString::number(driver->DrivenValue()), {}};
        }
        if (control) {
            ControlView* view = control->View();
            if (state == u"lit") return {Observed::Word, boolText(control->Lit()), {}};
            if (state == u"viewvisible")
                return {Observed::Word, boolText(view && view->IsViewShown()), {}};
            if (state == u"viewpicture") {
                auto* image = view ? qobject_cast<TOrvexImageView*>(view->ViewObject()) : nullptr;
                return {Observed::Word, image ? image->PictureName() : QString(), {}};
            }
        }
        if (auto* lcd = qobject_cast<TLCD*>(object)) {
            if (std::optional<Observed> observed = ObserveLCD(lcd, state)) return *observed;
        }
        if (component) {
            if (state == u"picture") return {Observed::Word, component->Picture(), {}};
            if (state == u"visible") return {Observed::Word, boolText(!component->isHidden()), {}};
        }
        throw CommandError{QStringLiteral("%1 has no property or state %2")
                               .arg(QString::fromLatin1(object->metaObject()->className()), name)};
    }

    static std::optional<Observed> ObserveLCD(const TLCD* lcd, const QString& state) {
        const TLCDControl* controller = lcd->Controller();
        if (!controller) return std::nullopt;
        auto number = [](int value) {
            return Observed{Observed::Number, QString::number(value), {}};
        };
        if (state == u"addresscounter") return number(controller->AddressCounterValue());
        if (state == u"displayon") return number(controller->DisplayOnValue() ? 1 : 0);
        if (state == u"uninitialised") return number(controller->UninitialisedValue() ? 1 : 0);
        if (auto* alpha = qobject_cast<const TLCDAlpha*>(lcd); alpha && state == u"text") {
            const QString text = alpha->Text();
            QString quoted = text;
            quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
            return Observed{Observed::Text, QLatin1Char('\'') + quoted + QLatin1Char('\''), text};
        }
        const QStringList pixel = state.split(QLatin1Char('_'));
        if (auto* graph = qobject_cast<const TLCDGraph*>(lcd);
            graph && pixel.size() == 3 && pixel[0] == u"pixel") {
            bool okX = false;
            bool okY = false;
            const int x = pixel[1].toInt(&okX);
            const int y = pixel[2].toInt(&okY);
            if (okX && okY) return number(graph->GraphView()->PixelLit(x, y) ? 1 : 0);
        }
        return std::nullopt;
    }

    void Check(const QString& expected, const Observed& observed) {
        if (expected.isEmpty()) throw CommandError{QStringLiteral("the expected value is missing")};
        if (matches(observed, expected))
            Pass();
        else
            Fail(expected, observed.Value);
    }

    void Pass() { ++m_totals.Passed; }

    void Fail(const QString& expected, const QString& got) {
        ++m_totals.Failed;
        m_totals.Findings.append(
            ScenarioFinding{ScenarioFinding::Kind::Failure, m_fileName, m_line, expected, got, {}});
    }

    // The scenario's simulated time: the board's clock, which the firmware drives while it runs.
    double ElapsedMs() const { return double(m_clock->TickCount() - m_startTicks); }
    double RemainingMs() const { return double(m_limitMs) - ElapsedMs(); }

    // As much of `ms` as the time limit leaves; the scenario ends after the command when that is
    // less.
    qint64 WithinLimit(qint64 ms) {
        const auto remaining = qint64(std::max(0.0, RemainingMs()));
        if (ms <= remaining) return ms;
        m_outOfTime = true;
        return remaining;
    }

    quint64 CyclesWithinLimit(qint64 cycles) {
        const double cyclesPerMs = Runner()->Crystal() / 12.0 / 1000.0;
        const auto remaining = qint64(std::max(0.0, RemainingMs()) * cyclesPerMs);
        if (cycles <= remaining) return quint64(cycles);
        m_outOfTime = true;
        return quint64(remaining);
    }

    void TimedOut(const QString& waitingFor) {
        ++m_totals.Failed;
        QString message = QStringLiteral("timed out after %1 ms of simulated time").arg(m_limitMs);
        if (!waitingFor.isEmpty()) message += QStringLiteral(" waiting for ") + waitingFor;
        m_totals.Findings.append(
            ScenarioFinding{ScenarioFinding::Kind::Timeout, m_fileName, m_line, {}, {}, message});
    }

    // Simulated time for the time commands: the firmware's cycles while it runs (steps as short as
    // 10 machine cycles), else the board's clock in whole milliseconds.
    ScenarioTime::Timeline Timeline() {
        ScenarioTime::Timeline time;
        time.Remaining = [this] { return RemainingMs(); };
        TFirmwareRunner* runner = Runner();
        const auto state = runner->CurrentState();
        if (runner->HasFirmware() &&
            (state == TFirmwareRunner::State::Running || state == TFirmwareRunner::State::Paused)) {
            const double cycleMs = 12.0 * 1000.0 / runner->Crystal();
            time.Finest = 10 * cycleMs;
            time.Now = [runner] { return runner->SimulatedMs(); };
            time.Advance = [runner](double ms) { runner->RunFor(ms); };
        } else {
            time.Finest = 1;
            time.Now = [this] { return double(m_clock->TickCount()); };
            time.Advance = [this](double ms) { m_clock->Advance(qint64(std::ceil(ms))); };
        }
        return time;
    }

    // A state named by PATH, looked up once: "Host.REG" or an object path and a property.
    std::function<Observed()> Observer(const QString& path) {
        if (path.startsWith(QStringLiteral("Host."), Qt::CaseInsensitive)) {
            const QString reg = path.mid(5);
            ObserveHost(reg); // an unknown register fails now, not in the middle of the wait
            return [this, reg] { return ObserveHost(reg); };
        }
        const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
        if (dot <= 0 || dot == path.size() - 1)
            throw CommandError{QStringLiteral("%1 is no PATH.PROPERTY").arg(path)};
        QPointer<QObject> object = Object(path.left(dot));
        const QString name = path.mid(dot + 1);
        Observe(object, name);
        return [this, object, name] {
            if (!object) throw CommandError{QStringLiteral("the object went away")};
            return Observe(object, name);
        };
    }

    void TimeCommand(const QString& command, const QStringList& words) {
        using namespace ScenarioTime;
        try {
            Outcome outcome;
            QString waitingFor;
            if (command == u"expect-period") {
                const ExpectPeriodArgs args = ParseExpectPeriod(words);
                const auto observe = Observer(args.Path);
                outcome = ExpectPeriod(
                    Timeline(), [&] { return observe().Value; }, args);
                waitingFor = QStringLiteral("the period of %1").arg(args.Path);
            } else {
                const bool until = command == u"wait-until";
                const WaitUntilArgs waitArgs = until ? ParseWaitUntil(words) : WaitUntilArgs{};
                const ExpectForArgs forArgs = until ? ExpectForArgs{} : ParseExpectFor(words);
                const QString path = until ? waitArgs.Path : forArgs.Path;
                const QString value = until ? waitArgs.Value : forArgs.Value;
                const auto observe = Observer(path);
                const Sampler sample = [&] {
                    const Observed observed = observe();
                    return Sample{observed.Value, matches(observed, value)};
                };
                outcome = until ? WaitUntil(Timeline(), sample, waitArgs)
                                : ExpectFor(Timeline(), sample, forArgs);
                waitingFor = QStringLiteral("%1 %2").arg(path, value);
            }
            switch (outcome.Is) {
            case Outcome::Passed:
                Pass();
                break;
            case Outcome::Failed:
                Fail(outcome.Expected, outcome.Got);
                break;
            case Outcome::OutOfTime:
                TimedOut(QStringLiteral("%1 (last seen %2)").arg(waitingFor, outcome.Got));
                m_timedOut = true;
                break;
            }
        } catch (const ScenarioTime::UsageError& error) {
            throw CommandError{error.Message};
        }
    }

    QString m_fileName;
    Totals& m_totals;
    ScenarioSettings m_settings;
    qint64 m_limitMs;
    qint64 m_startTicks = 0;
    bool m_outOfTime = false; // a command stopped at the time limit
    bool m_timedOut = false;  // a time command ran out of time: reported, the scenario ends
    QDir m_directory;
    int m_line = 0;
    ScenarioWindow* m_window = nullptr;
    DialogRecorder* m_dialogs = nullptr;
    ManualClock* m_clock = nullptr;
    ManualKeyState* m_keys = nullptr;
    std::optional<int> m_reply;
};

} // namespace

int main(int argc, char* argv[]) {
    // Headless by nature: no display is needed or used.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    SwitchOffOpaqueSiblingSearch();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brelvan"));
    TFirmwareUi::SetSettingsFile(QStringLiteral("-")); // scenarios leave the user's settings alone
    return ScenarioMain(QApplication::arguments().mid(1), [](const QString& file,
                                                             const ScenarioSettings& settings) {
        // Each run starts from empty settings (recent files, wire colours)
        // and leaves the user's alone; runs in one worker do not meet.
        QTemporaryDir settingsFolder;
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsFolder.path());
        Totals totals;
        Scenario(file, totals, settings).Run();
        return totals;
    });
}

#include "scenario.moc"
