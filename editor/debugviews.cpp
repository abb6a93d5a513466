#include "editor/debugviews.h"

#include <QBrush>
#include <QColor>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include "editor/firmwarerunner.h"
#include "editor/memoryview.h"

namespace {

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

QString hex4(int value) {
    return QStringLiteral("0x%1")
        .arg(value & 0xFFFF, 4, 16, QLatin1Char('0'))
        .toUpper()
        .replace(QStringLiteral("0X"), QStringLiteral("0x"));
}

mcs51::CType byteType() {
    mcs51::CType type;
    type.kind = mcs51::CType::Kind::Char;
    type.size = 1;
    return type;
}

const QColor ChangedColor(255, 200, 120);

} // namespace

// ---------------------------------------------------------------- TVariablesModel

TVariablesModel::TVariablesModel(TFirmwareRunner* runner, QObject* parent)
    : QAbstractTableModel(parent), m_runner(runner) {}

void TVariablesModel::Rebuild() {
    beginResetModel();
    m_entries.clear();
    if (const mcs51::DebugInfo* info = m_runner->DebugInfo()) {
        for (const mcs51::Symbol* symbol : info->Variables(m_runner->Core().PC())) {
            Entry entry;
            entry.name = qs(symbol->QualifiedName());
            switch (symbol->scope) {
            case mcs51::Symbol::Scope::Global:
                entry.scope = QStringLiteral("global");
                break;
            case mcs51::Symbol::Scope::File:
                entry.scope = QStringLiteral("static in %1").arg(qs(symbol->file));
                break;
            case mcs51::Symbol::Scope::Function:
                entry.scope = QStringLiteral("local in %1").arg(qs(symbol->function));
                break;
            }
            entry.space = qs(mcs51::SpaceName(symbol->space));
            entry.type = qs(symbol->type.Name());
            entry.located = symbol->located && symbol->space != mcs51::Space::Register &&
                            symbol->space != mcs51::Space::Stack &&
                            symbol->space != mcs51::Space::None;
            entry.where.space = symbol->space;
            entry.where.address = symbol->address;
            entry.where.type = symbol->type;
            entry.where.name = symbol->name;
            if (!entry.located) {
                entry.value = symbol->space == mcs51::Space::Register
                                  ? QStringLiteral("(in %1)").arg(qs(symbol->registers))
                                  : QStringLiteral("(no fixed address)");
            }
            m_entries.append(entry);
        }
    }
    endResetModel();
    Refresh();
}

void TVariablesModel::Refresh() {
    if (m_entries.isEmpty()) return;
    const mcs51::Core& core = m_runner->Core();
    for (Entry& entry : m_entries)
        if (entry.located)
            entry.value = qs(mcs51::FormatValue(core, entry.where, m_runner->DebugInfo()));
    emit dataChanged(index(0, Value), index(m_entries.size() - 1, Value));
}

int TVariablesModel::RowOf(const QString& qualifiedName) const {
    for (int row = 0; row < m_entries.size(); ++row)
        if (m_entries[row].name == qualifiedName) return row;
    return -1;
}

int TVariablesModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_entries.size();
}

int TVariablesModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TVariablesModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_entries.size()) return {};
    const Entry& entry = m_entries[index.row()];
    if (role == Qt::ToolTipRole && entry.located)
        return QStringLiteral("%1 at %2").arg(entry.space, hex4(int(entry.where.address)));
    if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
    switch (index.column()) {
    case Name:
        return entry.name;
    case Scope:
        return entry.scope;
    case Space:
        return entry.located
                   ? QStringLiteral("%1 %2").arg(entry.space, hex4(int(entry.where.address)))
                   : entry.space;
    case Type:
        return entry.type;
    default:
        return entry.value;
    }
}

QVariant TVariablesModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const Titles[] = {"Name", "Scope", "Space", "Type", "Value"};
    return section >= 0 && section < ColumnCount ? QLatin1String(Titles[section]) : QString();
}

