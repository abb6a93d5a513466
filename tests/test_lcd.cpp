// The LCD modules as components: sizes, the glass layouts, the character table, painting.
#include <QImage>
#include <QtTest>

#include <memory>

#include "lcd/lcd.h"
#include "lcd/lcdfont.h"
#include "platform/clock.h"
#include "platform/errors.h"

namespace {

// Executes a whole host program's worth of instructions and data directly.
void initialise(TLCDAlphaControl* c) {
    ScopedManualClock clock;
    // The initialisation itself goes through the bus in the controller tests; here the
    // module only needs to be ready.
    TOrvexPort* port = c->Port();
    auto cycle = [&](int byte) {
        c->RdWrCtl()->Contact()->StoreValue(0);
        c->RdWrCtl()->ValueChanged(c->RdWrCtl()->Contact(), nullptr);
        c->RegSelCtl()->Contact()->StoreValue(0);
        c->RegSelCtl()->ValueChanged(c->RegSelCtl()->Contact(), nullptr);
        port->StoreValue(byte);
        c->EnableCtl()->Contact()->StoreValue(5000);
        c->EnableCtl()->ValueChanged(c->EnableCtl()->Contact(), nullptr);
        c->EnableCtl()->Contact()->StoreValue(0);
        c->EnableCtl()->ValueChanged(c->EnableCtl()->Contact(), nullptr);
    };
    cycle(0x30);
    clock->Advance(1);
    cycle(0x30);
    cycle(0x30);
    QVERIFY(!c->Uninitialised());
}

QColor pixel(QWidget* view, QPoint at) {
    return view->grab().toImage().pixelColor(at);
}

} // namespace

class TestLCD : public QObject {
    Q_OBJECT

private slots:
    void sizes_data();
    void sizes();
    void schematicViewAndBack();
    void layouts_data();
    void layouts();
    void glyphs_data();
    void glyphs();
    void tableRules();
    void textAndPainting();
    void graphicByte();
    void publishedProperties();
    void refusedValues();
    void ownHostAccessMessage();
    void selectionShowsOnTheBorder();
    void nameShowsInTheFrame_data();
    void nameShowsInTheFrame();
};

void TestLCD::sizes_data() {
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("chars");
    QTest::addColumn<int>("dotSize");
    QTest::addColumn<QSize>("size");
    QTest::newRow("16 x 2, dot 2") << int(lcd_TwoLines) << int(lcd_16Ch) << 2 << QSize(230, 74);
    QTest::newRow("16 x 2, dot 3") << int(lcd_TwoLines) << int(lcd_16Ch) << 3 << QSize(345, 111);
    QTest::newRow("20 x 4, dot 2") << int(lcd_FourLines) << int(lcd_20Ch) << 2 << QSize(278, 110);
    QTest::newRow("8 x 1, dot 1") << int(lcd_SingleLine) << int(lcd_8Ch) << 1 << QSize(67, 28);
}

void TestLCD::sizes() {
    QFETCH(int, lines);
    QFETCH(int, chars);
    QFETCH(int, dotSize);
    QFETCH(QSize, size);
    QWidget board;
    auto* lcd = new TLCDAlpha(&board);
    lcd->SetNoOfLines(TLCD_Lines(lines));
    lcd->SetCharsPerLine(TLCD_Chars(chars));
    lcd->SetDotSize(dotSize);
    QCOMPARE(lcd->size(), size);
    QCOMPARE(lcd->View()->size(), size);
    QCOMPARE(lcd->View()->Origin(), QPoint(8 * dotSize + 2, 8 * dotSize + 2));
    auto* graph = new TLCDGraph(&board);
    graph->SetDotSize(dotSize);
    QCOMPARE(graph->size(), QSize(dotSize * 147, dotSize * 83));
    graph->SetResolutionX(100);
    graph->SetResolutionY(32);
    QCOMPARE(graph->size(), QSize(dotSize * 119, dotSize * 51));
}

