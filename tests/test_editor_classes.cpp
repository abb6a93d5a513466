// The rubber-band selection rectangle and the translucent text window of the editor.
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QToolTip>
#include <QtTest>

#include "simulation/brelvanclasses.h"

namespace {

// A plain widget filled with one colour: a board or a component stand-in.
class TColourWidget : public QWidget {
public:
    TColourWidget(const QColor& colour, QWidget* parent = nullptr) : QWidget(parent) {
        QPalette palette;
        palette.setColor(QPalette::Window, colour);
        setPalette(palette);
        setAutoFillBackground(true);
    }
};

// "word567" k times, joined by blanks: eight columns a word.
QString words(int count) {
    QStringList list;
    for (int i = 0; i < count; ++i)
        list.append(QStringLiteral("word567"));
    return list.join(u' ');
}

bool near(QColor actual, QColor expected, int tolerance = 2) {
    return qAbs(actual.red() - expected.red()) <= tolerance &&
           qAbs(actual.green() - expected.green()) <= tolerance &&
           qAbs(actual.blue() - expected.blue()) <= tolerance && actual.alpha() == 255;
}

} // namespace

class TestEditorClasses : public QObject {
    Q_OBJECT

private slots:
    void selectRectFinish_data();
    void selectRectFinish();
    void selectRectDrag();
    void selectRectContains_data();
    void selectRectContains();
    void selectRectPaint();

    void scriptLayout_data();
    void scriptLayout();
    void scriptFont_data();
    void scriptFont();
    void closestFont_data();
    void closestFont();
    void scriptPaint_data();
    void scriptPaint();
};

void TestEditorClasses::selectRectFinish_data() {
    QTest::addColumn<QPoint>("anchor");
    QTest::addColumn<QPoint>("end");
    QTest::addColumn<QRect>("expected");

    QTest::newRow("up and left") << QPoint(100, 100) << QPoint(40, 60) << QRect(40, 60, 60, 40);
    QTest::newRow("down and right") << QPoint(10, 20) << QPoint(50, 90) << QRect(10, 20, 40, 70);
    QTest::newRow("left only") << QPoint(100, 20) << QPoint(30, 50) << QRect(30, 20, 70, 30);
    QTest::newRow("up only") << QPoint(20, 100) << QPoint(50, 30) << QRect(20, 30, 30, 70);
    QTest::newRow("click without drag") << QPoint(33, 44) << QPoint(33, 44) << QRect(33, 44, 0, 0);
}

void TestEditorClasses::selectRectFinish() {
    QFETCH(QPoint, anchor);
    QFETCH(QPoint, end);
    QFETCH(QRect, expected);

    QWidget board;
    board.resize(200, 200);
    TSelectRect band(&board);
    band.SetLeftL(anchor.x());
    band.SetTopL(anchor.y());
    band.SetWidthL(0);
    band.SetHeightL(0);
    band.Start();
    band.MoveTo(QPoint(150, 5));
    QVERIFY(band.Finish(end));

    QVERIFY(band.isHidden());
    QVERIFY(!band.Active());
    QCOMPARE(QRect(band.LeftL(), band.TopL(), band.WidthL(), band.HeightL()), expected);
    // The published properties are what the board files and the property grid see.
    QCOMPARE(band.property("LeftL").toInt(), expected.left());
    QCOMPARE(band.property("HeightL").toInt(), expected.height());
}

// Start covers the board with a snapshot of it; Finish without a position takes the last one
// seen; a Finish with no drag under way changes nothing.
void TestEditorClasses::selectRectDrag() {
    QWidget board;
    board.resize(300, 200);
    TSelectRect band(&board);
    QVERIFY(band.isHidden());

    // Without a drag there is nothing to finish: the rectangle stays as it was.
    band.SetLeftL(7);
    band.SetTopL(8);
    band.SetWidthL(9);
    band.SetHeightL(10);
    QVERIFY(!band.Finish(QPoint(100, 100)));
    QCOMPARE(QRect(band.LeftL(), band.TopL(), band.WidthL(), band.HeightL()), QRect(7, 8, 9, 10));

    band.SetLeftL(120);
    band.SetTopL(80);
    band.SetWidthL(0);
    band.SetHeightL(0);
    band.Start();
    QVERIFY(band.Active());
    QVERIFY(!band.isHidden());
    QCOMPARE(band.geometry(), board.rect());
    QCOMPARE(band.Snapshot().deviceIndependentSize().toSize(), board.size());
    QCOMPARE(band.MousePos(), QPoint(120, 80));

    band.MoveTo(QPoint(20, 150));
    QVERIFY(band.Finish());
    QCOMPARE(QRect(band.LeftL(), band.TopL(), band.WidthL(), band.HeightL()),
             QRect(20, 80, 100, 70));

    // A second finish (the focus went, then the button came up) keeps the selection made.
    QVERIFY(!band.Finish(QPoint(290, 190)));
    QCOMPARE(QRect(band.LeftL(), band.TopL(), band.WidthL(), band.HeightL()),
             QRect(20, 80, 100, 70));
    QVERIFY(!band.Contains(nullptr));
}

