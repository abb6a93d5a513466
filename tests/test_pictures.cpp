#include "platform/errors.h"
#include "resources/pictures.h"

#include <QPainter>
#include <QTest>

#include <algorithm>
#include <cmath>

namespace {

struct Family {
    QSize size;
    QStringList names;
};

// Every picture the components, the tool bar and the window ask for, with the orientation variants
// the components load, at the nominal sizes the components are sized by.
const QList<Family>& families() {
    static const QList<Family> list = {
        {{64, 64},
         {"DIODE",
          "DIODE1",
          "DIODE2",
          "DIODE3",
          "LED_SCH",
          "LED_SCH1",
          "LED_SCH2",
          "LED_SCH3",
          "TWO_COLOR_LED_SCH",
          "TWO_COLOR_LED_SCH1",
          "TWO_COLOR_LED_SCH2",
          "TWO_COLOR_LED_SCH3",
          "SWITCH_OFF",
          "SWITCH_OFF1",
          "SWITCH_ON",
          "SWITCH_ON1",
          "ROUND_BUTTON_UP",
          "ROUND_BUTTON_DOWN",
          "BULB_DARK",
          "BULB_DARK1",
          "BULB_BRIGHT",
          "BULB_BRIGHT1",
          "BULB_SCH",
          "BULB_SCH1",
          "CRASH",
          "GND",
          "GND1",
          "GND2",
          "GND3",
          "VCC",
          "VCC1",
          "VCC2",
          "VCC3",
          "MAINICON"}},
        {{64, 62},
         {"RED_DARK", "RED_BRIGHT", "GREEN_DARK", "GREEN_BRIGHT", "YELLOW_DARK", "YELLOW_BRIGHT",
          "BLUE_DARK", "BLUE_BRIGHT", "ORANGE_BRIGHT", "WHITE_LED_SOCKET",
          // a turned two-colour LED asks for turned sockets and lit pictures
          "WHITE_LED_SOCKET2", "RED_BRIGHT2", "GREEN_BRIGHT2", "ORANGE_BRIGHT2"}},
        {{62, 64},
         {"WHITE_LED_SOCKET1", "WHITE_LED_SOCKET3", "RED_BRIGHT1", "RED_BRIGHT3", "GREEN_BRIGHT1",
          "GREEN_BRIGHT3", "ORANGE_BRIGHT1", "ORANGE_BRIGHT3"}},
        {{74, 99},
         {"MATRIX", "SEG_A", "SEG_B", "SEG_C", "SEG_D", "SEG_E", "SEG_F", "SEG_G", "SEG_H",
          "SEGMENT7_SCH"}},
        {{116, 60}, {"HRADLO", "HRADLO2", "HRADLO_SCH", "HRADLO_SCH2"}},
        {{60, 116}, {"HRADLO1", "HRADLO3", "HRADLO_SCH1", "HRADLO_SCH3"}},
        {{116, 62}, {"INVERTOR", "INVERTOR2", "INVERTOR_SCH", "INVERTOR_SCH2"}},
        {{62, 116}, {"INVERTOR1", "INVERTOR3", "INVERTOR_SCH1", "INVERTOR_SCH3"}},
        {{75, 85},
         {"PORT", "SELECTOR", "SELECTOR_INV", "SELECTOR_SCH", "SELECTOR_INV_SCH", "DRIVEN_PORT_DIR",
          "DRIVEN_PORT_DIR_INV"}},
        {{75, 95}, {"DRIVEN_PORT_C", "DRIVEN_PORT_C_INV", "DRIVEN_PORT_OE", "DRIVEN_PORT_OE_INV"}},
        {{75, 105}, {"DRIVEN_PORT", "DRIVEN_PORT_INV"}},
        {{30, 94}, {"BUS", "BUS1", "BUS_SCH", "BUS_SCH1"}},
        {{69, 23}, {"PIN", "PIN1"}},
        {{640, 3}, {"LINE"}},
        {{3, 640}, {"LINE1"}},
        {{139, 80}, {"LCDALPHA_SCH", "LCDGRAPH_SCH"}},
        {{24, 24}, {"TLED",      "TDISPSEG",  "TBULB", "TSWITCH",      "TROUNDBTN",    "TSQUAREBTN",
                    "TDIODE",    "TINVERTOR", "TUPIN", "TUPORT",       "TUDRIVENPORT", "TBUS",
                    "TVCC",      "TGND",      "TLINE", "TTWOCOLORLED", "TUSELECTOR",   "TGATEAND",
                    "TLCDALPHA", "TLCDGRAPH", "RUN"}},
    };
    return list;
}

QString alternatingCase(const QString& name) {
    QString out = name;
    for (qsizetype i = 0; i < out.size(); ++i)
        out[i] = i % 2 ? out[i].toLower() : out[i].toUpper();
    return out;
}

int alphaAt(const QImage& image, QPoint p) {
    return qAlpha(image.pixel(p));
}

bool hasOpaquePixel(const QImage& image) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (alphaAt(image, {x, y}) > 128) return true;
    return false;
}

