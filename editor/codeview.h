#pragma once

#include <QAbstractTableModel>
#include <QMap>
#include <QSet>
#include <QStringList>
#include <QVector>
#include <QWidget>
#include <optional>

class QComboBox;
class QLabel;
class QPushButton;
class QTableView;
namespace mcs51 {
class Core;
}

// What the code view knows of the loaded program beyond its bytes: the C source files and which
// code each of their lines compiled to, and names of code addresses. Empty (HasSource false) for
// a program without debug information; Reason then says why.
struct TProgramInfo {
    struct File {
        QString Name;      // as the debug information names it
        QString Path;      // where it was found; empty when not found
        QStringList Lines; // its text; empty when not found
    };
    // The code of one source line: [Start, End).
    struct LineCode {
        int File = 0;
        int Line = 0; // 1-based
        int Start = 0;
        int End = 0;
    };
    QVector<File> Files;
    QVector<LineCode> Code;    // sorted by Start, not overlapping
    QMap<int, QString> Labels; // code address -> name
    QString Reason;            // why the source is not shown; empty when it is

    bool HasSource() const;
    // The line whose code holds this address.
    const LineCode* LineAt(int address) const;
    // The first code address of a line; nullopt when the line has no code.
    std::optional<int> AddressOf(int file, int line) const;
    // The first line at or after `line` in the file that has code; 0 when none.
    int NextLineWithCode(int file, int line) const;
    int FileIndex(const QString& name) const; // by name or file name; -1 when unknown
    // Sorts Code and ends each line's code where the next begins.
    void Finish();
};

// The rows of the code view: the program's disassembly, a source file's lines, or a source file's
// lines each followed by its instructions. Column 0 is the gutter (breakpoint and current line),
// column 1 the address, column 2 the text.
class TCodeModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum class Mode { Source, Disassembly, Mixed };
    enum Column { Gutter, Address, Text, ColumnCount };
    struct Row {
        int Address = -1; // -1: a source line without code, or a label row
        int File = -1;    // source rows
        int Line = 0;
        bool Instruction = false;
        QString Label; // label rows
    };

    TCodeModel(mcs51::Core& core, const TProgramInfo& info, QObject* parent = nullptr);

    Mode CurrentMode() const { return m_mode; }
    // The mode falls back to disassembly without source.
    void SetMode(Mode mode);
    int CurrentFile() const { return m_file; }
    void SetFile(int file);
    // Rebuilds the rows from the program and the info (after a load).
    void Rebuild();
    // Follows the PC: shows the file its line is in and marks the row.
    void SetPC(int pc);
    int CurrentRow() const { return m_currentRow; }
    // The row showing this address (its instruction, else its source line); -1 when none.
    int RowOfAddress(int address) const;
    int RowOfLine(int file, int line) const;
    const Row& RowAt(int row) const { return m_rows[row]; }
    // The code addresses breakpoints stop at, shown in the gutter.
    void SetBreakpoints(const QSet<int>& addresses);
    const QSet<int>& Breakpoints() const { return m_breakpoints; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    void AddInstructions(int from, int to);
    bool RowHasBreakpoint(const Row& row) const;
    bool RowIsCurrent(int row) const;

    mcs51::Core& m_core;
    const TProgramInfo& m_info;
    Mode m_mode = Mode::Source;
    int m_file = 0;
    int m_pc = -1;
    int m_currentRow = -1;
    QVector<Row> m_rows;
    QMap<int, int> m_rowOfAddress; // instruction rows, and source rows by their line's start
    QSet<int> m_breakpoints;
};

// The code view dock: the rows around the PC with the current one marked, a gutter that toggles
// breakpoints on click, a choice of source, disassembly and mixed, of the source file, and of the
// folder sources are searched in; a line says why it shows disassembly when it falls back.
class TCodeView : public QWidget {
    Q_OBJECT

public:
    TCodeView(mcs51::Core& core, const TProgramInfo& info, QWidget* parent = nullptr);

    TCodeModel* Model() const { return m_model; }
    QTableView* Table() const { return m_table; }
    QString ReasonText() const;
    // The program or the info changed.
    void Rebuild();
    // Marks the PC's row and scrolls to it.
    void ShowPC(int pc);
    // The row the cursor is on; -1 when none.
    int CursorRow() const;
    void SetMode(TCodeModel::Mode mode);
    // Room for a source line of common length.
    QSize sizeHint() const override;

signals:
    // The user clicked the gutter of a row.
    void GutterClicked(int row);
    void SourceFolderClicked();

private:
    void UpdateChoices();

    const TProgramInfo& m_info;
    TCodeModel* m_model;
    QComboBox* m_modeBox;
    QComboBox* m_fileBox;
    QPushButton* m_folderButton;
    QLabel* m_reason;
    QTableView* m_table;
};
