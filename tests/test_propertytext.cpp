#include <QTimer>
#include <QtTest>
#include <memory>

#include "model/enums.h"
#include "platform/errors.h"
#include "properties/propertytext.h"

using namespace PropertyText;

// ---------------------------------------------------------------- classes under test

// Stands for one of Qt's own classes between QObject and ours: never published.
class QtStyleBase : public QObject {
    Q_OBJECT
    Q_PROPERTY(int hidden READ hidden WRITE setHidden)

public:
    using QObject::QObject;
    int hidden() const { return m_hidden; }
    void setHidden(int value) { m_hidden = value; }

private:
    int m_hidden = 0;
};

class TTarget : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;
};

class TSpecialTarget : public TTarget {
    Q_OBJECT

public:
    using TTarget::TTarget;
};

class TOtherTarget : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;
};

// A class outside the object system.
struct TPlain {
    int data = 0;
};

class TProbeBase : public QtStyleBase {
    Q_OBJECT
    Q_PROPERTY(int Left READ Left WRITE SetLeft)
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(bool Flag READ Flag WRITE SetFlag)
    Q_PROPERTY(int ReadOnly READ ReadOnly)

public:
    using QtStyleBase::QtStyleBase;
    int Left() const { return m_left; }
    void SetLeft(int value) { m_left = value; }
    QString Caption() const { return m_caption; }
    void SetCaption(const QString& value) { m_caption = value; }
    bool Flag() const { return m_flag; }
    void SetFlag(bool value) { m_flag = value; }
    int ReadOnly() const { return 7; }

protected:
    int m_left = 0;

private:
    QString m_caption;
    bool m_flag = false;
};

class TProbe : public TProbeBase {
    Q_OBJECT
    Q_PROPERTY(BrelvanEnums::TOrientation Orientation READ Orientation WRITE SetOrientation)
    Q_PROPERTY(BrelvanEnums::TPortActivated ActivatedOn READ ActivatedOn WRITE SetActivatedOn)
    Q_PROPERTY(BrelvanEnums::TPortDriverType PortDriver READ PortDriver WRITE SetPortDriver)
    Q_PROPERTY(TTarget* Target READ Target WRITE SetTarget)
    Q_PROPERTY(QObject* Anything READ Anything WRITE SetAnything)
    Q_PROPERTY(TPlain* Plain READ Plain WRITE SetPlain)
    Q_PROPERTY(double Ratio READ Ratio WRITE SetRatio)

public:
    using TProbeBase::TProbeBase;
    TOrientation Orientation() const { return m_orientation; }
    void SetOrientation(TOrientation value) { m_orientation = value; }
    TPortActivated ActivatedOn() const { return m_activatedOn; }
    void SetActivatedOn(TPortActivated value) { m_activatedOn = value; }
    TPortDriverType PortDriver() const { return m_portDriver; }
    void SetPortDriver(TPortDriverType value) { m_portDriver = value; }
    TTarget* Target() const { return m_target; }
    void SetTarget(TTarget* value) { m_target = value; }
    QObject* Anything() const { return m_anything; }
    void SetAnything(QObject* value) { m_anything = value; }
    TPlain* Plain() const { return m_plain; }
    void SetPlain(TPlain* value) { m_plain = value; }
    double Ratio() const { return m_ratio; }
    void SetRatio(double value) { m_ratio = value; }

private:
    TOrientation m_orientation = opo_HorizontalPositive;
    TPortActivated m_activatedOn = opa_RD;
    TPortDriverType m_portDriver;
    QPointer<TTarget> m_target;
    QPointer<QObject> m_anything;
    TPlain* m_plain = nullptr;
    double m_ratio = 0;
};

// Redeclares Left with its own setter, which refuses values off the board.
class TClamped : public TProbeBase {
    Q_OBJECT
    Q_PROPERTY(int Left READ Left WRITE SetClampedLeft)

public:
    using TProbeBase::TProbeBase;
    void SetClampedLeft(int value) {
        if (value > 10000) throw ComponentError(QStringLiteral("Left is off the board"));
        m_left = qMax(0, value);
    }
};

