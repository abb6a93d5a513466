#include "editor/codeview.h"

#include <QBrush>
#include <QComboBox>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSet>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "host/mcs51.h"

namespace {
QString hex4(int value) {
    return QStringLiteral("%1").arg(value & 0xFFFF, 4, 16, QLatin1Char('0')).toUpper();
}
const QColor CurrentColor(255, 240, 150);
const QColor BreakColor(200, 30, 30);
} // namespace

// ---------------------------------------------------------------- TProgramInfo

bool TProgramInfo::HasSource() const {
    return !Code.isEmpty() && std::any_of(Files.begin(), Files.end(),
                                          [](const File& f) { return !f.Lines.isEmpty(); });
}

const TProgramInfo::LineCode* TProgramInfo::LineAt(int address) const {
    auto it = std::upper_bound(Code.begin(), Code.end(), address,
                               [](int a, const LineCode& code) { return a < code.Start; });
    if (it == Code.begin()) return nullptr;
    --it;
    return address < it->End ? &*it : nullptr;
}

std::optional<int> TProgramInfo::AddressOf(int file, int line) const {
    std::optional<int> first;
    for (const LineCode& code : Code)
        if (code.File == file && code.Line == line && (!first || code.Start < *first))
            first = code.Start;
    return first;
}

int TProgramInfo::NextLineWithCode(int file, int line) const {
    int best = 0;
    for (const LineCode& code : Code)
        if (code.File == file && code.Line >= line && (best == 0 || code.Line < best))
            best = code.Line;
    return best;
}

int TProgramInfo::FileIndex(const QString& name) const {
    for (int i = 0; i < Files.size(); ++i)
        if (Files[i].Name == name) return i;
    const QString base = QFileInfo(name).fileName();
    for (int i = 0; i < Files.size(); ++i)
        if (QFileInfo(Files[i].Name).fileName() == base) return i;
    return -1;
}

void TProgramInfo::Finish() {
    std::stable_sort(Code.begin(), Code.end(),
                     [](const LineCode& a, const LineCode& b) { return a.Start < b.Start; });
    // Lines that share their first instruction (an `if` and the statement a JBC folds into it)
    // all keep it; the code belongs to the last, as the compiler writes the lines in order.
    for (int i = 0; i < Code.size(); ++i) {
        if (i + 1 < Code.size() && Code[i + 1].Start == Code[i].Start) {
            Code[i].End = Code[i].Start;
            continue;
        }
        const int next = i + 1 < Code.size() ? Code[i + 1].Start : Code[i].Start + 1;
        if (Code[i].End <= Code[i].Start || Code[i].End > next) Code[i].End = next;
    }
}

// ---------------------------------------------------------------- TCodeModel

TCodeModel::TCodeModel(mcs51::Core& core, const TProgramInfo& info, QObject* parent)
    : QAbstractTableModel(parent), m_core(core), m_info(info) {}

void TCodeModel::SetMode(Mode mode) {
    m_mode = mode;
    Rebuild();
}

void TCodeModel::SetFile(int file) {
    if (file < 0 || file >= m_info.Files.size() || file == m_file) return;
    m_file = file;
    if (m_mode != Mode::Disassembly && m_info.HasSource()) Rebuild();
}

void TCodeModel::AddInstructions(int from, int to) {
    // A linear sweep that restarts at every known instruction start (a label, a line's code, the
    // PC): data between them shows as bytes instead of shifting what follows.
    QSet<int> anchors;
    if (m_pc >= from && m_pc < to) anchors.insert(m_pc);
    for (auto it = m_info.Labels.lowerBound(from); it != m_info.Labels.end() && it.key() < to; ++it)
        anchors.insert(it.key());
    for (auto it = std::lower_bound(
             m_info.Code.begin(), m_info.Code.end(), from,
             [](const TProgramInfo::LineCode&code, int address) { return code.Start < address; });
         it != m_info.Code.end() && it->Start < to; ++it)
        anchors.insert(it->Start);
    int address = from;
    while (address < to) {
        if (m_mode == Mode::Disassembly) {
            const auto label = m_info.Labels.constFind(address);
            if (label != m_info.Labels.cend()) {
                Row row;
                row.Label = label.value();
                m_rows.append(row);
            }
        }
        int length = mcs51::Disassemble(m_core.Code(), uint16_t(address)).length;
        for (int i = 1; i < length; ++i)
            if (anchors.contains(address + i)) length = i;
        Row row;
        row.Address = address;
        row.Instruction = true;
        m_rowOfAddress.insert(address, m_rows.size());
        m_rows.append(row);
        address += length;
    }
}