void TestLCD::schematicViewAndBack() {
    QWidget board;
    auto* lcd = new TLCDAlpha(&board);
    lcd->SetVisibility(vs_Schematic);
    QCOMPARE(lcd->size(), QSize(139, 80));
    QCOMPARE(lcd->View()->size(), QSize(0, 0));
    QCOMPARE(lcd->Picture(), QStringLiteral("LCDAlpha_SCH"));
    lcd->SetDotSize(3); // stored; the glass takes it when it shows again
    QCOMPARE(lcd->size(), QSize(139, 80));
    lcd->SetVisibility(vs_Component);
    QCOMPARE(lcd->size(), QSize(345, 111));
    QVERIFY(!lcd->isHidden());
    QVERIFY(!lcd->View()->isHidden());
}

void TestLCD::layouts_data() {
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("chars");
    QTest::addColumn<bool>("divided");
    QTest::addColumn<int>("shift");
    QTest::addColumn<QString>("places"); // "column,row=cell ..."
    QTest::newRow("16 x 2") << int(lcd_TwoLines) << int(lcd_16Ch) << false << 0
                            << "0,0=0 15,0=15 0,1=40 15,1=55";
    QTest::newRow("16 x 2, shift 1")
        << int(lcd_TwoLines) << int(lcd_16Ch) << false << 1 << "0,0=1 15,0=16 0,1=41";
    QTest::newRow("16 x 2, shift 39")
        << int(lcd_TwoLines) << int(lcd_16Ch) << false << 39 << "0,0=39 1,0=0 0,1=79 1,1=40";
    QTest::newRow("20 x 4") << int(lcd_FourLines) << int(lcd_20Ch) << false << 0
                            << "0,0=0 19,0=19 0,1=40 19,1=59 0,2=20 19,2=39 0,3=60 19,3=79";
    QTest::newRow("16 x 4") << int(lcd_FourLines) << int(lcd_16Ch) << false << 0
                            << "0,2=16 15,2=31 0,3=56";
    QTest::newRow("8 x 1") << int(lcd_SingleLine) << int(lcd_8Ch) << false << 0 << "0,0=0 7,0=7";
    QTest::newRow("16 x 1, divided")
        << int(lcd_SingleLine) << int(lcd_16Ch) << true << 0 << "0,0=0 7,0=7 8,0=40 15,0=47";
}

void TestLCD::layouts() {
    QFETCH(int, lines);
    QFETCH(int, chars);
    QFETCH(bool, divided);
    QFETCH(int, shift);
    QFETCH(QString, places);
    QWidget board;
    auto* lcd = new TLCDAlpha(&board);
    lcd->SetNoOfLines(TLCD_Lines(lines));
    lcd->SetCharsPerLine(TLCD_Chars(chars));
    lcd->SetLineDivided(divided);
    for (int i = 0; i < shift; ++i)
        lcd->Alpha()->Execute(0x18);
    QCOMPARE(lcd->Alpha()->ShiftOffset(), shift);
    const QList<TLCDAlphaView::Place> layout = lcd->AlphaView()->Layout();
    const int rows = lines == lcd_FourLines ? 4 : lines == lcd_TwoLines ? 2 : 1;
    const int n = chars == lcd_20Ch ? 20 : chars == lcd_16Ch ? 16 : 8;
    QCOMPARE(layout.size(), rows * n); // every position once
    for (const QString& item : places.split(' ')) {
        const QStringList parts = item.split(QRegularExpression("[,=]"));
        const int column = parts[0].toInt();
        const int row = parts[1].toInt();
        bool found = false;
        for (const TLCDAlphaView::Place& place : layout)
            if (place.Column == column && place.Row == row) {
                QCOMPARE(place.Cell, parts[2].toInt());
                found = true;
            }
        QVERIFY2(found, qPrintable(item));
    }
}

void TestLCD::glyphs_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("rows");
    QTest::newRow("0x30 slashed zero") << 0x30 << QByteArray::fromHex("0E11131519110E00");
    QTest::newRow("0x41 A") << 0x41 << QByteArray::fromHex("0E1111111F111100");
    QTest::newRow("0x61 a") << 0x61 << QByteArray::fromHex("00000E010F110F00");
    QTest::newRow("0x7E arrow right") << 0x7E << QByteArray::fromHex("0004021F02040000");
    QTest::newRow("0x7F arrow left") << 0x7F << QByteArray::fromHex("0004081F08040000");
    QTest::newRow("0xE0 alpha") << 0xE0 << QByteArray::fromHex("0000091512120D00");
    QTest::newRow("0xFF block") << 0xFF << QByteArray::fromHex("1F1F1F1F1F1F1F00");
    QTest::newRow("0x10 blank") << 0x10 << QByteArray(8, '\0');
    QTest::newRow("0x20 blank") << 0x20 << QByteArray(8, '\0');
    QTest::newRow("0x80 blank") << 0x80 << QByteArray(8, '\0');
    QTest::newRow("0xA0 blank") << 0xA0 << QByteArray(8, '\0');
    QTest::newRow("0xFE blank") << 0xFE << QByteArray(8, '\0');
}

