// recovery-child BOARD EDITED: a Brelvan window that a test kills. It opens BOARD, changes it
// (duplicates every component, moves the first), writes the changed board to EDITED, keeps a
// recovery copy every 50 ms, prints the copy's path once it is on disk, and runs until killed.
#include <QApplication>
#include <QFile>
#include <QTimer>
#include <cstdio>

#include "editor/autosave.h"
#include "editor/boardfile.h"
#include "editor/brelvanfrm.h"
#include "platform/dialogs.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: recovery-child BOARD EDITED\n");
        return 2;
    }
    ScopedDialogRecorder dialogs;
    TfrmPlugin window;
    window.show();
    if (!window.LoadFromFile(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "%s did not open\n", argv[1]);
        return 1;
    }
    window.SelectAllClick();
    window.PasteText(window.SelectionText());
    TOrvexGraphicComponent* first = window.Board()->OwnedComponents().value(0);
    if (!first) return 1;
    window.WritePropertyText(first, QStringLiteral("Left"),
                             QString::number(first->x() + 4 * window.GridSize()));
    if (!window.Modified()) return 1;
    const QString edited = BoardFile::WriteBoard(window.Board(), window.GridSize()).Text;
    if (!BoardFile::WriteFile(QString::fromLocal8Bit(argv[2]), edited.toUtf8()).isEmpty()) return 1;

    window.Autosave()->Start(50);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        const QString copy = window.Autosave()->CopyPath();
        if (copy.isEmpty() || !QFile::exists(copy)) return;
        poll.stop();
        std::printf("%s\n", qPrintable(copy));
        std::fflush(stdout);
    });
    poll.start(20);
    return QApplication::exec();
}