void TestEditorClasses::selectRectContains_data() {
    QTest::addColumn<QRect>("selection");
    QTest::addColumn<QRect>("control");
    QTest::addColumn<bool>("inside");

    const QRect sel(40, 60, 60, 40); // right edge 100, bottom edge 100
    QTest::newRow("the rectangle itself") << sel << QRect(40, 60, 60, 40) << true;
    QTest::newRow("one pixel wider") << sel << QRect(40, 60, 61, 40) << false;
    QTest::newRow("one pixel taller") << sel << QRect(40, 60, 60, 41) << false;
    QTest::newRow("well inside") << sel << QRect(50, 70, 10, 10) << true;
    QTest::newRow("touches the right edge") << sel << QRect(90, 70, 10, 10) << true;
    QTest::newRow("touches the bottom edge") << sel << QRect(50, 90, 10, 10) << true;
    QTest::newRow("sticks out left") << sel << QRect(39, 70, 10, 10) << false;
    QTest::newRow("sticks out at the top") << sel << QRect(50, 59, 10, 10) << false;
    QTest::newRow("partly outside") << sel << QRect(80, 80, 40, 40) << false;
    QTest::newRow("wholly outside") << sel << QRect(150, 150, 10, 10) << false;
    QTest::newRow("covers the rectangle") << sel << QRect(30, 50, 80, 60) << false;
    QTest::newRow("empty rectangle") << QRect(40, 60, 0, 0) << QRect(40, 60, 10, 10) << false;
}

void TestEditorClasses::selectRectContains() {
    QFETCH(QRect, selection);
    QFETCH(QRect, control);
    QFETCH(bool, inside);

    QWidget board;
    board.resize(300, 300);
    TSelectRect band(&board);
    band.SetLeftL(selection.x());
    band.SetTopL(selection.y());
    band.SetWidthL(selection.width());
    band.SetHeightL(selection.height());
    QWidget component(&board);
    component.setGeometry(control);

    QCOMPARE(band.Contains(&component), inside);
}

// The band shows the board as it was at Start, components included, and inverts the pixels
// under its dotted outline only.
void TestEditorClasses::selectRectPaint() {
    const QColor boardColour(30, 120, 200);
    const QColor componentColour(200, 40, 10);
    TColourWidget board(boardColour);
    board.resize(200, 150);
    TColourWidget component(componentColour, &board);
    component.setGeometry(60, 40, 20, 20);

    TSelectRect band(&board);
    band.SetLeftL(20);
    band.SetTopL(20);
    band.SetWidthL(0);
    band.SetHeightL(0);
    band.Start();
    band.MoveTo(QPoint(160, 110));
    const QImage shot = band.grab().toImage().convertToFormat(QImage::Format_ARGB32);

    QCOMPARE(shot.pixelColor(100, 80), boardColour);
    QCOMPARE(shot.pixelColor(70, 50), componentColour);
    QCOMPARE(shot.pixelColor(5, 5), boardColour);

    const QColor inverted(255 - boardColour.red(), 255 - boardColour.green(),
                          255 - boardColour.blue());
    int dots = 0;
    int gaps = 0;
    for (int x = 40; x <= 140; ++x) { // the top edge, clear of the rounded corners
        const QColor pixel = shot.pixelColor(x, 20);
        if (pixel == inverted)
            ++dots;
        else if (pixel == boardColour)
            ++gaps;
        else
            QFAIL(qPrintable(QStringLiteral("pixel (%1, 20) is %2").arg(x).arg(pixel.name())));
    }
    QVERIFY(dots > 10);
    QVERIFY(gaps > 10);
    // The outline has width 3: the row above the edge is struck as well, two rows above not.
    int struckAbove = 0;
    for (int x = 40; x <= 140; ++x) {
        if (shot.pixelColor(x, 19) == inverted) ++struckAbove;
        QCOMPARE(shot.pixelColor(x, 17), boardColour);
    }
    QVERIFY(struckAbove > 10);
}