void TestLCD::glyphs() {
    QFETCH(int, code);
    QFETCH(QByteArray, rows);
    std::array<quint8, 64> cgram{};
    const LCDFont::Glyph glyph = LCDFont::CharacterGlyph(code, cgram);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(glyph.data()), 8).toHex(' '),
             rows.toHex(' '));
}

void TestLCD::tableRules() {
    const auto& table = LCDFont::FixedTable();
    int drawn = 0;
    for (int code = 16; code < 256; ++code) {
        const int base = (code - 16) * 8;
        QCOMPARE(table[size_t(base + 7)], quint8(0)); // the cursor's row stays free
        bool any = false;
        for (int row = 0; row < 7; ++row) {
            QVERIFY((table[size_t(base + row)] & 0xE0) == 0);
            any = any || table[size_t(base + row)];
        }
        const bool blank = code <= 0x20 || (code >= 0x80 && code <= 0xA0) || code == 0xFE;
        QVERIFY2(any != blank, qPrintable(QString::number(code, 16)));
        drawn += any;
    }
    QCOMPARE(drawn, 240 - 17 - 33 - 1);
    // Codes 0..15 come from the generator memory, 8..15 repeating 0..7.
    std::array<quint8, 64> cgram{};
    for (int i = 0; i < 64; ++i)
        cgram[size_t(i)] = quint8(i);
    QCOMPARE(LCDFont::CharacterGlyph(5, cgram), LCDFont::CharacterGlyph(13, cgram));
    QCOMPARE(LCDFont::CharacterGlyph(13, cgram)[0], quint8(40));
}

void TestLCD::textAndPainting() {
    QWidget board;
    auto* lcd = new TLCDAlpha(&board);
    lcd->SetUnderlight(true);
    TOrvexPort port;
    lcd->SetPort(&port);
    lcd->SetLCD_BUS(lcd_BUS8bits);
    initialise(lcd->Alpha());
    TLCDAlphaControl* c = lcd->Alpha();
    QCOMPARE(lcd->Text(), QString()); // display off
    const QPoint firstDot(18, 18);
    const QColor glass(168, 188, 33);
    c->Execute(0x0E); // on, cursor
    QCOMPARE(lcd->Text(), QStringLiteral("|"));
    // Write "A" at cell 0 and a code outside the plain range at cell 1 through the bus.
    auto data = [&](int byte) {
        c->RegSelCtl()->Contact()->StoreValue(5000);
        c->RegSelCtl()->ValueChanged(c->RegSelCtl()->Contact(), nullptr);
        port.StoreValue(byte);
        c->EnableCtl()->Contact()->StoreValue(5000);
        c->EnableCtl()->ValueChanged(c->EnableCtl()->Contact(), nullptr);
        c->EnableCtl()->Contact()->StoreValue(0);
        c->EnableCtl()->ValueChanged(c->EnableCtl()->Contact(), nullptr);
    };
    data('A');
    data(0xE0);
    data('~');
    QCOMPARE(lcd->Text(), QStringLiteral("A\\xE0\\x7E|"));
    // 'A' row 0 is 0E: dot 0 off, dot 1 on.
    QCOMPARE(pixel(lcd->View(), firstDot), glass);
    QCOMPARE(pixel(lcd->View(), firstDot + QPoint(2, 0)), QColor(Qt::black));
    // The cursor underlines cell 3 (row 7 of the cell).
    QCOMPARE(pixel(lcd->View(), firstDot + QPoint(3 * 12, 7 * 2)), QColor(Qt::black));
    c->Execute(0x08); // off: only the glass
    QCOMPARE(lcd->Text(), QString());
    QCOMPARE(pixel(lcd->View(), firstDot + QPoint(2, 0)), glass);
    c->Execute(0x0C);
    QCOMPARE(pixel(lcd->View(), firstDot + QPoint(2, 0)), QColor(Qt::black));
    // Frame: dark border, grey strip, no backlight colour.
    QCOMPARE(pixel(lcd->View(), QPoint(1, 1)), QColor(16, 16, 16));
    QCOMPARE(pixel(lcd->View(), QPoint(20, 5)), QColor(128, 128, 128));
    lcd->SetUnderlight(false);
    QCOMPARE(pixel(lcd->View(), firstDot), QColor(83, 87, 49));
}