// One of ours derived from a real Qt class that declares properties of its own.
class TTicker : public QTimer {
    Q_OBJECT
    Q_PROPERTY(int Ticks READ Ticks WRITE SetTicks)

public:
    using QTimer::QTimer;
    int Ticks() const { return m_ticks; }
    void SetTicks(int value) { m_ticks = value; }

private:
    int m_ticks = 0;
};

// A helper class without the T prefix derived from one of ours still is one of ours.
class ProbeAlias : public TProbe {
    Q_OBJECT

public:
    using TProbe::TProbe;
};

// ---------------------------------------------------------------- fixture

// root (unnamed, as the board)
//   LED1: TProbe, Target -> Special1
//     Anode: TTarget
//       DriverContact: TTarget
//     Target: TTarget          (an owned object wins over the property of that name)
//     (unnamed control)
//       Cathode: TTarget
//   Sel1: TProbe, Target -> Sel1.Pin_5
//     Pin_5: TTarget
//   Other1: TOtherTarget
//   Special1: TSpecialTarget
//   Probe: TProbe                (the object the value tests write)
struct Tree {
    QObject root;
    QHash<QString, QObject*> named;

    Tree() {
        auto* led = add<TProbe>(&root, "LED1");
        auto* anode = add<TTarget>(led, "Anode");
        add<TTarget>(anode, "DriverContact");
        add<TTarget>(led, "Target", "LED1.Target");
        auto* control = add<QObject>(led, "", "control");
        add<TTarget>(control, "Cathode");
        auto* sel = add<TProbe>(&root, "Sel1");
        sel->SetTarget(add<TTarget>(sel, "Pin_5"));
        add<TOtherTarget>(&root, "Other1");
        led->SetTarget(add<TSpecialTarget>(&root, "Special1"));
        add<TProbe>(&root, "Probe");
    }

    template <class T> T* add(QObject* owner, const char* name, const char* key = nullptr) {
        auto* object = new T(owner);
        object->setObjectName(QString::fromLatin1(name));
        named.insert(QString::fromLatin1(key ? key : name), object);
        return object;
    }

    TProbe* probe() const { return static_cast<TProbe*>(named.value("Probe")); }
    TPathRoot pathRoot() { return TPathRoot{&root, {}, {}}; }
};

// The message of the ConversionError that writing text raises; empty when nothing was raised.
QString writeError(QObject* obj, const QString& name, const QString& text, const TPathRoot& root,
                   TTextForm form = TTextForm::File) {
    try {
        TextToProperty(obj, name, text, root, form);
    } catch (const ConversionError& e) {
        return e.Message().isEmpty() ? QStringLiteral("(empty message)") : e.Message();
    }
    return {};
}

class TestPropertyText : public QObject {
    Q_OBJECT

private slots:
    void publishesOnlyOwnPropertiesInDeclarationOrder();
    void kindsAndIdentifiers();
    void redeclaredPropertyIsListedOnceWithDerivedSetter();
    void propertyNamesIgnoreCase();
    void valueForms_data();
    void valueForms();
    void stringsRoundTripThroughFileForm_data();
    void stringsRoundTripThroughFileForm();
    void editorFormTakesStringsAsTheyStand();
    void references_data();
    void references();
    void nilClearsAReference();
    void propertiesWithoutTextForm();
    void pathNames_data();
    void pathNames();
    void componentByPath_data();
    void componentByPath();
    void rootCallbacksGiveOwnershipOrder();
    void everyPropertyRoundTrips();
};