void TCodeModel::Rebuild() {
    beginResetModel();
    m_rows.clear();
    m_rowOfAddress.clear();
    const Mode mode = m_info.HasSource() ? m_mode : Mode::Disassembly;
    if (mode == Mode::Disassembly) {
        // The program: up to its last byte that is not the empty fill.
        int end = mcs51::Core::CodeSize;
        while (end > 0 && m_core.Code()[end - 1] == 0)
            --end;
        end = std::max(end, m_pc + 1);
        AddInstructions(0, std::min(end + 3, int(mcs51::Core::CodeSize)));
    } else {
        const TProgramInfo::File& file = m_info.Files.value(m_file);
        // Each line's code, in order of lines, for the mixed view.
        QMap<int, QVector<const TProgramInfo::LineCode*>> codeOfLine;
        for (const TProgramInfo::LineCode& code : m_info.Code)
            if (code.File == m_file) codeOfLine[code.Line].append(&code);
        for (int line = 1; line <= file.Lines.size(); ++line) {
            Row row;
            row.File = m_file;
            row.Line = line;
            const auto code = codeOfLine.constFind(line);
            if (code != codeOfLine.cend()) row.Address = code.value().front()->Start;
            if (row.Address >= 0 && mode == Mode::Source) {
                for (const TProgramInfo::LineCode* part : code.value())
                    m_rowOfAddress.insert(part->Start, m_rows.size());
            }
            m_rows.append(row);
            if (mode == Mode::Mixed && code != codeOfLine.cend())
                for (const TProgramInfo::LineCode* part : code.value())
                    AddInstructions(part->Start, part->End);
        }
    }
    endResetModel();
    SetPC(m_pc);
}

void TCodeModel::SetPC(int pc) {
    const int before = m_currentRow;
    m_pc = pc;
    if (m_info.HasSource() && m_mode != Mode::Disassembly) {
        if (const TProgramInfo::LineCode* line = m_info.LineAt(pc); line && line->File != m_file) {
            m_file = line->File;
            Rebuild(); // calls SetPC again, now on the right file
            return;
        }
    }
    m_currentRow = pc < 0 ? -1 : RowOfAddress(pc);
    if (m_mode == Mode::Mixed || !m_info.HasSource() || m_mode == Mode::Disassembly) {
        // In disassembly only the instruction at the PC is current.
        if (m_currentRow >= 0 && m_rows[m_currentRow].Address != pc) m_currentRow = -1;
    }
    for (const int row : {before, m_currentRow})
        if (row >= 0 && row < m_rows.size())
            emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

int TCodeModel::RowOfAddress(int address) const {
    if (const auto it = m_rowOfAddress.constFind(address); it != m_rowOfAddress.cend())
        return it.value();
    if (m_info.HasSource() && m_mode == Mode::Source) {
        if (const TProgramInfo::LineCode* line = m_info.LineAt(address);
            line && line->File == m_file)
            return RowOfLine(line->File, line->Line);
        return -1;
    }
    // Inside an instruction shown: that instruction's row.
    auto it = m_rowOfAddress.upperBound(address);
    if (it == m_rowOfAddress.begin()) return -1;
    --it;
    const int row = it.value();
    const int length = mcs51::Disassemble(m_core.Code(), uint16_t(it.key())).length;
    return address < it.key() + length ? row : -1;
}

int TCodeModel::RowOfLine(int file, int line) const {
    for (int row = 0; row < m_rows.size(); ++row)
        if (!m_rows[row].Instruction && m_rows[row].File == file && m_rows[row].Line == line)
            return row;
    return -1;
}

bool TCodeModel::RowHasBreakpoint(const Row& row) const {
    if (row.Address < 0) return false;
    return m_breakpoints.contains(row.Address);
}

void TCodeModel::SetBreakpoints(const QSet<int>& addresses) {
    m_breakpoints = addresses;
    if (!m_rows.isEmpty()) emit dataChanged(index(0, Gutter), index(m_rows.size() - 1, Gutter));
}

int TCodeModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rows.size();
}

int TCodeModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TCodeModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_rows.size()) return {};
    const Row& row = m_rows[index.row()];
    const bool current = index.row() == m_currentRow;
    if (role == Qt::BackgroundRole && current) return QBrush(CurrentColor);
    if (index.column() == Gutter) {
        if (role == Qt::DisplayRole) {
            QString mark;
            mark += RowHasBreakpoint(row) ? QChar(0x25CF) : QChar(u' ');
            mark += current ? QChar(0x25B6) : QChar(u' ');
            return mark;
        }
        if (role == Qt::ForegroundRole && RowHasBreakpoint(row)) return QBrush(BreakColor);
        if (role == Qt::ToolTipRole)
            return row.Address >= 0 ? QStringLiteral("Click to set or clear a breakpoint")
                                    : QVariant();
        return {};
    }
    if (role == Qt::ForegroundRole && row.Instruction && m_mode == Mode::Mixed &&
        m_info.HasSource())
        return QBrush(QColor(90, 90, 140));
    if (role != Qt::DisplayRole) return {};
    if (index.column() == Address) {
        if (!row.Label.isEmpty() || row.Address < 0) {
            return row.File >= 0 ? QString::number(row.Line) : QString();
        }
        return row.Instruction ? hex4(row.Address) : QString::number(row.Line);
    }
    if (!row.Label.isEmpty()) return row.Label + QLatin1Char(':');
    if (row.Instruction) {
        const mcs51::Disassembly instruction =
            mcs51::Disassemble(m_core.Code(), uint16_t(row.Address));
        QString text = QString::fromStdString(instruction.text);
        if (m_mode == Mode::Mixed && m_info.HasSource()) text.prepend(QStringLiteral("        "));
        // A call or jump to a named address shows the name.
        const int space = text.lastIndexOf(QLatin1String("0x"));
        if (space >= 0) {
            bool ok = false;
            const int target = text.mid(space + 2, 4).toInt(&ok, 16);
            const auto label = m_info.Labels.constFind(target);
            if (ok && label != m_info.Labels.cend() && text.mid(space + 2).size() == 4)
                text += QStringLiteral("  ; ") + label.value();
        }
        return text;
    }
    const TProgramInfo::File& file = m_info.Files.value(row.File);
    return file.Lines.value(row.Line - 1);
}

QVariant TCodeModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
    case Gutter:
        return QString();
    case Address:
        return m_info.HasSource() && m_mode == Mode::Source ? QStringLiteral("Line")
                                                            : QStringLiteral("Address");
    default:
        return QStringLiteral("Code");
    }
}

// ---------------------------------------------------------------- TCodeView

