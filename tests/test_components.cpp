// The graphic component base: pictures per visibility and orientation, names, views, painting
// and the mouse.
#include <QApplication>
#include <QMetaProperty>
#include <QMouseEvent>
#include <QPainter>
#include <QtTest>

#include "components/imageview.h"
#include "components/orvexcomponent.h"
#include "model/controls.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "resources/pictures.h"

namespace {

// A component as the families build them: a two-contact control with a view, pictures loaded in
// the constructor, and the three properties the base leaves to descendants published.
class TTestComponent : public TOrvexGraphicComponent {
    Q_OBJECT
    Q_PROPERTY(BrelvanEnums::TOrientation Orientation READ Orientation WRITE SetOrientation)
    Q_PROPERTY(bool ShowName READ ShowName WRITE SetShowName)
    Q_PROPERTY(BrelvanEnums::TVisibility Visibility READ Visibility WRITE SetVisibility)

public:
    explicit TTestComponent(QWidget* owner) : TOrvexGraphicComponent(owner) {
        control = new TOrvexTwoContactControl(this);
        SetControl(control);
        LoadPictures(QStringLiteral("HRADLO"), QStringLiteral("HRADLO_SCH"), true);
        control->CreateView(this, QStringLiteral("SWITCH_ON"), QStringLiteral("BULB_SCH"));
        control->SetHasView(true);
        setGeometry(0, 0, 116, 60);
    }

    TOrvexImageView* View() const { return dynamic_cast<TOrvexImageView*>(control->View()); }
    QString ViewPicture() const { return View() ? View()->PictureName() : QString(); }

    using TOrvexGraphicComponent::SetFace;

    TOrvexTwoContactControl* control;
    int drawNameCalls = 0;

protected:
    void DrawName(QPainter&) override { ++drawNameCalls; }
};

// The owner of the components: hears mouse moves over them first.
class TOwner : public QWidget, public TComponentOwnerEvents {
public:
    void OwnedComponentMouseMove(TOrvexGraphicComponent* sender, Qt::MouseButtons,
                                 Qt::KeyboardModifiers, const QPoint& pos) override {
        log.append(
            QStringLiteral("owner move %1 %2,%3").arg(sender->Name()).arg(pos.x()).arg(pos.y()));
    }
    QStringList log;
};

void send(QWidget* target, QEvent::Type type, Qt::MouseButton button, QPoint pos) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : button;
    QMouseEvent event(type, QPointF(pos), target->mapToGlobal(QPointF(pos)), button, held,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

} // namespace

class TestComponents : public QObject {
    Q_OBJECT

private slots:
    void init() {
        owner = std::make_unique<TOwner>();
        owner->resize(400, 300);
        owner->show(); // hidden widgets get their resize events only once shown
    }
    void cleanup() { owner.reset(); }

