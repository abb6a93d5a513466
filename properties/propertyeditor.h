#pragma once

#include <QGroupBox>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "properties/propertytext.h"

class QAbstractButton;
class QComboBox;
class QLabel;
class QLineEdit;
class QToolButton;

// Kinds of published properties, numbered as board files and older tools count them; only six of
// them have an editor (integer, enumeration, short string, set, class, long string).
enum class TTypeKind {
    tkUnknown = 0,
    tkInteger = 1,
    tkChar = 2,
    tkEnumeration = 3,
    tkFloat = 4,
    tkString = 5,
    tkSet = 6,
    tkClass = 7,
    tkMethod = 8,
    tkWChar = 9,
    tkLString = 10,
};
// A set of kinds: bit n stands for kind n.
using TTypeKinds = quint32;
inline constexpr TTypeKinds DefaultAcceptTypes = 1258; // 1, 3, 5, 6, 7, 10
inline constexpr TTypeKinds KindBit(TTypeKind kind) {
    return TTypeKinds(1) << int(kind);
}
// The kind a published property counts as (strings are long strings).
TTypeKind KindOf(const PropertyText::TPropertyInfo& prop);

// The published properties of a class whose kinds are in a set, sorted by name (letter case
// ignored). Holds only pointers into the program-long property tables.
class TPropInfoList {
public:
    TPropInfoList(const QMetaObject* cls, TTypeKinds kinds);
    int Count() const { return int(m_items.size()); }
    const PropertyText::TPropertyInfo* Items(int index) const { return m_items.at(index); }

private:
    QList<const PropertyText::TPropertyInfo*> m_items;
};

// A vertical list of toggle buttons, 18 pixels high each and as wide as the list; a click
// inverts the button and then reports it.
class TDesignButtonGroup : public QWidget {
    Q_OBJECT

public:
    static constexpr int ButtonHeight = 18;

    explicit TDesignButtonGroup(QWidget* parent = nullptr);

    void SetItems(const QStringList& captions);
    int Count() const { return int(m_buttons.size()); }
    QString Caption(int index) const;
    bool Checked(int index) const;
    void SetChecked(int index, bool on);
    QToolButton* Button(int index) const { return m_buttons.at(index); }

    // Raised after a click has inverted the button.
    std::function<void(int index)> OnButtonClicked;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QList<QToolButton*> m_buttons;
};

// One row of the grid: a caption and an editor suited to the property's kind. The label and the
// editor belong to the row's owner widget and are destroyed with the row.
struct TPropertyEditorsItem {
    TPropertyEditorsItem() = default;
    ~TPropertyEditorsItem();
    TPropertyEditorsItem(const TPropertyEditorsItem&) = delete;
    TPropertyEditorsItem& operator=(const TPropertyEditorsItem&) = delete;

    QLabel* Label = nullptr;
    // QLineEdit, QComboBox (editable for a text row with suggested values) or TDesignButtonGroup
    QWidget* Editor = nullptr;
    QString PropName;
    TTypeKind Kind = TTypeKind::tkUnknown;
    const PropertyText::TPropertyInfo* Info = nullptr;
    const QMetaObject* PropClass = nullptr; // class rows: the referenced class
    bool Changed = false;                   // text rows: typed since the last write
};
using TPropertyEditors = std::vector<std::unique_ptr<TPropertyEditorsItem>>;

// The property grid: shows the published properties of one object as rows and writes the user's
// changes straight back through the property-text conversions. It never owns the object.
class TPropertyEditor : public QGroupBox {
    Q_OBJECT

public:
    using TValueChangedEvent = std::function<void(QObject* sender, const QString& propName)>;
    using TAcceptPropertyEvent = std::function<void(QObject* sender, const QMetaObject* cls,
                                                    const QString& propName, bool& accept)>;
    using TNotifyEvent = std::function<void(QObject* sender)>;
    // Wraps every write into the edited object: the hook runs `write` (which may throw) and may
    // note the object's state around it, as the editor's undo does.
    using TWriteHook =
        std::function<void(QObject* obj, const QString& propName, const std::function<void()>&)>;
    // A value offered by name in a text row's drop-down: choosing it writes Value.
    struct TSuggestion {
        QString Caption; // "P1 ($90)"
        QString Value;   // "$90"
    };
    // The values a text row offers besides what the user types; none gives a plain text field.
    using TSuggestValuesEvent =
        std::function<QList<TSuggestion>(const QMetaObject* cls, const QString& propName)>;

    static constexpr int DefaultCaptionWidth = 100;

    explicit TPropertyEditor(QWidget* parent = nullptr);
    ~TPropertyEditor() override;

    TTypeKinds AcceptTypes() const { return m_acceptTypes; }
    // Kinds outside the six that have an editor are dropped.
    void SetAcceptTypes(TTypeKinds kinds);
    int CaptionWidth() const { return m_captionWidth; }
    void SetCaptionWidth(int width);
    QObject* SearchClassFrom() const { return m_root.Root; }
    void SetSearchClassFrom(QObject* root);
    // The same with the root's own ownership order and name lookup (the board's).
    void SetSearchRoot(const PropertyText::TPathRoot& root);

    TValueChangedEvent OnValueChanged;
    TAcceptPropertyEvent OnAcceptProp;
    TNotifyEvent OnChange;
    TWriteHook OnWriteProperty;
    TSuggestValuesEvent OnSuggestValues;

    // Shows obj (none: caption "nil", no rows). A text still being typed goes into the object
    // shown until now first. Giving the object already shown does nothing.
    void SetObject(QObject* obj);
    QObject* EditedObject() const { return m_object.data(); }
    // Re-reads every editor from the object.
    void UpdateValues();
    // Writes a text field's typed text, if any, into the object shown.
    void CommitPendingText();

    const TPropertyEditors& Rows() const { return m_rows; }
    // The row of a property (exact name), or nullptr.
    TPropertyEditorsItem* Row(const QString& propName) const;
    // The field a text row is typed into (its own, or its drop-down's), or nullptr.
    static QLineEdit* TextField(const TPropertyEditorsItem& row);
    // Whether a widget is one of the rows' caption labels.
    bool IsCaptionLabel(const QWidget* widget) const;
    // The least height that shows every row.
    int RowsHeight() const { return m_rowsHeight; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ClearRows();
    void BuildRows(QObject* obj);
    void AddRow(const PropertyText::TPropertyInfo& prop, bool writable,
                const QList<std::pair<QString, QObject*>>& candidates);
    void LayoutRows();
    void UpdateRow(TPropertyEditorsItem& row);
    void UpdateValuesExcept(const TPropertyEditorsItem* skip);
    // The write paths: text field, list, set button.
    void TextDone(TPropertyEditorsItem* row);
    void ListChanged(TPropertyEditorsItem* row);
    void SuggestionChosen(TPropertyEditorsItem* row, int index);
    void SetButtonClicked(TPropertyEditorsItem* row);
    // Runs one write with the hooks and events around it; false when it failed (reported).
    bool Write(TPropertyEditorsItem* row, const QString& text);
    // Every named object under the root in ownership order, with its path name, the object shown
    // and its parts left out.
    QList<std::pair<QString, QObject*>> Candidates(const QObject* skip) const;

    TTypeKinds m_acceptTypes = DefaultAcceptTypes;
    int m_captionWidth = DefaultCaptionWidth;
    PropertyText::TPathRoot m_root;
    QPointer<QObject> m_object;
    TPropertyEditors m_rows;
    int m_rowsHeight = 0;
    bool m_updating = false; // filling editors: their change signals are not the user's
    bool m_writing = false;  // a write (and its error box) is under way
};