void TestPropertyText::publishesOnlyOwnPropertiesInDeclarationOrder() {
    const auto names = [](const QMetaObject& cls) {
        QStringList list;
        for (const TPropertyInfo& prop : PublishedProperties(&cls))
            list.append(prop.Name());
        return list;
    };
    const QStringList probe{"Left",        "Caption",     "Flag",       "ReadOnly",
                            "Orientation", "ActivatedOn", "PortDriver", "Target",
                            "Anything",    "Plain",       "Ratio"};
    QCOMPARE(names(TProbe::staticMetaObject), probe);
    QCOMPARE(names(ProbeAlias::staticMetaObject), probe);
    QCOMPARE(names(TTicker::staticMetaObject), QStringList{"Ticks"});
    QCOMPARE(names(TTarget::staticMetaObject), QStringList());
    QCOMPARE(names(QObject::staticMetaObject), QStringList());

    QVERIFY(!FindProperty(&TProbe::staticMetaObject, u"objectName"));
    QVERIFY(!FindProperty(&TProbe::staticMetaObject, u"hidden"));
    QVERIFY(!FindProperty(&TTicker::staticMetaObject, u"interval"));
}

void TestPropertyText::kindsAndIdentifiers() {
    const auto prop = [](const char* name) {
        const TPropertyInfo* info =
            FindProperty(&TProbe::staticMetaObject, QString::fromLatin1(name));
        if (!info) qFatal("no property %s", name);
        return info;
    };
    QCOMPARE(prop("Left")->Kind(), TPropertyKind::Integer);
    QCOMPARE(prop("Caption")->Kind(), TPropertyKind::String);
    QCOMPARE(prop("Flag")->Kind(), TPropertyKind::Enumeration);
    QVERIFY(prop("Flag")->IsBoolean());
    QCOMPARE(prop("Flag")->Identifiers(), (QStringList{"False", "True"}));
    QCOMPARE(prop("Orientation")->Kind(), TPropertyKind::Enumeration);
    QCOMPARE(prop("Orientation")->TypeName(), QStringLiteral("TOrientation"));
    QCOMPARE(prop("Orientation")->Identifiers(),
             (QStringList{"opo_HorizontalPositive", "opo_VerticalPositive",
                          "opo_HorizontalNegative", "opo_VerticalNegative"}));
    QCOMPARE(prop("ActivatedOn")->Kind(), TPropertyKind::Set);
    QCOMPARE(prop("ActivatedOn")->TypeName(), QStringLiteral("TPortActivated"));
    QCOMPARE(prop("ActivatedOn")->Identifiers(), (QStringList{"opa_RD", "opa_WR"}));
    QCOMPARE(prop("PortDriver")->Identifiers(), (QStringList{"opc_Strobe", "opc_OutputEnable"}));
    QCOMPARE(prop("Target")->Kind(), TPropertyKind::Class);
    QCOMPARE(prop("Target")->ClassType(), &TTarget::staticMetaObject);
    QCOMPARE(prop("Anything")->ClassType(), &QObject::staticMetaObject);
    QCOMPARE(prop("Plain")->Kind(), TPropertyKind::Class);
    QCOMPARE(prop("Plain")->ClassType(), nullptr);
    QCOMPARE(prop("Ratio")->Kind(), TPropertyKind::Other);
    QVERIFY(!prop("ReadOnly")->IsWritable());
}

void TestPropertyText::redeclaredPropertyIsListedOnceWithDerivedSetter() {
    QStringList names;
    for (const TPropertyInfo& prop : PublishedProperties(&TClamped::staticMetaObject))
        names.append(prop.Name());
    QCOMPARE(names, (QStringList{"Left", "Caption", "Flag", "ReadOnly"}));

    TClamped clamped;
    const TPathRoot none;
    TextToProperty(&clamped, u"Left", u"-5", none);
    QCOMPARE(clamped.Left(), 0);
    // The setter's own refusal reaches the caller as it was raised.
    QVERIFY_THROWS_EXCEPTION(ComponentError, TextToProperty(&clamped, u"Left", u"20000", none));
    QCOMPARE(clamped.Left(), 0);
}