Qt::ItemFlags TVariablesModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (m_editable && index.isValid() && index.column() == Value &&
        index.row() < m_entries.size() && m_entries[index.row()].located)
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool TVariablesModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable)) return false;
    const std::string error = mcs51::WriteValue(m_runner->Core(), m_entries[index.row()].where,
                                                value.toString().toStdString());
    m_error = qs(error);
    if (!error.empty()) return false;
    // A variable may share bytes with others (a union, an array and its element): all again.
    Refresh();
    return true;
}

// ---------------------------------------------------------------- TWatchModel

TWatchModel::TWatchModel(TFirmwareRunner* runner, QObject* parent)
    : QAbstractTableModel(parent), m_runner(runner) {}

bool TWatchModel::Locate(const QString& expression, mcs51::Location* where, QString* error) const {
    const QString text = expression.trimmed();
    static const struct {
        const char* prefix;
        mcs51::Space space;
        int size;
    } Spaces[] = {{"IRAM:", mcs51::Space::Iram, 256},   {"DATA:", mcs51::Space::Iram, 256},
                  {"XRAM:", mcs51::Space::Xram, 65536}, {"XDATA:", mcs51::Space::Xram, 65536},
                  {"CODE:", mcs51::Space::Code, 65536}, {"SFR:", mcs51::Space::Sfr, 256}};
    for (const auto& space : Spaces) {
        if (!text.startsWith(QLatin1String(space.prefix), Qt::CaseInsensitive)) continue;
        QString number = text.mid(int(qstrlen(space.prefix))).trimmed();
        bool ok = false;
        uint address = 0;
        if (number.startsWith(QStringLiteral("0x"), Qt::CaseInsensitive))
            address = number.mid(2).toUInt(&ok, 16);
        else if (number.endsWith(u'h', Qt::CaseInsensitive))
            address = number.chopped(1).toUInt(&ok, 16);
        else
            address = number.toUInt(&ok, 10);
        if (!ok || int(address) >= space.size ||
            (space.space == mcs51::Space::Sfr && address < 0x80)) {
            *error = QStringLiteral("%1 is no address in that space").arg(number);
            return false;
        }
        *where = mcs51::Location{space.space, address, byteType(), text.toStdString()};
        return true;
    }
    if (const std::optional<uint8_t> sfr = TSfrModel::AddressOf(text)) {
        *where = mcs51::Location{mcs51::Space::Sfr, *sfr, byteType(), text.toStdString()};
        return true;
    }
    const mcs51::DebugInfo* info = m_runner->DebugInfo();
    if (!info) {
        *error = QStringLiteral("no debug information: give SPACE:ADDRESS or an SFR");
        return false;
    }
    std::string why;
    const std::optional<mcs51::Location> location =
        info->Resolve(text.toStdString(), m_runner->Core().PC(), &m_runner->Core(), &why);
    if (!location) {
        *error = qs(why);
        return false;
    }
    *where = *location;
    return true;
}

void TWatchModel::Add(const QString& expression) {
    const QString text = expression.trimmed();
    if (text.isEmpty()) return;
    beginInsertRows({}, m_expressions.size(), m_expressions.size());
    m_expressions.append(text);
    m_values.append(QString());
    endInsertRows();
    Refresh();
}

void TWatchModel::Remove(int row) {
    if (row < 0 || row >= m_expressions.size()) return;
    beginRemoveRows({}, row, row);
    m_expressions.removeAt(row);
    m_values.removeAt(row);
    endRemoveRows();
}

void TWatchModel::SetExpressions(const QStringList& expressions) {
    beginResetModel();
    m_expressions = expressions;
    m_values = QStringList();
    for (qsizetype i = 0; i < m_expressions.size(); ++i)
        m_values.append(QString());
    endResetModel();
    Refresh();
}

