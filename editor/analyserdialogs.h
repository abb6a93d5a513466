#pragma once

#include <QDialog>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "editor/analyser.h"
#include "editor/analyserdecoders.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

// The small forms of the analyser's settings. Each checks what is entered as it changes: OK is
// enabled only for settings that can be used, and the line under the fields says what is wrong.
// Result() gives the settings without the dialog having to be shown.

// How a row is decoded as UART frames.
struct TUartSettings {
    bool On = true;
    double Baud = 0; // 0: from the firmware's serial set-up
    int Bits = 8;    // 8 or 9
};

class TUartDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr double MinBaud = 50;
    static constexpr double MaxBaud = 10e6;
    // firmwareRate: the row is the core's TXD or RXD, whose rate the firmware's set-up gives.
    TUartDialog(const TUartSettings& initial, bool firmwareRate, QWidget* parent = nullptr);

    QCheckBox* DecodeBox() const { return m_decode; }
    QComboBox* BaudBox() const { return m_baud; }
    QComboBox* BitsBox() const { return m_bits; }
    QPushButton* OkButton() const { return m_ok; }
    QLabel* Hint() const { return m_hint; }
    // The settings entered, or nothing with the reason in `why`.
    std::optional<TUartSettings> Result(QString* why = nullptr) const;

private:
    void Check();

    bool m_firmwareRate;
    QCheckBox* m_decode;
    QComboBox* m_baud;
    QComboBox* m_bits;
    QPushButton* m_ok;
    QLabel* m_hint;
};

// A row the trigger can watch.
struct TTriggerRowChoice {
    QString Label;
    int Width = 1; // 1 or 8
};

// The single trigger: the row, rising or falling edge or a value (hex), and which occurrence.
// Disarm (when one is armed) closes the dialog with the code Disarmed.
class TTriggerDialog : public QDialog {
    Q_OBJECT

public:
    enum Kind { Rising, Falling, Equals }; // the order of the condition box
    static constexpr int Disarmed = 2;
    TTriggerDialog(const QList<TTriggerRowChoice>& rows, int selectedRow, bool armed,
                   QWidget* parent = nullptr);

    QComboBox* RowBox() const { return m_row; }
    QComboBox* ConditionBox() const { return m_condition; }
    QLineEdit* ValueEdit() const { return m_value; }
    QSpinBox* CountBox() const { return m_count; }
    QPushButton* OkButton() const { return m_ok; }
    QPushButton* DisarmButton() const { return m_disarm; }
    QLabel* Hint() const { return m_hint; }
    std::optional<TAnalyserTrigger> Result(QString* why = nullptr) const;

private:
    void Check();

    QList<TTriggerRowChoice> m_rows;
    QComboBox* m_row;
    QComboBox* m_condition;
    QLineEdit* m_value;
    QSpinBox* m_count;
    QPushButton* m_ok;
    QPushButton* m_disarm;
    QLabel* m_hint;
};

// The lines of a character LCD's bus for a decoder row: E, RS, RW (optional) and the data, as an
// 8-bit bus or as the four lines D4..D7. Each field offers the rows shown and takes a typed path.
class TLcdDialog : public QDialog {
    Q_OBJECT

public:
    // lines: the paths of single-line rows; buses: those of 8-bit rows.
    TLcdDialog(const QStringList& lines, const QStringList& buses, QWidget* parent = nullptr);

    static QString NoneText() { return QStringLiteral("(not wired)"); }
    static QString FourLinesText() { return QStringLiteral("(the lines D4 to D7)"); }
    QComboBox* EBox() const { return m_e; }
    QComboBox* RsBox() const { return m_rs; }
    QComboBox* RwBox() const { return m_rw; }
    QComboBox* DataBox() const { return m_data; }
    QComboBox* LineBox(int d) const { return m_lines[d - 4]; } // d: 4..7
    QCheckBox* FourBitBox() const { return m_fourBit; }
    QPushButton* OkButton() const { return m_ok; }
    QLabel* Hint() const { return m_hint; }
    std::optional<TLcdBusPaths> Result(QString* why = nullptr) const;

private:
    void Check();

    QComboBox* m_e;
    QComboBox* m_rs;
    QComboBox* m_rw;
    QComboBox* m_data;
    QComboBox* m_lines[4];
    QCheckBox* m_fourBit;
    QPushButton* m_ok;
    QLabel* m_hint;
};