void TestPropertyText::propertyNamesIgnoreCase() {
    Tree tree;
    TProbe* probe = tree.probe();
    TextToProperty(probe, u"orientation", u"opo_VerticalPositive", tree.pathRoot());
    TextToProperty(probe, u"CAPTION", u"'x'", tree.pathRoot());
    QCOMPARE(probe->Orientation(), opo_VerticalPositive);
    QCOMPARE(probe->Caption(), QStringLiteral("x"));
    QCOMPARE(PropertyToText(probe, u"oRiEnTaTiOn", &tree.root),
             QStringLiteral("opo_VerticalPositive"));
    QCOMPARE(FindProperty(&TProbe::staticMetaObject, u"activatedon")->Name(),
             QStringLiteral("ActivatedOn"));

    const QString unknown = writeError(probe, "Colour", "1", tree.pathRoot());
    QVERIFY2(unknown.contains("Colour"), qPrintable(unknown));
    QVERIFY_THROWS_EXCEPTION(ConversionError, PropertyToText(probe, u"Colour", &tree.root));
    QVERIFY_THROWS_EXCEPTION(ConversionError, PropertyToText(probe, u"hidden", &tree.root));
    const QString readOnly = writeError(probe, "readonly", "3", tree.pathRoot());
    QVERIFY2(readOnly.contains("ReadOnly"), qPrintable(readOnly));
}

// Every value form with its errors. `result` is the property's text form after the write, or
// empty when the text must be refused (the property then keeps its previous value).
void TestPropertyText::valueForms_data() {
    QTest::addColumn<QString>("property");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("result");

    const auto ok = [](const char* row, const char* prop, const QString& text, const char* result) {
        QTest::newRow(row) << prop << text << QString::fromUtf8(result);
    };
    const auto bad = [](const char* row, const char* prop, const QString& text) {
        QTest::newRow(row) << prop << text << QString();
    };

    ok("decimal", "Left", "12", "12");
    ok("blanks around", "Left", "  42 ", "42");
    ok("minus", "Left", "-7", "-7");
    ok("plus", "Left", "+7", "7");
    ok("hex", "Left", "$FF", "255");
    ok("hex lower case", "Left", "$ff", "255");
    ok("negative hex", "Left", "-$10", "-16");
    ok("highest", "Left", "2147483647", "2147483647");
    ok("lowest", "Left", "-2147483648", "-2147483648");
    ok("highest hex", "Left", "$7FFFFFFF", "2147483647");
    ok("lowest hex", "Left", "-$80000000", "-2147483648");
    ok("many leading zeros", "Left", "000000000000000012", "12");
    ok("C hex", "Left", "0x10", "16"); // written back in the file's own form
    ok("C hex upper case", "Left", "0XfF", "255");
    ok("negative C hex", "Left", "-0x10", "-16");
    ok("highest C hex", "Left", "0x7FFFFFFF", "2147483647");
    bad("C hex above highest", "Left", "0x80000000");
    bad("empty integer", "Left", "");
    bad("word", "Left", "abc");
    bad("trailing junk", "Left", "12x");
    bad("inner blank", "Left", "1 2");
    bad("sign only", "Left", "-");
    bad("dollar only", "Left", "$");
    bad("0x only", "Left", "0x");
    bad("both hex prefixes", "Left", "$0x10");
    bad("0x after blank", "Left", "0 x10");
    bad("fraction", "Left", "1.5");
    bad("bad hex digit", "Left", "$1G");
    bad("one above highest", "Left", "2147483648");
    bad("one below lowest", "Left", "-2147483649");
    bad("hex above highest", "Left", "$80000000");
    bad("hex all ones", "Left", "$FFFFFFFF");
    bad("huge", "Left", "123456789012345678901234567890");
    bad("unicode digits", "Left", QStringLiteral("\u0661\u0662"));

    ok("identifier", "Orientation", "opo_VerticalNegative", "opo_VerticalNegative");
    ok("identifier any case", "Orientation", "OPO_verticalnegative", "opo_VerticalNegative");
    ok("ordinal", "Orientation", "2", "opo_HorizontalNegative");
    ok("ordinal 0", "Orientation", " 0 ", "opo_HorizontalPositive");
    ok("ordinal in hex", "Orientation", "$1", "opo_VerticalPositive");
    ok("ordinal in C hex", "Orientation", "0x1", "opo_VerticalPositive");
    bad("ordinal past the last", "Orientation", "4");
    bad("negative ordinal", "Orientation", "-1");
    bad("huge ordinal", "Orientation", "99999999999");
    bad("unknown identifier", "Orientation", "opo_Sideways");
    bad("identifier of another type", "Orientation", "vs_Hybrid");
    bad("empty enumeration", "Orientation", "");

    ok("True", "Flag", "True", "True");
    ok("false any case", "Flag", "fALSE", "False");
    ok("TRUE", "Flag", "TRUE", "True");
    ok("Boolean ordinal 1", "Flag", "1", "True");
    ok("Boolean ordinal 0", "Flag", "0", "False");
    bad("Boolean ordinal 2", "Flag", "2");
    bad("yes", "Flag", "yes");

    ok("one element", "ActivatedOn", "[opa_WR]", "[opa_WR]");
    ok("elements any case and order", "ActivatedOn", "[opa_wr, OPA_RD]", "[opa_RD, opa_WR]");
    ok("empty set", "ActivatedOn", "[]", "[]");
    ok("empty set with blank", "ActivatedOn", "[ ]", "[]");
    ok("blanks everywhere", "ActivatedOn", " [ opa_RD ,opa_WR ] ", "[opa_RD, opa_WR]");
    ok("element twice", "ActivatedOn", "[opa_RD, opa_RD]", "[opa_RD]");
    ok("other set type", "PortDriver", "[opc_OutputEnable]", "[opc_OutputEnable]");
    bad("unknown element", "ActivatedOn", "[opa_RD, opa_XX]");
    bad("element of another set", "ActivatedOn", "[opc_Strobe]");
    bad("no brackets", "ActivatedOn", "opa_RD");
    bad("no closing bracket", "ActivatedOn", "[opa_RD");
    bad("no opening bracket", "ActivatedOn", "opa_RD]");
    bad("trailing comma", "ActivatedOn", "[opa_RD,]");
    bad("lone comma", "ActivatedOn", "[,]");
    bad("missing comma", "ActivatedOn", "[opa_RD opa_WR]");
    bad("nested brackets", "ActivatedOn", "[[opa_RD]]");
    bad("set as number", "ActivatedOn", "1");
    bad("empty set text", "ActivatedOn", "");

    ok("quoted", "Caption", "'Hello'", "'Hello'");
    ok("doubled quote", "Caption", "'it''s'", "'it''s'");
    ok("runs of blanks kept", "Caption", "'  two   blanks '", "'  two   blanks '");
    ok("empty string", "Caption", "''", "''");
    ok("codes between pieces", "Caption", "'a'#13#10'b'", "'a'#13#10'b'");
    ok("pieces joined with plus", "Caption", "'a' + 'b'", "'ab'");
    ok("codes only", "Caption", "#65#$42", "'AB'");
    ok("code for a quote", "Caption", "#39", "''''");
    ok("non-ASCII", "Caption", "'Grüße'", "'Grüße'");
    ok("undoubled quote", "Caption", "'it's'", "'it''s'");
    bad("unquoted", "Caption", "Hello");
    bad("no closing quote", "Caption", "'open");
    bad("dangling plus", "Caption", "'a' +");
    bad("empty code", "Caption", "#");
    bad("code past Unicode", "Caption", "#1114112");
    bad("surrogate code", "Caption", "#55296");
    bad("empty string text", "Caption", "");
}

