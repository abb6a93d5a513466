#include "editor/memoryview.h"

#include <QBrush>
#include <QColor>
#include <QComboBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QStackedWidget>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <cstring>

#include "host/mcs51.h"

namespace {

QString hex(int value, int digits) {
    return QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')).toUpper();
}

struct SfrName {
    uint8_t address;
    const char* name;
};
constexpr SfrName SfrNames[] = {{0x80, "P0"},     {0x81, "SP"},   {0x82, "DPL"},   {0x83, "DPH"},
                                {0x87, "PCON"},   {0x88, "TCON"}, {0x89, "TMOD"},  {0x8A, "TL0"},
                                {0x8B, "TL1"},    {0x8C, "TH0"},  {0x8D, "TH1"},   {0x90, "P1"},
                                {0x98, "SCON"},   {0x99, "SBUF"}, {0xA0, "P2"},    {0xA8, "IE"},
                                {0xB0, "P3"},     {0xB8, "IP"},   {0xC8, "T2CON"}, {0xCA, "RCAP2L"},
                                {0xCB, "RCAP2H"}, {0xCC, "TL2"},  {0xCD, "TH2"},   {0xD0, "PSW"},
                                {0xE0, "ACC"},    {0xF0, "B"}};
constexpr int SfrCount = int(sizeof SfrNames / sizeof SfrNames[0]);

const QColor ChangedColor(255, 200, 120);

// A byte as typed: hex ("3F", "0x3F"), or a character in quotes ('A').
std::optional<uint8_t> parseByte(QString text) {
    text = text.trimmed();
    if (text.size() == 3 && text.front() == u'\'' && text.back() == u'\'' &&
        text[1].unicode() < 256)
        return uint8_t(text[1].unicode());
    if (text.startsWith(QStringLiteral("0x"), Qt::CaseInsensitive)) text = text.mid(2);
    bool ok = false;
    const uint value = text.toUInt(&ok, 16);
    if (!ok || value > 0xFF || text.isEmpty()) return std::nullopt;
    return uint8_t(value);
}

// "0x1234", "1234h", "$1234", "4660" (decimal only with a leading '#'), or plain hex.
std::optional<int> parseAddress(QString text) {
    text = text.trimmed();
    int base = 16;
    if (text.startsWith(QStringLiteral("0x"), Qt::CaseInsensitive))
        text = text.mid(2);
    else if (text.endsWith(u'h', Qt::CaseInsensitive))
        text.chop(1);
    else if (text.startsWith(u'$'))
        text = text.mid(1);
    else if (text.startsWith(u'#')) {
        text = text.mid(1);
        base = 10;
    }
    bool ok = false;
    const uint value = text.toUInt(&ok, base);
    if (!ok || text.isEmpty() || value > 0xFFFF) return std::nullopt;
    return int(value);
}

} // namespace

// ---------------------------------------------------------------- TMemoryModel

TMemoryModel::TMemoryModel(mcs51::Core& core, Space space, QObject* parent)
    : QAbstractTableModel(parent), m_core(core), m_space(space) {
    m_lastStop = QByteArray(reinterpret_cast<const char*>(Memory()), Size());
    m_reference = m_lastStop;
}

int TMemoryModel::Size() const {
    return m_space == Space::Iram ? 256 : 0x10000;
}

uint8_t* TMemoryModel::Memory() const {
    switch (m_space) {
    case Space::Iram:
        return m_core.Iram();
    case Space::Xram:
        return m_core.Xram();
    case Space::Code:
        break;
    }
    return m_core.Code();
}

uint8_t TMemoryModel::Byte(int address) const {
    return Memory()[address & (Size() - 1)];
}

bool TMemoryModel::Changed(int address) const {
    if (address < 0 || address >= Size()) return false;
    return uint8_t(m_reference[address]) != Byte(address);
}

void TMemoryModel::MarkStop() {
    m_reference = m_lastStop;
    m_lastStop = QByteArray(reinterpret_cast<const char*>(Memory()), Size());
    Refresh();
}

void TMemoryModel::Refresh() {
    emit dataChanged(index(0, 0), index(rowCount() - 1, AsciiColumn));
}

QModelIndex TMemoryModel::IndexOf(int address) const {
    if (address < 0 || address >= Size()) return {};
    return index(address / BytesPerRow, address % BytesPerRow);
}

