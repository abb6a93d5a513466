#include "tools/scenario_trace.h"

#include <QFile>
#include <QSaveFile>
#include <QStringList>

#include "editor/brelvanfrm.h"
#include "editor/tracesession.h"

bool IsTraceCommand(const QString& command) {
    return command == u"trace" || command == u"export-vcd";
}

bool RunTraceCommand(TfrmPlugin* window, const QString& command, const QString& rest,
                     const QDir& directory, QString* error) {
    TTraceSession* session = TTraceSession::Of(window);
    if (command == u"trace") {
        if (rest.isEmpty()) {
            *error = QStringLiteral("trace PATH");
            return false;
        }
        return session->AddTrace(rest, error) >= 0;
    }
    // export-vcd FILE [FROM_MS TO_MS] [bits]
    QStringList words = rest.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    TVcdOptions options;
    if (words.size() > 1 && words.back().compare(u"bits", Qt::CaseInsensitive) == 0) {
        options.SplitBuses = true;
        words.removeLast();
    }
    if (words.size() != 1 && words.size() != 3) {
        *error = QStringLiteral("export-vcd FILE [FROM_MS TO_MS] [bits]");
        return false;
    }
    options.UnitPs = session->DefaultVcdUnit();
    if (words.size() == 3) {
        bool fromOk = false, toOk = false;
        const double from = words[1].toDouble(&fromOk);
        const double to = words[2].toDouble(&toOk);
        if (!fromOk || !toOk || from < 0 || to < from || to > 1e9) {
            *error = QStringLiteral("FROM_MS and TO_MS must be milliseconds, FROM_MS first");
            return false;
        }
        options.From = quint64(from * 1e9);
        options.To = quint64(to * 1e9);
    }
    const QByteArray vcd = session->Vcd(options, error);
    if (vcd.isEmpty()) return false;
    QSaveFile file(QDir::cleanPath(directory.absoluteFilePath(words[0])));
    if (!file.open(QIODevice::WriteOnly) || file.write(vcd) != vcd.size() || !file.commit()) {
        *error = QStringLiteral("cannot write %1: %2").arg(words[0], file.errorString());
        return false;
    }
    return true;
}
