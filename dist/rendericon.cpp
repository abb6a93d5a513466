// brelvan-render-icon SVG OUT_DIR SIZE...: renders the program icon as OUT_DIR/brelvan-SIZE.png for
// every SIZE, so the install ships PNG icons drawn from the one SVG.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    const QStringList args = QGuiApplication::arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: brelvan-render-icon SVG OUT_DIR SIZE...\n");
        return 2;
    }
    QSvgRenderer renderer(args[1]);
    if (!renderer.isValid()) {
        std::fprintf(stderr, "%s: not a readable SVG picture\n", qPrintable(args[1]));
        return 1;
    }
    for (const QString& text : args.mid(3)) {
        bool ok = false;
        const int side = text.toInt(&ok);
        if (!ok || side < 1 || side > 4096) {
            std::fprintf(stderr, "%s: not an icon size\n", qPrintable(text));
            return 2;
        }
        QImage image(side, side, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        renderer.render(&painter);
        painter.end();
        const QString out = QStringLiteral("%1/brelvan-%2.png").arg(args[2]).arg(side);
        if (!image.save(out)) {
            std::fprintf(stderr, "%s: cannot be written\n", qPrintable(out));
            return 1;
        }
    }
    return 0;
}
