#include "editor/firmwarepanels.h"

#include <QClipboard>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QScrollBar>
#include <QVBoxLayout>
#include <utility>

#include "editor/firmwarerunner.h"

namespace {
QString hex2(int value) {
    return QStringLiteral("%1").arg(value & 0xFF, 2, 16, QLatin1Char('0')).toUpper();
}
QString hex4(int value) {
    return QStringLiteral("%1").arg(value & 0xFFFF, 4, 16, QLatin1Char('0')).toUpper();
}
QString bits(int value) {
    return QStringLiteral("%1").arg(value & 0xFF, 8, 2, QLatin1Char('0'));
}
} // namespace

// ---------------------------------------------------------------- TRegisterPanel

TRegisterPanel::TRegisterPanel(TFirmwareRunner* runner, QWidget* parent)
    : QWidget(parent), m_runner(runner), m_label(new QLabel(this)) {
    setObjectName(QStringLiteral("RegisterPanel"));
    m_label->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(m_label);
    layout->addStretch(1);
    m_refresh.setInterval(250);
    connect(&m_refresh, &QTimer::timeout, this, &TRegisterPanel::Refresh);
    connect(runner, &TFirmwareRunner::Stepped, this, &TRegisterPanel::Refresh);
    connect(runner, &TFirmwareRunner::StateChanged, this, [this] {
        Refresh();
        if (m_runner->CurrentState() == TFirmwareRunner::State::Running)
            m_refresh.start();
        else
            m_refresh.stop();
    });
    Refresh();
}

QString TRegisterPanel::Text() const {
    return m_label->text();
}

void TRegisterPanel::Refresh() {
    if (!m_runner->HasFirmware()) {
        m_label->setText(QStringLiteral("No firmware loaded.\n\nFirmware > Load Firmware..."));
        return;
    }
    const mcs51::Core& core = m_runner->Core();
    QStringList lines;
    const mcs51::Disassembly instruction = mcs51::Disassemble(core.Code(), core.PC());
    lines << QStringLiteral("PC   %1  %2")
                 .arg(hex4(core.PC()), QString::fromStdString(instruction.text));
    lines << QString();
    lines << QStringLiteral("A    %1    B    %2").arg(hex2(core.A()), hex2(core.B()));
    const int psw = core.PSW();
    // The flags by name with their values under them; RS is the register bank.
    lines << QStringLiteral("PSW  %1    CY AC F0 RS OV P").arg(hex2(psw));
    lines << QStringLiteral("           %1  %2  %3  %4  %5  %6")
                 .arg((psw >> 7) & 1)
                 .arg((psw >> 6) & 1)
                 .arg((psw >> 5) & 1)
                 .arg((psw >> 3) & 3)
                 .arg((psw >> 2) & 1)
                 .arg(psw & 1);
    lines << QStringLiteral("SP   %1    DPTR %2").arg(hex2(core.SP()), hex4(core.DPTR()));
    lines << QString();
    const int bank = (psw >> 3) & 3;
    QStringList regs;
    for (int n = 0; n < 8; ++n)
        regs << QStringLiteral("R%1 %2").arg(n).arg(hex2(core.R(n)));
    lines << QStringLiteral("Bank %1").arg(bank);
    lines << regs.mid(0, 4).join(QStringLiteral("  "));
    lines << regs.mid(4, 4).join(QStringLiteral("  "));
    lines << QString();
    lines << QStringLiteral("     latch     pins");
    for (int port = 0; port < 4; ++port)
        lines << QStringLiteral("P%1   %2  %3")
                     .arg(port)
                     .arg(bits(core.PortLatch(port)), bits(core.PortPins(port)));
    lines << QString();
    namespace sfr = mcs51::sfr;
    const auto reg = [&core](uint8_t address) { return hex2(core.Sfr(address)); };
    lines << QStringLiteral("TMOD %1    TCON %2").arg(reg(sfr::TMOD), reg(sfr::TCON));
    lines << QStringLiteral("TH0  %1    TL0  %2").arg(reg(sfr::TH0), reg(sfr::TL0));
    lines << QStringLiteral("TH1  %1    TL1  %2").arg(reg(sfr::TH1), reg(sfr::TL1));
    lines << QStringLiteral("SCON %1    SBUF %2").arg(reg(sfr::SCON), reg(sfr::SBUF));
    lines << QStringLiteral("IE   %1    IP   %2").arg(reg(sfr::IE), reg(sfr::IP));
    lines << QStringLiteral("PCON %1").arg(reg(sfr::PCON));
    lines << QString();
    lines << QStringLiteral("Cycles  %1").arg(m_runner->Cycles());
    lines << QStringLiteral("Time    %1 ms").arg(m_runner->SimulatedMs(), 0, 'f', 3);
    lines << QStringLiteral("State   %1").arg(m_runner->StateText());
    m_label->setText(lines.join(QLatin1Char('\n')));
}

