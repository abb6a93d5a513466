// What a component shows besides its state: its name kept clear of its picture's drawing, the
// editing look of indicators, and the hover text.
#include <QtTest>

#include "components/drivenports.h"
#include "components/gates.h"
#include "components/leds.h"
#include "components/pins.h"
#include "components/ports.h"
#include "resources/pictures.h"
#include "tests/support/boardfixture.h"

namespace {

using Factory = TOrvexGraphicComponent* (*)(QWidget*);
template <typename T> TOrvexGraphicComponent* make(QWidget* owner) {
    return new T(owner);
}

// Dark, opaque pixels of the picture inside `box`: lines, outlines and labels (body fills,
// backgrounds and the board show through as light).
int inkIn(const QImage& picture, const QRect& box) {
    int ink = 0;
    const QRect inside = box.intersected(picture.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x) {
            const QColor c = picture.pixelColor(x, y);
            if (c.alpha() > 160 && qGray(c.rgb()) < 110) ++ink;
        }
    return ink;
}

} // namespace

class TestNames : public QObject {
    Q_OBJECT

private slots:
    void nameKeepsClearOfDrawing_data();
    void nameKeepsClearOfDrawing();
    void longNameShrinksInsteadOfBeingCut();
    void placedDisplayLooksAsAfterViewSwitch();
    void hoverShowsHintOrNameWhileEditing();
};

void TestNames::nameKeepsClearOfDrawing_data() {
    QTest::addColumn<void*>("factory");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("orientation");
    struct Row {
        Factory factory;
        const char* name;
        QSize size;
        bool turns; // has upright orientations with their own picture
    };
    const Row rows[] = {
        {&make<TInvertor>, "Invertor1", {116, 60}, true},
        {&make<TGateAND>, "GateAND1", {116, 60}, true},
        {&make<TDiode>, "Diode1", {32, 32}, true},
        {&make<TUPort>, "UPort1", {80, 84}, false},
        {&make<TUDrivenPort>, "UDrivenPort1", {75, 108}, false},
        {&make<TUSelector>, "USelector1", {75, 88}, false},
        {&make<TBUS>, "BUS1", {30, 94}, false},
        {&make<TUPin>, "UPin1", {69, 23}, false},
    };
    for (const Row& row : rows)
        for (int o = 0; o < 4; ++o) {
            const bool upright = o == opo_VerticalPositive || o == opo_VerticalNegative;
            if (upright && !row.turns) continue;
            const QSize size = upright ? row.size.transposed() : row.size;
            QTest::addRow("%s/%d", row.name, o) << reinterpret_cast<void*>(row.factory)
                                                << QString::fromLatin1(row.name) << size << o;
        }
}

void TestNames::nameKeepsClearOfDrawing() {
    QFETCH(void*, factory);
    QFETCH(QString, name);
    QFETCH(QSize, size);
    QFETCH(int, orientation);
    BoardFixture board;
    TOrvexGraphicComponent* component = reinterpret_cast<Factory>(factory)(board.form->Board());
    component->SetName(name);
    component->SetOrientation(TOrientation(orientation));
    component->resize(size);

    const TNamePlace place = component->NamePlace();
    QVERIFY(!place.Rect.isEmpty());
    // On the component (the diode's name starts one pixel above it, as it always has) ...
    QVERIFY2(component->rect().adjusted(0, -1, 0, 0).contains(place.Rect),
             qPrintable(QStringLiteral("%1 x %2 at %3, %4")
                            .arg(place.Rect.width())
                            .arg(place.Rect.height())
                            .arg(place.Rect.x())
                            .arg(place.Rect.y())));
    // ... readable ...
    QVERIFY(QFontInfo(place.Font).pixelSize() >= 6);
    // ... and over no line or label of the picture.
    const QImage picture = Pictures::Render(component->Picture(), component->size());
    QCOMPARE(inkIn(picture, place.Rect), 0);
}

void TestNames::longNameShrinksInsteadOfBeingCut() {
    BoardFixture board;
    auto* port = board.Place<TUDrivenPort>(QStringLiteral("AVeryLongNameForADrivenPort"));
    port->resize(75, 108);
    const TNamePlace place = port->NamePlace();
    QVERIFY(port->rect().contains(place.Rect));
    QCOMPARE(place.Rect.width(), QFontMetrics(place.Font).horizontalAdvance(port->GetCaption()));
}

void TestNames::placedDisplayLooksAsAfterViewSwitch() {
    BoardFixture board;
    auto* display = board.Place<TDispSeg>(QStringLiteral("Digit1"));
    const auto shownSegments = [display] {
        int shown = 0;
        for (int i = 0; i < TDispSeg::SegmentCount; ++i)
            if (ControlView* view = display->Segment(i)->View(); view && view->IsViewShown())
                ++shown;
        return shown;
    };
    QCOMPARE(shownSegments(), 0);
    display->SetVisibility(vs_Schematic);
    display->SetVisibility(vs_Hybrid);
    QCOMPARE(shownSegments(), 0);
}

void TestNames::hoverShowsHintOrNameWhileEditing() {
    BoardFixture board;
    auto* led = board.Place<TLED>(QStringLiteral("LED1"));
    QCOMPARE(led->HoverText(), QStringLiteral("LED1 \u2014 LED"));
    led->SetHint(QStringLiteral("power indicator"));
    QCOMPARE(led->HoverText(), QStringLiteral("power indicator"));
    // While the board runs the probe owns the hover.
    board.Run();
    QCOMPARE(led->HoverText(), QString());
    board.Stop();
    QCOMPARE(led->HoverText(), QStringLiteral("power indicator"));
}

QTEST_MAIN(TestNames)
#include "test_names.moc"