TCodeView::TCodeView(mcs51::Core& core, const TProgramInfo& info, QWidget* parent)
    : QWidget(parent), m_info(info), m_model(new TCodeModel(core, info, this)),
      m_modeBox(new QComboBox(this)), m_fileBox(new QComboBox(this)),
      m_folderButton(new QPushButton(QStringLiteral("Source Folder..."), this)),
      m_reason(new QLabel(this)), m_table(new QTableView(this)) {
    setObjectName(QStringLiteral("CodeView"));
    m_modeBox->setObjectName(QStringLiteral("cbCodeMode"));
    m_modeBox->addItems(
        {QStringLiteral("Source"), QStringLiteral("Disassembly"), QStringLiteral("Mixed")});
    m_fileBox->setObjectName(QStringLiteral("cbCodeFile"));
    m_folderButton->setObjectName(QStringLiteral("btSourceFolder"));
    m_reason->setObjectName(QStringLiteral("lbCodeReason"));
    m_reason->setWordWrap(true);
    m_reason->setStyleSheet(QStringLiteral("QLabel { background: #fff4c0; padding: 3px; }"));
    m_table->setObjectName(QStringLiteral("CodeTable"));
    m_table->setModel(m_model);
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    m_table->setFont(fixed);
    m_table->setShowGrid(false);
    m_table->setWordWrap(false);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 2);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setColumnWidth(
        TCodeModel::Gutter,
        m_table->fontMetrics().horizontalAdvance(QStringLiteral("\u25CF\u25B6")) + 10);
    m_table->setColumnWidth(TCodeModel::Address,
                            m_table->fontMetrics().horizontalAdvance(QStringLiteral("Address")) +
                                12);

    auto* top = new QHBoxLayout;
    top->addWidget(m_modeBox);
    top->addWidget(m_fileBox, 1);
    top->addWidget(m_folderButton);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addLayout(top);
    layout->addWidget(m_reason);
    layout->addWidget(m_table, 1);

    connect(m_table, &QTableView::clicked, this, [this](const QModelIndex& index) {
        if (index.column() == TCodeModel::Gutter) emit GutterClicked(index.row());
    });
    connect(m_modeBox, &QComboBox::activated, this,
            [this](int mode) { SetMode(TCodeModel::Mode(mode)); });
    connect(m_fileBox, &QComboBox::activated, this, [this](int file) {
        m_model->SetFile(file);
        m_table->scrollToTop();
    });
    connect(m_folderButton, &QPushButton::clicked, this, &TCodeView::SourceFolderClicked);
    Rebuild();
}

QString TCodeView::ReasonText() const {
    return m_reason->isHidden() ? QString() : m_reason->text();
}

void TCodeView::SetMode(TCodeModel::Mode mode) {
    m_model->SetMode(mode);
    UpdateChoices();
    // The new rows laid out now, so that the scroll reaches the current one.
    m_table->doItemsLayout();
    if (m_model->CurrentRow() >= 0)
        m_table->scrollTo(m_model->index(m_model->CurrentRow(), TCodeModel::Text),
                          QAbstractItemView::PositionAtCenter);
}

void TCodeView::UpdateChoices() {
    const bool source = m_info.HasSource();
    m_modeBox->setEnabled(source);
    m_modeBox->setCurrentIndex(source ? int(m_model->CurrentMode()) : 1);
    m_fileBox->clear();
    for (const TProgramInfo::File& file : m_info.Files)
        m_fileBox->addItem(QFileInfo(file.Name).fileName() +
                           (file.Lines.isEmpty() ? QStringLiteral(" (not found)") : QString()));
    m_fileBox->setCurrentIndex(m_model->CurrentFile());
    m_fileBox->setEnabled(source && m_model->CurrentMode() != TCodeModel::Mode::Disassembly);
    m_fileBox->setVisible(!m_info.Files.isEmpty());
    m_folderButton->setVisible(!m_info.Files.isEmpty());
    m_reason->setText(m_info.Reason);
    m_reason->setHidden(m_info.Reason.isEmpty());
}

void TCodeView::Rebuild() {
    m_model->Rebuild();
    UpdateChoices();
}

void TCodeView::ShowPC(int pc) {
    const int file = m_model->CurrentFile();
    m_model->SetPC(pc);
    if (file != m_model->CurrentFile()) {
        UpdateChoices();
        m_table->doItemsLayout();
    }
    const int row = m_model->CurrentRow();
    if (row >= 0) {
        m_table->scrollTo(m_model->index(row, TCodeModel::Text));
    }
}

QSize TCodeView::sizeHint() const {
    const int width = m_table->fontMetrics().horizontalAdvance(QString(72, QLatin1Char('0')));
    return QSize(width, 420);
}

int TCodeView::CursorRow() const {
    const QModelIndex index = m_table->currentIndex();
    return index.isValid() ? index.row() : -1;
}