void TWatchModel::Refresh() {
    if (m_expressions.isEmpty()) return;
    for (int row = 0; row < m_expressions.size(); ++row) {
        mcs51::Location where;
        QString error;
        m_values[row] = Locate(m_expressions[row], &where, &error)
                            ? qs(mcs51::FormatValue(m_runner->Core(), where, m_runner->DebugInfo()))
                            : QStringLiteral("(%1)").arg(error);
    }
    emit dataChanged(index(0, Value), index(m_expressions.size() - 1, Value));
}

int TWatchModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_expressions.size();
}

int TWatchModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TWatchModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_expressions.size()) return {};
    if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
    return index.column() == Expression ? m_expressions[index.row()] : m_values[index.row()];
}

QVariant TWatchModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    return section == Expression ? QStringLiteral("Watch") : QStringLiteral("Value");
}

Qt::ItemFlags TWatchModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (m_editable && index.isValid() && index.column() == Value) flags |= Qt::ItemIsEditable;
    return flags;
}

bool TWatchModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable)) return false;
    mcs51::Location where;
    QString error;
    if (!Locate(m_expressions[index.row()], &where, &error)) {
        m_error = error;
        return false;
    }
    m_error = qs(mcs51::WriteValue(m_runner->Core(), where, value.toString().toStdString()));
    if (!m_error.isEmpty()) return false;
    Refresh();
    return true;
}

// ---------------------------------------------------------------- TCallStackModel

TCallStackModel::TCallStackModel(TFirmwareRunner* runner, QObject* parent)
    : QAbstractTableModel(parent), m_runner(runner) {}

void TCallStackModel::Refresh() {
    beginResetModel();
    m_stack = m_runner->HasFirmware()
                  ? mcs51::ReadCallStack(m_runner->Core(), m_runner->DebugInfo())
                  : mcs51::CallStack{};
    endResetModel();
}

int TCallStackModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) return 0;
    return int(m_stack.frames.size()) + (m_stack.complete ? 0 : 1);
}

int TCallStackModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 3;
}

QVariant TCallStackModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || role != Qt::DisplayRole) return {};
    const size_t row = size_t(index.row());
    if (row >= m_stack.frames.size()) {
        if (index.column() != 0) return {};
        return m_stack.note.empty()
                   ? QStringLiteral("(the rest of the stack cannot be read as calls)")
                   : QStringLiteral("(%1)").arg(qs(m_stack.note));
    }
    const mcs51::StackFrame& frame = m_stack.frames[row];
    switch (index.column()) {
    case 0: {
        QString name = frame.function.empty() ? QStringLiteral("?") : qs(frame.function);
        if (frame.interrupt) name += QStringLiteral(" (interrupt)");
        return name;
    }
    case 1:
        return hex4(frame.pc);
    default:
        return qs(frame.where);
    }
}

QVariant TCallStackModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const Titles[] = {"Function", "Address", "Where"};
    return section >= 0 && section < 3 ? QLatin1String(Titles[section]) : QString();
}

// ---------------------------------------------------------------- TBreakpointsModel

TBreakpointsModel::TBreakpointsModel(TFirmwareRunner* runner, QObject* parent)
    : QAbstractTableModel(parent), m_runner(runner) {}

void TBreakpointsModel::Refresh() {
    beginResetModel();
    m_codeRows = int(m_runner->Debugger().Breakpoints().size());
    m_dataRows = int(m_runner->Debugger().DataBreakpoints().size());
    endResetModel();
}

void TBreakpointsModel::RemoveRow(int row) {
    if (row < 0) return;
    if (row < m_codeRows)
        m_runner->Debugger().RemoveBreakpoint(row);
    else if (row < m_codeRows + m_dataRows)
        m_runner->Debugger().RemoveDataBreakpoint(row - m_codeRows);
    Refresh();
}

int TBreakpointsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_codeRows + m_dataRows;
}

int TBreakpointsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 3;
}