// The pixel row holding row k's middle when a height is cut into equal rows and the probe centres
// row k at (k + offset) row heights.
int rowY(int height, int rows, int k, double offset) {
    return int(std::floor((k + offset) * height / rows));
}

int channelDifference(const QImage& a, const QImage& b) {
    int most = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            most = std::max({most, qAbs(qRed(p) - qRed(q)), qAbs(qGreen(p) - qGreen(q)),
                             qAbs(qBlue(p) - qBlue(q)), qAbs(qAlpha(p) - qAlpha(q))});
        }
    return most;
}

} // namespace

class TestPictures : public QObject {
    Q_OBJECT

private slots:
    void resolvesAtNominalSize_data();
    void resolvesAtNominalSize();
    void namesListsEveryDrawing();
    void turnedVariantIsTheBaseTurned_data();
    void turnedVariantIsTheBaseTurned();
    void unknownNameFails_data();
    void unknownNameFails();
    void contactsSitWhereTheProbeLooks_data();
    void contactsSitWhereTheProbeLooks();
    void busLinesLieInTheirProbeRows_data();
    void busLinesLieInTheirProbeRows();
    void overlayLinesUpWithItsBase_data();
    void overlayLinesUpWithItsBase();
    void paintMatchesRenderAtAnOffset_data();
    void paintMatchesRenderAtAnOffset();
    void renderStretchesAndKeepsTransparency();
};

void TestPictures::resolvesAtNominalSize_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    for (const Family& family : families())
        for (const QString& name : family.names)
            QTest::newRow(qPrintable(name)) << name << family.size;
    // spellings the components use
    QTest::newRow("RED_Dark") << "RED_Dark" << QSize(64, 62);
    QTest::newRow("Bulb_Bright") << "Bulb_Bright" << QSize(64, 64);
    QTest::newRow("LCDAlpha_SCH") << "LCDAlpha_SCH" << QSize(139, 80);
}

void TestPictures::resolvesAtNominalSize() {
    QFETCH(QString, name);
    QFETCH(QSize, size);
    for (const QString& spelling : {name, name.toLower(), name.toUpper(), alternatingCase(name)}) {
        QVERIFY2(Pictures::Exists(spelling), qPrintable(spelling));
        QCOMPARE(Pictures::NominalSize(spelling), size);
        const auto found = Pictures::FindPicture(spelling);
        QVERIFY2(found, qPrintable(spelling));
        QCOMPARE(found->Quarters(), Pictures::Quarters(spelling));
    }
    const QImage image = Pictures::Render(name, size);
    QCOMPARE(image.size(), size);
    QCOMPARE(image.format(), QImage::Format_ARGB32_Premultiplied);
    QVERIFY2(hasOpaquePixel(image), "the picture draws nothing");
}

void TestPictures::namesListsEveryDrawing() {
    const QStringList names = Pictures::Names();
    QStringList sorted = names;
    sorted.sort();
    QCOMPARE(names, sorted);
    for (const QString& name : names) {
        QCOMPARE(name, name.toUpper());
        QVERIFY(Pictures::Exists(name));
        QVERIFY2(hasOpaquePixel(Pictures::Render(name, Pictures::NominalSize(name))),
                 qPrintable(name));
    }
    // Base pictures and the variants drawn under their own names are listed; turned ones are not.
    for (const char* drawn : {"DIODE", "SEGMENT7_SCH", "PIN1", "BUS_SCH1", "MAINICON"})
        QVERIFY2(names.contains(drawn), drawn);
    QVERIFY(!names.contains("DIODE1"));
}