// ---------------------------------------------------------------- TSerialTerminal

TSerialTerminal::TSerialTerminal(TFirmwareRunner* runner, QWidget* parent)
    : QPlainTextEdit(parent), m_runner(runner) {
    setObjectName(QStringLiteral("SerialTerminal"));
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setUndoRedoEnabled(false);
    setReadOnly(true); // the text is the firmware's; keys go to its receiver
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setMaximumBlockCount(MaxLines);
    setPlaceholderText(QStringLiteral("What the firmware sends appears here; type to send."));
    m_coalesce.setSingleShot(true);
    connect(&m_coalesce, &QTimer::timeout, this, &TSerialTerminal::Flush);
    connect(runner, &TFirmwareRunner::Transmitted, this, &TSerialTerminal::Receive);
}

QByteArray TSerialTerminal::EndingBytes(LineEnding ending) {
    switch (ending) {
    case LineEnding::None:
        return QByteArray();
    case LineEnding::Cr:
        return QByteArrayLiteral("\r");
    case LineEnding::Lf:
        return QByteArrayLiteral("\n");
    case LineEnding::CrLf:
        return QByteArrayLiteral("\r\n");
    }
    return QByteArray();
}

void TSerialTerminal::Receive(const QByteArray& bytes) {
    m_gathered.append(bytes);
    // More than the terminal can show is not worth keeping for the next layout.
    constexpr qsizetype Kept = qsizetype(MaxLines) * (MaxLineLength + 1);
    if (m_gathered.size() > Kept) m_gathered.remove(0, m_gathered.size() - Kept);
    if (m_coalesce.isActive()) return;
    const qint64 since = m_lastLayout.isValid() ? m_lastLayout.elapsed() : CoalesceMs;
    if (since >= CoalesceMs)
        Flush();
    else
        m_coalesce.start(int(CoalesceMs - since));
}

void TSerialTerminal::Flush() {
    m_coalesce.stop();
    if (m_gathered.isEmpty()) return;
    const QByteArray bytes = std::exchange(m_gathered, QByteArray());
    Show(bytes);
    m_lastLayout.start();
}

void TSerialTerminal::Append(const QByteArray& bytes) {
    Flush(); // what came before stays before
    Show(bytes);
}

void TSerialTerminal::Remember(const QByteArray& bytes) {
    if (bytes.size() >= MaxHistory) {
        m_history = bytes.right(MaxHistory);
        return;
    }
    const qsizetype over = m_history.size() + bytes.size() - MaxHistory;
    if (over > 0) m_history.remove(0, over);
    m_history.append(bytes);
}

