#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

#include "editor/brelvanfrm.h"
#include "platform/qtdialogs.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brelvan"));
    QtDialogService dialogs;
    InstallDialogs(&dialogs);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Editor and simulator of 8051 boards"));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("A board (.ovd) to open"),
                                 QStringLiteral("[FILE.ovd]"));
    parser.process(app);

    int result = 0;
    {
        TfrmPlugin window;
        window.show();
        // A board named on the command line opens once the window stands.
        const QStringList files = parser.positionalArguments();
        if (!files.isEmpty())
            QTimer::singleShot(0, &window,
                               [&window, file = files.first()] { window.OpenFile(file); });
        result = QApplication::exec();
    }
    InstallDialogs(nullptr);
    return result;
}
