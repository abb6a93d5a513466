// The Edit menu: undo and redo through one stack, the clipboard as board-file text, Select All and
// moving the selection with the arrow keys.
#include "editor/editcommands.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QHash>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QUndoStack>
#include <algorithm>
#include <utility>

#include "editor/boardedits.h"
#include "editor/boardfile.h"
#include "editor/brelvanfrm.h"
#include "editor/brelvanprop.h"
#include "editor/componenttable.h"
#include "editor/selection.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "properties/propertyeditor.h"
#include "properties/propertytext.h"

using namespace PropertyText;

using BoardEdits::TGeometryCommand;
using BoardEdits::TStateCommand;

TEditCommands::TEditCommands(TfrmPlugin& window, TBoardSelection& selection)
    : m_window(window), m_selection(selection), m_undo(new QUndoStack(&window)) {}

void TEditCommands::CreateMenu() {
    m_menu = m_window.menuBar()->addMenu(QStringLiteral("&Edit"));
    m_menu->setObjectName(QStringLiteral("mnuEdit"));
    auto addItem = [this](const char* name, const QString& caption,
                          const QList<QKeySequence>& shortcuts, auto handler) {
        auto* action = m_menu->addAction(caption);
        action->setObjectName(QLatin1String(name));
        action->setShortcuts(shortcuts);
        QObject::connect(action, &QAction::triggered, &m_window,
                         [this, handler] { m_window.Guard([&] { handler(); }); });
        return action;
    };
    m_miUndo =
        addItem("miUndo", QStringLiteral("&Undo"), {QKeySequence(Qt::CTRL | Qt::Key_Z)}, [this] {
            // A text still being typed in the grid is a step of its own first.
            m_window.PropertiesWindow()->PropEdit()->CommitPendingText();
            m_undo->undo();
        });
    m_miRedo = addItem(
        "miRedo", QStringLiteral("&Redo"),
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)},
        [this] {
            m_window.PropertiesWindow()->PropEdit()->CommitPendingText();
            m_undo->redo();
        });
    m_menu->addSeparator();
    addItem("miCut", QStringLiteral("Cu&t"), {QKeySequence(Qt::CTRL | Qt::Key_X)},
            [this] { CutClick(); });
    addItem("miCopy", QStringLiteral("&Copy"), {QKeySequence(Qt::CTRL | Qt::Key_C)},
            [this] { CopyClick(); });
    addItem("miPaste", QStringLiteral("&Paste"), {QKeySequence(Qt::CTRL | Qt::Key_V)},
            [this] { PasteClick(); });
    // The same as the Delete key over the board; the menu shows that it exists.
    addItem("miDelete", QStringLiteral("&Delete"), {QKeySequence(Qt::Key_Delete)}, [this] {
        if (!m_window.Running()) DeleteSelected(QStringLiteral("Delete"));
    });
    addItem("miDuplicate", QStringLiteral("&Duplicate"), {QKeySequence(Qt::CTRL | Qt::Key_D)},
            [this] { DuplicateClick(); });
    m_menu->addSeparator();
    addItem("miSelectAll", QStringLiteral("Select &All"), {QKeySequence(Qt::CTRL | Qt::Key_A)},
            [this] { SelectAllClick(); });
    QObject::connect(m_undo, &QUndoStack::canUndoChanged, &m_window,
                     [this] { UpdateUndoActions(); });
    QObject::connect(m_undo, &QUndoStack::canRedoChanged, &m_window,
                     [this] { UpdateUndoActions(); });
    QObject::connect(m_undo, &QUndoStack::undoTextChanged, &m_window, [this](const QString& text) {
        m_miUndo->setText(text.isEmpty() ? QStringLiteral("&Undo")
                                         : QStringLiteral("&Undo ") + text);
    });
    QObject::connect(m_undo, &QUndoStack::redoTextChanged, &m_window, [this](const QString& text) {
        m_miRedo->setText(text.isEmpty() ? QStringLiteral("&Redo")
                                         : QStringLiteral("&Redo ") + text);
    });
    UpdateUndoActions();
}

void TEditCommands::UpdateUndoActions() {
    if (!m_miUndo) return;
    m_miUndo->setEnabled(!m_window.Running() && m_undo->canUndo());
    m_miRedo->setEnabled(!m_window.Running() && m_undo->canRedo());
}

// ---------------------------------------------------------------- steps

void TEditCommands::PushStateStep(const QString& text, TBoardState before, TBoardState after) {
    m_undo->push(new TStateCommand(&m_window, text, std::move(before), std::move(after)));
}

void TEditCommands::WriteProperty(QObject* obj, const QString& propName,
                                  const std::function<void()>& write) {
    TBoardSurface* board = m_window.Board();
    m_writeRecorded = false;
    auto* component = qobject_cast<TOrvexGraphicComponent*>(obj);
    if (!component || component->parent() != board || m_applying || m_window.Running()) {
        write();
        return;
    }
    TBoardState before = BoardEdits::Capture(board, {component});
    write(); // a component refuses an empty name itself
    m_writeRecorded = true;
    TBoardState after = BoardEdits::Capture(board, {component});
    if (after == before) return; // the same value again: nothing to undo
    PushStateStep(QStringLiteral("%1 of %2").arg(propName, component->Name()), std::move(before),
                  std::move(after));
}

