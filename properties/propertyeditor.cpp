#include "properties/propertyeditor.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QResizeEvent>
#include <QStringListModel>
#include <QToolButton>
#include <algorithm>

#include "platform/dialogs.h"

using namespace PropertyText;

namespace {

constexpr int RowGap = 2;
constexpr int FirstRowTop = 12;
constexpr int Margin = 8;
constexpr int BottomMargin = 12;
constexpr int ListLines = 15;

bool lessByName(const QString& a, const QString& b) {
    const int byCase = a.compare(b, Qt::CaseInsensitive);
    return byCase != 0 ? byCase < 0 : a < b;
}

// "TLED" -> "LED": the class name without a leading T of any case.
QString shortClassName(const char* className) {
    QString name = QString::fromLatin1(className);
    const qsizetype scope = name.lastIndexOf(QLatin1String("::"));
    if (scope >= 0) name = name.mid(scope + 2);
    if (name.startsWith(QLatin1Char('T'), Qt::CaseInsensitive)) name.remove(0, 1);
    return name;
}

} // namespace

TTypeKind KindOf(const TPropertyInfo& prop) {
    switch (prop.Kind()) {
    case TPropertyKind::Integer:
        return TTypeKind::tkInteger;
    case TPropertyKind::Enumeration:
        return TTypeKind::tkEnumeration;
    case TPropertyKind::Set:
        return TTypeKind::tkSet;
    case TPropertyKind::String:
        return TTypeKind::tkLString;
    case TPropertyKind::Class:
        return TTypeKind::tkClass;
    case TPropertyKind::Other:
        break;
    }
    return TTypeKind::tkUnknown;
}

// ---------------------------------------------------------------- TPropInfoList

TPropInfoList::TPropInfoList(const QMetaObject* cls, TTypeKinds kinds) {
    for (const TPropertyInfo& prop : PublishedProperties(cls))
        if (kinds & KindBit(KindOf(prop))) m_items.append(&prop);
    std::stable_sort(m_items.begin(), m_items.end(),
                     [](const TPropertyInfo* a, const TPropertyInfo* b) {
                         return lessByName(a->Name(), b->Name());
                     });
}

// ---------------------------------------------------------------- TDesignButtonGroup

TDesignButtonGroup::TDesignButtonGroup(QWidget* parent) : QWidget(parent) {
    // A checked element must read as checked at a glance, whatever the style draws for a toggle.
    setStyleSheet(QStringLiteral("QToolButton { border: 1px solid palette(mid); border-radius: 2px;"
                                 " background: palette(button); }"
                                 "QToolButton:checked { background: palette(highlight); color: "
                                 "palette(highlighted-text); }"));
}

void TDesignButtonGroup::SetItems(const QStringList& captions) {
    qDeleteAll(m_buttons);
    m_buttons.clear();
    for (const QString& caption : captions) {
        auto* button = new QToolButton(this);
        button->setText(caption);
        button->setCheckable(true);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        button->show();
        const int index = int(m_buttons.size());
        connect(button, &QToolButton::clicked, this, [this, index] {
            if (OnButtonClicked) OnButtonClicked(index);
        });
        m_buttons.append(button);
    }
    setFixedHeight(int(m_buttons.size()) * ButtonHeight);
    resizeEvent(nullptr);
}

QString TDesignButtonGroup::Caption(int index) const {
    return m_buttons.at(index)->text();
}

bool TDesignButtonGroup::Checked(int index) const {
    return m_buttons.at(index)->isChecked();
}

void TDesignButtonGroup::SetChecked(int index, bool on) {
    m_buttons.at(index)->setChecked(on);
}

void TDesignButtonGroup::resizeEvent(QResizeEvent*) {
    for (int i = 0; i < m_buttons.size(); ++i)
        m_buttons[i]->setGeometry(0, i * ButtonHeight, width(), ButtonHeight);
}

// ---------------------------------------------------------------- rows

TPropertyEditorsItem::~TPropertyEditorsItem() {
    delete Editor;
    delete Label;
}

