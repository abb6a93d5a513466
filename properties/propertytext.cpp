#include "properties/propertytext.h"

#include <QMetaObject>
#include <QMetaType>
#include <QObject>
#include <QVariant>
#include <cstring>
#include <memory>

#include "platform/errors.h"

namespace PropertyText {

// ---------------------------------------------------------------- property tables

class TPropertyTable {
public:
    explicit TPropertyTable(const QMetaObject* cls);

    QList<TPropertyInfo> properties;
    QHash<QString, qsizetype> positionOf; // case-folded name -> index in properties

private:
    static TPropertyInfo describe(const QMetaProperty& meta);
    static void addIdentifier(TPropertyInfo& info, const QString& identifier, int value);
};

namespace {

// Brelvan's own classes begin with "T"; Qt's never do.
bool isOwnClass(const QMetaObject* mo) {
    const QByteArrayView name(mo->className());
    const qsizetype scope = name.lastIndexOf("::");
    const QByteArrayView local = scope < 0 ? name : name.sliced(scope + 2);
    return local.startsWith('T');
}

QString plainTypeName(const char* typeName) {
    QString name = QString::fromLatin1(typeName);
    name.remove(QLatin1Char('*'));
    name = name.trimmed();
    const qsizetype scope = name.lastIndexOf(QLatin1String("::"));
    return scope < 0 ? name : name.sliced(scope + 2);
}

QString folded(QStringView text) {
    return text.toString().toCaseFolded();
}

} // namespace

TPropertyTable::TPropertyTable(const QMetaObject* cls) {
    QList<const QMetaObject*> chain; // base first
    for (const QMetaObject* mo = cls; mo; mo = mo->superClass())
        if (isOwnClass(mo)) chain.prepend(mo);
    for (const QMetaObject* mo : chain) {
        for (int i = mo->propertyOffset(); i < mo->propertyCount(); ++i) {
            const QMetaProperty meta = mo->property(i);
            TPropertyInfo info = describe(meta);
            const QString key = folded(info.m_name);
            if (auto it = positionOf.constFind(key); it != positionOf.cend()) {
                properties[*it] = std::move(info); // redeclared: keep the first position
            } else {
                positionOf.insert(key, properties.size());
                properties.append(std::move(info));
            }
        }
    }
}

void TPropertyTable::addIdentifier(TPropertyInfo& info, const QString& identifier, int value) {
    info.m_identifierAt.insert(folded(identifier), info.m_identifiers.size());
    info.m_identifiers.append(identifier);
    info.m_values.append(value);
}

TPropertyInfo TPropertyTable::describe(const QMetaProperty& meta) {
    TPropertyInfo info;
    info.m_name = QString::fromLatin1(meta.name());
    info.m_meta = meta;
    info.m_typeName = plainTypeName(meta.typeName());
    const QMetaType type = meta.metaType();

    if (type.id() == QMetaType::Bool) {
        info.m_kind = TPropertyKind::Enumeration;
        info.m_isBoolean = true;
        addIdentifier(info, QStringLiteral("False"), 0);
        addIdentifier(info, QStringLiteral("True"), 1);
    } else if (meta.isEnumType()) {
        const QMetaEnum enumerator = meta.enumerator();
        if (!enumerator.isValid()) return info; // Other: the type's keys are unknown
        info.m_typeName = QString::fromLatin1(enumerator.name()); // a set: not QFlags<…>
        if (enumerator.isFlag()) {
            info.m_kind = TPropertyKind::Set;
            for (int i = 0; i < enumerator.keyCount(); ++i) {
                const int value = enumerator.value(i);
                if (value > 0 && (value & (value - 1)) == 0) // an element is one bit
                    addIdentifier(info, QString::fromLatin1(enumerator.key(i)), value);
            }
        } else {
            info.m_kind = TPropertyKind::Enumeration;
            for (int i = 0; i < enumerator.keyCount(); ++i)
                addIdentifier(info, QString::fromLatin1(enumerator.key(i)), enumerator.value(i));
        }
    } else if (type.id() == QMetaType::Int) {
        info.m_kind = TPropertyKind::Integer;
    } else if (type.id() == QMetaType::QString) {
        info.m_kind = TPropertyKind::String;
    } else if (type.flags() & QMetaType::PointerToQObject) {
        info.m_kind = TPropertyKind::Class;
        info.m_classType = type.metaObject();
    } else if (type.flags() & QMetaType::IsPointer) {
        info.m_kind = TPropertyKind::Class; // a class outside the object system: no text form
    }
    return info;
}

namespace {

const TPropertyTable& tableOf(const QMetaObject* cls) {
    static QHash<const QMetaObject*, std::shared_ptr<const TPropertyTable>> tables;
    auto it = tables.constFind(cls);
    if (it == tables.cend()) it = tables.insert(cls, std::make_shared<TPropertyTable>(cls));
    return **it;
}

} // namespace

const QList<TPropertyInfo>& PublishedProperties(const QMetaObject* cls) {
    static const QList<TPropertyInfo> none;
    return cls ? tableOf(cls).properties : none;
}

const TPropertyInfo* FindProperty(const QMetaObject* cls, QStringView name) {
    if (!cls) return nullptr;
    const TPropertyTable& table = tableOf(cls);
    const auto it = table.positionOf.constFind(folded(name));
    return it == table.positionOf.cend() ? nullptr : &table.properties[*it];
}

// ---------------------------------------------------------------- paths

QList<QObject*> TPathRoot::Owned() const {
    if (OwnedObjects) return OwnedObjects();
    return Root ? Root->children() : QList<QObject*>();
}

QObject* TPathRoot::FindOwnedByName(const QString& name) const {
    if (FindOwned) return FindOwned(name);
    for (QObject* object : Owned())
        if (object->objectName().compare(name, Qt::CaseInsensitive) == 0) return object;
    return nullptr;
}

QList<QObject*> OwnedObjects(const TPathRoot& root, const QObject* owner) {
    if (!owner) return {};
    return owner == root.Root ? root.Owned() : owner->children();
}

QString PathName(const QObject* obj, const QObject* root) {
    if (!obj || obj->objectName().isEmpty()) return QStringLiteral("nil");
    QString path = obj->objectName();
    for (const QObject* owner = obj->parent();
         owner && owner != root && !owner->objectName().isEmpty(); owner = owner->parent())
        path = owner->objectName() + QLatin1Char('.') + path;
    return path;
}

namespace {

QObject* readReference(const QObject* obj, const TPropertyInfo& prop) {
    return prop.Meta().read(obj).value<QObject*>();
}

QObject* findStep(const TPathRoot& root, QObject* owner, const QString& name) {
    QObject* next = nullptr;
    if (owner == root.Root) {
        next = root.FindOwnedByName(name);
    } else {
        for (QObject* child : owner->children()) {
            if (child->objectName().compare(name, Qt::CaseInsensitive) == 0) {
                next = child;
                break;
            }
        }
    }
    if (next) return next;
    const TPropertyInfo* prop = FindProperty(owner->metaObject(), name);
    if (prop && prop->Kind() == TPropertyKind::Class && prop->ClassType())
        return readReference(owner, *prop);
    return nullptr;
}

bool isNil(QStringView text) {
    return text.compare(u"nil", Qt::CaseInsensitive) == 0;
}

} // namespace

QObject* ComponentByPath(const TPathRoot& root, QStringView path) {
    path = path.trimmed();
    if (!root.Root || path.isEmpty() || isNil(path)) return nullptr;
    QObject* current = root.Root;
    for (QStringView part : path.tokenize(u'.')) {
        if (part.isEmpty()) return nullptr;
        current = findStep(root, current, part.toString());
        if (!current) return nullptr;
    }
    return current;
}

QObject* ComponentByPath(QObject* root, QStringView path) {
    return ComponentByPath(TPathRoot{root, {}, {}}, path);
}

bool IsInstanceOf(const QObject* obj, const QMetaObject* cls) {
    return obj && cls && obj->metaObject()->inherits(cls);
}

// ---------------------------------------------------------------- value forms

namespace {

enum class TIntegerParse { Ok, NotInteger, OutOfRange };

int digitValue(QChar c, bool hex) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9') return u - u'0';
    if (hex && u >= u'a' && u <= u'f') return u - u'a' + 10;
    if (hex && u >= u'A' && u <= u'F') return u - u'A' + 10;
    return -1;
}

TIntegerParse parseInteger(QStringView text, int* value) {
    text = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
    // "$B0" as files write it, and "0xB0" as many people type it.
    bool hex = false;
    if (i < text.size() && text[i] == u'$') {
        hex = true;
        ++i;
    } else if (i + 1 < text.size() && text[i] == u'0' &&
               (text[i + 1] == u'x' || text[i + 1] == u'X')) {
        hex = true;
        i += 2;
    }
    if (i == text.size()) return TIntegerParse::NotInteger;
    const qint64 limit = negative ? qint64(1) << 31 : (qint64(1) << 31) - 1;
    qint64 magnitude = 0;
    bool overflow = false;
    for (; i < text.size(); ++i) {
        const int digit = digitValue(text[i], hex);
        if (digit < 0) return TIntegerParse::NotInteger;
        if (!overflow) {
            magnitude = magnitude * (hex ? 16 : 10) + digit;
            overflow = magnitude > limit;
        }
    }
    if (overflow) return TIntegerParse::OutOfRange;
    *value = int(negative ? -magnitude : magnitude);
    return TIntegerParse::Ok;
}

bool isControl(QChar c) {
    return c.unicode() < 32 || c.unicode() == 127;
}

QString quoteString(const QString& value) {
    QString out;
    out.reserve(value.size() + 2);
    bool quoted = false;
    for (const QChar c : value) {
        if (isControl(c)) {
            if (quoted) out += QLatin1Char('\'');
            quoted = false;
            out += QLatin1Char('#') + QString::number(c.unicode());
            continue;
        }
        if (!quoted) out += QLatin1Char('\'');
        quoted = true;
        out += c;
        if (c == QLatin1Char('\'')) out += c;
    }
    if (quoted) out += QLatin1Char('\'');
    return out.isEmpty() ? QStringLiteral("''") : out;
}

// Reads one piece (a quoted run or a #code) at pos; false when there is none.
bool readPiece(QStringView text, qsizetype& pos, QString& out) {
    if (pos >= text.size()) return false;
    if (text[pos] == u'\'') {
        for (++pos; pos < text.size(); ++pos) {
            if (text[pos] != u'\'') {
                out += text[pos];
            } else if (pos + 1 < text.size() && text[pos + 1] == u'\'') {
                out += text[pos++];
            } else {
                ++pos;
                return true;
            }
        }
        return false; // no closing quote
    }
    if (text[pos] != u'#') return false;
    ++pos;
    const bool hex = pos < text.size() && text[pos] == u'$';
    if (hex) ++pos;
    const qsizetype start = pos;
    char32_t code = 0;
    for (int digit; pos < text.size() && (digit = digitValue(text[pos], hex)) >= 0; ++pos) {
        code = code * (hex ? 16 : 10) + char32_t(digit);
        if (code > 0x10FFFF) return false;
    }
    if (pos == start || QChar::isSurrogate(code)) return false;
    out += QStringView(QChar::fromUcs4(code));
    return true;
}

bool unquoteStrict(QStringView text, QString* value) {
    QString out;
    qsizetype pos = 0;
    const auto skipBlanks = [&] {
        while (pos < text.size() && text[pos].isSpace())
            ++pos;
    };
    for (;;) {
        if (!readPiece(text, pos, out)) return false;
        skipBlanks();
        if (pos == text.size()) break;
        if (text[pos] == u'+') {
            ++pos;
            skipBlanks();
        }
    }
    *value = out;
    return true;
}

bool unquoteString(QStringView text, QString* value) {
    text = text.trimmed();
    if (unquoteStrict(text, value)) return true;
    // A writer that did not double its quotes: take the text between the outer quotes as it is.
    if (text.size() >= 2 && text.front() == u'\'' && text.back() == u'\'') {
        *value = text.mid(1, text.size() - 2).toString();
        return true;
    }
    return false;
}

[[noreturn]] void fail(const TPropertyInfo& prop, QStringView text, const QString& why) {
    constexpr qsizetype shown = 80; // a whole file line of garbage helps nobody
    QString quoted =
        text.size() > shown ? text.left(shown).toString() + QStringLiteral("...") : text.toString();
    throw ConversionError(
        QStringLiteral("Invalid value \"%1\" for property %2: %3").arg(quoted, prop.Name(), why));
}

[[noreturn]] void failNoTextForm(const TPropertyInfo& prop) {
    throw ConversionError(QStringLiteral("Property %1 of type %2 has no text form")
                              .arg(prop.Name(), prop.TypeName()));
}

// Enumerations and flags are stored in an integer of the type's size.
qint64 readEnumValue(const QVariant& value) {
    const void* data = value.constData();
    switch (value.metaType().sizeOf()) {
    case 1:
        return *static_cast<const qint8*>(data);
    case 2:
        return *static_cast<const qint16*>(data);
    case 8:
        return *static_cast<const qint64*>(data);
    default:
        return *static_cast<const qint32*>(data);
    }
}

QVariant enumVariant(QMetaType type, int value) {
    switch (type.sizeOf()) {
    case 1: {
        const qint8 v = qint8(value);
        return QVariant(type, &v);
    }
    case 2: {
        const qint16 v = qint16(value);
        return QVariant(type, &v);
    }
    case 8: {
        const qint64 v = value;
        return QVariant(type, &v);
    }
    default:
        return QVariant(type, &value);
    }
}

QString enumText(const QObject* obj, const TPropertyInfo& prop) {
    const QVariant value = prop.Meta().read(obj);
    if (prop.IsBoolean()) return prop.Identifiers().at(value.toBool() ? 1 : 0);
    const qint64 raw = readEnumValue(value);
    if (prop.Kind() == TPropertyKind::Set) {
        QStringList members;
        for (qsizetype i = 0; i < prop.Identifiers().size(); ++i)
            if (raw & prop.IdentifierValues().at(i)) members.append(prop.Identifiers().at(i));
        return QLatin1Char('[') + members.join(QStringLiteral(", ")) + QLatin1Char(']');
    }
    for (qsizetype i = 0; i < prop.Identifiers().size(); ++i)
        if (prop.IdentifierValues().at(i) == raw) return prop.Identifiers().at(i);
    return QString::number(raw); // a value without identifier: keep it visible
}

} // namespace