int TMemoryModel::AddressOf(const QModelIndex& index) const {
    if (!index.isValid() || index.column() >= BytesPerRow) return -1;
    return index.row() * BytesPerRow + index.column();
}

int TMemoryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Size() / BytesPerRow;
}

int TMemoryModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : BytesPerRow + 1;
}

QVariant TMemoryModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const int base = index.row() * BytesPerRow;
    if (index.column() == AsciiColumn) {
        if (role != Qt::DisplayRole) return {};
        QString text;
        for (int i = 0; i < BytesPerRow; ++i) {
            const uint8_t byte = Byte(base + i);
            text += byte >= 0x20 && byte < 0x7F ? QChar(byte) : QChar(u'.');
        }
        return text;
    }
    const int address = base + index.column();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return hex(Byte(address), 2);
    case Qt::BackgroundRole:
        if (Changed(address)) return QBrush(ChangedColor);
        if (m_space == Space::Iram) {
            // The register banks in shades of blue, the one in use darker; the bit area green.
            if (address < 0x20) {
                const bool active = address / 8 == m_bank;
                return QBrush(active ? QColor(170, 200, 255) : QColor(225, 235, 255));
            }
            if (address < 0x30) return QBrush(QColor(215, 245, 215));
        }
        return {};
    case Qt::ToolTipRole:
        if (m_space == Space::Iram && address < 0x20)
            return QStringLiteral("R%1 of register bank %2").arg(address % 8).arg(address / 8);
        if (m_space == Space::Iram && address < 0x30)
            return QStringLiteral("bits %1h..%2h")
                .arg(hex((address - 0x20) * 8, 2), hex((address - 0x20) * 8 + 7, 2));
        if (m_space == Space::Iram && address >= 0x80)
            return QStringLiteral("reached only indirectly, on parts with 256 bytes");
        return {};
    default:
        return {};
    }
}

QVariant TMemoryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Vertical)
        return hex(section * BytesPerRow, m_space == Space::Iram ? 2 : 4);
    if (section == AsciiColumn) return QStringLiteral("ASCII");
    return hex(section, 1);
}

Qt::ItemFlags TMemoryModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (m_editable && index.isValid() && index.column() < BytesPerRow) flags |= Qt::ItemIsEditable;
    return flags;
}

bool TMemoryModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!m_editable || role != Qt::EditRole) return false;
    const int address = AddressOf(index);
    if (address < 0) return false;
    const std::optional<uint8_t> byte = parseByte(value.toString());
    if (!byte) return false;
    Memory()[address] = *byte;
    emit dataChanged(this->index(index.row(), 0), this->index(index.row(), AsciiColumn));
    return true;
}

// ---------------------------------------------------------------- TSfrModel

TSfrModel::TSfrModel(mcs51::Core& core, QObject* parent)
    : QAbstractTableModel(parent), m_core(core) {
    MarkStop();
    m_reference = m_lastStop;
}

std::optional<uint8_t> TSfrModel::AddressOf(const QString& name) {
    const QString wanted = name.trimmed().toUpper();
    for (const SfrName& sfr : SfrNames)
        if (wanted == QLatin1String(sfr.name)) return sfr.address;
    if (wanted == u"A") return mcs51::sfr::ACC;
    return std::nullopt;
}

QString TSfrModel::NameOf(uint8_t address) {
    for (const SfrName& sfr : SfrNames)
        if (sfr.address == address) return QLatin1String(sfr.name);
    return QString();
}

int TSfrModel::RowOf(uint8_t address) {
    for (int row = 0; row < SfrCount; ++row)
        if (SfrNames[row].address == address) return row;
    return -1;
}

bool TSfrModel::Changed(int row) const {
    if (row < 0 || row >= SfrCount) return false;
    return uint8_t(m_reference[row]) != m_core.Sfr(SfrNames[row].address);
}

void TSfrModel::MarkStop() {
    m_reference = m_lastStop;
    m_lastStop.resize(SfrCount);
    for (int row = 0; row < SfrCount; ++row)
        m_lastStop[row] = char(m_core.Sfr(SfrNames[row].address));
    Refresh();
}

void TSfrModel::Refresh() {
    if (SfrCount > 0) emit dataChanged(index(0, 0), index(SfrCount - 1, 3));
}

int TSfrModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : SfrCount;
}

int TSfrModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 4;
}

QVariant TSfrModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= SfrCount) return {};
    const SfrName& sfr = SfrNames[index.row()];
    const uint8_t value = m_core.Sfr(sfr.address);
    if (role == Qt::BackgroundRole && Changed(index.row()) && index.column() >= 2)
        return QBrush(ChangedColor);
    if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
    switch (index.column()) {
    case 0:
        return hex(sfr.address, 2);
    case 1:
        return QLatin1String(sfr.name);
    case 2:
        return hex(value, 2);
    default:
        return QStringLiteral("%1").arg(value, 8, 2, QLatin1Char('0'));
    }
}

QVariant TSfrModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
    static const char* const Titles[] = {"Address", "Name", "Hex", "Bits"};
    return section >= 0 && section < 4 ? QLatin1String(Titles[section]) : QString();
}

Qt::ItemFlags TSfrModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (m_editable && index.isValid() && index.column() == 2) flags |= Qt::ItemIsEditable;
    return flags;
}

bool TSfrModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!m_editable || role != Qt::EditRole || !index.isValid() || index.column() != 2 ||
        index.row() >= SfrCount)
        return false;
    const std::optional<uint8_t> byte = parseByte(value.toString());
    if (!byte) return false;
    m_core.SetSfr(SfrNames[index.row()].address, *byte);
    emit dataChanged(this->index(index.row(), 0), this->index(index.row(), 3));
    return true;
}

// ---------------------------------------------------------------- TMemoryView

TMemoryView::TMemoryView(mcs51::Core& core, QWidget* parent)
    : QWidget(parent), m_core(core), m_spaceBox(new QComboBox(this)), m_goTo(new QLineEdit(this)),
      m_message(new QLabel(this)), m_stack(new QStackedWidget(this)),
      m_iram(new TMemoryModel(core, TMemoryModel::Space::Iram, this)),
      m_xram(new TMemoryModel(core, TMemoryModel::Space::Xram, this)),
      m_code(new TMemoryModel(core, TMemoryModel::Space::Code, this)),
      m_sfrs(new TSfrModel(core, this)) {
    setObjectName(QStringLiteral("MemoryView"));
    m_spaceBox->setObjectName(QStringLiteral("cbMemorySpace"));
    m_spaceBox->addItems({QStringLiteral("Internal RAM"), QStringLiteral("SFRs"),
                          QStringLiteral("External RAM"), QStringLiteral("Code")});
    m_goTo->setObjectName(QStringLiteral("edMemoryGoTo"));
    m_goTo->setPlaceholderText(QStringLiteral("Go to address or symbol"));
    m_message->setObjectName(QStringLiteral("lbMemoryMessage"));
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    QAbstractItemModel* models[4] = {m_iram, m_sfrs, m_xram, m_code};
    for (int i = 0; i < 4; ++i) {
        auto* view = new QTableView(m_stack);
        view->setModel(models[i]);
        view->setFont(fixed);
        view->verticalHeader()->setFont(fixed);
        view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 4);
        view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        view->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                              QAbstractItemView::AnyKeyPressed);
        if (i != 1) {
            const int cell = view->fontMetrics().horizontalAdvance(QStringLiteral("00")) + 8;
            for (int c = 0; c < TMemoryModel::BytesPerRow; ++c)
                view->setColumnWidth(c, cell);
            view->horizontalHeader()->setStretchLastSection(true);
        } else {
            view->verticalHeader()->hide();
            view->horizontalHeader()->setStretchLastSection(true);
        }
        m_views[i] = view;
        m_stack->addWidget(view);
    }
    auto* top = new QHBoxLayout;
    top->addWidget(m_spaceBox);
    top->addWidget(m_goTo, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addLayout(top);
    layout->addWidget(m_message);
    layout->addWidget(m_stack, 1);
    m_message->hide();
    connect(m_spaceBox, &QComboBox::currentIndexChanged, m_stack, &QStackedWidget::setCurrentIndex);
    connect(m_goTo, &QLineEdit::returnPressed, this, [this] {
        const QString error = GoTo(m_goTo->text());
        m_message->setText(error);
        m_message->setVisible(!error.isEmpty());
    });
}

