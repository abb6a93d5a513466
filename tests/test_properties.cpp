// The property grid and the properties window: rows per class, editors per kind, the write paths
// and their failures, the class lists, the wheel and the window's scrolling.
#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <QUndoStack>
#include <QtTest>
#include <memory>
#include <utility>

#include "components/leds.h"
#include "components/pins.h"
#include "components/switches.h"
#include "editor/brelvanfrm.h"
#include "editor/brelvanprop.h"
#include "editor/componenttable.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "properties/propertyeditor.h"
#include "tests/support/windowfixture.h"

// A class outside the object system, as a property type.
struct TPlainData {
    int Value = 0;
};
Q_DECLARE_METATYPE(TPlainData*)

// A small object whose writes are counted.
class TSubject : public QObject {
    Q_OBJECT
    Q_PROPERTY(int Count READ Count WRITE SetCount)
    Q_PROPERTY(int Fixed READ Fixed)
    Q_PROPERTY(QString Text READ Text WRITE SetText)
    Q_PROPERTY(TPlainData* Data READ Data WRITE SetData)

public:
    int Count() const { return m_count; }
    void SetCount(int value) {
        m_count = value;
        ++writes;
    }
    int Fixed() const { return 3; }
    QString Text() const { return m_text; }
    void SetText(const QString& text) { m_text = text; }
    TPlainData* Data() const { return m_data; }
    void SetData(TPlainData* data) { m_data = data; }

    int writes = 0;

private:
    int m_count = 0;
    QString m_text;
    TPlainData* m_data = nullptr;
};

// A class derived from a table class has no row of its own.
class TDerivedLED : public TLED {
    Q_OBJECT
public:
    using TLED::TLED;
};

namespace {

struct Editor : WindowFixture {
    template <typename T> T* put(const QString& name, QPoint at) {
        auto* component = new T(window->Board());
        component->SetName(name);
        component->move(at);
        window->WireComponent(component);
        return component;
    }
    QStringList rowNames() const {
        QStringList names;
        for (const auto& row : grid()->Rows())
            names << row->PropName;
        return names;
    }
    QComboBox* list(const QString& prop) const {
        TPropertyEditorsItem* row = grid()->Row(prop);
        return row ? qobject_cast<QComboBox*>(row->Editor) : nullptr;
    }
    QStringList items(const QString& prop) const {
        QStringList result;
        if (QComboBox* combo = list(prop))
            for (int i = 0; i < combo->count(); ++i)
                result << combo->itemText(i);
        return result;
    }
};

QLineEdit* field(TPropertyEditor& grid, const QString& prop) {
    TPropertyEditorsItem* row = grid.Row(prop);
    return row ? qobject_cast<QLineEdit*>(row->Editor) : nullptr;
}

void leave(QWidget* widget) {
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(widget, &out);
}

} // namespace

class TestProperties : public QObject {
    Q_OBJECT

private slots:
    void rowsPerClass_data();
    void rowsPerClass();
    void exactClassIdentity();
    void emptyEditor();
    void booleanList();
    void classListContents();
    void nonComponentClassDisabled();
    void readOnlyRowDisabled();
    void enterWritesOnce();
    void addressOffersPorts_data();
    void addressOffersPorts();
    void switchingObjectsWritesPending();
    void setRowToggles();
    void failedWritesKeepObject();
    void windowFollowsSelection();
    void windowFrame();
    void wheelRule();
    void shrinkingScrolls();
};

void TestProperties::rowsPerClass_data() {
    QTest::addColumn<int>("tag");
    QTest::addColumn<QStringList>("rows");
    QTest::newRow("LED") << 1 << QStringList{"Anode", "Caption", "Cathode",    "Color",
                                             "Hint",  "Name",    "Orientation"};
    QTest::newRow("switch") << 4 << QStringList{"Caption", "Contact1", "Contact2",   "HasAretation",
                                                "Hint",    "Name",     "Orientation"};
    QTest::newRow("host pin") << 9
                              << QStringList{"ActivatedOn", "Address",     "Caption",   "Hint",
                                             "Name",        "Orientation", "PinNumber", "Space"};
    QTest::newRow("driven port") << 11
                                 << QStringList{"Caption", "Hint",      "InputPort", "Inverted",
                                                "Name",    "OutEnable", "PortDriver"};
    QTest::newRow("Vcc") << 13 << QStringList{"Caption", "Hint", "Name"};
    QTest::newRow("GND") << 14 << QStringList{"Caption", "Hint", "Name"};
    QTest::newRow("bus") << 12 << QStringList{"Caption", "Hint", "Name", "Orientation"};
    QTest::newRow("line") << 15 << QStringList{"Caption", "Hint", "Name", "Orientation"};
    QTest::newRow("gate") << 18 << QStringList{"Caption", "Hint", "Input1",
                                               "Input2",  "Name", "Orientation"};
}