void TestPictures::turnedVariantIsTheBaseTurned_data() {
    QTest::addColumn<QString>("base");
    QTest::addColumn<int>("quarters");
    for (const char* base :
         {"DIODE", "TWO_COLOR_LED_SCH", "HRADLO", "INVERTOR_SCH", "SEGMENT7_SCH"})
        for (int quarters = 1; quarters <= 3; ++quarters)
            QTest::addRow("%s%d", base, quarters) << QString(base) << quarters;
    QTest::newRow("BULB_DARK1") << "BULB_DARK" << 1;
    QTest::newRow("LINE1") << "LINE" << 1;
}

void TestPictures::turnedVariantIsTheBaseTurned() {
    QFETCH(QString, base);
    QFETCH(int, quarters);
    const QString variant = base + QString::number(quarters);
    const QSize baseSize = Pictures::NominalSize(base);
    const QSize size = Pictures::NominalSize(variant);
    QCOMPARE(size, quarters % 2 ? baseSize.transposed() : baseSize);

    // Rendering the variant must give the base's pixels turned clockwise.
    const QImage expected =
        Pictures::Render(base, baseSize).transformed(QTransform().rotate(90.0 * quarters));
    const QImage actual = Pictures::Render(variant, size);
    QCOMPARE(actual.size(), expected.size());
    int differing = 0;
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            if (qAbs(alphaAt(actual, {x, y}) - alphaAt(expected, {x, y})) > 64) ++differing;
    QVERIFY2(differing <= size.width() * size.height() / 200,
             qPrintable(QString::number(differing) + " pixels differ"));
}

void TestPictures::unknownNameFails_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("empty") << "";
    QTest::newRow("unknown") << "NO_SUCH_PICTURE";
    QTest::newRow("variant digit 4") << "DIODE4";
    QTest::newRow("variant digit 0") << "DIODE0";
    QTest::newRow("variant of a variant") << "DIODE12";
    QTest::newRow("turned drawn variant") << "PIN11";
    QTest::newRow("turned drawn variant 2") << "BUS_SCH12";
    QTest::newRow("digit of the base name alone") << "SEGMENT7";
    QTest::newRow("file name") << "DIODE.svg";
    QTest::newRow("leading space") << " DIODE";
    QTest::newRow("a digit alone") << "1";
}

