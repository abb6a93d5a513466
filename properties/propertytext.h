#pragma once

#include <QHash>
#include <QList>
#include <QMetaEnum>
#include <QMetaProperty>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <functional>

class QObject;
struct QMetaObject;

// The one place that turns published properties into text and back: the board file reader and
// writer, the property grid and the scenario runner all go through it, so the value forms below
// exist once.
//
// Published properties are the Q_PROPERTY declarations of Brelvan's own classes (class names
// beginning with "T"); the properties Qt's classes declare (objectName, geometry, toolTip …) are
// not published. Property names, identifiers and path names are matched without regard to case.
//
// Value forms (leading and trailing blanks of a text are ignored, except in an Editor string):
//   Integer      decimal or "$" hexadecimal, optional sign: 12, -7, $FF, -$10. The value must fit
//                in 32 signed bits; "$" digits are a magnitude like decimal ones ($FFFFFFFF is out
//                of range, -$80000000 is the lowest value).
//   Enumeration  an identifier of the type (any letter case) or its ordinal, the 0-based position
//                in declaration order. bool is the enumeration False, True.
//   Set          "[" identifiers separated by commas "]", "[]" for the empty set; written in the
//                elements' declaration order as [opa_RD, opa_WR]. The elements of a set type are
//                its one-bit values.
//   String       File form: quoted, 'it''s', with a doubled quote standing for one; pieces may be
//                joined directly or with "+", and #nn (decimal) or #$hh (hexadecimal) stands for
//                the character of that code: 'one'#13#10'two'. Control characters are written as
//                #nn so every string survives a line-based file. A text that starts and ends with
//                a quote but is no valid quoted notation (for example 'it's', from a writer that
//                did not double quotes) reads as the text between its first and last character.
//                Editor form: the text as it stands.
//   Class        the referenced object's path name (below) or "nil" for none. The object must be
//                an instance of the property's class.
//
// Path names: an object's path name is its objectName, prefixed by the names of its owners (QObject
// parents), each followed by a dot, up to and not including the root; an owner without a name
// also stops the prefixing (the board's objectName is empty). No object, or one without a name,
// gives "nil".
//
// Failures raise ConversionError (platform/errors.h) with a message naming the property and the
// offending text; a setter's own exception (ComponentError …) passes through unchanged.
//
// Property tables are built once per class and kept for the program's run. Everything here is for
// the GUI thread only.

namespace PropertyText {

enum class TPropertyKind {
    Integer,     // int
    Enumeration, // a Q_ENUM type, or bool
    Set,         // a Q_FLAG type
    String,      // QString
    Class,       // a pointer to a class
    Other,       // any other type: has no text form
};

// One published property of a class.
class TPropertyInfo {
public:
    // As declared.
    const QString& Name() const { return m_name; }
    TPropertyKind Kind() const { return m_kind; }
    // The most derived declaration of the name.
    const QMetaProperty& Meta() const { return m_meta; }
    bool IsWritable() const { return m_meta.isWritable(); }
    // The type's name without namespace or "*": "int", "bool", "TOrientation", "TPortActivated"
    // (a set type), "TDiodeCtl".
    const QString& TypeName() const { return m_typeName; }
    bool IsBoolean() const { return m_isBoolean; }
    // Enumeration: every identifier in declaration order (False, True for bool). Set: the
    // identifiers of its elements in declaration order. Empty for other kinds.
    const QStringList& Identifiers() const { return m_identifiers; }
    // The value of each identifier (for a set, the element's bit).
    const QList<int>& IdentifierValues() const { return m_values; }
    // The position of an identifier (any letter case) in Identifiers(), -1 when there is none.
    qsizetype IdentifierIndex(QStringView identifier) const;
    // Class: the class of the referenced objects, or nullptr when the pointee is not a QObject
    // class (such a property has no text form).
    const QMetaObject* ClassType() const { return m_classType; }

private:
    friend class TPropertyTable;
    QString m_name;
    QString m_typeName;
    TPropertyKind m_kind = TPropertyKind::Other;
    QMetaProperty m_meta;
    bool m_isBoolean = false;
    QStringList m_identifiers;
    QList<int> m_values;                // value of each identifier (a set: its bit)
    QHash<QString, int> m_identifierAt; // case-folded identifier -> position in m_identifiers
    const QMetaObject* m_classType = nullptr;
};

// The published properties of a class, in declaration order from the base class to the derived
// one. A name redeclared by a derived class is listed once, at its first position, with the
// derived declaration. Never null; the list lives as long as the program.
const QList<TPropertyInfo>& PublishedProperties(const QMetaObject* cls);
// The published property of that name (any letter case), nullptr when the class has none.
const TPropertyInfo* FindProperty(const QMetaObject* cls, QStringView name);

// The root a path starts from and how it answers for its objects. Below the root, an object owns
// its QObject children, in children() order. The board keeps its own ownership (creation) order
// and name index, and hands them in here; any other root answers through children().
struct TPathRoot {
    QObject* Root = nullptr;
    // The root's owned objects in ownership order; unset: Root->children().
    std::function<QList<QObject*>()> OwnedObjects;
    // The first owned object of the root with that name, compared without regard to case, or
    // nullptr; unset: a scan of OwnedObjects. Large roots should give it.
    std::function<QObject*(const QString& name)> FindOwned;

    QList<QObject*> Owned() const;
    QObject* FindOwnedByName(const QString& name) const;
};

// The objects owned by owner in ownership order: the root's list for the root, else its children.
QList<QObject*> OwnedObjects(const TPathRoot& root, const QObject* owner);

// The path name of obj below root (see above); "nil" for no object or one without a name.
QString PathName(const QObject* obj, const QObject* root);

// The object a path name stands for: "nil" (any case) gives nullptr; otherwise each dotted part is
// looked up, without regard to case, first among the objects owned by the previous one (the
// first in ownership order wins) and, when none has that name, as a published class-typed
// property of the previous object (so "Seg1.Segment_B" finds the segment the property holds).
// The first part not found ends the search with nullptr.
QObject* ComponentByPath(const TPathRoot& root, QStringView path);
QObject* ComponentByPath(QObject* root, QStringView path);

// Whether obj is an instance of cls (cls itself or a class derived from it).
bool IsInstanceOf(const QObject* obj, const QMetaObject* cls);

enum class TTextForm {
    File,   // strings quoted
    Editor, // strings as they stand
};

// The text form of obj's value of prop; references are path names below root. Throws
// ConversionError for a property without a text form.
QString PropertyToText(const QObject* obj, const TPropertyInfo& prop, const QObject* root,
                       TTextForm form = TTextForm::File);
// The same, with the property looked up by name (any case). Throws ConversionError when obj
// publishes no property of that name.
QString PropertyToText(const QObject* obj, QStringView name, const QObject* root,
                       TTextForm form = TTextForm::File);

// Converts text to a value of prop and writes it into obj; references are resolved with
// ComponentByPath from root. Throws ConversionError for a read-only property, a property without
// a text form, a text that is no value of the property's type, a path that names no object, an
// object of the wrong class, and a write that the property system refuses. Nothing is written
// when the conversion fails.
void TextToProperty(QObject* obj, const TPropertyInfo& prop, QStringView text,
                    const TPathRoot& root, TTextForm form = TTextForm::File);
// The same, with the property looked up by name (any case). Throws ConversionError when obj
// publishes no property of that name.
void TextToProperty(QObject* obj, QStringView name, QStringView text, const TPathRoot& root,
                    TTextForm form = TTextForm::File);

} // namespace PropertyText