// ---------------------------------------------------------------- TPropertyEditor

TPropertyEditor::TPropertyEditor(QWidget* parent) : QGroupBox(parent) {
    m_root.Root = QCoreApplication::instance();
    setTitle(QStringLiteral("nil"));
    // Lists drop down as lists of 15 lines, also in styles whose pop-ups are menus of any length.
    setStyleSheet(QStringLiteral("QComboBox { combobox-popup: 0; }"));
}

TPropertyEditor::~TPropertyEditor() {
    m_updating = true; // the rows' editors go without writing anything
    m_rows.clear();
}

void TPropertyEditor::SetAcceptTypes(TTypeKinds kinds) {
    m_acceptTypes = kinds & DefaultAcceptTypes;
}

void TPropertyEditor::SetCaptionWidth(int width) {
    m_captionWidth = qMax(0, width);
    LayoutRows();
}

void TPropertyEditor::SetSearchClassFrom(QObject* root) {
    m_root = TPathRoot{root, {}, {}};
}

void TPropertyEditor::SetSearchRoot(const TPathRoot& root) {
    m_root = root;
}

TPropertyEditorsItem* TPropertyEditor::Row(const QString& propName) const {
    for (const auto& row : m_rows)
        if (row->PropName == propName) return row.get();
    return nullptr;
}

bool TPropertyEditor::IsCaptionLabel(const QWidget* widget) const {
    if (!widget) return false;
    for (const auto& row : m_rows)
        if (row->Label == widget) return true;
    return false;
}

void TPropertyEditor::CommitPendingText() {
    for (const auto& row : m_rows)
        if (row->Changed) {
            TextDone(row.get());
            return;
        }
}

void TPropertyEditor::SetObject(QObject* obj) {
    if (obj == m_object.data() && (obj || m_rows.empty())) return;
    CommitPendingText();
    setUpdatesEnabled(false);
    ClearRows();
    m_object = obj;
    if (!obj) {
        setTitle(QStringLiteral("nil"));
    } else {
        setTitle(shortClassName(obj->metaObject()->className()));
        try {
            BuildRows(obj);
        } catch (const std::exception&) {
            setUpdatesEnabled(true);
            throw;
        }
    }
    LayoutRows();
    setUpdatesEnabled(true);
}

void TPropertyEditor::ClearRows() {
    const bool updating = m_updating;
    m_updating = true;
    m_rows.clear();
    m_updating = updating;
    m_rowsHeight = 0;
}

QList<std::pair<QString, QObject*>> TPropertyEditor::Candidates(const QObject* skip) const {
    QList<std::pair<QString, QObject*>> found;
    // Depth first in ownership order; an explicit stack keeps deep ownership chains off the
    // call stack.
    struct Level {
        QList<QObject*> owned;
        qsizetype next;
        QString prefix;
    };
    std::vector<Level> stack;
    stack.push_back(Level{m_root.Owned(), 0, QString()});
    while (!stack.empty()) {
        Level& level = stack.back();
        if (level.next >= level.owned.size()) {
            stack.pop_back();
            continue;
        }
        QObject* object = level.owned[level.next++];
        if (!object || object == skip) continue;
        const QString name = object->objectName();
        // An owner without a name stops the path: what it owns is not reachable by name.
        if (name.isEmpty()) continue;
        const QString path = level.prefix + name;
        if (name != QLatin1String("DriverContact")) found.append({path, object});
        const QList<QObject*> children = object->children();
        if (!children.isEmpty()) stack.push_back(Level{children, 0, path + QLatin1Char('.')});
    }
    return found;
}

