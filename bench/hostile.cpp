// Figures for inputs that are large on purpose: Duplicate of many components whose names all
// clash with the board's, and opening board files of tens of megabytes. Each file is opened in a
// child process of this program, so that its peak resident size is that file's alone.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "editor/boardfile.h"
#include "editor/brelvanfrm.h"
#include "platform/dialogs.h"
#include "simulation/simform.h"

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char** environ;

namespace {

// A board of n LEDs named LED1 .. LEDn, all selected.
double duplicateClashing(int n) {
    TfrmPlugin window;
    QString text;
    for (int i = 0; i < n; ++i)
        text += QStringLiteral("object LED%1: TLED\n  Left = %2\n  Top = %3\nend\n")
                    .arg(i + 1)
                    .arg((i % 100) * 40 + 8)
                    .arg((i / 100) * 40 + 8);
    BoardFile::ReadBoard(window.Board(), BoardFile::SplitLines(text), window.GridSize());
    window.SelectAllClick();
    QElapsedTimer timer;
    timer.start();
    window.DuplicateClick();
    const double ms = timer.nsecsElapsed() / 1e6;
    if (window.Board()->OwnedComponents().size() != 2 * n)
        std::printf("(duplicate of %d made %lld components)\n", n,
                    qlonglong(window.Board()->OwnedComponents().size()));
    return ms;
}

// Writes size bytes of one line repeated; each kind stands for a way a file grows large.
QString writeLarge(const QString& folder, const char* kind, qint64 size) {
    const QString name = folder + QLatin1Char('/') + QLatin1String(kind) + QStringLiteral(".ovd");
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly)) return QString();
    const QByteArray k(kind);
    QByteArray chunk;
    if (k == "ends") {
        chunk = "end\r\n";
    } else if (k == "components") {
        // One component per block, unique names: as many as fit.
        for (int i = 0; chunk.size() < (1 << 20); ++i)
            chunk +=
                "object L" + QByteArray::number(i) + ": TLED\r\n  Left = 8\r\n  Top = 8\r\nend\r\n";
    } else if (k == "properties") {
        file.write("object LED1: TLED\r\n");
        chunk = "  Left = 16\r\n";
    } else if (k == "longlines") {
        file.write("object LED1: TLED\r\n");
        chunk = "  Hint = '" + QByteArray(60000, 'x') + "'\r\n";
    } else if (k == "unknown") {
        file.write("object LED1: TLED\r\n");
        chunk = "  Anod = VCC1.Pin\r\n";
    }
    QByteArray block;
    while (!chunk.isEmpty() && block.size() < (1 << 20))
        block += chunk;
    // Unique names in "components" would repeat in further blocks; the reader stops on the
    // 20,001st component or on the first name taken twice, whichever comes first.
    while (!block.isEmpty() && file.size() + block.size() <= size)
        file.write(block);
    if (k != "ends" && k != "components") file.write("end\r\n");
    return name;
}

struct TOpenFigure {
    double ms = 0;
    double peakMiB = 0;
    QString outcome;
};

// Runs this program as "--open FILE" and takes the child's time and peak resident size.
TOpenFigure openInChild(const char* self, const QString& fileName) {
    TOpenFigure figure;
    const QByteArray name = fileName.toLocal8Bit();
    QTemporaryDir dir;
    const QByteArray out = (dir.path() + QStringLiteral("/out")).toLocal8Bit();
    char* args[] = {const_cast<char*>(self), const_cast<char*>("--open"),
                    const_cast<char*>(name.constData()), const_cast<char*>(out.constData()),
                    nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, self, nullptr, nullptr, args, environ) != 0) return figure;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) < 0) return figure;
    figure.peakMiB = usage.ru_maxrss / 1024.0;
    QFile result(QString::fromLocal8Bit(out));
    if (result.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> parts = result.readAll().split('\n');
        figure.ms = parts.value(0).toDouble();
        figure.outcome = QString::fromUtf8(parts.value(1));
    } else {
        figure.outcome = QStringLiteral("child ended with status %1").arg(status);
    }
    return figure;
}

} // namespace

// The child's side: open one file in a main window, write the time and the first line of the
// message shown.
int OpenFileChild(const char* fileName, const char* outName) {
    ScopedDialogRecorder dialogs;
    TfrmPlugin window;
    QElapsedTimer timer;
    timer.start();
    const bool opened = window.LoadFromFile(QString::fromLocal8Bit(fileName));
    const double ms = timer.nsecsElapsed() / 1e6;
    QString message = dialogs->LastText().section(QLatin1Char('\n'), 0, 0);
    if (message.size() > 70) message = message.left(70) + QStringLiteral("...");
    QFile out(QString::fromLocal8Bit(outName));
    if (!out.open(QIODevice::WriteOnly)) return 1;
    out.write(QByteArray::number(ms) + '\n' + (opened ? "opened: " : "refused: ") +
              message.toUtf8() + '\n');
    return 0;
}

void HostileInputReport(const char* self) {
    std::printf("Duplicate of n LEDs whose names all clash\n");
    duplicateClashing(100);
    for (const int n : {1000, 4000}) {
        const double a = duplicateClashing(n);
        const double b = duplicateClashing(2 * n);
        std::printf("%-28s n=%-6d %9.1f ms   2n %9.1f ms   ratio %.2f\n", "duplicate all", n, a, b,
                    a > 0 ? b / a : 0.0);
    }
    QTemporaryDir folder;
    constexpr qint64 size = qint64(60) << 20;
    const TOpenFigure empty = openInChild(self, writeLarge(folder.path(), "empty", 0));
    std::printf("Opening 60 MB board files (peak resident size less that of an empty file, "
                "%.0f MiB)\n",
                empty.peakMiB);
    for (const char* kind : {"ends", "components", "properties", "longlines", "unknown"}) {
        const QString name = writeLarge(folder.path(), kind, size);
        const TOpenFigure figure = openInChild(self, name);
        QFile::remove(name);
        std::printf("%-12s %8.0f ms %7.0f MiB (%4.1f x the file)   %s\n", kind, figure.ms,
                    figure.peakMiB - empty.peakMiB, (figure.peakMiB - empty.peakMiB) / 60.0,
                    qPrintable(figure.outcome));
    }
}
