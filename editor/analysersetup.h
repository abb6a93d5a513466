#pragma once

#include <optional>

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include "editor/analyser.h"
#include "editor/analyserdecoders.h"

class TfrmPlugin;

// The analyser's rows as a block of the board file, after the components' blocks:
//
//   object Analyser: TAnalyserSetup
//     Row = 'Host.P1.0|Clock|#00A000|Group=Timing|Uart=4800,8'
//     Row = 'LCD1.Enable|E|#0050C8|Group=LCD control'
//     Collapsed = 'LCD control'
//   end
//
// Each Row is one row, top to bottom: its trace path, its label and its colour (#RRGGBB; empty
// takes one of the palette), then options as Key=Value: Group=NAME, Uart=BAUD,BITS (BAUD a
// number, or "auto" for the firmware's serial set-up; BITS 8 or 9). A Collapsed line names a group
// shown folded. Fields are separated by '|'; within a field '%', '|', the single quote and control
// characters are written as %XX (hex of their UTF-8 bytes), so the value stays one quoted string
// without quotes or line breaks inside.
//
// The class is no component class: a board-file reader skips the block and its lines, so older
// versions and other readers open the board all the same. A board without rows has no block.
// Reading never stops a board from opening: a row or option that cannot be taken is left out
// (a path that names nothing on the board keeps its row, shown as not found, saved again, and
// given its contact when Run starts once the name is there) and said in the status bar.
namespace AnalyserSetup {

inline constexpr int MaxRows = 512;
inline constexpr int MaxField = 1000; // characters of a path, label, group or option value

struct TSavedRow {
    QString Path;
    TAnalyserRow Row; // without a trace
    bool HasColor = false;
    // An LCD bus row: its other lines by path (E is Path).
    std::optional<TLcdBusPaths> Lcd;
};
struct TSetup {
    QList<TSavedRow> Rows;
    QStringList Collapsed;
};

// The block of the rows (lines end with CR LF); empty when there are none.
QString Block(const TAnalyser& analyser);
// Reads the first block of the class among the lines (cleaned or not); what is left out is said
// in problems, one sentence each.
TSetup Parse(const QStringList& lines, QStringList* problems);
bool HasBlock(QStringView text);
// Replaces the analyser's rows with the setup's; paths that name nothing stay as unresolved rows
// (listed in problems).
void Apply(TAnalyser* analyser, const TSetup& setup, QStringList* problems);

// The window's analyser (nullptr when it has none).
TAnalyser* Of(TfrmPlugin* window);
// Save's part: the block of the window's rows.
QString Block(TfrmPlugin* window);
// Open's part: the rows of the file's text replace the window's; problems go to the status bar.
void Load(TfrmPlugin* window, QStringView text);
// A user change of the rows: one undo step "Analyser Rows" on the window's undo stack when the
// rows differ from the last committed ones.
void Commit(TAnalyser* analyser);

} // namespace AnalyserSetup
