#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QTimer>

#include "editor/autosave.h"
#include "editor/brelvanfrm.h"
#include "editor/firmwareui.h"
#include "platform/paintsettings.h"
#include "platform/qtdialogs.h"

int main(int argc, char* argv[]) {
    SwitchOffOpaqueSiblingSearch();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brelvan"));
    QtDialogService dialogs;
    InstallDialogs(&dialogs);

    // brelvan [BOARD.ovd] [--firmware FILE.hex]
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Editor and simulator of peripheral boards for 8051 microcontrollers."));
    parser.addHelpOption();
    const QCommandLineOption firmware(
        QStringList{QStringLiteral("f"), QStringLiteral("firmware")},
        QStringLiteral("Load the firmware FILE (Intel HEX or binary) for the board."),
        QStringLiteral("FILE"));
    parser.addOption(firmware);
    parser.addPositionalArgument(QStringLiteral("board"), QStringLiteral("A board file to open."),
                                 QStringLiteral("[BOARD.ovd]"));
    parser.process(app);

    int result = 0;
    {
        TfrmPlugin window;
        window.show();
        // The board and firmware named on the command line open once the window stands.
        const QStringList boards = parser.positionalArguments();
        const QString board =
            boards.isEmpty() ? QString() : QFileInfo(boards.first()).absoluteFilePath();
        const QString code = parser.isSet(firmware)
                                 ? QFileInfo(parser.value(firmware)).absoluteFilePath()
                                 : QString();
        // Boards a crash left unsaved are offered back before anything else opens.
        window.Autosave()->Start(TAutosave::ConfiguredIntervalMs());
        QTimer::singleShot(0, &window, [&window, board, code] {
            window.Guard([&] { window.Autosave()->OfferRecovered(); });
            window.Firmware()->OpenWith(board, code);
        });
        result = QApplication::exec();
    }
    InstallDialogs(nullptr);
    return result;
}
