// The Edit menu: undo and redo through one stack, the clipboard as board-file text, Select All and
// moving the selection with the arrow keys.
#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QUndoStack>

#include "editor/boardedits.h"
#include "editor/boardfile.h"
#include "editor/brelvanfrm.h"
#include "editor/componenttable.h"
#include "platform/errors.h"
#include "editor/brelvanprop.h"
#include "properties/propertyeditor.h"

using BoardEdits::TGeometryCommand;
using BoardEdits::TStateCommand;

void TfrmPlugin::CreateEditMenu() {
    m_mnuEdit = menuBar()->addMenu(QStringLiteral("&Edit"));
    m_mnuEdit->setObjectName(QStringLiteral("mnuEdit"));
    auto addItem = [this](const char* name, const QString& caption,
                          const QList<QKeySequence>& shortcuts, auto handler) {
        auto* action = m_mnuEdit->addAction(caption);
        action->setObjectName(QLatin1String(name));
        action->setShortcuts(shortcuts);
        connect(action, &QAction::triggered, this, [this, handler] { Guard([&] { handler(); }); });
        return action;
    };
    m_miUndo =
        addItem("miUndo", QStringLiteral("&Undo"), {QKeySequence(Qt::CTRL | Qt::Key_Z)}, [this] {
            // A text still being typed in the grid is a step of its own first.
            m_frmProp->PropEdit()->CommitPendingText();
            m_undo->undo();
        });
    m_miRedo = addItem(
        "miRedo", QStringLiteral("&Redo"),
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)},
        [this] {
            m_frmProp->PropEdit()->CommitPendingText();
            m_undo->redo();
        });
    m_mnuEdit->addSeparator();
    addItem("miCut", QStringLiteral("Cu&t"), {QKeySequence(Qt::CTRL | Qt::Key_X)},
            [this] { CutClick(); });
    addItem("miCopy", QStringLiteral("&Copy"), {QKeySequence(Qt::CTRL | Qt::Key_C)},
            [this] { CopyClick(); });
    addItem("miPaste", QStringLiteral("&Paste"), {QKeySequence(Qt::CTRL | Qt::Key_V)},
            [this] { PasteClick(); });
    addItem("miDuplicate", QStringLiteral("&Duplicate"), {QKeySequence(Qt::CTRL | Qt::Key_D)},
            [this] { DuplicateClick(); });
    m_mnuEdit->addSeparator();
    addItem("miSelectAll", QStringLiteral("Select &All"), {QKeySequence(Qt::CTRL | Qt::Key_A)},
            [this] { SelectAllClick(); });
    connect(m_undo, &QUndoStack::canUndoChanged, this, [this] { UpdateUndoActions(); });
    connect(m_undo, &QUndoStack::canRedoChanged, this, [this] { UpdateUndoActions(); });
    connect(m_undo, &QUndoStack::undoTextChanged, this, [this](const QString& text) {
        m_miUndo->setText(text.isEmpty() ? QStringLiteral("&Undo")
                                         : QStringLiteral("&Undo ") + text);
    });
    connect(m_undo, &QUndoStack::redoTextChanged, this, [this](const QString& text) {
        m_miRedo->setText(text.isEmpty() ? QStringLiteral("&Redo")
                                         : QStringLiteral("&Redo ") + text);
    });
    UpdateUndoActions();
}

void TfrmPlugin::UpdateUndoActions() {
    if (!m_miUndo) return;
    m_miUndo->setEnabled(!m_running && m_undo->canUndo());
    m_miRedo->setEnabled(!m_running && m_undo->canRedo());
}

// ---------------------------------------------------------------- steps

void TfrmPlugin::PushStateStep(const QString& text, TBoardState before, TBoardState after) {
    m_undo->push(new TStateCommand(this, text, std::move(before), std::move(after)));
}

void TfrmPlugin::WriteProperty(QObject* obj, const QString& propName,
                               const std::function<void()>& write) {
    m_writeRecorded = false;
    auto* component = qobject_cast<TOrvexGraphicComponent*>(obj);
    if (!component || component->parent() != Board() || m_applying || m_running) {
        write();
        return;
    }
    TBoardState before = BoardEdits::Capture(Board(), {component});
    write(); // a component refuses an empty name itself
    m_writeRecorded = true;
    TBoardState after = BoardEdits::Capture(Board(), {component});
    if (after == before) return; // the same value again: nothing to undo
    PushStateStep(QStringLiteral("%1 of %2").arg(propName, component->Name()), std::move(before),
                  std::move(after));
}

void TfrmPlugin::GeometryStep(const QString& text, const QList<QWidget*>& widgets,
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
        m_undo->push(new TGeometryCommand(this, text, m_dragSession, names, before, after));
}

void TfrmPlugin::ApplyGeometry(const QStringList& names, const QList<QRect>& rects) {
    for (qsizetype i = 0; i < names.size() && i < rects.size(); ++i)
        if (auto* widget = qobject_cast<QWidget*>(Board()->FindOwnedName(names[i])))
            widget->setGeometry(rects[i]);
    Board()->update();
}

void TfrmPlugin::ApplyBoardState(const QStringList& removeNames, const TBoardState& state) {
    const bool applying = m_applying;
    m_applying = true;
    ClearSelection(nullptr);
    QList<TOrvexGraphicComponent*> restored;
    try {
        BoardEdits::Remove(Board(), removeNames);
        restored = BoardEdits::Restore(Board(), state, [this](TOrvexGraphicComponent* component) {
            component->setToolTip(QString());
            WireComponent(component);
        });
    } catch (const std::exception& error) {
        m_applying = applying;
        ReportError(this, error);
        return;
    }
    m_applying = applying;
    ShowRestored(restored);
    Board()->update();
}