void TestPropertyText::valueForms() {
    QFETCH(QString, property);
    QFETCH(QString, text);
    QFETCH(QString, result);

    Tree tree;
    TProbe* probe = tree.probe();
    probe->SetLeft(5);
    probe->SetCaption(QStringLiteral("before"));
    probe->SetFlag(true);
    probe->SetOrientation(opo_VerticalPositive);
    probe->SetActivatedOn(opa_WR);
    const QString before = PropertyToText(probe, property, &tree.root);

    const QString error = writeError(probe, property, text, tree.pathRoot());
    if (result.isEmpty()) {
        QVERIFY2(!error.isEmpty(), "the text was taken");
        QVERIFY2(error.contains(property), qPrintable(error));
        QVERIFY2(error.contains(text.trimmed()), qPrintable(error));
        QCOMPARE(PropertyToText(probe, property, &tree.root), before);
    } else {
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(PropertyToText(probe, property, &tree.root), result);
    }
}

void TestPropertyText::stringsRoundTripThroughFileForm_data() {
    QTest::addColumn<QString>("value");
    QTest::newRow("empty") << QString();
    QTest::newRow("plain") << QStringLiteral("Hello");
    QTest::newRow("single quote") << QStringLiteral("'");
    QTest::newRow("quotes") << QStringLiteral("it's 'quoted' ''");
    QTest::newRow("tab") << QStringLiteral("a\tb");
    QTest::newRow("line breaks") << QStringLiteral("line 1\r\nline 2\n");
    QTest::newRow("starts with control") << QStringLiteral("\x01x");
    QTest::newRow("outer blanks") << QStringLiteral("  padded  ");
    QTest::newRow("looks like notation") << QStringLiteral("'a'#13 + 'b'");
    QTest::newRow("non-ASCII") << QStringLiteral("µ ÄÖÜ \u20AC \U0001F600");
}

