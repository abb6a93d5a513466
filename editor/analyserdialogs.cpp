#include "editor/analyserdialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

// The form's frame: fields, then the hint line, then the buttons (OK, Cancel and any extra).
QDialogButtonBox* finish(QDialog* dialog, QFormLayout* form, QLabel* hint) {
    auto* layout = new QVBoxLayout(dialog);
    layout->addLayout(form);
    hint->setObjectName(QStringLiteral("Hint"));
    hint->setWordWrap(true);
    hint->setStyleSheet(QStringLiteral("color: #a00000"));
    layout->addWidget(hint);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    layout->addWidget(buttons);
    return buttons;
}

// A form's refusal: no value, with the reason handed back through `why`.
std::nullopt_t refuse(QString* why, const QString& reason) {
    if (why) *why = reason;
    return std::nullopt;
}

QComboBox* pathBox(QWidget* parent, const QStringList& items, const char* name) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->addItems(items);
    box->setMinimumWidth(200);
    return box;
}

} // namespace

// ---------------------------------------------------------------- UART

TUartDialog::TUartDialog(const TUartSettings& initial, bool firmwareRate, QWidget* parent)
    : QDialog(parent), m_firmwareRate(firmwareRate) {
    setWindowTitle(QStringLiteral("UART Decoder"));
    auto* form = new QFormLayout;
    m_decode = new QCheckBox(QStringLiteral("Decode the row as UART frames"), this);
    m_decode->setChecked(initial.On);
    form->addRow(m_decode);
    m_baud = new QComboBox(this);
    m_baud->setObjectName(QStringLiteral("Baud"));
    m_baud->setEditable(true);
    m_baud->setInsertPolicy(QComboBox::NoInsert);
    m_baud->addItem(QStringLiteral("From firmware"));
    for (int rate : {300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200})
        m_baud->addItem(QString::number(rate));
    m_baud->setCurrentText(initial.Baud > 0 ? QString::number(initial.Baud)
                           : firmwareRate   ? QStringLiteral("From firmware")
                                            : QStringLiteral("9600"));
    form->addRow(QStringLiteral("Baud rate:"), m_baud);
    m_bits = new QComboBox(this);
    m_bits->setObjectName(QStringLiteral("Bits"));
    m_bits->addItems({QStringLiteral("8"), QStringLiteral("9")});
    m_bits->setCurrentIndex(initial.Bits == 9 ? 1 : 0);
    form->addRow(QStringLiteral("Data bits:"), m_bits);
    m_hint = new QLabel(this);
    m_ok = finish(this, form, m_hint)->button(QDialogButtonBox::Ok);
    connect(m_decode, &QCheckBox::toggled, this, &TUartDialog::Check);
    connect(m_baud, &QComboBox::currentTextChanged, this, &TUartDialog::Check);
    connect(m_bits, &QComboBox::currentIndexChanged, this, &TUartDialog::Check);
    Check();
}

std::optional<TUartSettings> TUartDialog::Result(QString* why) const {
    TUartSettings settings;
    settings.On = m_decode->isChecked();
    settings.Bits = m_bits->currentIndex() == 1 ? 9 : 8;
    if (!settings.On) return settings;
    const QString text = m_baud->currentText().trimmed();
    if (text.compare(QStringLiteral("From firmware"), Qt::CaseInsensitive) == 0) {
        if (!m_firmwareRate)
            return refuse(why,
                          QStringLiteral("Only Host.TXD and Host.RXD follow the firmware's serial "
                                         "set-up: choose a baud rate"));
        return settings;
    }
    bool ok = false;
    const double baud = text.toDouble(&ok);
    if (!ok || !(baud >= MinBaud && baud <= MaxBaud))
        return refuse(why, QStringLiteral("The baud rate is a number from %1 to %2")
                               .arg(MinBaud)
                               .arg(MaxBaud, 0, 'f', 0));
    settings.Baud = baud;
    return settings;
}

void TUartDialog::Check() {
    QString why;
    m_baud->setEnabled(m_decode->isChecked());
    m_bits->setEnabled(m_decode->isChecked());
    m_ok->setEnabled(Result(&why).has_value());
    m_hint->setText(why);
}