void TestProperties::rowsPerClass() {
    QFETCH(int, tag);
    QFETCH(QStringList, rows);
    Editor e;
    TOrvexGraphicComponent* component = ComponentTable::Create(tag, e.window->Board());
    QVERIFY(component);
    component->SetName(QStringLiteral("C1"));
    e.window->ObjectClick(component, false);
    QCOMPARE(e.rowNames(), rows);
    QCOMPARE(e.grid()->title(), ComponentTable::Row(tag)->ClassName.mid(1));
}

void TestProperties::exactClassIdentity() {
    QCOMPARE(TfrmProp::ClassProperties(&TLED::staticMetaObject),
             (QStringList{"Color", "Anode", "Cathode"}));
    QVERIFY(TfrmProp::ClassProperties(&TDerivedLED::staticMetaObject).isEmpty());
    Editor e;
    auto* led = new TDerivedLED(e.window->Board());
    led->SetName(QStringLiteral("D1"));
    e.window->ObjectClick(led, false);
    QCOMPARE(e.rowNames(), (QStringList{"Caption", "Hint", "Name", "Orientation"}));
}

void TestProperties::emptyEditor() {
    TPropertyEditor grid;
    QCOMPARE(grid.title(), QStringLiteral("nil"));
    QObject nothing;
    grid.SetObject(&nothing); // a Qt class publishes nothing: the caption alone
    QCOMPARE(grid.title(), QStringLiteral("QObject"));
    QVERIFY(grid.Rows().empty());
    grid.SetObject(nullptr);
    QCOMPARE(grid.title(), QStringLiteral("nil"));
}

void TestProperties::booleanList() {
    Editor e;
    auto* sw = e.put<TSwitch>("SW1", QPoint(40, 40));
    e.window->ObjectClick(sw, false);
    QCOMPARE(e.items("HasAretation"), (QStringList{"False", "True"}));
    QCOMPARE(e.list("HasAretation")->currentText(), QStringLiteral("False"));
    QCOMPARE(e.list("HasAretation")->maxVisibleItems(), 15);
    e.list("HasAretation")->setCurrentIndex(1);
    QVERIFY(sw->GetHasAretation());
    QVERIFY(e.window->Modified());
}