    void pictureVariants_data();
    void pictureVariants();
    void invisibleHidesComponentAndView();
    void componentViewNeedsComponentPicture();
    void sameVisibilityAgainDoesNothing();
    void faceShownInComponentViews();
    void unknownPictureIsRefused();
    void crashShowsCrashPicture();
    void autoSizeTakesNominalSize();
    void captionFallsBackToName();
    void renameRenamesControl();
    void invalidNamesRefused_data();
    void invalidNamesRefused();
    void duplicateNameRefused();
    void publishedProperties();
    void litViewFollowsVisibility();
    void afterglowHoldsViewFor50ms();
    void viewFillsComponentAndLetsMouseThrough();
    void geometryStaysWithinBounds_data();
    void geometryStaysWithinBounds();
    void paintsSelectionFrameAndName();
    void mouseForwarding();

private:
    std::unique_ptr<TOwner> owner;
};

// ---------------------------------------------------------------- pictures per mode

void TestComponents::pictureVariants_data() {
    QTest::addColumn<TVisibility>("visibility");
    QTest::addColumn<TOrientation>("orientation");
    QTest::addColumn<bool>("symmetricPicture");
    QTest::addColumn<bool>("fixedPicture");
    QTest::addColumn<bool>("symmetricSymbol");
    QTest::addColumn<QString>("picture");
    QTest::addColumn<QString>("view");

    // The component picture: fixed pictures never turn; symmetric ones have two variants.
    QTest::newRow("hybrid fixed turned")
        << vs_Hybrid << opo_VerticalNegative << false << true << false << "HRADLO"
        << "SWITCH_ON";
    QTest::newRow("component fixed turned")
        << vs_Component << opo_VerticalPositive << false << true << false << "HRADLO"
        << "SWITCH_ON";
    QTest::newRow("hybrid plain") << vs_Hybrid << opo_HorizontalPositive << false << false << false
                                  << "HRADLO"
                                  << "SWITCH_ON";
    QTest::newRow("hybrid vertical")
        << vs_Hybrid << opo_VerticalPositive << false << false << false << "HRADLO1"
        << "SWITCH_ON1";
    QTest::newRow("hybrid negative")
        << vs_Hybrid << opo_HorizontalNegative << false << false << false << "HRADLO2"
        << "SWITCH_ON2";
    QTest::newRow("component vertical negative")
        << vs_Component << opo_VerticalNegative << false << false << false << "HRADLO3"
        << "SWITCH_ON3";
    QTest::newRow("symmetric negative")
        << vs_Hybrid << opo_HorizontalNegative << true << false << false << "HRADLO"
        << "SWITCH_ON";
    QTest::newRow("symmetric vertical negative")
        << vs_Hybrid << opo_VerticalNegative << true << false << false << "HRADLO1"
        << "SWITCH_ON1";
    // The schematic symbol turns even when the component picture is fixed, and the control's
    // symmetric-symbol flag, not SymmetricPicture, decides its variants.
    QTest::newRow("schematic plain")
        << vs_Schematic << opo_HorizontalPositive << true << true << false << "HRADLO_SCH"
        << "BULB_SCH";
    QTest::newRow("schematic fixed vertical")
        << vs_Schematic << opo_VerticalPositive << true << true << false << "HRADLO_SCH1"
        << "BULB_SCH1";
    QTest::newRow("schematic symmetric picture ignored")
        << vs_Schematic << opo_HorizontalNegative << true << true << false << "HRADLO_SCH2"
        << "BULB_SCH2";
    QTest::newRow("schematic symmetric symbol")
        << vs_Schematic << opo_VerticalNegative << false << false << true << "HRADLO_SCH1"
        << "BULB_SCH1";
    QTest::newRow("schematic symmetric symbol negative")
        << vs_Schematic << opo_HorizontalNegative << false << false << true << "HRADLO_SCH"
        << "BULB_SCH";
}

void TestComponents::pictureVariants() {
    QFETCH(TVisibility, visibility);
    QFETCH(TOrientation, orientation);
    QFETCH(bool, symmetricPicture);
    QFETCH(bool, fixedPicture);
    QFETCH(bool, symmetricSymbol);
    QFETCH(QString, picture);
    QFETCH(QString, view);

    // Either order of setting the two must end on the same pictures.
    for (bool visibilityFirst : {true, false}) {
        TTestComponent component(owner.get());
        component.SetSymmetricPicture(symmetricPicture);
        component.SetFixedPicture(fixedPicture);
        component.SetHasComponentPicture(true);
        component.control->SetSymmetricSymbol(symmetricSymbol);
        if (visibilityFirst) {
            component.SetVisibility(visibility);
            component.SetOrientation(orientation);
        } else {
            component.SetOrientation(orientation);
            component.SetVisibility(visibility);
        }
        QCOMPARE(component.Picture().toUpper(), picture);
        QCOMPARE(component.ViewPicture().toUpper(), view);
        QCOMPARE(component.Orientation(), orientation);
    }
}

void TestComponents::invisibleHidesComponentAndView() {
    TTestComponent component(owner.get());
    component.control->View()->ShowView();
    component.SetVisibility(vs_Invisible);
    QVERIFY(component.isHidden());
    QVERIFY(!component.control->View()->IsViewShown());
    component.SetOrientation(opo_VerticalPositive); // stays hidden, loads nothing
    QVERIFY(component.isHidden());
    QCOMPARE(component.Orientation(), opo_VerticalPositive);

    component.SetVisibility(vs_Schematic);
    QVERIFY(!component.isHidden());
    QCOMPARE(component.Picture(), QStringLiteral("HRADLO_SCH1"));
}

void TestComponents::componentViewNeedsComponentPicture() {
    TTestComponent plain(owner.get());
    plain.SetVisibility(vs_Component);
    QVERIFY(plain.isHidden());
    plain.SetVisibility(vs_Hybrid);
    QVERIFY(!plain.isHidden());

    // A component with a picture of its own shows in the component view, also when it comes from
    // the invisible mode.
    TTestComponent pictured(owner.get());
    pictured.SetHasComponentPicture(true);
    pictured.SetVisibility(vs_Invisible);
    pictured.SetVisibility(vs_Component);
    QVERIFY(!pictured.isHidden());
    QCOMPARE(pictured.Picture(), QStringLiteral("HRADLO"));
}

void TestComponents::sameVisibilityAgainDoesNothing() {
    TTestComponent component(owner.get());
    component.SetCrashPictureName(QStringLiteral("CRASH"));
    component.SetVisibility(vs_Schematic);
    component.Crash();
    component.SetVisibility(vs_Schematic); // would reload the symbol if it did anything
    QCOMPARE(component.Picture(), QStringLiteral("CRASH"));
    component.SetVisibility(vs_Hybrid);
    QCOMPARE(component.Picture(), QStringLiteral("HRADLO"));
}

void TestComponents::faceShownInComponentViews() {
    TTestComponent component(owner.get());
    auto* face = new QWidget;
    component.SetHasFace(true);
    component.SetHasComponentPicture(true);
    component.SetFace(face);
    QCOMPARE(face->geometry(), component.rect());

    component.SetVisibility(vs_Schematic);
    QVERIFY(face->isHidden());
    QCOMPARE(component.Picture(), QStringLiteral("HRADLO_SCH"));
    component.SetVisibility(vs_Component);
    QVERIFY(!face->isHidden());
    component.resize(200, 90);
    QCOMPARE(face->geometry(), component.rect());

    // A crash hides the face so that the crash picture shows.
    component.SetCrashPictureName(QStringLiteral("CRASH"));
    component.Crash();
    QVERIFY(face->isHidden());
    QCOMPARE(component.Picture(), QStringLiteral("CRASH"));
}

void TestComponents::unknownPictureIsRefused() {
    TTestComponent component(owner.get());
    QVERIFY_THROWS_EXCEPTION(PictureError,
                             component.LoadPictures(QStringLiteral("NO_SUCH_PICTURE"),
                                                    QStringLiteral("HRADLO_SCH"), false));
    QCOMPARE(component.Picture(), QStringLiteral("HRADLO")); // the old picture stays

    // A crash picture that does not exist shows nothing new and does not throw out of the role
    // question the engine asks.
    component.LoadPictures(QStringLiteral("HRADLO"), QStringLiteral("HRADLO_SCH"), false);
    component.SetCrashPictureName(QStringLiteral("NO_SUCH_CRASH"));
    component.CrashComponent();
    QCOMPARE(component.Picture(), QStringLiteral("HRADLO"));
}

void TestComponents::crashShowsCrashPicture() {
    TTestComponent component(owner.get());
    component.Crash(); // no crash picture: nothing
    QCOMPARE(component.Picture(), QStringLiteral("HRADLO"));
    component.SetCrashPictureName(QStringLiteral("CRASH"));
    static_cast<ComponentRole&>(component).CrashComponent();
    QCOMPARE(component.Picture(), QStringLiteral("CRASH"));
}

void TestComponents::autoSizeTakesNominalSize() {
    TTestComponent component(owner.get());
    component.SetFixedPicture(false);
    component.SetSymmetricPicture(false);
    component.resize(10, 10);
    QVERIFY(!component.AutoSize());
    component.SetOrientation(opo_VerticalPositive);
    QCOMPARE(component.size(), QSize(10, 10)); // off by default

    QCOMPARE(component.sizeHint(), Pictures::NominalSize(QStringLiteral("HRADLO1")));
    component.SetAutoSize(true);
    QCOMPARE(component.size(), Pictures::NominalSize(QStringLiteral("HRADLO1")));
    component.SetOrientation(opo_HorizontalNegative);
    QCOMPARE(component.size(), Pictures::NominalSize(QStringLiteral("HRADLO2")));
    QVERIFY(component.width() > component.height());
}

// ---------------------------------------------------------------- names

void TestComponents::captionFallsBackToName() {
    TTestComponent component(owner.get());
    component.SetName(QStringLiteral("Gate1"));
    QCOMPARE(component.GetCaption(), QStringLiteral("Gate1"));
    component.SetCaption(QStringLiteral("Enable"));
    QCOMPARE(component.GetCaption(), QStringLiteral("Enable"));
    QCOMPARE(component.property("Caption").toString(), QStringLiteral("Enable"));
    component.SetCaption(QString());
    QCOMPARE(component.GetCaption(), QStringLiteral("Gate1"));
}

void TestComponents::renameRenamesControl() {
    TTestComponent component(owner.get());
    component.SetName(QStringLiteral("LED1"));
    QCOMPARE(component.objectName(), QStringLiteral("LED1"));
    QCOMPARE(component.control->objectName(), QStringLiteral("LED1_control_"));
    component.setProperty("Name", QStringLiteral("Lamp"));
    QCOMPARE(component.control->objectName(), QStringLiteral("Lamp_control_"));
    // The control's own contacts keep their names.
    QCOMPARE(component.control->Contact1()->objectName(), QStringLiteral("Contact1"));
}

void TestComponents::invalidNamesRefused_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("empty") << "";
    QTest::newRow("leading digit") << "1LED";
    QTest::newRow("space") << "LED 1";
    QTest::newRow("dot") << "LED.1";
    QTest::newRow("dash") << "LED-1";
    QTest::newRow("non-ascii letter") << QStringLiteral("Sv\u011btlo");
}