void TestLCD::graphicByte() {
    QWidget board;
    auto* lcd = new TLCDGraph(&board);
    TLCDGraphControl* g = lcd->Graph();
    TOrvexPort port;
    lcd->SetPort(&port);
    auto write = [&](bool data, int byte) {
        g->RegSelCtl()->Contact()->StoreValue(data ? 5000 : 0);
        g->RegSelCtl()->ValueChanged(g->RegSelCtl()->Contact(), nullptr);
        g->RdWrCtl()->Contact()->StoreValue(0);
        g->RdWrCtl()->ValueChanged(g->RdWrCtl()->Contact(), nullptr);
        port.StoreValue(byte);
        g->EnableCtl()->Contact()->StoreValue(5000);
        g->EnableCtl()->ValueChanged(g->EnableCtl()->Contact(), nullptr);
        g->EnableCtl()->Contact()->StoreValue(0);
        g->EnableCtl()->ValueChanged(g->EnableCtl()->Contact(), nullptr);
    };
    g->CS1Ctl()->Contact()->StoreValue(0);
    g->CS1Ctl()->ValueChanged(g->CS1Ctl()->Contact(), nullptr);
    write(false, 0x3F);
    write(false, 0xB8);
    write(false, 0x45);
    write(true, 0x81);
    QVERIFY(lcd->GraphView()->PixelLit(69, 0));
    QVERIFY(lcd->GraphView()->PixelLit(69, 7));
    QVERIFY(!lcd->GraphView()->PixelLit(69, 1));
    QVERIFY(!lcd->GraphView()->PixelLit(5, 0));
    const QPoint origin = lcd->View()->Origin();
    QCOMPARE(pixel(lcd->View(), origin + QPoint(69 * 2, 7 * 2)), QColor(Qt::black));
    QCOMPARE(pixel(lcd->View(), origin + QPoint(69 * 2, 2)), QColor(83, 87, 49));
    // A start line moves the picture up.
    write(false, 0xC1);
    QVERIFY(lcd->GraphView()->PixelLit(69, 6));
    QVERIFY(lcd->GraphView()->PixelLit(69, 63));
    // A chip whose display is off shows nothing.
    write(false, 0x3E);
    QVERIFY(!lcd->GraphView()->PixelLit(69, 6));
    QCOMPARE(pixel(lcd->View(), origin + QPoint(69 * 2, 6 * 2)), QColor(83, 87, 49));
}

void TestLCD::publishedProperties() {
    auto names = [](const QMetaObject* meta) {
        QStringList list;
        for (int i = QObject::staticMetaObject.propertyCount(); i < meta->propertyCount(); ++i)
            list << QLatin1String(meta->property(i).name());
        return list;
    };
    const QStringList alpha = names(&TLCDAlpha::staticMetaObject);
    for (const char* name : {"NoOfLines", "CharsPerLine", "LineDivided", "LCD_BUS", "DotSize",
                             "Underlight", "Visibility", "Port", "RdWr", "RegSel", "Enable"})
        QVERIFY2(alpha.contains(QLatin1String(name)), name);
    const QStringList graph = names(&TLCDGraph::staticMetaObject);
    for (const char* name : {"ResolutionX", "ResolutionY", "CS1", "CS2", "DotSize", "Port"})
        QVERIFY2(graph.contains(QLatin1String(name)), name);
    QVERIFY(!graph.contains(QStringLiteral("NoOfLines")));
    QWidget board;
    TLCDAlpha lcd(&board);
    QCOMPARE(lcd.LCD_BUS(), lcd_BUS4bits);
    QCOMPARE(lcd.NoOfLines(), lcd_TwoLines);
    QCOMPARE(lcd.CharsPerLine(), lcd_16Ch);
    QCOMPARE(lcd.DotSize(), 2);
    QVERIFY(!lcd.Underlight());
    QCOMPARE(lcd.RdWr(), lcd.Controller()->RdWrCtl()->Contact()); // unwired: its own contact
}

