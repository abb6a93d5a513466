// Pictures of the board: PNG at the board's size and twice it, SVG with a group per component, the
// running look, printing, and the errors of an empty board and an unwritable file.
#include <QDomDocument>
#include <QImage>
#include <QPrinter>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QTest>

#include "editor/boardpicture.h"
#include "editor/brelvanfrm.h"
#include "editor/componenttable.h"
#include "editor/windowextras.h"
#include "tests/support/windowfixture.h"

namespace {

QString example(const char* name) {
    return QStringLiteral("%1/%2").arg(TWindowExtras::ExamplesFolder(), QLatin1String(name));
}

bool uniform(const QImage& image) {
    const QRgb first = image.pixel(0, 0);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != first) return false;
    return true;
}

} // namespace

class TestExport : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    ScratchSettings m_settings;

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        QVERIFY2(!TWindowExtras::ExamplesFolder().isEmpty(), "no examples beside the build");
    }

    // The PNG covers the components and a margin, in board pixels, at 1x or 2x.
    void pngHasTheBoardsSize_data() {
        QTest::addColumn<int>("scale");
        QTest::addColumn<QString>("item");
        QTest::newRow("1x") << 1 << "miExportPng";
        QTest::newRow("2x") << 2 << "miExportPng2x";
    }
    void pngHasTheBoardsSize() {
        QFETCH(int, scale);
        QFETCH(QString, item);
        WindowFixture f;
        TOrvexGraphicComponent* led = f.placeAt(ToolTag::LED, QPoint(100, 120));
        TOrvexGraphicComponent* gate = f.placeAt(ToolTag::GateAND, QPoint(400, 300));
        QVERIFY(led && gate);
        const QRect used = led->geometry() | gate->geometry();
        const QSize expected = (used.size() + QSize(2, 2) * BoardPicture::Margin) * scale;

        const QString file = m_dir.filePath(item + QStringLiteral(".png"));
        f.dialogs->saveAnswers = {file};
        auto* action = f.window->FileMenu()->findChild<QAction*>(item);
        QVERIFY(action);
        action->trigger();
        QCOMPARE(f.dialogs->fileDialogs.last().defaultSuffix, QStringLiteral("png"));
        const QImage image(file);
        QVERIFY2(!image.isNull(), "not a PNG picture");
        QCOMPARE(image.size(), expected);
        QVERIFY(!uniform(image));
        QVERIFY(f.dialogs->messages.isEmpty());
    }

    // The picture is the board as the window shows it there, selection marks aside.
    void pngIsWhatTheWindowShows() {
        WindowFixture f(QSize(1000, 700));
        QVERIFY(f.window->LoadFromFile(example("nand_truth_table.ovd")));
        const QRect area = BoardPicture::Area(*f.window);
        QVERIFY(f.board()->rect().contains(area));
        const QImage shown =
            f.board()->grab(area).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        const QImage picture = BoardPicture::Render(*f.window, 1);
        QCOMPARE(picture.size(), shown.size());
        QCOMPARE(picture, shown);
    }

    // One group per shown component, named after it and placed where it stands; the document
    // parses and renders.
    void svgHoldsOneGroupPerComponent() {
        WindowFixture f;
        QVERIFY(f.window->LoadFromFile(example("switch_led.ovd")));
        const QList<TOrvexGraphicComponent*> components = f.board()->OwnedComponents();
        QVERIFY(components.size() > 3);
        const QString file = m_dir.filePath(QStringLiteral("board.svg"));
        QVERIFY(f.window->Extras()->ExportPicture(file, TWindowExtras::PictureFormat::Svg, false));

        QFile in(file);
        QVERIFY(in.open(QIODevice::ReadOnly));
        const QByteArray bytes = in.readAll();
        QDomDocument doc;
        QString error;
        QVERIFY2(doc.setContent(bytes, &error), qPrintable(error));
        const QRect area = BoardPicture::Area(*f.window);
        QCOMPARE(doc.documentElement().attribute(QStringLiteral("width")).toInt(), area.width());
        QMap<QString, QString> placed; // name -> transform
        const QDomNodeList groups = doc.documentElement().childNodes();
        for (int i = 0; i < groups.size(); ++i) {
            const QDomElement group = groups.at(i).toElement();
            if (group.attribute(QStringLiteral("class")) != u"component") continue;
            QVERIFY(group.hasChildNodes());
            placed.insert(group.attribute(QStringLiteral("id")),
                          group.attribute(QStringLiteral("transform")));
        }
        QCOMPARE(placed.size(), components.size());
        for (const TOrvexGraphicComponent* component : components) {
            const QPoint at = component->pos() - area.topLeft();
            QCOMPARE(placed.value(QStringLiteral("component-") + component->objectName()),
                     QStringLiteral("translate(%1,%2)").arg(at.x()).arg(at.y()));
        }
        QVERIFY(QSvgRenderer(bytes).isValid());
    }

    // As it looks while running: the lit LEDs show; the board comes back to editing.
    void runningLookShowsLevels() {
        WindowFixture f;
        QVERIFY(f.window->LoadFromFile(example("nand_truth_table.ovd")));
        const QString editing = m_dir.filePath(QStringLiteral("editing.png"));
        const QString running = m_dir.filePath(QStringLiteral("running.png"));
        QVERIFY(
            f.window->Extras()->ExportPicture(editing, TWindowExtras::PictureFormat::Png, false));
        f.window->Extras()->RunningLookItem()->setChecked(true);
        f.dialogs->saveAnswers = {running};
        f.window->FileMenu()->findChild<QAction*>(QStringLiteral("miExportPng"))->trigger();
        QVERIFY(!f.window->Running());
        QVERIFY(!f.window->Modified());
        const QImage a(editing), b(running);
        QCOMPARE(a.size(), b.size());
        QVERIFY(a != b);
    }

    void badExportsAreReported_data() {
        QTest::addColumn<bool>("emptyBoard");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty board") << true << "empty.png"
                                     << "board is empty";
        QTest::newRow("no such folder") << false << "missing/dir/x.png"
                                        << "missing";
    }
    void badExportsAreReported() {
        QFETCH(bool, emptyBoard);
        QFETCH(QString, file);
        QFETCH(QString, message);
        WindowFixture f;
        if (!emptyBoard) QVERIFY(f.placeAt(ToolTag::LED, QPoint(100, 100)));
        const QString path = m_dir.filePath(file);
        QVERIFY(!f.window->Extras()->ExportPicture(path, TWindowExtras::PictureFormat::Png, false));
        QVERIFY2(f.dialogs->LastText().contains(message), qPrintable(f.dialogs->LastText()));
        QVERIFY(!QFile::exists(path));
    }

    // File > Print draws the board on the chosen printer (a PDF file here).
    void printsOnTheChosenPrinter() {
        WindowFixture f;
        QVERIFY(f.window->LoadFromFile(example("switch_led.ovd")));
        f.dialogs->Clear();
        const QString pdf = m_dir.filePath(QStringLiteral("board.pdf"));
        f.window->Extras()->AskPrinter = [&](QPrinter& printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            return true;
        };
        f.window->FileMenu()->findChild<QAction*>(QStringLiteral("miPrint"))->trigger();
        QFile out(pdf);
        QVERIFY(out.open(QIODevice::ReadOnly));
        QVERIFY(out.read(5) == "%PDF-");
        QVERIFY(out.size() > 1000);
        QVERIFY(f.dialogs->messages.isEmpty());
    }
};

QTEST_MAIN(TestExport)
#include "test_export.moc"