void TestEditorClasses::scriptLayout_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("maxColumns");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("trimmed") << QStringLiteral("  \t Anode: 5000 Cathode: 0 \r\n\x01") << 40
                             << QStringList{"Anode: 5000 Cathode: 0"};
    QTest::newRow("own line breaks kept") << QStringLiteral("Contact1: 5000\r\nContact2: 0") << 40
                                          << QStringList{"Contact1: 5000", "Contact2: 0"};
    QTest::newRow("bare LF and CR breaks")
        << QStringLiteral("a\nb\rc") << 40 << QStringList{"a", "b", "c"};
    QTest::newRow("empty line dropped") << QStringLiteral("first\r\n\r\nsecond\r\nthird") << 40
                                        << QStringList{"first", "second", "third"};
    QTest::newRow("several empty lines")
        << QStringLiteral("a\r\n\r\n\r\n\r\nb") << 40 << QStringList{"a", "b"};
    QTest::newRow("blank-only line dropped")
        << QStringLiteral("a\r\n   \r\nb") << 40 << QStringList{"a", "b"};
    QTest::newRow("nothing to show") << QStringLiteral(" \r\n \t") << 40 << QStringList{};
    QTest::newRow("fits exactly") << QStringLiteral("abcd efgh") << 9 << QStringList{"abcd efgh"};
    QTest::newRow("after a blank")
        << QStringLiteral("alpha beta gamma") << 12 << QStringList{"alpha beta", "gamma"};
    QTest::newRow("blank just past the limit")
        << QStringLiteral("alpha beta gamma") << 10 << QStringList{"alpha beta", "gamma"};
    QTest::newRow("one word a line")
        << QStringLiteral("alpha beta gamma") << 5 << QStringList{"alpha", "beta", "gamma"};
    QTest::newRow("after a comma")
        << QStringLiteral("a=1,b=22,c=333") << 5 << QStringList{"a=1,", "b=22,", "c=333"};
    QTest::newRow("after an equals sign")
        << QStringLiteral("name=value") << 6 << QStringList{"name=", "value"};
    QTest::newRow("node listing")
        << QStringLiteral(
               "Node_2(2): (SW1.Contact1, LED1.Anode)\r\nLED1.Anode | \r\nSW1.Contact1 | ")
        << 20
        << QStringList{"Node_2(2):", "(SW1.Contact1,", "LED1.Anode)", "LED1.Anode | ",
                       "SW1.Contact1 |"};
    QTest::newRow("long word cut")
        << QStringLiteral("abcdefghij") << 4 << QStringList{"abcd", "efgh", "ij"};
    QTest::newRow("no columns") << QStringLiteral("abc") << 0 << QStringList{"a", "b", "c"};
    QTest::newRow("100 columns") << words(30) << 100 << QStringList{words(12), words(12), words(6)};
    QTest::newRow("200 columns") << words(60) << 200
                                 << QStringList{words(25), words(25), words(10)};
    QTest::newRow("201 columns wrap at 400")
        << words(60) << 201 << QStringList{words(50), words(10)};
}

// Lines of 17 pixels plus 2, the widest line plus 5, measured in the font the window ends with.
void TestEditorClasses::scriptLayout() {
    QFETCH(QString, text);
    QFETCH(int, maxColumns);
    QFETCH(QStringList, lines);

    QWidget board;
    TScriptWindow window(&board);
    window.SetText(text);
    window.Layout(maxColumns);

    QCOMPARE(window.ShownLines(), lines);
    QCOMPARE(window.ShownText(), lines.join(QStringLiteral("\r\n")));
    QCOMPARE(window.Text(), text);
    QCOMPARE(window.height(), int(lines.size()) * 17 + 2);
    const QFontMetrics metrics(window.font());
    int widest = 0;
    for (const QString& line : lines)
        widest = qMax(widest, metrics.horizontalAdvance(line));
    QCOMPARE(window.width(), widest + 5);
}