QVariant TBreakpointsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ForegroundRole)) return {};
    const mcs51::Debugger& debugger = m_runner->Debugger();
    const int row = index.row();
    if (row < m_codeRows && size_t(row) < debugger.Breakpoints().size()) {
        const mcs51::CodeBreakpoint& breakpoint = debugger.Breakpoints()[size_t(row)];
        if (role == Qt::ForegroundRole)
            return breakpoint.resolved ? QVariant() : QBrush(QColor(150, 150, 150));
        switch (index.column()) {
        case 0:
            return breakpoint.line > 0
                       ? QStringLiteral("%1:%2").arg(qs(breakpoint.file)).arg(breakpoint.line)
                       : hex4(breakpoint.address);
        case 1:
            return breakpoint.resolved ? qs(debugger.Where(breakpoint.address))
                                       : QStringLiteral("not in this program");
        default:
            return qs(breakpoint.note);
        }
    }
    const size_t data = size_t(row - m_codeRows);
    if (role != Qt::DisplayRole || data >= debugger.DataBreakpoints().size()) return {};
    const mcs51::DataBreakpoint& breakpoint = debugger.DataBreakpoints()[data];
    switch (index.column()) {
    case 0:
        return breakpoint.name.empty()
                   ? QStringLiteral("%1 %2").arg(qs(mcs51::SpaceName(breakpoint.space)),
                                                 hex4(int(breakpoint.address)))
                   : qs(breakpoint.name);
    case 1: {
        QStringList on;
        if (breakpoint.onRead) on << QStringLiteral("read");
        if (breakpoint.onWrite) on << QStringLiteral("written");
        return QStringLiteral("stops when %1").arg(on.join(QStringLiteral(" or ")));
    }
    default:
        return breakpoint.length > 1 ? QStringLiteral("%1 bytes").arg(breakpoint.length)
                                     : QString();
    }
}

QVariant TBreakpointsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const Titles[] = {"Breakpoint", "At", "Note"};
    return section >= 0 && section < 3 ? QLatin1String(Titles[section]) : QString();
}

// ---------------------------------------------------------------- TStopwatch

TStopwatch::TStopwatch(TFirmwareRunner* runner, QWidget* parent)
    : QWidget(parent), m_runner(runner), m_label(new QLabel(this)) {
    setObjectName(QStringLiteral("Stopwatch"));
    m_label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* reset = new QPushButton(QStringLiteral("Reset Mark"), this);
    reset->setObjectName(QStringLiteral("btStopwatchMark"));
    reset->setToolTip(QStringLiteral("Measure from now on"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_label, 1);
    layout->addWidget(reset);
    connect(reset, &QPushButton::clicked, this, &TStopwatch::ResetMark);
    Refresh();
}

QString TStopwatch::Text() const {
    if (!m_runner->HasFirmware()) return QString();
    const quint64 total = m_runner->Cycles();
    const quint64 lap = m_runner->StopwatchCycles();
    return QStringLiteral("%1 cycles (%2 ms) since reset, %3 cycles (%4 ms) since the mark")
        .arg(total)
        .arg(m_runner->CyclesToMs(total), 0, 'f', 3)
        .arg(lap)
        .arg(m_runner->CyclesToMs(lap), 0, 'f', 3);
}

void TStopwatch::Refresh() {
    if (!m_runner->HasFirmware()) {
        m_label->setText(QStringLiteral("Stopwatch: no firmware"));
        return;
    }
    const quint64 total = m_runner->Cycles();
    const quint64 lap = m_runner->StopwatchCycles();
    m_label->setText(QStringLiteral("Stopwatch\n since reset  %1 cycles  %2 ms\n since mark   "
                                    "%3 cycles  %4 ms")
                         .arg(total)
                         .arg(m_runner->CyclesToMs(total), 0, 'f', 3)
                         .arg(lap)
                         .arg(m_runner->CyclesToMs(lap), 0, 'f', 3));
}

void TStopwatch::ResetMark() {
    m_runner->MarkStopwatch();
    Refresh();
}