void TestLCD::refusedValues() {
    QWidget board;
    TLCDGraph lcd(&board);
    QVERIFY_THROWS_EXCEPTION(ComponentError, lcd.SetDotSize(0));
    QVERIFY_THROWS_EXCEPTION(ComponentError, lcd.SetDotSize(200));
    QVERIFY_THROWS_EXCEPTION(ComponentError, lcd.SetResolutionX(129));
    QVERIFY_THROWS_EXCEPTION(ComponentError, lcd.SetResolutionY(0));
    QCOMPARE(lcd.size(), QSize(294, 166));
    TOrvexPort port;
    lcd.SetPort(&port);
    lcd.SetPort(nullptr); // ignored
    QCOMPARE(lcd.Port(), &port);
}

void TestLCD::ownHostAccessMessage() {
    QWidget board;
    TLCDAlpha lcd(&board);
    TOrvexPort port;
    lcd.SetPort(&port);
    port.StoreValue(0x05);
    lcd.HandleMessage(HostMsg::HostAccess, lcd.Handle() + 1, 0x99); // not this module
    QCOMPARE(port.Value(), 0x05);
    lcd.HandleMessage(HostMsg::HostAccess, lcd.Handle(), 0x99); // 4-bit: the high nibble only
    QCOMPARE(port.Value(), 0x95);
    lcd.SetLCD_BUS(lcd_BUS8bits);
    lcd.HandleMessage(HostMsg::HostAccess, lcd.Handle(), 0x3C);
    QCOMPARE(port.Value(), 0x3C);
    QCOMPARE(port.Pins(2)->Value(), LevelHigh);
}

// The glass covers the whole module: it shows the selection mark itself, light on the dark border.
void TestLCD::selectionShowsOnTheBorder() {
    QWidget board;
    TLCDAlpha lcd(&board);
    const QPoint corner(lcd.width() - 2, lcd.height() - 2);
    QCOMPARE(pixel(lcd.View(), corner), QColor(16, 16, 16));
    lcd.SetSelected(true);
    QCOMPARE(pixel(lcd.View(), corner), QColor(Qt::white));
    lcd.SetSelected(false);
    QCOMPARE(pixel(lcd.View(), corner), QColor(16, 16, 16));
}

void TestLCD::nameShowsInTheFrame_data() {
    QTest::addColumn<bool>("graphic");
    QTest::newRow("character") << false;
    QTest::newRow("graphic") << true;
}

// The glass covers the module, so the name goes into the top border (and, in the schematic view,
// under the glass of the symbol): light pixels appear there only while ShowName is on.
void TestLCD::nameShowsInTheFrame() {
    QFETCH(bool, graphic);
    QWidget board;
    std::unique_ptr<TLCD> lcd;
    if (graphic)
        lcd = std::make_unique<TLCDGraph>(&board);
    else
        lcd = std::make_unique<TLCDAlpha>(&board);
    lcd->SetName(QStringLiteral("Display"));
    lcd->SetCaption(QStringLiteral("Display"));
    const int band = 5 * lcd->DotSize();
    auto lightInBand = [&](QWidget* widget, const QRect& area) {
        const QImage image = widget->grab().toImage();
        int light = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                light += image.pixelColor(x, y).lightness() > 170;
        return light;
    };
    const QRect top(0, 0, lcd->width() / 2, band);
    QCOMPARE(lightInBand(lcd->View(), top), 0);
    lcd->SetShowName(true);
    QVERIFY(lcd->ShowName());
    QVERIFY(lightInBand(lcd->View(), top) > 10);

    lcd->SetVisibility(vs_Schematic);
    const TNamePlace place = lcd->NamePlace();
    QVERIFY(!place.Rect.isEmpty());
    QVERIFY(QRect(QPoint(), lcd->size()).contains(place.Rect));
    const QImage withName = lcd->grab().toImage();
    lcd->SetShowName(false);
    QVERIFY(withName != lcd->grab().toImage());
}

QTEST_MAIN(TestLCD)
#include "test_lcd.moc"