// Whatever a string holds, its file form is one line without control characters that reads back
// to the same string.
void TestPropertyText::stringsRoundTripThroughFileForm() {
    QFETCH(QString, value);
    Tree tree;
    TProbe* probe = tree.probe();
    probe->SetCaption(value);
    const QString text = PropertyToText(probe, u"Caption", &tree.root);
    for (const QChar c : text)
        QVERIFY2(c.unicode() >= 32 && c.unicode() != 127, qPrintable(text));
    QCOMPARE(text, text.trimmed());

    TProbe copy;
    TextToProperty(&copy, u"Caption", text, tree.pathRoot());
    QCOMPARE(copy.Caption(), value);
}

void TestPropertyText::editorFormTakesStringsAsTheyStand() {
    Tree tree;
    TProbe* probe = tree.probe();
    const QString typed = QStringLiteral("  it's 'raw' #13 ");
    TextToProperty(probe, u"Caption", typed, tree.pathRoot(), TTextForm::Editor);
    QCOMPARE(probe->Caption(), typed);
    QCOMPARE(PropertyToText(probe, u"Caption", &tree.root, TTextForm::Editor), typed);
    // Other kinds read the same in both forms.
    TextToProperty(probe, u"Left", u" $10 ", tree.pathRoot(), TTextForm::Editor);
    QCOMPARE(probe->Left(), 16);
    QVERIFY(!writeError(probe, "Left", "x", tree.pathRoot(), TTextForm::Editor).isEmpty());
}

// `expected` names the fixture's object the property then holds ("" for none), or is "error".
void TestPropertyText::references_data() {
    QTest::addColumn<QString>("property");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("derived class by name") << "Target"
                                           << "Special1"
                                           << "Special1";
    QTest::newRow("name any case") << "Target"
                                   << "sPECIAL1"
                                   << "Special1";
    QTest::newRow("owned part") << "Target"
                                << "LED1.Anode"
                                << "Anode";
    QTest::newRow("part through a property") << "Target"
                                             << "Sel1.Target"
                                             << "Pin_5";
    QTest::newRow("deep part, blanks around") << "Target"
                                              << " led1.anode.drivercontact "
                                              << "DriverContact";
    QTest::newRow("nil") << "Target"
                         << "nil"
                         << "";
    QTest::newRow("NIL") << "Target"
                         << "NIL"
                         << "";
    QTest::newRow("any object") << "Anything"
                                << "Other1"
                                << "Other1";
    QTest::newRow("wrong class") << "Target"
                                 << "Other1"
                                 << "error";
    QTest::newRow("unknown name") << "Target"
                                  << "Nobody"
                                  << "error";
    QTest::newRow("unknown part") << "Target"
                                  << "LED1.Nobody"
                                  << "error";
    QTest::newRow("empty part") << "Target"
                                << "LED1..Anode"
                                << "error";
    QTest::newRow("empty") << "Target"
                           << ""
                           << "error";
}