// ---------------------------------------------------------------- trigger

TTriggerDialog::TTriggerDialog(const QList<TTriggerRowChoice>& rows, int selectedRow, bool armed,
                               QWidget* parent)
    : QDialog(parent), m_rows(rows) {
    setWindowTitle(QStringLiteral("Trigger"));
    auto* form = new QFormLayout;
    m_row = new QComboBox(this);
    m_row->setObjectName(QStringLiteral("Row"));
    for (const TTriggerRowChoice& row : rows)
        m_row->addItem(row.Label);
    if (selectedRow >= 0 && selectedRow < rows.size()) m_row->setCurrentIndex(selectedRow);
    form->addRow(QStringLiteral("Row:"), m_row);
    m_condition = new QComboBox(this);
    m_condition->setObjectName(QStringLiteral("Condition"));
    m_condition->addItems({QStringLiteral("Rising edge"), QStringLiteral("Falling edge"),
                           QStringLiteral("Equals (hex)")});
    form->addRow(QStringLiteral("When:"), m_condition);
    m_value = new QLineEdit(this);
    m_value->setObjectName(QStringLiteral("Value"));
    m_value->setPlaceholderText(QStringLiteral("e.g. 3F"));
    form->addRow(QStringLiteral("Value:"), m_value);
    m_count = new QSpinBox(this);
    m_count->setObjectName(QStringLiteral("Count"));
    m_count->setRange(1, 1000000);
    form->addRow(QStringLiteral("Occurrence:"), m_count);
    m_hint = new QLabel(this);
    QDialogButtonBox* buttons = finish(this, form, m_hint);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    m_ok->setText(QStringLiteral("Arm"));
    m_disarm = buttons->addButton(QStringLiteral("Disarm"), QDialogButtonBox::ResetRole);
    m_disarm->setEnabled(armed);
    connect(m_disarm, &QPushButton::clicked, this, [this] { done(Disarmed); });
    // A bus offers its value first; a line its rising edge.
    const auto rowChanged = [this] {
        const int row = m_row->currentIndex();
        if (row >= 0 && row < m_rows.size())
            m_condition->setCurrentIndex(m_rows[row].Width > 1 ? Equals : Rising);
        Check();
    };
    connect(m_row, &QComboBox::currentIndexChanged, this, rowChanged);
    connect(m_condition, &QComboBox::currentIndexChanged, this, &TTriggerDialog::Check);
    connect(m_value, &QLineEdit::textChanged, this, &TTriggerDialog::Check);
    connect(m_count, &QSpinBox::valueChanged, this, &TTriggerDialog::Check);
    rowChanged();
}

std::optional<TAnalyserTrigger> TTriggerDialog::Result(QString* why) const {
    const int row = m_row->currentIndex();
    if (row < 0 || row >= m_rows.size())
        return refuse(why, QStringLiteral("Add a row to trigger on"));
    TAnalyserTrigger trigger;
    trigger.Row = row;
    trigger.Count = m_count->value();
    const bool bus = m_rows[row].Width > 1;
    switch (m_condition->currentIndex()) {
    case Rising:
    case Falling:
        if (bus)
            return refuse(why,
                          QStringLiteral("A bus has no edges to trigger on: trigger on a value"));
        trigger.What = m_condition->currentIndex() == Rising ? TAnalyserTrigger::Rising
                                                             : TAnalyserTrigger::Falling;
        return trigger;
    default: {
        trigger.What = TAnalyserTrigger::Equals;
        QString text = m_value->text().trimmed();
        if (text.startsWith(QStringLiteral("0x"), Qt::CaseInsensitive)) text = text.mid(2);
        bool ok = false;
        const int max = bus ? 0xFF : 1;
        trigger.Value = text.toInt(&ok, 16);
        if (text.isEmpty() || !ok || trigger.Value < 0 || trigger.Value > max)
            return refuse(why, bus ? QStringLiteral("The value is a byte in hex, 00 to FF")
                                   : QStringLiteral("A line's value is 0 or 1"));
        return trigger;
    }
    }
}