void TestComponents::invalidNamesRefused() {
    QFETCH(QString, name);
    TTestComponent component(owner.get());
    component.SetName(QStringLiteral("LED1"));
    QVERIFY_THROWS_EXCEPTION(ComponentError, component.SetName(name));
    QCOMPARE(component.Name(), QStringLiteral("LED1"));
    QCOMPARE(component.control->objectName(), QStringLiteral("LED1_control_"));
}

void TestComponents::duplicateNameRefused() {
    TTestComponent first(owner.get());
    TTestComponent second(owner.get());
    first.SetName(QStringLiteral("LED1"));
    second.SetName(QStringLiteral("_led2"));
    QVERIFY_THROWS_EXCEPTION(ComponentError, second.SetName(QStringLiteral("led1")));
    QVERIFY_THROWS_EXCEPTION(ComponentError, second.SetName(QStringLiteral("LED1")));
    QCOMPARE(second.Name(), QStringLiteral("_led2"));

    // Its own name in another case and the same name under another owner are fine.
    first.SetName(QStringLiteral("Led1"));
    QCOMPARE(first.Name(), QStringLiteral("Led1"));
    TOwner otherOwner;
    TTestComponent elsewhere(&otherOwner);
    first.SetName(QStringLiteral("LED1"));
    elsewhere.SetName(QStringLiteral("LED1"));
    QCOMPARE(elsewhere.Name(), QStringLiteral("LED1"));
}