void TestPropertyText::references() {
    QFETCH(QString, property);
    QFETCH(QString, text);
    QFETCH(QString, expected);

    Tree tree;
    TProbe* probe = tree.probe();
    QObject* before = tree.named.value("LED1.Target");
    probe->SetTarget(static_cast<TTarget*>(before));
    probe->SetAnything(before);

    const QString error = writeError(probe, property, text, tree.pathRoot());
    QObject* held = property == "Target" ? probe->Target() : probe->Anything();
    if (expected == "error") {
        QVERIFY2(!error.isEmpty(), "the reference was taken");
        QVERIFY2(error.contains(property) && error.contains(text.trimmed()), qPrintable(error));
        QCOMPARE(held, before);
    } else {
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(held, tree.named.value(expected));
    }
}

void TestPropertyText::nilClearsAReference() {
    Tree tree;
    TProbe* probe = tree.probe();
    TextToProperty(probe, u"Target", u"LED1.Anode", tree.pathRoot());
    QCOMPARE(PropertyToText(probe, u"Target", &tree.root), QStringLiteral("LED1.Anode"));
    TextToProperty(probe, u"Target", u"nil", tree.pathRoot());
    QCOMPARE(probe->Target(), nullptr);
    QCOMPARE(PropertyToText(probe, u"Target", &tree.root), QStringLiteral("nil"));
}

void TestPropertyText::propertiesWithoutTextForm() {
    Tree tree;
    TProbe* probe = tree.probe();
    TPlain plain;
    probe->SetPlain(&plain);
    for (const char* name : {"Plain", "Ratio"}) {
        const QString prop = QString::fromLatin1(name);
        QVERIFY_THROWS_EXCEPTION(ConversionError, PropertyToText(probe, prop, &tree.root));
        QVERIFY(!writeError(probe, prop, "nil", tree.pathRoot()).isEmpty());
        QVERIFY(!writeError(probe, prop, "1", tree.pathRoot()).isEmpty());
    }
    QCOMPARE(probe->Plain(), &plain);
    QCOMPARE(probe->Ratio(), 0.0);
}

void TestPropertyText::pathNames_data() {
    QTest::addColumn<QString>("object");
    QTest::addColumn<QString>("root");
    QTest::addColumn<QString>("path");

    QTest::newRow("component") << "LED1"
                               << ""
                               << "LED1";
    QTest::newRow("part") << "Anode"
                          << ""
                          << "LED1.Anode";
    QTest::newRow("part of a part") << "DriverContact"
                                    << ""
                                    << "LED1.Anode.DriverContact";
    QTest::newRow("unnamed owner stops") << "Cathode"
                                         << ""
                                         << "Cathode";
    QTest::newRow("unnamed object") << "control"
                                    << ""
                                    << "nil";
    QTest::newRow("no object") << "none"
                               << ""
                               << "nil";
    QTest::newRow("named root stops") << "DriverContact"
                                      << "LED1"
                                      << "Anode.DriverContact";
}

void TestPropertyText::pathNames() {
    QFETCH(QString, object);
    QFETCH(QString, root);
    QFETCH(QString, path);
    Tree tree;
    const QObject* rootObject = root.isEmpty() ? &tree.root : tree.named.value(root);
    QCOMPARE(PathName(tree.named.value(object), rootObject), path);
    if (path != "nil" && root.isEmpty() && object != "Cathode")
        QCOMPARE(ComponentByPath(&tree.root, path), tree.named.value(object));
}

// `expected` is the fixture's object found, "" for none.
void TestPropertyText::componentByPath_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");

    QTest::newRow("component") << "LED1"
                               << "LED1";
    QTest::newRow("any case") << "led1.ANODE"
                              << "Anode";
    QTest::newRow("three levels") << "LED1.Anode.DriverContact"
                                  << "DriverContact";
    QTest::newRow("through a property") << "Sel1.Target"
                                        << "Pin_5";
    QTest::newRow("property any case") << "sel1.target"
                                       << "Pin_5";
    QTest::newRow("owned before property") << "LED1.Target"
                                           << "LED1.Target";
    QTest::newRow("past a property") << "Sel1.Target.Nothing"
                                     << "";
    QTest::newRow("not a class property") << "Sel1.Flag"
                                          << "";
    QTest::newRow("null property") << "Probe.Target"
                                   << "";
    QTest::newRow("not owned by the root") << "Anode"
                                           << "";
    QTest::newRow("nil") << "nil"
                         << "";
    QTest::newRow("Nil") << "Nil"
                         << "";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("unknown") << "Nobody"
                             << "";
    QTest::newRow("unknown part") << "LED1.Nobody"
                                  << "";
    QTest::newRow("empty part") << "LED1..Anode"
                                << "";
    QTest::newRow("leading dot") << ".LED1"
                                 << "";
    QTest::newRow("trailing dot") << "LED1."
                                  << "";
}