void TestEditorClasses::scriptFont_data() {
    QTest::addColumn<int>("maxColumns");
    QTest::addColumn<int>("pointSize"); // 0: the font the window had

    QTest::newRow("80") << 80 << 0;
    QTest::newRow("100") << 100 << 0;
    QTest::newRow("101") << 101 << 8;
    QTest::newRow("200") << 200 << 8;
    QTest::newRow("201") << 201 << 7;
    QTest::newRow("300") << 300 << 7;
}

void TestEditorClasses::scriptFont() {
    QFETCH(int, maxColumns);
    QFETCH(int, pointSize);

    QWidget board;
    const QFont boardFont(QStringLiteral("DejaVu Sans"), 11);
    board.setFont(boardFont);
    TScriptWindow window(&board);
    window.SetText(QStringLiteral("Node: Node_7"));
    window.Layout(maxColumns);

    if (pointSize == 0) {
        QCOMPARE(window.font(), boardFont);
    } else {
        QCOMPARE(window.font().pointSize(), pointSize);
        QVERIFY(QFontInfo(window.font()).fixedPitch());
    }
}

void TestEditorClasses::closestFont_data() {
    QTest::addColumn<QString>("family");
    QTest::addColumn<int>("hint");
    QTest::addColumn<bool>("fixedPitch");

    QTest::newRow("missing monospace")
        << QStringLiteral("Brelvan Missing Mono") << int(QFont::TypeWriter) << true;
    QTest::newRow("missing sans") << QStringLiteral("Brelvan Missing Sans") << int(QFont::SansSerif)
                                  << false;
    QTest::newRow("Courier New") << QStringLiteral("Courier New") << int(QFont::TypeWriter) << true;
}

void TestEditorClasses::closestFont() {
    QFETCH(QString, family);
    QFETCH(int, hint);
    QFETCH(bool, fixedPitch);

    const QFont font = TScriptWindow::ClosestFont(family, 9, QFont::StyleHint(hint));
    QCOMPARE(font.pointSize(), 9);
    QCOMPARE(QFontInfo(font).fixedPitch(), fixedPitch);
}

void TestEditorClasses::scriptPaint_data() {
    QTest::addColumn<QColor>("background");

    QTest::newRow("blue") << QColor(0, 0, 255);
    QTest::newRow("dark green") << QColor(0, 100, 0);
    QTest::newRow("grey") << QColor(128, 128, 128);
}

// The tint is blended at 210/255 over what is behind the window; the corners show the board.
void TestEditorClasses::scriptPaint() {
    QFETCH(QColor, background);

    TColourWidget board(background);
    board.resize(160, 120);
    TScriptWindow window(&board);
    window.SetText(QStringLiteral("x"));
    window.Layout(40);
    window.setGeometry(10, 10, 80, 60); // room clear of the text
    board.show();
    QVERIFY(QTest::qWaitForWindowExposed(&board));

    const QImage shot = board.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    const QPalette tip = QToolTip::palette();
    const QColor tint = tip.color(QPalette::ToolTipBase);
    const auto blend = [&](int t, int b) { return (t * 210 + b * 45 + 127) / 255; };
    const QColor expected(blend(tint.red(), background.red()),
                          blend(tint.green(), background.green()),
                          blend(tint.blue(), background.blue()));

    QVERIFY2(near(shot.pixelColor(60, 50), expected),
             qPrintable(shot.pixelColor(60, 50).name() + " vs " + expected.name()));
    QCOMPARE(shot.pixelColor(10, 10), background);   // top left corner
    QCOMPARE(shot.pixelColor(89, 69), background);   // bottom right corner
    QCOMPARE(shot.pixelColor(120, 100), background); // beside the window
    QVERIFY(near(shot.pixelColor(10, 40), tip.color(QPalette::ToolTipText), 40)); // outline
    // The pointer over the window is over the board: the probe keeps hearing it move.
    QCOMPARE(board.childAt(50, 40), nullptr);
}

QTEST_MAIN(TestEditorClasses)
#include "test_editor_classes.moc"
