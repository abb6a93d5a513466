#pragma once

#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QUndoCommand>

#include "editor/boardfile.h"

class TBoardSurface;
class TfrmPlugin;
class TOrvexGraphicComponent;

// Some components of a board as they stand: their blocks as board-file text (the writer of
// Save), each wire of their contacts as an ordered partner list (also the lists of the partners
// on other components, so that the first partner, the one a property shows, comes back), and the
// references other components hold into them. Bringing a state back goes through the reader of
// Open, so names, properties and wires return as a saved board's do.
struct TBoardState {
    struct TWireList {
        QString Contact;      // path name below the board
        QStringList Partners; // in list order
        bool operator==(const TWireList&) const = default;
    };
    struct TReference {
        QString Component; // holder, outside the state
        QString Property;
        QString Value; // path name into the state
        bool operator==(const TReference&) const = default;
    };
    QStringList Names;
    QString Text;
    QList<TWireList> Wires;
    QList<TReference> References;

    bool IsEmpty() const { return Names.isEmpty(); }
    bool operator==(const TBoardState&) const = default;
};

namespace BoardEdits {

TBoardState Capture(TBoardSurface* board, const QList<TOrvexGraphicComponent*>& components);
// Destroys the named components (the last owned first).
void Remove(TBoardSurface* board, const QStringList& names);
// Reads the state's blocks onto the board (its names must be free there), then its references
// and wires where both ends exist. Throws BrelvanError when the text does not read.
QList<TOrvexGraphicComponent*> Restore(TBoardSurface* board, const TBoardState& state,
                                       const BoardFile::TPrepareComponent& prepare);

// One change of components: undo brings back `before` in place of `after`'s names, redo the
// other way. Pushing it does not change the board again: it records a change already made.
class TStateCommand : public QUndoCommand {
public:
    TStateCommand(TfrmPlugin* window, const QString& text, TBoardState before, TBoardState after);
    void undo() override;
    void redo() override;

private:
    TfrmPlugin* m_window;
    TBoardState m_before;
    TBoardState m_after;
    bool m_done = true;
};

// Components moved or resized. The steps of one drag (the same session) merge into one.
class TGeometryCommand : public QUndoCommand {
public:
    static constexpr int Id = 0x4745; // merge id of geometry steps

    TGeometryCommand(TfrmPlugin* window, const QString& text, int session, QStringList names,
                     QList<QRect> before, QList<QRect> after);
    void undo() override;
    void redo() override;
    int id() const override { return Id; }
    bool mergeWith(const QUndoCommand* other) override;

private:
    TfrmPlugin* m_window;
    int m_session;
    QStringList m_names;
    QList<QRect> m_before;
    QList<QRect> m_after;
    bool m_done = true;
};

} // namespace BoardEdits