void TestPictures::unknownNameFails() {
    QFETCH(QString, name);
    QVERIFY(!Pictures::Exists(name));
    QVERIFY(!Pictures::FindPicture(name)); // the lookup of paint paths finds nothing, quietly
    QVERIFY_THROWS_EXCEPTION(PictureError, Pictures::NominalSize(name));
    QVERIFY_THROWS_EXCEPTION(PictureError, Pictures::Render(name, QSize(10, 10)));
    QVERIFY_THROWS_EXCEPTION(PictureError, Pictures::Render(name, QSize()));
    QImage image(10, 10, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    QVERIFY_THROWS_EXCEPTION(PictureError, Pictures::Paint(painter, QRectF(0, 0, 10, 10), name));
}

// Points in nominal pixels that must be covered (a contact's stub) or must stay clear (between
// the rows of a port, so the rows read as separate pins).
void TestPictures::contactsSitWhereTheProbeLooks_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QList<QPoint>>("covered");
    QTest::addColumn<QList<QPoint>>("clear");

    // Two-contact parts: one contact in each half, on the edges.
    for (const char* name : {"DIODE", "LED_SCH", "SWITCH_OFF", "BULB_DARK", "BULB_SCH"})
        QTest::newRow(name) << QString(name) << QList<QPoint>{{0, 32}, {63, 32}} << QList<QPoint>{};
    // A turned bulb has Contact1 on top (the probe takes the upper half for it).
    QTest::newRow("BULB_DARK1") << "BULB_DARK1" << QList<QPoint>{{32, 0}, {32, 63}}
                                << QList<QPoint>{{0, 32}, {63, 32}};
    QTest::newRow("BULB_SCH1") << "BULB_SCH1" << QList<QPoint>{{32, 0}, {32, 63}}
                               << QList<QPoint>{{0, 32}, {63, 32}};
    for (const char* name : {"RED_DARK", "GREEN_DARK", "YELLOW_DARK", "BLUE_DARK"})
        QTest::newRow(name) << QString(name) << QList<QPoint>{{0, 31}, {63, 31}} << QList<QPoint>{};
    // Two-colour LED: Anode1 in the upper half, Anode2 in the lower half, cathode right.
    QTest::newRow("TWO_COLOR_LED_SCH")
        << "TWO_COLOR_LED_SCH" << QList<QPoint>{{0, 17}, {0, 47}, {63, 32}}
        << QList<QPoint>{{0, 32}};
    QTest::newRow("WHITE_LED_SOCKET")
        << "WHITE_LED_SOCKET" << QList<QPoint>{{0, 16}, {0, 46}, {63, 31}}
        << QList<QPoint>{{0, 31}};
    // Gates: inputs in the upper and lower halves of the left edge, output on the right.
    for (const char* name : {"HRADLO", "HRADLO_SCH"})
        QTest::newRow(name) << QString(name) << QList<QPoint>{{0, 15}, {0, 45}, {115, 30}}
                            << QList<QPoint>{{0, 30}, {115, 10}, {115, 50}};
    for (const char* name : {"INVERTOR", "INVERTOR_SCH"})
        QTest::newRow(name) << QString(name) << QList<QPoint>{{0, 31}, {115, 31}}
                            << QList<QPoint>{{0, 10}, {0, 52}, {115, 10}, {115, 52}};
    // Supply symbols: GND is joined from above, VCC from below.
    QTest::newRow("GND") << "GND" << QList<QPoint>{{32, 0}} << QList<QPoint>{{32, 63}};
    QTest::newRow("VCC") << "VCC" << QList<QPoint>{{32, 63}} << QList<QPoint>{};
    QTest::newRow("PIN") << "PIN" << QList<QPoint>{{68, 11}} << QList<QPoint>{};
    QTest::newRow("PIN1") << "PIN1" << QList<QPoint>{{0, 11}} << QList<QPoint>{};
    QTest::newRow("LINE") << "LINE" << QList<QPoint>{{0, 1}, {320, 1}, {639, 1}} << QList<QPoint>{};

    // Port: pin k in the right fifth at row k of eight, pin 0 on top.
    {
        QList<QPoint> covered, clear;
        for (int k = 0; k < 8; ++k) {
            covered.append({74, rowY(85, 8, k, 0.5)});
            if (k > 0) clear.append({74, rowY(85, 8, k, 0.0)});
        }
        QTest::newRow("PORT") << "PORT" << covered << clear;
    }
    // Display: segment k's pin at the left on row k of eight.
    for (const char* name : {"MATRIX", "SEGMENT7_SCH"}) {
        QList<QPoint> covered, clear;
        for (int k = 0; k < 8; ++k) {
            covered.append({0, rowY(99, 8, k, 0.5)});
            if (k > 0) clear.append({0, rowY(99, 8, k, 0.0)});
        }
        QTest::newRow(name) << QString(name) << covered << clear;
    }
    // Selector: A, B, C on rows 0-2 and the enables on rows 5-7 at the left, Y0..Y7 at the right.
    for (const char* name : {"SELECTOR", "SELECTOR_INV", "SELECTOR_SCH", "SELECTOR_INV_SCH"}) {
        QList<QPoint> covered, clear;
        for (int k = 0; k < 8; ++k) {
            const int y = rowY(85, 8, k, 0.5);
            covered.append({74, y});
            if (k == 3 || k == 4)
                clear.append({0, y});
            else
                covered.append({0, y});
        }
        QTest::newRow(name) << QString(name) << covered << clear;
    }
    // Driven ports: data in and out on rows 0-7, then the output enable and the strobe at the
    // left; 8, 9 or 10 rows by the control inputs the picture shows, row r centred at r + 0.3.
    const struct {
        const char* name;
        int height;
        int controls;
    } drivenPorts[] = {
        {"DRIVEN_PORT_DIR", 85, 0},   {"DRIVEN_PORT_DIR_INV", 85, 0}, {"DRIVEN_PORT_C", 95, 1},
        {"DRIVEN_PORT_C_INV", 95, 1}, {"DRIVEN_PORT_OE", 95, 1},      {"DRIVEN_PORT_OE_INV", 95, 1},
        {"DRIVEN_PORT", 105, 2},      {"DRIVEN_PORT_INV", 105, 2},
    };
    for (const auto& port : drivenPorts) {
        const int rows = 8 + port.controls;
        QList<QPoint> covered, clear;
        for (int r = 0; r < rows; ++r) {
            const int y = rowY(port.height, rows, r, 0.3);
            covered.append({0, y});
            if (r < 8)
                covered.append({74, y});
            else
                clear.append({74, y});
        }
        QTest::newRow(port.name) << QString(port.name) << covered << clear;
    }
}