TMemoryModel* TMemoryView::Model(TMemoryModel::Space space) const {
    switch (space) {
    case TMemoryModel::Space::Iram:
        return m_iram;
    case TMemoryModel::Space::Xram:
        return m_xram;
    case TMemoryModel::Space::Code:
        break;
    }
    return m_code;
}

QTableView* TMemoryView::Grid() const {
    return m_views[m_stack->currentIndex()];
}

QSize TMemoryView::sizeHint() const {
    // Every column, the text column with room for its sixteen characters, the row header, the
    // scroll bar and the frames, so nothing is cut off at this width.
    const QTableView* grid = m_views[0];
    int width = grid->verticalHeader()->sizeHint().width() +
                grid->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, grid) +
                2 * grid->frameWidth() + 2 * 2 /* layout margins */ + 8;
    for (int column = 0; column < TMemoryModel::AsciiColumn; ++column)
        width += grid->columnWidth(column);
    width += std::max(grid->fontMetrics().horizontalAdvance(QString(16, QLatin1Char('W'))),
                      grid->horizontalHeader()->sectionSizeHint(TMemoryModel::AsciiColumn)) +
             16;
    return QSize(width, 260);
}

int TMemoryView::CurrentSpace() const {
    return m_spaceBox->currentIndex();
}

void TMemoryView::SetCurrentSpace(int space) {
    m_spaceBox->setCurrentIndex(space);
}

void TMemoryView::SetEditable(bool on) {
    m_iram->SetEditable(on);
    m_xram->SetEditable(on);
    m_code->SetEditable(on);
    m_sfrs->SetEditable(on);
}

void TMemoryView::MarkStop() {
    m_iram->SetActiveBank((m_core.PSW() >> 3) & 3);
    m_iram->MarkStop();
    m_xram->MarkStop();
    m_code->MarkStop();
    m_sfrs->MarkStop();
}

void TMemoryView::Refresh() {
    // Only the space shown is read: the others are read when they are chosen.
    m_iram->SetActiveBank((m_core.PSW() >> 3) & 3);
    switch (CurrentSpace()) {
    case 0:
        m_iram->Refresh();
        break;
    case 1:
        m_sfrs->Refresh();
        break;
    case 2:
        m_xram->Refresh();
        break;
    default:
        m_code->Refresh();
        break;
    }
}

QString TMemoryView::GoTo(const QString& where) {
    QString text = where.trimmed();
    if (text.isEmpty()) return QString();
    int space = CurrentSpace();
    static const struct {
        const char* prefix;
        int space;
    } Prefixes[] = {{"iram:", 0}, {"data:", 0},  {"sfr:", 1},
                    {"xram:", 2}, {"xdata:", 2}, {"code:", 3}};
    for (const auto& prefix : Prefixes) {
        if (text.startsWith(QLatin1String(prefix.prefix), Qt::CaseInsensitive)) {
            space = prefix.space;
            text = text.mid(int(std::strlen(prefix.prefix))).trimmed();
            break;
        }
    }
    std::optional<int> address = parseAddress(text);
    if (!address) {
        if (const std::optional<uint8_t> sfr = TSfrModel::AddressOf(text)) {
            space = 1;
            address = *sfr;
        } else if (m_lookup) {
            if (const std::optional<TTarget> target = m_lookup(text)) {
                space = target->space;
                address = target->address;
            }
        }
    }
    if (!address)
        return QStringLiteral("%1 is no address and no known symbol.").arg(where.trimmed());
    SetCurrentSpace(space);
    QTableView* view = Grid();
    QModelIndex index;
    if (space == 1) {
        const int row = m_sfrs->RowOf(uint8_t(*address));
        if (row < 0) return QStringLiteral("No register is named at %1h.").arg(hex(*address, 2));
        index = m_sfrs->index(row, 2);
    } else {
        TMemoryModel* model = space == 0 ? m_iram : space == 2 ? m_xram : m_code;
        if (*address >= model->Size())
            return QStringLiteral("%1h lies beyond internal RAM.").arg(hex(*address, 4));
        index = model->IndexOf(*address);
    }
    view->setCurrentIndex(index);
    view->scrollTo(index, QAbstractItemView::PositionAtCenter);
    return QString();
}