void TPropertyEditor::BuildRows(QObject* obj) {
    const TPropInfoList list(obj->metaObject(), m_acceptTypes);
    bool candidatesRead = false;
    QList<std::pair<QString, QObject*>> candidates;
    for (int i = 0; i < list.Count(); ++i) {
        const TPropertyInfo& prop = *list.Items(i);
        bool accept = true;
        if (OnAcceptProp) OnAcceptProp(this, obj->metaObject(), prop.Name(), accept);
        if (!accept) continue;
        if (KindOf(prop) == TTypeKind::tkClass && prop.ClassType() && !candidatesRead) {
            candidates = Candidates(obj);
            candidatesRead = true;
        }
        AddRow(prop, prop.IsWritable(), candidates);
    }
    UpdateValues();
    for (const auto& row : m_rows) {
        row->Label->show();
        row->Editor->show();
    }
}

void TPropertyEditor::AddRow(const TPropertyInfo& prop, bool writable,
                             const QList<std::pair<QString, QObject*>>& candidates) {
    auto row = std::make_unique<TPropertyEditorsItem>();
    TPropertyEditorsItem* item = row.get();
    item->PropName = prop.Name();
    item->Kind = KindOf(prop);
    item->Info = &prop;
    bool enabled = writable;
    auto* label = new QLabel(this);
    label->setAttribute(Qt::WA_TranslucentBackground);
    item->Label = label;
    switch (item->Kind) {
    case TTypeKind::tkInteger:
    case TTypeKind::tkString:
    case TTypeKind::tkLString: {
        const QList<TSuggestion> suggestions =
            OnSuggestValues && writable ? OnSuggestValues(m_object->metaObject(), prop.Name())
                                        : QList<TSuggestion>();
        QLineEdit* edit = nullptr;
        if (suggestions.isEmpty()) {
            edit = new QLineEdit(this);
            item->Editor = edit;
        } else {
            // Typed text as in a plain field; the drop-down offers the named values.
            auto* list = new QComboBox(this);
            list->setEditable(true);
            list->setInsertPolicy(QComboBox::NoInsert);
            list->setCompleter(nullptr); // a typed number is no prefix of a name
            for (const TSuggestion& suggestion : suggestions)
                list->addItem(suggestion.Caption, suggestion.Value);
            connect(list, &QComboBox::activated, this,
                    [this, item](int index) { SuggestionChosen(item, index); });
            edit = list->lineEdit();
            item->Editor = list;
        }
        edit->installEventFilter(this);
        connect(edit, &QLineEdit::textEdited, this, [item] { item->Changed = true; });
        connect(edit, &QLineEdit::returnPressed, this, [this, item] { TextDone(item); });
        break;
    }
    case TTypeKind::tkEnumeration:
    case TTypeKind::tkClass: {
        auto* list = new QComboBox(this);
        list->setEditable(false);
        list->setMaxVisibleItems(ListLines);
        // The row gives the width: no measuring of every entry (a board's contacts are many).
        list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        list->setMinimumContentsLength(4);
        if (item->Kind == TTypeKind::tkEnumeration) {
            list->addItems(prop.Identifiers());
        } else if (prop.ClassType()) {
            item->PropClass = prop.ClassType();
            QStringList names;
            for (const auto& [path, object] : candidates)
                if (IsInstanceOf(object, prop.ClassType())) names.append(path);
            std::sort(names.begin(), names.end(), lessByName);
            names.prepend(QStringLiteral("nil"));
            // One model for the whole list: a board's contacts run into the tens of thousands.
            list->setModel(new QStringListModel(names, list));
            // The open list is as wide as its longest path (measured once, not per entry).
            const QString* longest = &names.first();
            for (const QString& entry : names)
                if (entry.size() > longest->size()) longest = &entry;
            list->view()->setMinimumWidth(list->fontMetrics().horizontalAdvance(*longest) + 40);
        } else {
            // A class outside the object system: nothing to offer.
            list->addItem(QLatin1Char('(') + prop.TypeName() + QLatin1Char(')'));
            enabled = false;
        }
        connect(list, &QComboBox::currentIndexChanged, this, [this, item] { ListChanged(item); });
        item->Editor = list;
        break;
    }
    case TTypeKind::tkSet: {
        auto* group = new TDesignButtonGroup(this);
        group->SetItems(prop.Identifiers());
        group->OnButtonClicked = [this, item](int) { SetButtonClicked(item); };
        item->Editor = group;
        QFont bold = label->font();
        bold.setBold(true);
        label->setFont(bold);
        break;
    }
    default:
        delete label;
        return;
    }
    if (item->Kind == TTypeKind::tkSet) {
        label->setText(prop.Name() + QLatin1Char(':'));
    } else {
        label->setText(prop.Name());
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    }
    label->setToolTip(prop.Name());
    label->setEnabled(enabled);
    item->Editor->setEnabled(enabled);
    item->Editor->setProperty("row", int(m_rows.size()));
    m_rows.push_back(std::move(row));
}