bool TEditCommands::TakeWriteRecorded() {
    return std::exchange(m_writeRecorded, false);
}

void TEditCommands::GeometryStep(const QString& text, const QList<QWidget*>& widgets,
                                 const std::function<void()>& change) {
    QStringList names;
    QList<QRect> before;
    for (const QWidget* widget : widgets) {
        names.append(widget->objectName());
        before.append(widget->geometry());
    }
    change();
    QList<QRect> after;
    bool changed = false;
    for (qsizetype i = 0; i < widgets.size(); ++i) {
        after.append(widgets[i]->geometry());
        changed = changed || after[i] != before[i];
    }
    if (changed)
        m_undo->push(new TGeometryCommand(&m_window, text, m_dragSession, names, before, after));
}

void TEditCommands::ApplyGeometry(const QStringList& names, const QList<QRect>& rects) {
    for (qsizetype i = 0; i < names.size() && i < rects.size(); ++i)
        if (auto* widget = qobject_cast<QWidget*>(m_window.Board()->FindOwnedName(names[i])))
            widget->setGeometry(rects[i]);
    m_window.Board()->update();
}

void TEditCommands::ApplyBoardState(const QStringList& removeNames, const TBoardState& state) {
    TBoardSurface* board = m_window.Board();
    const bool applying = m_applying;
    m_applying = true;
    m_selection.ClearSelection(nullptr);
    QList<TOrvexGraphicComponent*> restored;
    try {
        BoardEdits::Remove(board, removeNames);
        restored = BoardEdits::Restore(board, state, [this](TOrvexGraphicComponent* component) {
            component->setToolTip(QString());
            m_window.WireComponent(component);
        });
    } catch (const std::exception& error) {
        m_applying = applying;
        ReportError(&m_window, error);
        return;
    }
    m_applying = applying;
    m_selection.ShowRestored(restored);
    board->update();
}

void TEditCommands::DeleteSelected(const QString& text) {
    const QList<TOrvexGraphicComponent*> doomed = m_selection.SelectedComponents();
    if (doomed.isEmpty()) return;
    TBoardState before = BoardEdits::Capture(m_window.Board(), doomed);
    m_selection.Forget();
    m_selection.SetEditedObject(nullptr);
    QList<QPointer<TOrvexGraphicComponent>> going(doomed.cbegin(), doomed.cend());
    for (const QPointer<TOrvexGraphicComponent>& component : going)
        delete component.data();
    m_selection.ClearSelection(nullptr);
    PushStateStep(text, std::move(before), TBoardState());
    // An untitled board emptied holds nothing to lose.
    if (m_window.FileName().isEmpty() && m_window.Board()->OwnedComponents().isEmpty())
        m_undo->setClean();
}

void TEditCommands::MoveSelectionBy(int dx, int dy) {
    const QList<TOrvexGraphicComponent*> selected = m_selection.SelectedComponents();
    QList<QWidget*> widgets(selected.cbegin(), selected.cend());
    ++m_dragSession;
    GeometryStep(QStringLiteral("Move"), widgets, [&] {
        for (QWidget* widget : widgets)
            m_window.MoveComponentBy(widget, dx, dy);
    });
    ++m_dragSession;
}

// ---------------------------------------------------------------- clipboard

QString TEditCommands::SelectionText() const {
    const QList<TOrvexGraphicComponent*> selected = m_selection.SelectedComponents();
    if (selected.isEmpty()) return QString();
    // In ownership order, with the references to components outside them as they stand: a
    // paste keeps the wires whose partners it finds.
    TBoardSurface* board = m_window.Board();
    const QSet<const TOrvexGraphicComponent*> inside(selected.cbegin(), selected.cend());
    QList<TOrvexGraphicComponent*> ordered;
    for (TOrvexGraphicComponent* component : board->OwnedComponents())
        if (inside.contains(component) && !component->Name().isEmpty()) ordered.append(component);
    return BoardFile::WriteSelection(board, ordered, m_window.GridSize());
}