void TTriggerDialog::Check() {
    QString why;
    m_value->setEnabled(m_condition->currentIndex() == Equals);
    m_ok->setEnabled(Result(&why).has_value());
    m_hint->setText(why);
}

// ---------------------------------------------------------------- LCD bus

TLcdDialog::TLcdDialog(const QStringList& lines, const QStringList& buses, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("LCD Bus Decoder"));
    auto* form = new QFormLayout;
    m_e = pathBox(this, lines, "E");
    m_rs = pathBox(this, lines, "RS");
    m_rw = pathBox(this, QStringList{NoneText()} + lines, "RW");
    m_data = pathBox(this, buses + QStringList{FourLinesText()}, "Data");
    // The usual order of adding them: E, RS, RW.
    m_rs->setCurrentIndex(lines.size() > 1 ? 1 : 0);
    m_rw->setCurrentIndex(lines.size() > 2 ? 3 : 0);
    form->addRow(QStringLiteral("E (enable):"), m_e);
    form->addRow(QStringLiteral("RS (register select):"), m_rs);
    form->addRow(QStringLiteral("RW (read/write):"), m_rw);
    form->addRow(QStringLiteral("Data:"), m_data);
    m_fourBit = new QCheckBox(QStringLiteral("4-bit interface (only D4 to D7 wired)"), this);
    form->addRow(m_fourBit);
    for (int i = 0; i < 4; ++i) {
        m_lines[i] = pathBox(this, lines, i == 0 ? "D4" : i == 1 ? "D5" : i == 2 ? "D6" : "D7");
        m_lines[i]->setCurrentText(QString());
        form->addRow(QStringLiteral("D%1:").arg(4 + i), m_lines[i]);
    }
    m_hint = new QLabel(this);
    m_ok = finish(this, form, m_hint)->button(QDialogButtonBox::Ok);
    for (QComboBox* box : {m_e, m_rs, m_rw, m_data, m_lines[0], m_lines[1], m_lines[2], m_lines[3]})
        connect(box, &QComboBox::currentTextChanged, this, &TLcdDialog::Check);
    connect(m_fourBit, &QCheckBox::toggled, this, &TLcdDialog::Check);
    Check();
}

std::optional<TLcdBusPaths> TLcdDialog::Result(QString* why) const {
    TLcdBusPaths paths;
    paths.E = m_e->currentText().trimmed();
    paths.Rs = m_rs->currentText().trimmed();
    const QString rw = m_rw->currentText().trimmed();
    paths.Rw = rw == NoneText() ? QString() : rw;
    if (paths.E.isEmpty()) return refuse(why, QStringLiteral("Choose the E line"));
    if (paths.Rs.isEmpty()) return refuse(why, QStringLiteral("Choose the RS line"));
    QStringList used = {paths.E, paths.Rs};
    if (!paths.Rw.isEmpty()) used << paths.Rw;
    const QString data = m_data->currentText().trimmed();
    if (data == FourLinesText()) {
        paths.FourBit = true;
        for (int i = 0; i < 4; ++i) {
            const QString line = m_lines[i]->currentText().trimmed();
            if (line.isEmpty())
                return refuse(why, QStringLiteral("Choose the line D%1").arg(4 + i));
            paths.Lines << line;
            used << line;
        }
    } else if (data.isEmpty()) {
        return refuse(why, QStringLiteral("Choose the data bus, or the lines D4 to D7"));
    } else {
        paths.Bus = data;
        paths.FourBit = m_fourBit->isChecked();
    }
    for (int i = 0; i < used.size(); ++i)
        for (int j = i + 1; j < used.size(); ++j)
            if (used[i].compare(used[j], Qt::CaseInsensitive) == 0)
                return refuse(why, QStringLiteral("%1 is chosen twice").arg(used[i]));
    return paths;
}

void TLcdDialog::Check() {
    const bool fourLines = m_data->currentText().trimmed() == FourLinesText();
    if (fourLines) m_fourBit->setChecked(true);
    m_fourBit->setEnabled(!fourLines);
    for (QComboBox* line : m_lines)
        line->setEnabled(fourLines);
    QString why;
    m_ok->setEnabled(Result(&why).has_value());
    m_hint->setText(why);
}