void TfrmPlugin::ShowRestored(const QList<TOrvexGraphicComponent*>& restored) {
    ClearSelection(nullptr);
    if (restored.size() == 1) {
        ObjectClick(restored.first(), false);
        return;
    }
    for (TOrvexGraphicComponent* component : restored) {
        m_selection.append(component);
        component->SetSelected(true);
    }
}

QList<TOrvexGraphicComponent*> TfrmPlugin::SelectedComponents() const {
    QList<TOrvexGraphicComponent*> selected = Selection();
    if (selected.isEmpty())
        if (auto* edited = qobject_cast<TOrvexGraphicComponent*>(m_edited.data());
            edited && edited->parent() == Board())
            selected.append(edited);
    return selected;
}

void TfrmPlugin::DeleteSelected(const QString& text) {
    const QList<TOrvexGraphicComponent*> doomed = SelectedComponents();
    if (doomed.isEmpty()) return;
    TBoardState before = BoardEdits::Capture(Board(), doomed);
    m_selection.clear();
    SetEditedObject(nullptr);
    QList<QPointer<TOrvexGraphicComponent>> going(doomed.cbegin(), doomed.cend());
    for (const QPointer<TOrvexGraphicComponent>& component : going)
        delete component.data();
    ClearSelection(nullptr);
    PushStateStep(text, std::move(before), TBoardState());
    // An untitled board emptied holds nothing to lose.
    if (m_fileName.isEmpty() && Board()->OwnedComponents().isEmpty()) m_undo->setClean();
}

void TfrmPlugin::MoveSelectionBy(int dx, int dy) {
    const QList<TOrvexGraphicComponent*> selected = SelectedComponents();
    QList<QWidget*> widgets(selected.cbegin(), selected.cend());
    ++m_dragSession;
    GeometryStep(QStringLiteral("Move"), widgets, [&] {
        for (QWidget* widget : widgets)
            MoveComponentBy(widget, dx, dy);
    });
    ++m_dragSession;
}

// ---------------------------------------------------------------- clipboard

QString TfrmPlugin::SelectionText() const {
    const QList<TOrvexGraphicComponent*> selected = SelectedComponents();
    if (selected.isEmpty()) return QString();
    TBoardSurface* board = Board();
    const TBoardState state = BoardEdits::Capture(board, selected);
    // Brought back on a board of their own, the components keep only the wires among themselves.
    ScopedDialogRecorder quiet;
    TBoardSurface scratch(nullptr);
    BoardEdits::Restore(&scratch, state, {});
    return BoardFile::WriteBoard(&scratch, m_gridSize).Text;
}

void TfrmPlugin::PasteText(const QString& text) {
    TBoardState state;
    {
        TBoardSurface scratch(nullptr);
        const BoardFile::TReadResult read =
            BoardFile::ReadBoard(&scratch, BoardFile::SplitLines(text), m_gridSize);
        if (read.Error)
            throw ComponentError(
                QStringLiteral("Nothing was pasted.\n\n%1").arg(read.Error->Describe()));
        const QList<TOrvexGraphicComponent*> pasted = scratch.OwnedComponents();
        if (pasted.isEmpty())
            throw ComponentError(
                QStringLiteral("Nothing was pasted: the clipboard holds no board components."));
        // Fresh names where the board has them already; a name free on both is taken.
        for (TOrvexGraphicComponent* component : pasted) {
            component->move(component->pos() + QPoint(m_gridSize, m_gridSize));
            if (!Board()->FindOwnedName(component->Name())) continue;
            const QString base =
                ComponentTable::ShortName(QLatin1String(component->metaObject()->className()));
            int n = 1;
            while (Board()->FindOwnedName(base + QString::number(n)) ||
                   scratch.FindOwnedName(base + QString::number(n)))
                ++n;
            component->SetName(base + QString::number(n));
        }
        state = BoardEdits::Capture(&scratch, pasted);
    }
    const QList<TOrvexGraphicComponent*> restored =
        BoardEdits::Restore(Board(), state, [this](TOrvexGraphicComponent* component) {
            component->setToolTip(QString());
            WireComponent(component);
        });
    ShowRestored(restored);
    PushStateStep(QStringLiteral("Paste"), TBoardState(), BoardEdits::Capture(Board(), restored));
}

void TfrmPlugin::CopyClick() {
    if (m_running) return;
    const QString text = SelectionText();
    if (!text.isEmpty()) QGuiApplication::clipboard()->setText(text);
}

void TfrmPlugin::CutClick() {
    if (m_running) return;
    const QString text = SelectionText();
    if (text.isEmpty()) return;
    QGuiApplication::clipboard()->setText(text);
    DeleteSelected(QStringLiteral("Cut"));
}

void TfrmPlugin::PasteClick() {
    if (m_running) return;
    PasteText(QGuiApplication::clipboard()->text());
}

void TfrmPlugin::DuplicateClick() {
    if (m_running) return;
    const QString text = SelectionText();
    if (!text.isEmpty()) PasteText(text);
}

void TfrmPlugin::SelectAllClick() {
    if (m_running) return;
    const QList<TOrvexGraphicComponent*> all = Board()->ComponentsInChildOrder();
    ShowRestored(all);
}
