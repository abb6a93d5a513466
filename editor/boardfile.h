#pragma once

#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <functional>
#include <optional>

#include "components/orvexcomponent.h"
#include "platform/errors.h"
#include "properties/propertytext.h"

class TBoardSurface;

// Board files: a board stored as text, one object block per component.
//
//   object LED1: TLED
//     Color = cled_GREEN
//     Anode = SW1.Contact2
//     Left = 40
//     Top = 36
//   end
//
// Reading is line by line and ignores what it does not need, so text form files of other tools
// (an outer block around the components) read as well. Keywords, class, component and property
// names are matched without regard to case; values are the text forms of properties/propertytext.h.
// Every stored Top is relative to the board's top band (topOffset, the grid size): reading adds
// the offset, writing takes it off again.
//
// Reading is all or nothing: when it stops on a value that cannot be taken, every component it
// created is destroyed again and the board is as it was. Parts of a file that cannot be built
// (a reference that names nothing, a class that has no component yet, a block whose object line
// is not understood) are left out with a warning and reading goes on.
//
// A file names each wire from one side, as the property of one contact that reads the first
// partner in its list (further partners as further lines of the same property). Loading keeps
// every wire a file names, also where a later line's setter would replace an earlier one, and
// gives each contact the partner its first line names as its first, so what is saved opens as it
// was.
namespace BoardFile {

// Against damaged and hostile files: anything beyond these limits is refused.
inline constexpr qint64 MaxFileSize = qint64(64) << 20; // bytes
inline constexpr int MaxLineLength = 65536;             // characters of a header or property line
// Painting recurses once per overlapping sibling widget: 28,000 components at one place overflow
// a stack of 8 MB, 20,000 leave a third of it.
inline constexpr int MaxComponents = 20000; // components of one file
// A block holds a few dozen lines (its properties, its wires, its geometry): a file of more lines
// than this cannot be a board of MaxComponents components.
inline constexpr int MaxLines = 125 * MaxComponents;
inline constexpr int MaxCoordinate = TOrvexGraphicComponent::MaxCoordinate; // |Left|, |Top|
inline constexpr int MaxExtent = TOrvexGraphicComponent::MaxExtent;         // Width, Height
inline constexpr int MaxPropertyName = 255;                                 // longer names are cut
inline constexpr int MaxWarnings = 1000; // warnings of one read kept with their lines

// One line that could not be read as written.
struct TFileProblem {
    int Line = 0;    // 1-based
    QString Text;    // the cleaned line
    QString Message; // why

    // "Line 12: Color = cled_PURPLE" and the reason below it; long lines are shortened.
    QString Describe() const;
};

// A reference line left out because the object it names is not there (or takes no such partner).
struct TLeftOutReference {
    QPointer<TOrvexGraphicComponent> Component;
    QString Property;
    QString Value;
};

struct TReadResult {
    int Count = 0; // components created (0 when reading stopped)
    // Set when reading stopped; the board is then as it was before.
    std::optional<TFileProblem> Error;
    // What was left out while reading went on: the first MaxWarnings, and how many more.
    QList<TFileProblem> Warnings;
    int OmittedWarnings = 0;
    // The references among them, for a caller that can resolve them elsewhere (Paste).
    QList<TLeftOutReference> LeftOutReferences;
};

// The whole content of a regular file of at most MaxFileSize bytes, or why it cannot be had.
struct TFileBytes {
    QByteArray Data;
    QString Error; // which file and why; empty when Data holds the file
};
TFileBytes ReadFile(const QString& fileName);
// Replaces the file with data in one step: on any failure the previous file stays as it was.
// Returns which file and why it was not written; empty on success.
QString WriteFile(const QString& fileName, const QByteArray& data);

// UTF-8 when the bytes are valid UTF-8, else the 8-bit Latin-1 of older files. Byte-order marks
// in front (any number of them) go.
QString DecodeText(const QByteArray& bytes);
// Lines end with CR LF, a lone CR or a lone LF.
QStringList SplitLines(QStringView text);
// A line as the reader sees it: TAB characters removed, blanks, control characters and byte-order
// marks trimmed.
QString CleanLine(QStringView line);

// Writes a reference property as a file line does. A setter that rewires replaces the contact's
// first wire, which an earlier line may have made; a file describes wires, not edits, so every
// wire to another component that the assignment took away is put back. Throws as TextToProperty.
void ApplyReference(TOrvexGraphicComponent* component, const PropertyText::TPropertyInfo& prop,
                    QStringView value, const PropertyText::TPathRoot& root);

// Called for each component once its block is read.
using TPrepareComponent = std::function<void(TOrvexGraphicComponent*)>;

// Creates the components of the lines on the board (first pass) and reads their property lines
// (second pass). Names must be free on the board. A component shows as its own Visibility says:
// reading hides none (nothing is painted while it runs, and a failed read leaves none behind).
// See above for stops and warnings.
TReadResult ReadBoard(TBoardSurface* board, const QStringList& lines, int topOffset,
                      const TPrepareComponent& prepare = {});
// The same for the text of a whole file: its lines are kept in one buffer, so that a large file
// takes a few times its size while it is read.
TReadResult ReadBoard(TBoardSurface* board, QStringView text, int topOffset,
                      const TPrepareComponent& prepare = {});

struct TWriteResult {
    QString Text; // lines end with CR LF
    // Set when the text would not open again (a value beyond the limits above): it must not be
    // saved.
    std::optional<TFileProblem> Unreadable;
    // Wires the text cannot bring back ("A.Contact1 - B.Pin"), and wires opening it would add;
    // both empty for every board whose wiring the file form can hold.
    QStringList Lost;
    QStringList Added;
};

// The board's components in ownership order, each with every published property that differs
// from a new component of its class (references as path names, Top less topOffset) and its
// geometry. The text is opened once, out of sight, to check that it brings back every wire; a
// contact's further partners are written as further lines of its property, and a reference line
// whose setter wires more contacts than the board has wired (a two-colour LED's cathodes) is left
// out where the other ends' lines name its wires.
TWriteResult WriteBoard(const TBoardSurface* board, int topOffset);

// The blocks of some components of the board only, written as WriteBoard writes them, in the
// order given; references to components outside them are written as they stand. Wires are not
// checked: the caller keeps what the blocks cannot hold.
QString WriteComponents(const TBoardSurface* board,
                        const QList<TOrvexGraphicComponent*>& components, int topOffset);

// The blocks of some components for the clipboard: as WriteComponents, with the wires among
// them checked as WriteBoard checks a board's, and every wire to a component outside them named
// (a further partner line where it is not its contact's first), so that a paste can keep it.
QString WriteSelection(const TBoardSurface* board, const QList<TOrvexGraphicComponent*>& components,
                       int topOffset);

} // namespace BoardFile