QString PropertyToText(const QObject* obj, const TPropertyInfo& prop, const QObject* root,
                       TTextForm form) {
    if (!obj) throw ConversionError(QStringLiteral("No object to read %1 from").arg(prop.Name()));
    switch (prop.Kind()) {
    case TPropertyKind::Integer:
        return QString::number(prop.Meta().read(obj).toInt());
    case TPropertyKind::Enumeration:
    case TPropertyKind::Set:
        return enumText(obj, prop);
    case TPropertyKind::String: {
        const QString value = prop.Meta().read(obj).toString();
        return form == TTextForm::File ? quoteString(value) : value;
    }
    case TPropertyKind::Class:
        if (!prop.ClassType()) failNoTextForm(prop);
        return PathName(readReference(obj, prop), root);
    case TPropertyKind::Other:
        break;
    }
    failNoTextForm(prop);
}

namespace {

const TPropertyInfo& propertyNamed(const QObject* obj, QStringView name) {
    if (!obj) throw ConversionError(QStringLiteral("No object for property %1").arg(name));
    const TPropertyInfo* prop = FindProperty(obj->metaObject(), name);
    if (!prop)
        throw ConversionError(
            QStringLiteral("%1 has no property %2")
                .arg(QString::fromLatin1(obj->metaObject()->className()), name.toString()));
    return *prop;
}

QString identifierList(const TPropertyInfo& prop) {
    return prop.Identifiers().join(QStringLiteral(", "));
}

// The value of an enumeration identifier or ordinal.
int enumValue(const TPropertyInfo& prop, QStringView text) {
    const QStringView trimmed = text.trimmed();
    int ordinal = 0;
    switch (parseInteger(trimmed, &ordinal)) {
    case TIntegerParse::Ok:
        if (ordinal >= 0 && ordinal < prop.Identifiers().size())
            return prop.IdentifierValues().at(ordinal);
        [[fallthrough]];
    case TIntegerParse::OutOfRange:
        fail(prop, text,
             QStringLiteral("the ordinal is not between 0 and %1")
                 .arg(prop.Identifiers().size() - 1));
    case TIntegerParse::NotInteger:
        break;
    }
    const qsizetype index = prop.IdentifierIndex(trimmed);
    if (index < 0)
        fail(prop, text,
             QStringLiteral("not a value of %1 (%2)")
                 .arg(prop.IsBoolean() ? QStringLiteral("Boolean") : prop.TypeName(),
                      identifierList(prop)));
    return prop.IdentifierValues().at(index);
}

int setValue(const TPropertyInfo& prop, QStringView text) {
    const QStringView trimmed = text.trimmed();
    if (trimmed.size() < 2 || trimmed.front() != u'[' || trimmed.back() != u']')
        fail(prop, text, QStringLiteral("a set is written as [element, element]"));
    const QStringView inner = trimmed.mid(1, trimmed.size() - 2).trimmed();
    int bits = 0;
    if (inner.isEmpty()) return bits;
    for (QStringView part : inner.tokenize(u',')) {
        part = part.trimmed();
        if (part.isEmpty()) fail(prop, text, QStringLiteral("an element is missing"));
        const qsizetype index = prop.IdentifierIndex(part);
        if (index < 0)
            fail(prop, text,
                 QStringLiteral("%1 is not an element of %2 (%3)")
                     .arg(part.toString(), prop.TypeName(), identifierList(prop)));
        bits |= prop.IdentifierValues().at(index);
    }
    return bits;
}

QVariant referenceValue(const TPropertyInfo& prop, QStringView text, const TPathRoot& root) {
    if (!prop.ClassType()) failNoTextForm(prop);
    QObject* target = nullptr;
    if (!isNil(text.trimmed())) {
        target = ComponentByPath(root, text);
        if (!target) fail(prop, text, QStringLiteral("no object has this name"));
        if (!IsInstanceOf(target, prop.ClassType()))
            fail(prop, text,
                 QStringLiteral("a %1 is not a %2")
                     .arg(QString::fromLatin1(target->metaObject()->className()),
                          plainTypeName(prop.ClassType()->className())));
    }
    // QObject is the first base of every object class, so the pointer needs no adjusting.
    return QVariant(prop.Meta().metaType(), &target);
}

} // namespace