void TestComponents::publishedProperties() {
    // Only Brelvan's own declarations are published: Qt's properties of QWidget are not.
    TTestComponent component(owner.get());
    const QMetaObject* meta = component.metaObject();
    QStringList names;
    for (int i = QWidget::staticMetaObject.propertyCount(); i < meta->propertyCount(); ++i)
        names << QString::fromLatin1(meta->property(i).name());
    QCOMPARE(names, QStringList({"Name", "Left", "Top", "Width", "Height", "Caption", "Hint",
                                 "Orientation", "ShowName", "Visibility"}));

    QVERIFY(component.setProperty("Left", 12));
    QVERIFY(component.setProperty("Top", 20));
    QVERIFY(component.setProperty("Width", 40));
    QVERIFY(component.setProperty("Height", 30));
    QCOMPARE(component.geometry(), QRect(12, 20, 40, 30));
    QVERIFY(component.setProperty("Hint", QStringLiteral("LED1 : TLED")));
    QCOMPARE(component.HoverText(), QStringLiteral("LED1 : TLED"));
    QVERIFY(component.setProperty("Visibility", QVariant::fromValue(vs_Schematic)));
    QCOMPARE(component.Visibility(), vs_Schematic);
    QVERIFY(component.setProperty("Orientation", QVariant::fromValue(opo_VerticalNegative)));
    QCOMPARE(component.Picture(), QStringLiteral("HRADLO_SCH3"));
}

// ---------------------------------------------------------------- views

void TestComponents::litViewFollowsVisibility() {
    TTestComponent component(owner.get());
    ControlView* view = component.control->View();
    QVERIFY(view);
    QVERIFY(!view->IsViewShown()); // created hidden

    component.control->SetLit(true);
    component.RefreshView();
    QVERIFY(view->IsViewShown());

    component.SetVisibility(vs_Schematic);
    QVERIFY(!view->IsViewShown());
    component.RefreshView(); // still lit, but the schematic view shows no active picture
    QVERIFY(!view->IsViewShown());

    component.SetVisibility(vs_Hybrid); // refreshes the view
    QVERIFY(view->IsViewShown());
    component.HideView();
    QVERIFY(!view->IsViewShown());

    component.control->SetLit(false);
    component.control->UpdateView();
    QVERIFY(!view->IsViewShown());
}