void TestProperties::classListContents() {
    Editor e;
    auto* led2 = e.put<TLED>("LED2", QPoint(100, 40));
    auto* sw = e.put<TSwitch>("SW1", QPoint(40, 40));
    auto* led1 = e.put<TLED>("LED1", QPoint(160, 40));
    led1->SetAnode(sw->SwitchControl()->Contact2());
    Q_UNUSED(led2);
    e.window->ObjectClick(led1, false);
    const QStringList anode = e.items("Anode");
    QVERIFY(anode.size() > 3);
    QCOMPARE(anode.first(), QStringLiteral("nil"));
    QStringList rest = anode.mid(1);
    QStringList sorted = rest;
    std::sort(sorted.begin(), sorted.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    QCOMPARE(rest, sorted);
    QVERIFY(rest.contains("SW1.Contact2"));
    QVERIFY(rest.contains("LED2.Anode"));
    for (const QString& entry : rest) {
        QVERIFY2(!entry.startsWith("LED1."), qPrintable(entry)); // never the object or its parts
        QVERIFY2(!entry.contains("DriverContact"), qPrintable(entry));
    }
    QCOMPARE(e.list("Anode")->currentText(), QStringLiteral("SW1.Contact2"));
    QCOMPARE(e.list("Cathode")->currentText(), QStringLiteral("nil"));
    QVERIFY(e.list("Anode")->isEnabled());
}

void TestProperties::nonComponentClassDisabled() {
    TPropertyEditor grid;
    TSubject subject;
    grid.SetObject(&subject);
    TPropertyEditorsItem* row = grid.Row("Data");
    QVERIFY(row);
    auto* list = qobject_cast<QComboBox*>(row->Editor);
    QVERIFY(list);
    QCOMPARE(list->count(), 1);
    QCOMPARE(list->itemText(0), QStringLiteral("(TPlainData)"));
    QVERIFY(!list->isEnabled());
    QVERIFY(!row->Label->isEnabled());
}

void TestProperties::readOnlyRowDisabled() {
    TPropertyEditor grid;
    TSubject subject;
    grid.SetObject(&subject);
    QLineEdit* fixed = field(grid, "Fixed");
    QVERIFY(fixed);
    QCOMPARE(fixed->text(), QStringLiteral("3"));
    QVERIFY(!fixed->isEnabled());
    QVERIFY(!grid.Row("Fixed")->Label->isEnabled());
    // Rows in name order, with the caption beside each editor.
    QStringList names;
    for (const auto& r : grid.Rows())
        names << r->PropName;
    QCOMPARE(names, (QStringList{"Count", "Data", "Fixed", "Text"}));
    QCOMPARE(grid.Row("Count")->Editor->x(), TPropertyEditor::DefaultCaptionWidth + 8);
    QVERIFY(grid.minimumHeight() >= grid.Row("Text")->Editor->geometry().bottom() + 12);
}

void TestProperties::enterWritesOnce() {
    TPropertyEditor grid;
    TSubject subject;
    int changes = 0;
    QStringList changed;
    grid.OnChange = [&](QObject*) { ++changes; };
    grid.OnValueChanged = [&](QObject*, const QString& name) { changed << name; };
    grid.SetObject(&subject);
    QLineEdit* count = field(grid, "Count");
    count->selectAll();
    QTest::keyClicks(count, "12");
    QTest::keyClick(count, Qt::Key_Return);
    QCOMPARE(subject.Count(), 12);
    QCOMPARE(subject.writes, 1);
    leave(count);
    QCOMPARE(subject.writes, 1);
    QCOMPARE(changes, 1);
    QCOMPARE(changed, QStringList{"Count"});
    // Leaving a changed field writes it as well.
    count->selectAll();
    QTest::keyClicks(count, "$10");
    leave(count);
    QCOMPARE(subject.Count(), 16);
    QCOMPARE(subject.writes, 2);
}

// A host pin's or port's Address offers the host's ports by name and still takes any number,
// typed as a file writes it or as "0x..".
void TestProperties::addressOffersPorts_data() {
    QTest::addColumn<int>("tag");
    QTest::newRow("host pin") << int(ToolTag::UPin);
    QTest::newRow("host port") << int(ToolTag::UPort);
}

void TestProperties::addressOffersPorts() {
    QFETCH(int, tag);
    Editor e;
    TOrvexGraphicComponent* component = e.placeAt(tag, QPoint(40, 40));
    QVERIFY(component);
    QTest::mouseClick(component, Qt::RightButton);
    QComboBox* address = e.list("Address");
    QVERIFY(address);
    QVERIFY(address->isEditable());
    QCOMPARE(e.items("Address"), (QStringList{"P0 ($80)", "P1 ($90)", "P2 ($A0)", "P3 ($B0)"}));
    const auto value = [component] { return component->property("Address").toInt(); };
    const int steps = e.undo()->count();
    emit address->activated(3);
    QCOMPARE(value(), 0xB0);
    QCOMPARE(address->currentText(), QStringLiteral("176")); // the value, not the entry's name
    QCOMPARE(e.undo()->count(), steps + 1);
    for (const auto& [typed, expected] :
         {std::pair{"0x90", 0x90}, std::pair{"$A0", 0xA0}, std::pair{"300", 300}}) {
        QLineEdit* text = address->lineEdit();
        text->selectAll();
        QTest::keyClicks(text, QLatin1String(typed));
        QTest::keyClick(text, Qt::Key_Return);
        QCOMPARE(value(), expected);
    }
    QVERIFY(e.dialogs->messages.isEmpty());
    // Other integer rows stay plain fields.
    if (tag == ToolTag::UPin) QVERIFY(field(*e.grid(), "PinNumber"));
}

void TestProperties::switchingObjectsWritesPending() {
    TPropertyEditor grid;
    TSubject first;
    TSubject second;
    grid.SetObject(&first);
    QTest::keyClicks(field(grid, "Text"), "typed");
    grid.SetObject(&second);
    QCOMPARE(first.Text(), QStringLiteral("typed"));
    QCOMPARE(second.Text(), QString());
    QCOMPARE(field(grid, "Text")->text(), QString());
    // The same object again keeps the rows as they are.
    TPropertyEditorsItem* row = grid.Row("Text");
    grid.SetObject(&second);
    QCOMPARE(grid.Row("Text"), row);
}

void TestProperties::setRowToggles() {
    Editor e;
    auto* pin = e.put<TUPin>("UPin1", QPoint(40, 40));
    pin->SetSpace(BrelvanEnums::ops_XDATA); // the strobes count in external data space only
    pin->SetActivatedOn(BrelvanEnums::TPortActivated(BrelvanEnums::opa_WR));
    e.window->ObjectClick(pin, false);
    TPropertyEditorsItem* row = e.grid()->Row("ActivatedOn");
    QVERIFY(row);
    auto* group = qobject_cast<TDesignButtonGroup*>(row->Editor);
    QVERIFY(group);
    QCOMPARE(group->Count(), 2);
    QCOMPARE(group->Caption(0), QStringLiteral("opa_RD"));
    QCOMPARE(group->Caption(1), QStringLiteral("opa_WR"));
    QVERIFY(!group->Checked(0));
    QVERIFY(group->Checked(1));
    QCOMPARE(group->height(), 2 * TDesignButtonGroup::ButtonHeight);
    QCOMPARE(row->Label->text(), QStringLiteral("ActivatedOn:"));
    QTest::mouseClick(group->Button(0), Qt::LeftButton);
    QCOMPARE(int(pin->ActivatedOn()), int(BrelvanEnums::opa_RD | BrelvanEnums::opa_WR));
    QVERIFY(group->Checked(0) && group->Checked(1));
    QTest::mouseClick(group->Button(1), Qt::LeftButton);
    QCOMPARE(int(pin->ActivatedOn()), int(BrelvanEnums::opa_RD));
}

void TestProperties::failedWritesKeepObject() {
    Editor e;
    e.put<TLED>("LED1", QPoint(40, 40));
    auto* led2 = e.put<TLED>("LED2", QPoint(100, 40));
    e.window->ObjectClick(led2, false);
    // A name the board refuses.
    QLineEdit* name = field(*e.grid(), "Name");
    name->selectAll();
    QTest::keyClicks(name, "led1");
    QTest::keyClick(name, Qt::Key_Return);
    QCOMPARE(led2->Name(), QStringLiteral("LED2"));
    QCOMPARE(e.dialogs->messages.size(), 1);
    QCOMPARE(e.dialogs->messages[0].caption, QStringLiteral("Error"));
    QCOMPARE(name->text(), QStringLiteral("led1")); // the typed text stays to be mended
    QVERIFY(!e.window->Modified());
    // No name at all: the component could not be saved.
    name->selectAll();
    QTest::keyClick(name, Qt::Key_Backspace);
    QTest::keyClick(name, Qt::Key_Return);
    QCOMPARE(led2->Name(), QStringLiteral("LED2"));
    QCOMPARE(e.dialogs->messages.size(), 2);
    QVERIFY(e.dialogs->LastText().contains("cannot be empty"));
    QVERIFY(!e.window->Modified());
    e.dialogs->Clear();

    // A text that is no integer.
    TPropertyEditor grid;
    TSubject subject;
    subject.SetCount(5);
    grid.SetObject(&subject);
    QLineEdit* count = field(grid, "Count");
    count->selectAll();
    QTest::keyClicks(count, "abc");
    QTest::keyClick(count, Qt::Key_Return);
    QCOMPARE(subject.Count(), 5);
    QCOMPARE(e.dialogs->messages.size(), 1);
    QVERIFY2(e.dialogs->messages[0].text.contains("abc"), qPrintable(e.dialogs->LastText()));
    QCOMPARE(count->text(), QStringLiteral("abc"));
}

void TestProperties::windowFollowsSelection() {
    Editor e;
    TfrmProp* props = e.window->PropertiesWindow();
    QVERIFY(!props->isVisible());
    auto* led = e.put<TLED>("LED1", QPoint(40, 40));
    led->resize(32, 32);
    auto* sw = e.put<TSwitch>("SW1", QPoint(120, 40));
    sw->resize(32, 32);
    QTest::mouseClick(led, Qt::LeftButton);
    QCOMPARE(e.grid()->EditedObject(), led);
    QVERIFY(!props->isVisible()); // a left click only selects
    QTest::mouseClick(sw, Qt::RightButton);
    QCOMPARE(e.grid()->EditedObject(), sw);
    QVERIFY(props->isVisible());
    // A multi-selection leaves it without an object.
    QTest::mousePress(e.window->Board(), Qt::LeftButton, Qt::NoModifier, QPoint(30, 30));
    QMouseEvent move(QEvent::MouseMove, QPointF(170, 80),
                     e.window->Board()->mapToGlobal(QPointF(170, 80)), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(e.window->Board(), &move);
    QTest::mouseRelease(e.window->Board(), Qt::LeftButton, Qt::NoModifier, QPoint(170, 80));
    QCOMPARE(e.window->Selection().size(), 2);
    QCOMPARE(e.grid()->EditedObject(), nullptr);
    // The background empties it; F4 toggles it.
    QTest::mouseClick(e.window->Board(), Qt::LeftButton, Qt::NoModifier, QPoint(400, 300));
    QCOMPARE(e.grid()->EditedObject(), nullptr);
    QCOMPARE(e.grid()->title(), QStringLiteral("nil"));
    e.window->CyclePropFrmExecute();
    QVERIFY(!props->isVisible());
    e.window->CyclePropFrmExecute();
    QVERIFY(props->isVisible());
    // Run hides it and leaves it without an object; F4 does nothing while running.
    QTest::mouseClick(led, Qt::LeftButton);
    e.window->tbRunClick();
    QVERIFY(!props->isVisible());
    QCOMPARE(e.grid()->EditedObject(), nullptr);
    e.window->CyclePropFrmExecute();
    QVERIFY(!props->isVisible());
    e.window->tbRunClick();
}

void TestProperties::windowFrame() {
    TfrmProp props;
    QCOMPARE(props.windowTitle(), QStringLiteral("Properties"));
    QVERIFY(!(props.windowFlags() & Qt::WindowStaysOnTopHint)); // above its owner only
    QCOMPARE(props.windowFlags() & Qt::WindowType_Mask, Qt::Tool);
    QVERIFY(!(props.windowFlags() & Qt::WindowMinimizeButtonHint));
    QCOMPARE(props.ScrollArea()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    QCOMPARE(props.size(), QSize(280, 477).boundedTo(available.size()));
    // At its designed place when that fits the screen, else moved inside it.
    const QRect designed(QPoint(927, 186), props.size());
    if (available.contains(designed))
        QCOMPARE(props.pos(), designed.topLeft());
    else
        QVERIFY(available.contains(props.geometry()));
}

void TestProperties::wheelRule() {
    Editor e;
    auto* pin = e.put<TUPin>("UPin1", QPoint(40, 40));
    e.window->ObjectClick(pin, false);
    TfrmProp* props = e.window->PropertiesWindow();
    props->show();
    props->resize(280, 120); // fewer rows fit than there are
    QScrollBar* bar = props->ScrollArea()->verticalScrollBar();
    QVERIFY(bar->maximum() > 60);
    const auto at = [&](QWidget* widget) { return widget->mapTo(props, widget->rect().center()); };
    const int lines = QApplication::wheelScrollLines();
    bar->setValue(0);
    // Turned towards the user over a caption: scrolls down by notches x lines x 5 pixels.
    QVERIFY(props->FormMouseWheel(-120, at(e.grid()->Row("Address")->Label)));
    QCOMPARE(bar->value(), lines * 5);
    // Over an empty part of the grid (beside the first row's caption).
    QVERIFY(props->FormMouseWheel(-120, e.grid()->mapTo(props, QPoint(e.grid()->width() - 2, 4))));
    QCOMPARE(bar->value(), 2 * lines * 5);
    QVERIFY(props->FormMouseWheel(120, at(e.grid()->Row("Address")->Label)));
    QCOMPARE(bar->value(), lines * 5);
    // Over a text field or a list the editor takes the wheel.
    for (const char* prop : {"Name", "Space"}) {
        QWidget* editor = e.grid()->Row(prop)->Editor;
        props->ScrollArea()->ensureWidgetVisible(editor);
        const int before = bar->value();
        QVERIFY(!props->FormMouseWheel(-120, at(editor)));
        QCOMPARE(bar->value(), before);
    }
}

void TestProperties::shrinkingScrolls() {
    Editor e;
    auto* pin = e.put<TUPin>("UPin1", QPoint(40, 40));
    TfrmProp* props = e.window->PropertiesWindow();
    props->show();
    props->resize(280, 400);
    e.window->ObjectClick(pin, false);
    const int full = e.grid()->RowsHeight();
    QVERIFY(full > 150);
    props->resize(280, 100);
    QCOMPARE(e.grid()->height(), full); // the rows keep their height
    QCOMPARE(props->ScrollArea()->widget()->height(), full + 5);
    QVERIFY(props->ScrollArea()->verticalScrollBar()->maximum() > 0);
    props->resize(300, 600);
    QCOMPARE(e.grid()->height(), props->ScrollArea()->viewport()->height() - 5);
    QCOMPARE(e.grid()->width(), props->ScrollArea()->viewport()->width() - 10);
}

QTEST_MAIN(TestProperties)
#include "test_properties.moc"