qsizetype TPropertyInfo::IdentifierIndex(QStringView identifier) const {
    return m_identifierAt.value(folded(identifier), -1);
}

QString PropertyToText(const QObject* obj, QStringView name, const QObject* root, TTextForm form) {
    return PropertyToText(obj, propertyNamed(obj, name), root, form);
}

void TextToProperty(QObject* obj, const TPropertyInfo& prop, QStringView text,
                    const TPathRoot& root, TTextForm form) {
    if (!obj) throw ConversionError(QStringLiteral("No object to write %1 to").arg(prop.Name()));
    if (!prop.IsWritable())
        throw ConversionError(QStringLiteral("Property %1 is read-only").arg(prop.Name()));
    QVariant value;
    switch (prop.Kind()) {
    case TPropertyKind::Integer: {
        int number = 0;
        switch (parseInteger(text, &number)) {
        case TIntegerParse::Ok:
            break;
        case TIntegerParse::NotInteger:
            fail(prop, text, QStringLiteral("not an integer"));
        case TIntegerParse::OutOfRange:
            fail(prop, text, QStringLiteral("outside the 32-bit integer range"));
        }
        value = number;
        break;
    }
    case TPropertyKind::Enumeration:
        if (prop.IsBoolean())
            value = enumValue(prop, text) != 0;
        else
            value = enumVariant(prop.Meta().metaType(), enumValue(prop, text));
        break;
    case TPropertyKind::Set:
        value = enumVariant(prop.Meta().metaType(), setValue(prop, text));
        break;
    case TPropertyKind::String:
        if (form == TTextForm::Editor) {
            value = text.toString();
        } else {
            QString string;
            if (!unquoteString(text, &string))
                fail(prop, text,
                     QStringLiteral("not a quoted string ('text', with '' for a quote and #nn "
                                    "for the character of code nn)"));
            value = string;
        }
        break;
    case TPropertyKind::Class:
        value = referenceValue(prop, text, root);
        break;
    case TPropertyKind::Other:
        failNoTextForm(prop);
    }
    if (!prop.Meta().write(obj, std::move(value)))
        fail(prop, text, QStringLiteral("the property did not take the value"));
}

void TextToProperty(QObject* obj, QStringView name, QStringView text, const TPathRoot& root,
                    TTextForm form) {
    TextToProperty(obj, propertyNamed(obj, name), text, root, form);
}

} // namespace PropertyText
