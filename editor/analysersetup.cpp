#include "editor/analysersetup.h"

#include <QDockWidget>
#include <QPointer>
#include <QRegularExpression>
#include <QScrollArea>
#include <QStatusBar>
#include <QUndoCommand>
#include <QUndoStack>
#include <functional>

#include "editor/analyserview.h"
#include "editor/boardfile.h"
#include "editor/brelvanfrm.h"
#include "editor/tracesession.h"
#include "trace/recorder.h"

namespace AnalyserSetup {

namespace {

const QString ClassName = QStringLiteral("TAnalyserSetup");
const QString CrLf = QStringLiteral("\r\n");

// The colours new rows take, as the dock's Add gives them.
QColor paletteColour(qsizetype index) {
    static const QColor palette[] = {QColor(0, 150, 0),   QColor(0, 90, 200),  QColor(200, 100, 0),
                                     QColor(160, 0, 160), QColor(0, 140, 140), QColor(180, 0, 0)};
    return palette[size_t(index) % std::size(palette)];
}

QString encode(const QString& field) {
    QString out;
    out.reserve(field.size());
    for (const QChar c : field) {
        const ushort u = c.unicode();
        if (u == '%' || u == '|' || u == '\'' || u < 0x20 || u == 0x7F)
            out += QLatin1Char('%') +
                   QString::number(u, 16).rightJustified(2, QLatin1Char('0')).toUpper();
        else
            out += c;
    }
    return out;
}

QString decode(const QString& field) {
    return field.contains(QLatin1Char('%'))
               ? QString::fromUtf8(QByteArray::fromPercentEncoding(field.toUtf8()))
               : field;
}

// A row option: how it is written (empty: not at all) and read (an error, or empty).
struct TOption {
    QString Key;
    std::function<QString(const TAnalyserRow&)> Write;
    std::function<QString(TAnalyserRow&, const QString&)> Read;
};

const QList<TOption>& options() {
    static const QList<TOption> list = {
        {QStringLiteral("Group"), [](const TAnalyserRow& row) { return row.Group; },
         [](TAnalyserRow& row, const QString& value) {
             if (value.trimmed().isEmpty()) return QStringLiteral("a group needs a name");
             row.Group = value.trimmed();
             return QString();
         }},
        {QStringLiteral("Uart"),
         [](const TAnalyserRow& row) {
             if (!row.Uart) return QString();
             return QStringLiteral("%1,%2")
                 .arg(row.Baud > 0 ? QString::number(row.Baud, 'g', 10) : QStringLiteral("auto"))
                 .arg(row.UartBits);
         },
         [](TAnalyserRow& row, const QString& value) {
             const QStringList parts = value.split(QLatin1Char(','));
             bool ok = parts.size() == 2;
             double baud = 0;
             if (ok && parts[0].trimmed().compare(QStringLiteral("auto"), Qt::CaseInsensitive))
                 baud = parts[0].trimmed().toDouble(&ok);
             const int bits = ok ? parts[1].trimmed().toInt(&ok) : 0;
             if (!ok || !(baud >= 0 && baud <= 10e6) || (bits != 8 && bits != 9))
                 return QStringLiteral("\"%1\" is no baud rate and data bits (8 or 9)").arg(value);
             row.Uart = true;
             row.Baud = baud;
             row.UartBits = bits;
             return QString();
         }},
    };
    return list;
}

// An LCD bus row keeps its other lines: "Lcd=RS,RW,BITS,DATA..." with RW empty when not wired,
// BITS 8 or 4, and DATA one bus or the four lines D4..D7.
const QString LcdKey = QStringLiteral("Lcd");

QString writeLcd(const TAnalyser& analyser, const TLcdBusLines& lines) {
    const auto path = [&analyser](int trace) {
        return trace >= 0 ? analyser.TracePath(trace) : QString();
    };
    QStringList parts = {path(lines.Rs), path(lines.Rw),
                         lines.FourBit ? QStringLiteral("4") : QStringLiteral("8")};
    for (const int trace : lines.Data)
        parts << path(trace);
    return parts.join(QLatin1Char(','));
}

std::optional<TLcdBusPaths> parseLcd(const QString& e, const QString& value) {
    const QStringList parts = value.split(QLatin1Char(','));
    if (parts.size() != 4 && parts.size() != 7) return std::nullopt;
    TLcdBusPaths paths;
    paths.E = e;
    paths.Rs = parts[0].trimmed();
    paths.Rw = parts[1].trimmed();
    const QString bits = parts[2].trimmed();
    if (paths.Rs.isEmpty() || (bits != u"8" && bits != u"4")) return std::nullopt;
    paths.FourBit = bits == u"4";
    if (parts.size() == 4) {
        paths.Bus = parts[3].trimmed();
        if (paths.Bus.isEmpty()) return std::nullopt;
    } else {
        if (!paths.FourBit) return std::nullopt;
        for (qsizetype i = 3; i < parts.size(); ++i) {
            paths.Lines << parts[i].trimmed();
            if (paths.Lines.last().isEmpty()) return std::nullopt;
        }
    }
    return paths;
}

bool isSetupHeader(const QString& cleaned) {
    static const QRegularExpression header(QStringLiteral("^object\\s+[^:]*:\\s*TAnalyserSetup$"),
                                           QRegularExpression::CaseInsensitiveOption);
    return header.match(cleaned).hasMatch();
}

// The text of a quoted value without quotes inside, or nothing.
std::optional<QString> quoted(const QString& value) {
    if (value.size() < 2 || !value.startsWith(QLatin1Char('\'')) ||
        !value.endsWith(QLatin1Char('\'')))
        return std::nullopt;
    const QString inner = value.mid(1, value.size() - 2);
    if (inner.contains(QLatin1Char('\''))) return std::nullopt;
    return inner;
}

QString shortened(const QString& text) {
    return text.size() > 60 ? text.left(57) + QStringLiteral("...") : text;
}

std::optional<TSavedRow> parseRow(const QString& value, int number, QStringList* problems) {
    const auto problem = [&](const QString& text) {
        if (problems) *problems << QStringLiteral("row %1: %2").arg(number).arg(text);
    };
    const QStringList fields = value.split(QLatin1Char('|'));
    TSavedRow setup;
    setup.Path = decode(fields[0]).trimmed();
    if (setup.Path.isEmpty()) {
        problem(QStringLiteral("it names no trace; left out"));
        return std::nullopt;
    }
    if (setup.Path.size() > MaxField) {
        problem(QStringLiteral("its path is longer than %1 characters; left out").arg(MaxField));
        return std::nullopt;
    }
    setup.Row.Label = fields.size() > 1 ? decode(fields[1]).trimmed() : QString();
    if (setup.Row.Label.isEmpty()) setup.Row.Label = setup.Path;
    if (setup.Row.Label.size() > MaxField) {
        setup.Row.Label.truncate(MaxField);
        problem(QStringLiteral("its label was cut to %1 characters").arg(MaxField));
    }
    const QString colour = fields.size() > 2 ? decode(fields[2]).trimmed() : QString();
    static const QRegularExpression rgb(QStringLiteral("^#[0-9A-Fa-f]{6}$"));
    if (rgb.match(colour).hasMatch()) {
        setup.Row.Color = QColor::fromString(colour);
        setup.HasColor = true;
    } else if (!colour.isEmpty()) {
        problem(QStringLiteral("\"%1\" is no colour (#RRGGBB); the row takes one of its own")
                    .arg(shortened(colour)));
    }
    for (qsizetype i = 3; i < fields.size(); ++i) {
        const QString option = decode(fields[i]);
        const qsizetype equals = option.indexOf(QLatin1Char('='));
        const QString key = option.left(equals).trimmed();
        const QString optionValue = equals < 0 ? QString() : option.mid(equals + 1);
        if (equals >= 0 && key.compare(LcdKey, Qt::CaseInsensitive) == 0) {
            if (optionValue.size() > MaxField) {
                problem(QStringLiteral("the Lcd option is longer than %1 characters; left out")
                            .arg(MaxField));
                continue;
            }
            setup.Lcd = parseLcd(setup.Path, optionValue);
            if (!setup.Lcd)
                problem(QStringLiteral("\"%1\" names no LCD bus (RS,RW,8|4,DATA...); the option "
                                       "was left out")
                            .arg(shortened(optionValue)));
            continue;
        }
        const auto known =
            std::find_if(options().cbegin(), options().cend(), [&key](const TOption& o) {
                return o.Key.compare(key, Qt::CaseInsensitive) == 0;
            });
        if (equals < 0 || known == options().cend()) {
            problem(
                QStringLiteral("the option \"%1\" is not known; left out").arg(shortened(option)));
            continue;
        }
        if (optionValue.size() > MaxField) {
            problem(QStringLiteral("the %1 option is longer than %2 characters; left out")
                        .arg(known->Key)
                        .arg(MaxField));
            continue;
        }
        const QString error = known->Read(setup.Row, optionValue);
        if (!error.isEmpty()) problem(error + QStringLiteral("; the option was left out"));
    }
    return setup;
}

// Where the block's header line starts in a file's text, or -1. Each line is looked at once
// at most, however often the class name occurs in it.
qsizetype headerAt(QStringView text) {
    const auto isBreak = [](QChar c) { return c == QLatin1Char('\n') || c == QLatin1Char('\r'); };
    qsizetype lineEnd = -1;
    for (qsizetype at = text.indexOf(ClassName, 0, Qt::CaseInsensitive); at >= 0;
         at = text.indexOf(ClassName, std::max(at + 1, lineEnd), Qt::CaseInsensitive)) {
        qsizetype start = at;
        while (start > 0 && !isBreak(text[start - 1]))
            --start;
        lineEnd = at;
        while (lineEnd < text.size() && !isBreak(text[lineEnd]))
            ++lineEnd;
        if (isSetupHeader(BoardFile::CleanLine(text.mid(start, lineEnd - start)))) return start;
    }
    return -1;
}

// The block's lines from its header to its end (or to the end of the text).
QStringList blockLines(QStringView text) {
    QStringList lines;
    const qsizetype start = headerAt(text);
    if (start < 0) return lines;
    qsizetype at = start;
    while (at < text.size()) {
        qsizetype end = at;
        while (end < text.size() && text[end] != QLatin1Char('\n') &&
               text[end] != QLatin1Char('\r'))
            ++end;
        lines << text.mid(at, end - at).toString();
        if (BoardFile::CleanLine(lines.back())
                .compare(QStringLiteral("end"), Qt::CaseInsensitive) == 0)
            break;
        // CR LF, a lone CR or a lone LF.
        at = end < text.size() && text[end] == QLatin1Char('\r') && end + 1 < text.size() &&
                     text[end + 1] == QLatin1Char('\n')
                 ? end + 2
                 : end + 1;
    }
    return lines;
}

// One change of the rows: undo brings back the rows before it, redo those after. Pushing it
// changes nothing again: it records a change already made.
class TRowsCommand : public QUndoCommand {
public:
    TRowsCommand(TAnalyser* analyser, QString before, QString after)
        : QUndoCommand(QStringLiteral("Analyser Rows")), m_analyser(analyser),
          m_before(std::move(before)), m_after(std::move(after)) {}
    void undo() override { Restore(m_before); }
    void redo() override {
        if (m_done) {
            m_done = false;
            return;
        }
        Restore(m_after);
    }

private:
    void Restore(const QString& text) {
        if (!m_analyser) return;
        QStringList problems;
        Apply(m_analyser, Parse(BoardFile::SplitLines(text), &problems), &problems);
        m_analyser->CommittedSetup = Block(*m_analyser);
    }
    QPointer<TAnalyser> m_analyser;
    QString m_before;
    QString m_after;
    bool m_done = true;
};

} // namespace

QString Block(const TAnalyser& analyser) {
    const QList<TAnalyserRow>& rows = analyser.Rows();
    if (rows.isEmpty()) return QString();
    QString text = QStringLiteral("object Analyser: ") + ClassName + CrLf;
    for (int i = 0; i < rows.size(); ++i) {
        const TAnalyserRow& row = rows[i];
        QStringList fields = {encode(analyser.RowPath(i)), encode(row.Label),
                              row.Color.isValid() ? row.Color.name(QColor::HexRgb).toUpper()
                                                  : QString()};
        for (const TOption& option : options())
            if (const QString value = option.Write(row); !value.isEmpty())
                fields << option.Key + QLatin1Char('=') + encode(value);
        if (row.Lcd && row.Trace >= 0)
            fields << LcdKey + QLatin1Char('=') + encode(writeLcd(analyser, row.LcdLines));
        text +=
            QStringLiteral("  Row = '") + fields.join(QLatin1Char('|')) + QLatin1Char('\'') + CrLf;
    }
    for (const QString& group : analyser.Groups())
        if (analyser.Collapsed(group))
            text += QStringLiteral("  Collapsed = '") + encode(group) + QLatin1Char('\'') + CrLf;
    return text + QStringLiteral("end") + CrLf;
}

TSetup Parse(const QStringList& lines, QStringList* problems) {
    TSetup setup;
    // A damaged block may hold any number of bad lines: the first few are told.
    constexpr qsizetype MaxProblems = 20;
    QStringList found;
    qsizetype omitted = 0;
    qsizetype i = 0;
    while (i < lines.size() && !isSetupHeader(BoardFile::CleanLine(lines[i])))
        ++i;
    int rowLines = 0;
    for (++i; i < lines.size(); ++i) {
        if (found.size() > MaxProblems) {
            omitted += found.size() - MaxProblems;
            found.resize(MaxProblems);
        }
        const QString line = BoardFile::CleanLine(lines[i]);
        if (line.compare(QStringLiteral("end"), Qt::CaseInsensitive) == 0) break;
        if (line.isEmpty()) continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        const QString key = line.left(std::max<qsizetype>(equals, 0)).trimmed();
        const std::optional<QString> value =
            equals < 0 ? std::nullopt : quoted(line.mid(equals + 1).trimmed());
        const bool isRow = key.compare(QStringLiteral("Row"), Qt::CaseInsensitive) == 0;
        if (isRow) ++rowLines;
        if (!value) {
            found << QStringLiteral("\"%1\" is not understood; left out").arg(shortened(line));
            continue;
        }
        if (isRow) {
            if (setup.Rows.size() >= MaxRows) {
                if (rowLines == MaxRows + 1)
                    found
                        << QStringLiteral("more than %1 rows; the rest were left out").arg(MaxRows);
                continue;
            }
            if (std::optional<TSavedRow> row = parseRow(*value, rowLines, &found))
                setup.Rows.append(*row);
        } else if (key.compare(QStringLiteral("Collapsed"), Qt::CaseInsensitive) == 0) {
            if (setup.Collapsed.size() < MaxRows) setup.Collapsed << decode(*value).trimmed();
        } else {
            found << QStringLiteral("\"%1\" is not understood; left out").arg(shortened(key));
        }
    }
    if (found.size() > MaxProblems) {
        omitted += found.size() - MaxProblems;
        found.resize(MaxProblems);
    }
    if (problems) {
        *problems << found;
        if (omitted > 0) *problems << QStringLiteral("%1 more left out").arg(omitted);
    }
    return setup;
}

bool HasBlock(QStringView text) {
    return headerAt(text) >= 0;
}

void Apply(TAnalyser* analyser, const TSetup& setup, QStringList* problems) {
    QList<TAnalyserRow> rows;
    QStringList unresolved;
    for (const TSavedRow& wanted : setup.Rows) {
        TAnalyserRow row = wanted.Row;
        QString error;
        row.Trace = analyser->TraceFor(wanted.Path, &error);
        if (row.Trace >= 0 && wanted.Lcd) {
            std::optional<TLcdBusLines> lines = analyser->LcdLinesOf(*wanted.Lcd, &error);
            if (lines) {
                row.Lcd = true;
                row.LcdLines = *lines;
            } else if (problems) {
                *problems
                    << QStringLiteral("%1: its LCD bus was left out (%2)").arg(wanted.Path, error);
            }
        }
        if (row.Trace < 0) {
            row.Unresolved = wanted.Path;
            unresolved << wanted.Path;
        } else {
            const bool shown = std::any_of(rows.cbegin(), rows.cend(), [&row](const auto& r) {
                return r.Trace == row.Trace && r.Lcd == row.Lcd;
            });
            if (shown) {
                if (problems) *problems << QStringLiteral("%1 is shown already").arg(wanted.Path);
                continue;
            }
            if (row.Uart && analyser->Session()->Recorder().Trace(row.Trace).Width != 1) {
                row.Uart = false;
                if (problems)
                    *problems << QStringLiteral("%1 is a bus; its UART decoder was left out")
                                     .arg(wanted.Path);
            }
        }
        if (!wanted.HasColor) row.Color = paletteColour(rows.size());
        rows.append(row);
    }
    if (!unresolved.isEmpty() && problems)
        *problems << QStringLiteral("not found on this board, kept as rows: %1")
                         .arg(unresolved.join(QStringLiteral(", ")));
    analyser->SetRows(rows);
    for (const QString& group : analyser->Groups())
        analyser->SetCollapsed(group, setup.Collapsed.contains(group));
}

TAnalyser* Of(TfrmPlugin* window) {
    return window->findChild<TAnalyser*>();
}

QString Block(TfrmPlugin* window) {
    const TAnalyser* analyser = Of(window);
    return analyser ? Block(*analyser) : QString();
}

void Load(TfrmPlugin* window, QStringView text) {
    TAnalyser* analyser = Of(window);
    if (!analyser) return;
    QStringList problems;
    TSetup setup;
    // Only the block's lines are taken: the components' lines are read already.
    if (const QStringList lines = blockLines(text); !lines.isEmpty())
        setup = Parse(lines, &problems);
    Apply(analyser, setup, &problems);
    analyser->CommittedSetup = Block(*analyser);
    if (!analyser->Rows().isEmpty())
        if (auto* dock = window->findChild<QDockWidget*>(QStringLiteral("AnalyserDock"))) {
            dock->show();
            // Tall enough for the rows (up to eight lines, at most half the window); more scroll.
            auto* scroller = dock->findChild<QScrollArea*>(QStringLiteral("AnalyserScroller"));
            if (scroller && scroller->widget()) {
                const int wanted =
                    std::min(scroller->widget()->minimumHeight(),
                             TAnalyserView::AxisHeight + 8 * TAnalyserView::RowHeight) +
                    dock->height() - scroller->viewport()->height();
                if (wanted > dock->height())
                    window->resizeDocks({dock}, {std::min(wanted, window->height() / 2)},
                                        Qt::Vertical);
            }
        }
    if (!problems.isEmpty()) {
        QString message = QStringLiteral("Analyser: ") + problems.join(QStringLiteral("; "));
        if (message.size() > 400) message = message.left(397) + QStringLiteral("...");
        window->statusBar()->showMessage(message, 30000);
    }
}

void Commit(TAnalyser* analyser) {
    if (!analyser) return;
    const QString now = Block(*analyser);
    if (now == analyser->CommittedSetup) return;
    const QString before = analyser->CommittedSetup;
    analyser->CommittedSetup = now;
    analyser->Window()->UndoStack()->push(new TRowsCommand(analyser, before, now));
}

} // namespace AnalyserSetup
