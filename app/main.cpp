#include <QApplication>
#include <QMainWindow>

#include "platform/qtdialogs.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brelvan"));
    QtDialogService dialogs;
    InstallDialogs(&dialogs);

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Brelvan"));
    window.resize(800, 600);
    window.show();
    const int result = QApplication::exec();
    InstallDialogs(nullptr);
    return result;
}