void TEditCommands::PasteText(const QString& text) {
    TBoardSurface* board = m_window.Board();
    const int grid = m_window.GridSize();
    const int pasteCount = text == m_lastPasted ? m_pasteCount + 1 : 1;
    TBoardState state;
    struct TOutsideReference {
        QString Name; // of the pasted component, as it is called on the board
        QString Property;
        QString Value;
    };
    QList<TOutsideReference> outside;
    {
        TBoardSurface scratch(nullptr);
        const BoardFile::TReadResult read = BoardFile::ReadBoard(&scratch, QStringView(text), grid);
        if (read.Error)
            throw ComponentError(
                QStringLiteral("Nothing was pasted.\n\n%1").arg(read.Error->Describe()));
        const QList<TOrvexGraphicComponent*> pasted = scratch.OwnedComponents();
        if (pasted.isEmpty())
            throw ComponentError(
                QStringLiteral("Nothing was pasted: the clipboard holds no board components."));
        const qsizetype room = BoardFile::MaxComponents - board->OwnedComponents().size();
        if (pasted.size() > room)
            throw ComponentError(
                QStringLiteral("Nothing was pasted: a board holds at most %1 components; this one "
                               "has room for %2 more, the clipboard holds %3.")
                    .arg(BoardFile::MaxComponents)
                    .arg(std::max<qsizetype>(room, 0))
                    .arg(pasted.size()));
        // Fresh names where the board has them already; a name free on both is taken. The
        // search goes on from where the last one of the same kind stopped, so that many clashing
        // names cost one pass.
        QHash<QString, int> nextNumber;
        const int offset = PasteSteps * grid * pasteCount;
        for (TOrvexGraphicComponent* component : pasted) {
            component->move(component->pos() + QPoint(offset, offset));
            if (!board->FindOwnedName(component->Name())) continue;
            const QString base =
                ComponentTable::ShortName(QLatin1String(component->metaObject()->className()));
            int& n = nextNumber[base.toLower()];
            if (n == 0) n = 1;
            while (board->FindOwnedName(base + QString::number(n)) ||
                   scratch.FindOwnedName(base + QString::number(n)))
                ++n;
            component->SetName(base + QString::number(n++));
        }
        state = BoardEdits::Capture(&scratch, pasted);
        for (const BoardFile::TLeftOutReference& reference : read.LeftOutReferences)
            if (reference.Component)
                outside.append({reference.Component->Name(), reference.Property, reference.Value});
    }
    const QList<TOrvexGraphicComponent*> restored =
        BoardEdits::Restore(board, state, [this](TOrvexGraphicComponent* component) {
            component->setToolTip(QString());
            m_window.WireComponent(component);
        });
    // References to components outside the pasted ones: kept where the board has the partner.
    const TPathRoot root{board, [board] { return board->OwnedObjects(); },
                         [board](const QString& name) { return board->FindOwnedName(name); }};
    QStringList lost;
    // A write makes its partner the contact's first: from the last line to the first, so that
    // of several lines of one property the first one's partner ends up first, as in the
    // original.
    for (auto it = outside.crbegin(); it != outside.crend(); ++it) {
        const TOutsideReference& reference = *it;
        auto* holder = qobject_cast<TOrvexGraphicComponent*>(board->FindOwnedName(reference.Name));
        const TPropertyInfo* prop =
            holder ? FindProperty(holder->metaObject(), reference.Property) : nullptr;
        bool kept = false;
        if (prop && ComponentByPath(root, reference.Value)) {
            try {
                BoardFile::ApplyReference(holder, *prop, reference.Value, root);
                kept = true;
            } catch (const ConversionError&) {
                // a partner of another kind: reported below
            }
        }
        if (!kept)
            lost.prepend(QStringLiteral("%1.%2 = %3")
                             .arg(reference.Name, reference.Property, reference.Value));
    }
    m_lastPasted = text;
    m_pasteCount = pasteCount;
    m_selection.ShowRestored(restored);
    PushStateStep(QStringLiteral("Paste"), TBoardState(), BoardEdits::Capture(board, restored));
    if (!lost.isEmpty())
        Dialogs().ShowMessage(&m_window, MessageIcon::Warning, QStringLiteral("Warning"),
                              QStringLiteral("The components were pasted without these wires; "
                                             "their partners are not on this board:\n") +
                                  lost.mid(0, 20).join(QStringLiteral("\n")) +
                                  (lost.size() > 20
                                       ? QStringLiteral("\n... and %1 more").arg(lost.size() - 20)
                                       : QString()));
}

void TEditCommands::CopyClick() {
    if (m_window.Running()) return;
    const QString text = SelectionText();
    if (text.isEmpty()) return;
    QGuiApplication::clipboard()->setText(text);
    m_pasteCount = 0; // copied again: the next paste is the first
}

void TEditCommands::CutClick() {
    if (m_window.Running()) return;
    const QString text = SelectionText();
    if (text.isEmpty()) return;
    QGuiApplication::clipboard()->setText(text);
    m_pasteCount = 0;
    DeleteSelected(QStringLiteral("Cut"));
}

void TEditCommands::PasteClick() {
    if (m_window.Running()) return;
    PasteText(QGuiApplication::clipboard()->text());
}

void TEditCommands::DuplicateClick() {
    if (m_window.Running()) return;
    const QString text = SelectionText();
    if (!text.isEmpty()) PasteText(text);
}

void TEditCommands::SelectAllClick() {
    if (m_window.Running()) return;
    const QList<TOrvexGraphicComponent*> all = m_window.Board()->ComponentsInChildOrder();
    m_selection.ShowRestored(all);
}