void TestComponents::afterglowHoldsViewFor50ms() {
    ScopedManualClock clock;
    TTestComponent component(owner.get());
    ControlView* view = component.control->View();
    component.control->SetAfterglow(true);
    component.control->SetLit(true);
    component.control->UpdateView();
    QVERIFY(view->IsViewShown());

    component.control->SetLit(false);
    component.control->UpdateView();
    QVERIFY(view->IsViewShown());
    clock->Advance(49);
    QVERIFY(view->IsViewShown());
    clock->Advance(1);
    QVERIFY(!view->IsViewShown());

    // Without afterglow the view goes at once.
    component.control->SetAfterglow(false);
    component.control->SetLit(true);
    component.control->UpdateView();
    component.control->SetLit(false);
    component.control->UpdateView();
    QVERIFY(!view->IsViewShown());
}

void TestComponents::viewFillsComponentAndLetsMouseThrough() {
    TTestComponent component(owner.get());
    TOrvexImageView* view = component.View();
    QVERIFY(view);
    QCOMPARE(view->parentWidget(), &component);
    QVERIFY(view->testAttribute(Qt::WA_TransparentForMouseEvents));
    QCOMPARE(view->geometry(), component.rect());
    component.resize(77, 33);
    QCOMPARE(view->geometry(), QRect(0, 0, 77, 33));

    // Unknown names are swallowed: the view then shows nothing.
    view->LoadViewPicture(QStringLiteral("NO_SUCH_PICTURE"));
    QVERIFY(view->PictureName().isEmpty());
    view->LoadViewPicture(QStringLiteral("red_bright"));
    QCOMPARE(view->PictureName(), QStringLiteral("red_bright"));

    // Deleting the component takes the view with it; the control never reaches a dead view.
    QPointer<TOrvexImageView> guard(view);
    {
        TTestComponent other(owner.get());
        guard = other.View();
    }
    QVERIFY(guard.isNull());
}

void TestComponents::geometryStaysWithinBounds_data() {
    QTest::addColumn<QString>("property");
    QTest::addColumn<int>("value");
    QTest::addColumn<QRect>("geometry"); // from 10, 20, 30 x 40
    const int far = TOrvexGraphicComponent::MaxCoordinate;
    const int wide = TOrvexGraphicComponent::MaxExtent;
    QTest::newRow("largest left") << "Left" << INT_MAX << QRect(far, 20, 30, 40);
    QTest::newRow("smallest left") << "Left" << INT_MIN << QRect(-far, 20, 30, 40);
    QTest::newRow("largest top") << "Top" << INT_MAX << QRect(10, far, 30, 40);
    QTest::newRow("largest width") << "Width" << INT_MAX << QRect(10, 20, wide, 40);
    QTest::newRow("negative width") << "Width" << -5 << QRect(10, 20, 0, 40);
    QTest::newRow("largest height") << "Height" << INT_MAX << QRect(10, 20, 30, wide);
}

// Whatever a property write (the file, the grid) or a resize (the mouse) asks, a component's
// edges stay far from where sums overflow, and its view follows without overflowing either.
void TestComponents::geometryStaysWithinBounds() {
    QFETCH(QString, property);
    QFETCH(int, value);
    QFETCH(QRect, geometry);
    TTestComponent component(owner.get());
    component.setGeometry(10, 20, 30, 40);
    QVERIFY(component.setProperty(qPrintable(property), value));
    QCOMPARE(component.geometry(), geometry);
    QCOMPARE(component.View()->geometry(), component.rect());
    component.resize(INT_MAX, INT_MAX);
    QCOMPARE(component.size(),
             QSize(TOrvexGraphicComponent::MaxExtent, TOrvexGraphicComponent::MaxExtent));
}

// ---------------------------------------------------------------- painting

