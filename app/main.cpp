#include <QApplication>

#include "editor/brelvanfrm.h"
#include "platform/qtdialogs.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brelvan"));
    QtDialogService dialogs;
    InstallDialogs(&dialogs);

    int result = 0;
    {
        TfrmPlugin window;
        window.show();
        result = QApplication::exec();
    }
    InstallDialogs(nullptr);
    return result;
}