void TPropertyEditor::LayoutRows() {
    const int w = width();
    // Below the caption, which Qt's styles draw taller than the 12 pixels of the row layout.
    int top = qMax(FirstRowTop, contentsRect().top() + RowGap);
    int bottom = 0;
    for (const auto& row : m_rows) {
        QLabel* label = row->Label;
        QWidget* editor = row->Editor;
        if (row->Kind == TTypeKind::tkSet) {
            const int labelHeight = QFontMetrics(label->font()).height() + 3;
            label->setGeometry(Margin, top, qMax(0, w - 2 * Margin), labelHeight);
            const int left = 18;
            editor->setGeometry(left, top + labelHeight + RowGap, qMax(0, w - left - 18),
                                editor->height());
        } else {
            const int left = m_captionWidth + Margin;
            const int height = editor->sizeHint().height();
            editor->setGeometry(left, top, qMax(0, w - left - Margin), height);
            // An overlong caption ends in an ellipsis rather than running under the editor.
            const int labelWidth = qMax(0, m_captionWidth - 4);
            label->setGeometry(Margin, top, labelWidth, height);
            label->setText(
                label->fontMetrics().elidedText(row->PropName, Qt::ElideRight, labelWidth));
        }
        bottom = editor->geometry().bottom() + 1;
        top = bottom + RowGap;
    }
    m_rowsHeight = m_rows.empty() ? 0 : bottom + BottomMargin;
    setMinimumHeight(m_rowsHeight);
}

void TPropertyEditor::resizeEvent(QResizeEvent* event) {
    QGroupBox::resizeEvent(event);
    if (!event || event->oldSize().width() != event->size().width()) LayoutRows();
}

bool TPropertyEditor::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut) {
        for (const auto& row : m_rows)
            if (row->Editor == watched || (row->Editor && TextField(*row) == watched)) {
                TextDone(row.get());
                break;
            }
    }
    return QGroupBox::eventFilter(watched, event);
}

// ---------------------------------------------------------------- values

void TPropertyEditor::UpdateValues() {
    UpdateValuesExcept(nullptr);
}

void TPropertyEditor::UpdateValuesExcept(const TPropertyEditorsItem* skip) {
    QObject* obj = m_object.data();
    if (!obj) return;
    const bool updating = m_updating;
    m_updating = true;
    for (const auto& row : m_rows)
        if (row.get() != skip) UpdateRow(*row);
    m_updating = updating;
}

void TPropertyEditor::UpdateRow(TPropertyEditorsItem& row) {
    QObject* obj = m_object.data();
    QString text;
    try {
        if (row.Kind == TTypeKind::tkClass && !row.PropClass) return;
        text = PropertyToText(obj, *row.Info, m_root.Root, TTextForm::Editor);
    } catch (const std::exception&) {
        return; // no text form: the editor stays as it is
    }
    switch (row.Kind) {
    case TTypeKind::tkInteger:
    case TTypeKind::tkString:
    case TTypeKind::tkLString:
        if (QLineEdit* edit = TextField(row)) {
            edit->setText(text);
            edit->setCursorPosition(0);
        }
        row.Changed = false;
        break;
    case TTypeKind::tkEnumeration: {
        auto* list = static_cast<QComboBox*>(row.Editor);
        list->setCurrentIndex(list->findText(text, Qt::MatchFixedString | Qt::MatchCaseSensitive));
        break;
    }
    case TTypeKind::tkClass: {
        auto* list = static_cast<QComboBox*>(row.Editor);
        const int at = list->findText(text, Qt::MatchFixedString | Qt::MatchCaseSensitive);
        list->setCurrentIndex(at < 0 ? 0 : at);
        break;
    }
    case TTypeKind::tkSet: {
        auto* group = static_cast<TDesignButtonGroup*>(row.Editor);
        // Members are compared whole: an element whose name is part of another's stays apart.
        QStringList members;
        for (QStringView part : QStringView(text).mid(1, text.size() - 2).tokenize(u','))
            members.append(part.trimmed().toString());
        for (int i = 0; i < group->Count(); ++i)
            group->SetChecked(i, members.contains(group->Caption(i)));
        break;
    }
    default:
        break;
    }
}