void TestComponents::paintsSelectionFrameAndName() {
    // The picture at its nominal size (116 x 60), centred, leaves a border of button face.
    TTestComponent component(owner.get());
    component.SetStretch(false);
    component.resize(160, 100);
    const QColor face = component.palette().color(QPalette::Button);
    const auto black = [](const QImage& image, int x, int y) {
        return image.pixelColor(x, y) == QColor(Qt::black);
    };

    const QImage plain = component.grab().toImage();
    for (const QPoint p : {QPoint(0, 0), QPoint(5, 50), QPoint(150, 50), QPoint(80, 5),
                           QPoint(80, 95), QPoint(159, 99)})
        QCOMPARE(plain.pixelColor(p), face);
    bool drawn = false;
    for (int x = 22; x < 138 && !drawn; ++x)
        for (int y = 20; y < 80 && !drawn; ++y)
            drawn = plain.pixelColor(x, y) != face;
    QVERIFY(drawn);
    QCOMPARE(component.drawNameCalls, 0);

    component.SetSelected(true);
    component.SetShowName(true);
    const QImage selected = component.grab().toImage();
    for (int x = 155; x < 160; ++x)
        for (int y = 95; y < 100; ++y)
            QVERIFY2(black(selected, x, y), qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
    QVERIFY(!black(selected, 154, 94));
    // A dotted frame of width 1: some pixels of each edge are black, not all of them, and the
    // row inside it has none.
    int top = 0, bottom = 0, left = 0, right = 0, inside = 0;
    for (int i = 0; i < 90; ++i) {
        top += black(selected, i, 0);
        bottom += black(selected, i, 99);
        left += black(selected, 0, i);
        right += black(selected, 159, i);
        inside += black(selected, i, 1);
    }
    for (int n : {top, bottom, left, right})
        QVERIFY2(n > 15 && n < 90, qPrintable(QString::number(n)));
    QCOMPARE(inside, 0);
    QVERIFY(component.drawNameCalls > 0);

    component.SetSelected(false);
    QVERIFY(!black(component.grab().toImage(), 157, 97));
}

// ---------------------------------------------------------------- mouse

void TestComponents::mouseForwarding() {
    ScopedDialogRecorder dialogs;
    TTestComponent component(owner.get());
    component.SetName(QStringLiteral("Sw1"));
    QStringList& log = owner->log;
    component.OnChange = [&](QObject* sender, int value) {
        log.append(QStringLiteral("change %1 %2").arg(sender->objectName()).arg(value));
    };
    component.OnMouseDown = [&](QObject*, Qt::MouseButton button, Qt::KeyboardModifiers,
                                const QPoint&) {
        log.append(QStringLiteral("down %1").arg(int(button)));
    };
    component.OnMouseUp = [&](QObject*, Qt::MouseButton button, Qt::KeyboardModifiers,
                              const QPoint&) {
        log.append(QStringLiteral("up %1").arg(int(button)));
    };
    component.OnMouseMove = [&](QObject*, Qt::MouseButtons, Qt::KeyboardModifiers,
                                const QPoint& pos) {
        log.append(QStringLiteral("move %1,%2").arg(pos.x()).arg(pos.y()));
    };
    component.OnClick = [&](QObject*) { log.append(QStringLiteral("click")); };
    component.ChangeState(7);
    log.clear();

    send(&component, QEvent::MouseButtonPress, Qt::RightButton, {5, 5});
    send(&component, QEvent::MouseButtonRelease, Qt::RightButton, {5, 5});
    send(&component, QEvent::MouseButtonPress, Qt::LeftButton, {5, 5});
    send(&component, QEvent::MouseButtonRelease, Qt::LeftButton, {5, 5});
    send(&component, QEvent::MouseMove, Qt::NoButton, {8, 9});
    QCOMPARE(log, QStringList({"change Sw1 7", "down 2", "up 2", "down 1", "change Sw1 7", "up 1",
                               "click", "owner move Sw1 8,9", "move 8,9"}));

    // A release outside the component is no click; a handler that throws is reported, not
    // thrown through Qt's event dispatch.
    log.clear();
    send(&component, QEvent::MouseButtonPress, Qt::LeftButton, {5, 5});
    send(&component, QEvent::MouseButtonRelease, Qt::LeftButton, {500, 5});
    QVERIFY(!log.contains(QStringLiteral("click")));
    component.OnMouseDown = [](QObject*, Qt::MouseButton, Qt::KeyboardModifiers, const QPoint&) {
        throw ComponentError(QStringLiteral("refused"));
    };
    send(&component, QEvent::MouseButtonPress, Qt::LeftButton, {5, 5});
    QCOMPARE(dialogs->LastText(), QStringLiteral("refused"));
}

QTEST_MAIN(TestComponents)
#include "test_components.moc"
