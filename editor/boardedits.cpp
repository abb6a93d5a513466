#include "editor/boardedits.h"

#include <QHash>
#include <QSet>

#include "components/orvexcomponent.h"
#include "editor/brelvanfrm.h"
#include "model/collections.h"
#include "model/drivers.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "properties/propertytext.h"
#include "simulation/simform.h"

using namespace PropertyText;

namespace BoardEdits {

namespace {

TPathRoot rootOf(TBoardSurface* board) {
    return TPathRoot{board, [board] { return board->OwnedObjects(); },
                     [board](const QString& name) { return board->FindOwnedName(name); }};
}

bool isWirable(const QObject* contact) {
    return contact && !contact->objectName().isEmpty() &&
           contact->objectName() != QLatin1String("DriverContact");
}

QList<TOrvexPinDriver*> contactsOf(TOrvexGraphicComponent* component) {
    QList<TOrvexPinDriver*> contacts;
    for (TOrvexPinDriver* contact : component->findChildren<TOrvexPinDriver*>())
        if (isWirable(contact) && contact->ComponentList()) contacts.append(contact);
    return contacts;
}

TOrvexGraphicComponent* componentOf(QObject* object, TBoardSurface* board) {
    for (; object && object->parent() != board; object = object->parent()) {
    }
    return qobject_cast<TOrvexGraphicComponent*>(object);
}

} // namespace

TBoardState Capture(TBoardSurface* board, const QList<TOrvexGraphicComponent*>& components) {
    TBoardState state;
    if (!board || components.isEmpty()) return state;
    // In ownership order, so that reading them back keeps their order among themselves.
    const QSet<const TOrvexGraphicComponent*> inside(components.cbegin(), components.cend());
    QList<TOrvexGraphicComponent*> ordered;
    for (TOrvexGraphicComponent* component : board->OwnedComponents())
        if (inside.contains(component) && !component->Name().isEmpty()) ordered.append(component);
    for (TOrvexGraphicComponent* component : ordered)
        state.Names.append(component->Name());
    state.Text = BoardFile::WriteComponents(board, ordered, 0);

    QSet<const TOrvexPinDriver*> listed;
    const auto addList = [&](TOrvexPinDriver* contact) {
        if (listed.contains(contact)) return;
        listed.insert(contact);
        TBoardState::TWireList wires{PathName(contact, board), {}};
        for (const TComponentItem& item : *contact->ComponentList())
            if (isWirable(item.Pin)) wires.Partners.append(PathName(item.Pin, board));
        if (!wires.Partners.isEmpty()) state.Wires.append(wires);
    };
    for (TOrvexGraphicComponent* component : ordered)
        for (TOrvexPinDriver* contact : contactsOf(component)) {
            addList(contact);
            for (const TComponentItem& item : *contact->ComponentList())
                if (isWirable(item.Pin) && item.Pin->ComponentList()) addList(item.Pin);
        }

    // References of other components into these (a driven port's input port and the like).
    for (TOrvexGraphicComponent* holder : board->OwnedComponents()) {
        if (inside.contains(holder)) continue;
        for (const TPropertyInfo& prop : PublishedProperties(holder->metaObject())) {
            if (prop.Kind() != TPropertyKind::Class || !prop.ClassType() || !prop.IsWritable())
                continue;
            QObject* target = prop.Meta().read(holder).value<QObject*>();
            TOrvexGraphicComponent* owner = target ? componentOf(target, board) : nullptr;
            if (!owner || !inside.contains(owner)) continue;
            state.References.append({holder->Name(), prop.Name(), PathName(target, board)});
        }
    }
    return state;
}

void Remove(TBoardSurface* board, const QStringList& names) {
    QList<TOrvexGraphicComponent*> doomed;
    for (const QString& name : names)
        if (auto* component = qobject_cast<TOrvexGraphicComponent*>(board->FindOwnedName(name)))
            doomed.append(component);
    for (auto it = doomed.crbegin(); it != doomed.crend(); ++it)
        delete *it;
}

QList<TOrvexGraphicComponent*> Restore(TBoardSurface* board, const TBoardState& state,
                                       const BoardFile::TPrepareComponent& prepare) {
    QList<TOrvexGraphicComponent*> restored;
    if (!board || state.IsEmpty()) return restored;
    {
        // References to components that are not there are left out without a word.
        ScopedDialogRecorder quiet;
        const BoardFile::TReadResult read =
            BoardFile::ReadBoard(board, QStringView(state.Text), 0, prepare);
        if (read.Error) throw ComponentError(read.Error->Describe());
    }
    for (const QString& name : state.Names)
        if (auto* component = qobject_cast<TOrvexGraphicComponent*>(board->FindOwnedName(name)))
            restored.append(component);
    const TPathRoot root = rootOf(board);
    for (const TBoardState::TReference& reference : state.References) {
        QObject* holder = board->FindOwnedName(reference.Component);
        if (!holder || !ComponentByPath(root, reference.Value)) continue;
        try {
            TextToProperty(holder, reference.Property, reference.Value, root);
        } catch (const std::exception&) {
            // The holder no longer takes it: the rest comes back all the same.
        }
    }
    for (const TBoardState::TWireList& wires : state.Wires) {
        auto* contact = qobject_cast<TOrvexPinDriver*>(ComponentByPath(root, wires.Contact));
        if (!contact || !contact->ComponentList()) continue;
        QList<TOrvexPinDriver*> partners;
        for (const QString& path : wires.Partners)
            if (auto* partner = qobject_cast<TOrvexPinDriver*>(ComponentByPath(root, path)))
                partners.append(partner);
        for (TOrvexPinDriver* partner : partners)
            contact->Connect(partner);
        // The recorded partners first, in their order; any others after them.
        TComponentList* list = contact->ComponentList();
        int at = 0;
        for (TOrvexPinDriver* partner : partners) {
            const int index = list->IndexOf(partner);
            if (index < at) continue;
            for (int k = index; k > at; --k)
                std::swap(list->Items(k), list->Items(k - 1));
            ++at;
        }
    }
    return restored;
}

// ---------------------------------------------------------------- commands

TStateCommand::TStateCommand(TfrmPlugin* window, const QString& text, TBoardState before,
                             TBoardState after)
    : QUndoCommand(text), m_window(window), m_before(std::move(before)), m_after(std::move(after)) {
}

void TStateCommand::undo() {
    m_window->ApplyBoardState(m_after.Names, m_before);
    m_done = false;
}

void TStateCommand::redo() {
    if (m_done) return; // pushed after the change was made
    m_window->ApplyBoardState(m_before.Names, m_after);
    m_done = true;
}

TGeometryCommand::TGeometryCommand(TfrmPlugin* window, const QString& text, int session,
                                   QStringList names, QList<QRect> before, QList<QRect> after)
    : QUndoCommand(text), m_window(window), m_session(session), m_names(std::move(names)),
      m_before(std::move(before)), m_after(std::move(after)) {}

void TGeometryCommand::undo() {
    m_window->ApplyGeometry(m_names, m_before);
    m_done = false;
}

void TGeometryCommand::redo() {
    if (m_done) return;
    m_window->ApplyGeometry(m_names, m_after);
    m_done = true;
}

bool TGeometryCommand::mergeWith(const QUndoCommand* other) {
    const auto* next = static_cast<const TGeometryCommand*>(other);
    if (next->m_session != m_session || next->m_names != m_names) return false;
    m_after = next->m_after;
    return true;
}

} // namespace BoardEdits