void TestPictures::contactsSitWhereTheProbeLooks() {
    QFETCH(QString, name);
    QFETCH(QList<QPoint>, covered);
    QFETCH(QList<QPoint>, clear);
    const QImage image = Pictures::Render(name, Pictures::NominalSize(name));
    for (const QPoint p : covered)
        QVERIFY2(alphaAt(image, p) > 128,
                 qPrintable(QString("no contact at %1,%2").arg(p.x()).arg(p.y())));
    for (const QPoint p : clear)
        QVERIFY2(alphaAt(image, p) < 32,
                 qPrintable(QString("something at %1,%2").arg(p.x()).arg(p.y())));
}

void TestPictures::busLinesLieInTheirProbeRows_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("edge");
    QTest::newRow("BUS") << "BUS" << 29;
    QTest::newRow("BUS_SCH") << "BUS_SCH" << 29;
    // facing the other way, the lines leave on the left
    QTest::newRow("BUS1") << "BUS1" << 0;
    QTest::newRow("BUS_SCH1") << "BUS_SCH1" << 0;
}

// Below the bus's head (down to h + 5, with h = 94 / 8.9) the probe takes line k from
// 5 + (k + 0.8) h to 5 + (k + 1.8) h: each band holds one line, reaching the edge, and the lines
// are separate.
void TestPictures::busLinesLieInTheirProbeRows() {
    QFETCH(QString, name);
    QFETCH(int, edge);
    const QImage image = Pictures::Render(name, QSize(30, 94));
    const double h = 94 / 8.9;
    std::vector<bool> covered(94);
    for (int y = 0; y < 94; ++y)
        covered[y] = alphaAt(image, {edge, y}) > 128;
    for (int k = 0; k < 8; ++k) {
        const int from = int(std::ceil(std::max(5 + (k + 0.8) * h, h + 5)));
        const int to = std::min(int(std::floor(5 + (k + 1.8) * h)), 93);
        int runs = 0;
        for (int y = from; y <= to; ++y)
            if (covered[y] && (y == from || !covered[y - 1])) ++runs;
        QVERIFY2(runs == 1, qPrintable(QString("line %1 shows %2 times").arg(k).arg(runs)));
        if (k < 7)
            QVERIFY2(!covered[to], qPrintable(QString("lines %1 and %2 touch").arg(k).arg(k + 1)));
    }
}

// An overlay is laid over its base at the same place and size: it covers the part that changes
// (where the base is drawn too) and leaves the rest of the base visible.
void TestPictures::overlayLinesUpWithItsBase_data() {
    QTest::addColumn<QString>("overlay");
    QTest::addColumn<QString>("base");
    QTest::addColumn<QPoint>("covers");
    QTest::addColumn<QPoint>("leaves");
    for (const char* colour : {"RED", "GREEN", "YELLOW", "BLUE"})
        QTest::addRow("%s_BRIGHT", colour)
            << QString(colour) + "_BRIGHT" << QString(colour) + "_DARK" << QPoint(31, 31)
            << QPoint(63, 31);
    for (const char* lit : {"RED_BRIGHT", "GREEN_BRIGHT", "ORANGE_BRIGHT"})
        QTest::addRow("%s over the socket", lit)
            << QString(lit) << "WHITE_LED_SOCKET" << QPoint(31, 31) << QPoint(0, 16);
    // The closed switch hides the open lever's tip.
    QTest::newRow("SWITCH_ON") << "SWITCH_ON"
                               << "SWITCH_OFF" << QPoint(43, 18) << QPoint(1, 32);
    QTest::newRow("SWITCH_ON1") << "SWITCH_ON1"
                                << "SWITCH_OFF1" << QPoint(46, 43) << QPoint(32, 1);
    QTest::newRow("ROUND_BUTTON_DOWN") << "ROUND_BUTTON_DOWN"
                                       << "ROUND_BUTTON_UP" << QPoint(32, 32) << QPoint(11, 11);
    QTest::newRow("BULB_BRIGHT") << "BULB_BRIGHT"
                                 << "BULB_DARK" << QPoint(32, 32) << QPoint(0, 32);
    // Segments of the display, each over its unlit place on the slanted digit.
    const struct {
        const char* segment;
        QPoint middle;
    } segments[] = {{"SEG_A", {51, 15}}, {"SEG_B", {61, 32}}, {"SEG_C", {57, 65}},
                    {"SEG_D", {43, 82}}, {"SEG_E", {33, 65}}, {"SEG_F", {37, 32}},
                    {"SEG_G", {47, 48}}, {"SEG_H", {63, 83}}};
    for (const auto& s : segments)
        QTest::newRow(s.segment) << QString(s.segment) << "MATRIX" << s.middle << QPoint(18, 3);
}