void TestPropertyText::componentByPath() {
    QFETCH(QString, path);
    QFETCH(QString, expected);
    Tree tree;
    QCOMPARE(ComponentByPath(&tree.root, path), tree.named.value(expected));
}

// The board hands in its own ownership order and name index; they answer for the root only.
void TestPropertyText::rootCallbacksGiveOwnershipOrder() {
    QObject board;
    auto* first = new TProbe(&board);
    first->setObjectName("Twin");
    auto* second = new TProbe(&board);
    second->setObjectName("TWIN");
    auto* part = new TTarget(second);
    part->setObjectName("Part");

    QCOMPARE(ComponentByPath(&board, u"twin"), first);

    TPathRoot reordered{&board, [&] { return QList<QObject*>{second, first}; }, {}};
    QCOMPARE(ComponentByPath(reordered, u"twin"), second);
    QCOMPARE(OwnedObjects(reordered, &board), (QList<QObject*>{second, first}));
    QCOMPARE(OwnedObjects(reordered, second), (QList<QObject*>{part}));

    QStringList asked;
    TPathRoot indexed{&board, {}, [&](const QString& name) -> QObject* {
                          asked.append(name);
                          return name.compare("twin", Qt::CaseInsensitive) == 0 ? second : nullptr;
                      }};
    QCOMPARE(ComponentByPath(indexed, u"Twin.part"), part);
    QCOMPARE(asked, QStringList{"Twin"});
    QCOMPARE(ComponentByPath(indexed, u"Nobody"), nullptr);

    // References resolve through the same root.
    TextToProperty(first, u"Target", u"twin.Part", indexed);
    QCOMPARE(first->Target(), part);
}

// What one object's text forms write into another gives the same text forms: the writer's and
// the reader's halves agree for every kind.
void TestPropertyText::everyPropertyRoundTrips() {
    Tree tree;
    TProbe* probe = tree.probe();
    probe->SetLeft(-12);
    probe->SetCaption(QStringLiteral("it's\tdone"));
    probe->SetFlag(true);
    probe->SetOrientation(opo_VerticalNegative);
    probe->SetActivatedOn(opa_RD | opa_WR);
    probe->SetPortDriver(opc_OutputEnable);
    probe->SetTarget(static_cast<TTarget*>(tree.named.value("DriverContact")));
    probe->SetAnything(tree.named.value("Sel1"));

    auto* copy = new TProbe(&tree.root);
    QStringList written;
    for (const TPropertyInfo& prop : PublishedProperties(probe->metaObject())) {
        const bool hasTextForm = prop.Kind() != TPropertyKind::Other &&
                                 (prop.Kind() != TPropertyKind::Class || prop.ClassType());
        if (!prop.IsWritable() || !hasTextForm) continue;
        TextToProperty(copy, prop, PropertyToText(probe, prop, &tree.root), tree.pathRoot());
        QCOMPARE(PropertyToText(copy, prop, &tree.root), PropertyToText(probe, prop, &tree.root));
        written.append(prop.Name());
    }
    QCOMPARE(written, (QStringList{"Left", "Caption", "Flag", "Orientation", "ActivatedOn",
                                   "PortDriver", "Target", "Anything"}));
    QCOMPARE(copy->Caption(), probe->Caption());
    QCOMPARE(copy->Target(), probe->Target());
    QCOMPARE(copy->ActivatedOn(), opa_RD | opa_WR);
}

QTEST_GUILESS_MAIN(TestPropertyText)
#include "test_propertytext.moc"