bool TPropertyEditor::Write(TPropertyEditorsItem* row, const QString& text) {
    QObject* obj = m_object.data();
    if (!obj || !row->Info) return false;
    const QString propName = row->PropName;
    const TPropertyInfo& prop = *row->Info;
    m_writing = true;
    try {
        const auto write = [&] { TextToProperty(obj, prop, text, m_root, TTextForm::Editor); };
        if (OnWriteProperty)
            OnWriteProperty(obj, propName, write);
        else
            write();
    } catch (const std::exception& error) {
        // The typed text stays for the user to mend; the other editors show what the object
        // holds.
        const bool isText = row->Kind != TTypeKind::tkEnumeration &&
                            row->Kind != TTypeKind::tkClass && row->Kind != TTypeKind::tkSet;
        const TPropertyEditorsItem* keep = isText ? row : nullptr;
        // Still writing while the report is up: the focus it takes must not write again.
        ReportError(this, error);
        m_writing = false;
        if (m_object) UpdateValuesExcept(keep);
        return false;
    }
    m_writing = false;
    // The object may have gone with the write (an undo step replacing it): nothing to show then.
    if (OnChange) OnChange(this);
    if (OnValueChanged) OnValueChanged(this, propName);
    UpdateValues();
    return true;
}

void TPropertyEditor::TextDone(TPropertyEditorsItem* row) {
    if (m_updating || m_writing || !row->Changed) return;
    QLineEdit* edit = TextField(*row);
    if (!edit) return;
    if (Write(row, edit->text())) row->Changed = false;
}

void TPropertyEditor::SuggestionChosen(TPropertyEditorsItem* row, int index) {
    if (m_updating || m_writing) return;
    auto* list = static_cast<QComboBox*>(row->Editor);
    const QString value = list->itemData(index).toString();
    // The field then shows the value as the grid writes it, not the entry's caption.
    if (Write(row, value))
        row->Changed = false;
    else if (m_object)
        UpdateValues();
}

QLineEdit* TPropertyEditor::TextField(const TPropertyEditorsItem& row) {
    if (auto* edit = qobject_cast<QLineEdit*>(row.Editor)) return edit;
    if (auto* list = qobject_cast<QComboBox*>(row.Editor))
        if (row.Kind == TTypeKind::tkInteger || row.Kind == TTypeKind::tkString ||
            row.Kind == TTypeKind::tkLString)
            return list->lineEdit();
    return nullptr;
}

void TPropertyEditor::ListChanged(TPropertyEditorsItem* row) {
    if (m_updating || m_writing) return;
    Write(row, static_cast<QComboBox*>(row->Editor)->currentText());
}

void TPropertyEditor::SetButtonClicked(TPropertyEditorsItem* row) {
    if (m_updating || m_writing) return;
    auto* group = static_cast<TDesignButtonGroup*>(row->Editor);
    QStringList members;
    for (int i = 0; i < group->Count(); ++i)
        if (group->Checked(i)) members.append(group->Caption(i));
    Write(row, QLatin1Char('[') + members.join(QStringLiteral(", ")) + QLatin1Char(']'));
}