void TestPictures::overlayLinesUpWithItsBase() {
    QFETCH(QString, overlay);
    QFETCH(QString, base);
    QFETCH(QPoint, covers);
    QFETCH(QPoint, leaves);
    const QSize size = Pictures::NominalSize(base);
    QCOMPARE(Pictures::NominalSize(overlay), size);
    const QImage top = Pictures::Render(overlay, size);
    const QImage bottom = Pictures::Render(base, size);
    QCOMPARE(alphaAt(top, covers), 255);
    QCOMPARE(alphaAt(bottom, covers), 255);
    QVERIFY(alphaAt(top, leaves) < 16);
    QVERIFY(alphaAt(bottom, leaves) > 128);
}

void TestPictures::paintMatchesRenderAtAnOffset_data() {
    QTest::addColumn<QString>("name");
    for (const char* name : {"HRADLO", "HRADLO1", "HRADLO2", "HRADLO3", "PIN1", "LINE1"})
        QTest::newRow(name) << QString(name);
}

void TestPictures::paintMatchesRenderAtAnOffset() {
    QFETCH(QString, name);
    const QSize size(47, 83); // stretched: neither the nominal size nor its proportions
    const QPoint offset(13, 21);
    QImage canvas(100, 130, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    Pictures::Paint(painter, QRectF(offset, size), name);
    painter.end();

    // Painting the picture a paint path found is painting it by name.
    const auto found = Pictures::FindPicture(name);
    QVERIFY(found);
    for (const QRectF& target : {QRectF(offset, size), QRectF(offset, size).translated(0.5, 0)}) {
        QImage byName(canvas.size(), QImage::Format_ARGB32_Premultiplied);
        byName.fill(Qt::transparent);
        QImage byFound = byName;
        QPainter one(&byName);
        Pictures::Paint(one, target, name);
        one.end();
        QPainter other(&byFound);
        Pictures::Paint(other, target, *found);
        other.end();
        QCOMPARE(byFound, byName);
    }

    // the same pixels, up to the dithering of gradients
    const QImage rendered = Pictures::Render(name, size);
    QVERIFY(channelDifference(canvas.copy(QRect(offset, size)), rendered) <= 2);
    // nothing outside the target
    for (int y = 0; y < canvas.height(); ++y)
        for (int x = 0; x < canvas.width(); ++x)
            if (!QRect(offset, size).contains(x, y)) QCOMPARE(alphaAt(canvas, {x, y}), 0);
}

void TestPictures::renderStretchesAndKeepsTransparency() {
    const QImage wide = Pictures::Render("diode", QSize(200, 40));
    QCOMPARE(wide.size(), QSize(200, 40));
    // the wires reach both ends of a stretched picture; the corners stay transparent
    QVERIFY(alphaAt(wide, {0, 19}) > 128);
    QVERIFY(alphaAt(wide, {199, 20}) > 128);
    QCOMPARE(alphaAt(wide, {0, 0}), 0);
    QCOMPARE(alphaAt(wide, {199, 39}), 0);
    QVERIFY(Pictures::Render("DIODE", QSize(0, 5)).isNull());
}

QTEST_MAIN(TestPictures)
#include "test_pictures.moc"