QString TSerialTerminal::AsciiText(const QByteArray& bytes) {
    QString text;
    text.reserve(bytes.size() + bytes.size() / MaxLineLength + 1);
    const auto put = [&text, this](QLatin1StringView shown) {
        if (m_column + shown.size() > MaxLineLength) {
            text += QLatin1Char('\n');
            m_column = 0;
        }
        text += shown;
        m_column += int(shown.size());
    };
    for (char c : bytes) {
        const auto byte = uchar(c);
        if (byte == '\r') {
            m_pendingReturn = true;
            continue;
        }
        if (m_pendingReturn && byte != '\n') {
            text += QLatin1Char('\n');
            m_column = 0;
        }
        m_pendingReturn = false;
        if (byte == '\n') {
            text += QLatin1Char('\n');
            m_column = 0;
        } else if (byte == '\t' || (byte >= 0x20 && byte < 0x7F)) {
            put(QLatin1StringView(&c, 1));
        } else {
            static constexpr char Digits[] = "0123456789ABCDEF";
            const char escaped[4] = {'\\', 'x', Digits[byte >> 4], Digits[byte & 15]};
            put(QLatin1StringView(escaped, 4));
        }
    }
    return text;
}

QString TSerialTerminal::HexText(const QByteArray& bytes) {
    static constexpr char Digits[] = "0123456789ABCDEF";
    QString text;
    text.reserve(bytes.size() * 3 + 1);
    for (char c : bytes) {
        const auto byte = uchar(c);
        if (m_column == HexPerLine) {
            text += QLatin1Char('\n');
            m_column = 0;
        }
        if (m_column > 0) text += QLatin1Char(' ');
        text += QLatin1Char(Digits[byte >> 4]);
        text += QLatin1Char(Digits[byte & 15]);
        ++m_column;
    }
    return text;
}

void TSerialTerminal::Show(const QByteArray& bytes) {
    Remember(bytes);
    QString text = m_view == View::Hex ? HexText(bytes) : AsciiText(bytes);
    if (text.isEmpty()) return;
    // More than the terminal keeps in one go (a long pause of the window): only the tail is
    // worth laying out. Lines are shorter than the cut, so the last line stays whole.
    constexpr qsizetype Kept = qsizetype(MaxLines) * (MaxLineLength + 1);
    if (text.size() > Kept) {
        text.remove(0, text.size() - Kept);
        clear();
    }
    // Likewise for lines: more than MaxLines new ones would be laid out only to be dropped.
    int lines = 0;
    for (qsizetype i = text.size() - 1; i >= 0; --i) {
        if (text[i] == u'\n' && ++lines == MaxLines) {
            text.remove(0, i + 1);
            clear();
            break;
        }
    }
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text);
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void TSerialTerminal::SetView(View view) {
    Flush();
    if (view == m_view) return;
    m_view = view;
    const QByteArray kept = std::exchange(m_history, QByteArray());
    clear();
    m_pendingReturn = false;
    m_column = 0;
    Show(kept);
}

void TSerialTerminal::ClearTerminal() {
    m_coalesce.stop();
    m_gathered.clear();
    m_history.clear();
    clear();
    m_pendingReturn = false;
    m_column = 0;
}

void TSerialTerminal::SendTyped(const QByteArray& bytes) {
    if (bytes.isEmpty()) return;
    if (m_send)
        m_send(bytes);
    else
        m_runner->SerialReceive(bytes);
    if (m_echo) Append(bytes);
}

void TSerialTerminal::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy) || event->matches(QKeySequence::SelectAll)) {
        QPlainTextEdit::keyPressEvent(event);
        return;
    }
    if (event->matches(QKeySequence::Paste)) {
        QByteArray bytes = QGuiApplication::clipboard()->text().toLatin1();
        // Pasted lines end as typed ones do.
        if (m_ending != LineEnding::None) {
            bytes.replace("\r\n", "\n");
            bytes.replace('\n', EndingBytes(m_ending));
        }
        SendTyped(bytes);
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        SendTyped(EndingBytes(m_ending));
        return;
    }
    QByteArray bytes;
    if (event->key() == Qt::Key_Backspace)
        bytes = "\b";
    else
        bytes = event->text().toLatin1();
    if (bytes.isEmpty()) {
        QPlainTextEdit::keyPressEvent(event); // navigation keys
        return;
    }
    SendTyped(bytes);
}
