#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <QVector>
#include <QWidget>
#include <string>
#include <vector>

#include "host/debugger.h"
#include "host/debuginfo.h"

class QLabel;
class QLineEdit;
class QTableView;
class TFirmwareRunner;

// The variables of the program: its globals and statics, and the locals of the function the PC is
// in where they have fixed addresses. Name, scope, space, type and value; the value is written
// while editable (the firmware stopped).
class TVariablesModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { Name, Scope, Space, Type, Value, ColumnCount };

    explicit TVariablesModel(TFirmwareRunner* runner, QObject* parent = nullptr);
    // Takes the variables again (a load, or the PC moved to another function).
    void Rebuild();
    // Reads the values again.
    void Refresh();
    void SetEditable(bool on) { m_editable = on; }
    int RowOf(const QString& qualifiedName) const;
    // The last write's error; empty when it succeeded.
    const QString& LastError() const { return m_error; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

private:
    struct Entry {
        QString name, scope, space, type;
        bool located = false;
        mcs51::Location where;
        QString value;
    };
    TFirmwareRunner* m_runner;
    QVector<Entry> m_entries;
    bool m_editable = false;
    QString m_error;
};

// The watch list: names the user adds (C variables and parts of them, "pt.x", "arr[2]"; SFRs by
// name; addresses as SPACE:ADDRESS, e.g. "IRAM:0x30", "XRAM:0x0100", "CODE:0x0000").
class TWatchModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { Expression, Value, ColumnCount };

    explicit TWatchModel(TFirmwareRunner* runner, QObject* parent = nullptr);
    void Add(const QString& expression);
    void Remove(int row);
    const QStringList& Expressions() const { return m_expressions; }
    void SetExpressions(const QStringList& expressions);
    void Refresh();
    void SetEditable(bool on) { m_editable = on; }
    const QString& LastError() const { return m_error; }
    // What the expression stands for now, or why it stands for nothing.
    bool Locate(const QString& expression, mcs51::Location* where, QString* error) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

private:
    TFirmwareRunner* m_runner;
    QStringList m_expressions;
    QStringList m_values;
    bool m_editable = false;
    QString m_error;
};

// The calls the stack holds, innermost first, with the function and line when known; a last row
// says where the stack can no longer be read as calls.
class TCallStackModel : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit TCallStackModel(TFirmwareRunner* runner, QObject* parent = nullptr);
    void Refresh();
    const mcs51::CallStack& Stack() const { return m_stack; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    TFirmwareRunner* m_runner;
    mcs51::CallStack m_stack;
};

// Code breakpoints (where, and the note when moved or not resolved) and data breakpoints (space,
// address, read/write).
class TBreakpointsModel : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit TBreakpointsModel(TFirmwareRunner* runner, QObject* parent = nullptr);
    void Refresh();
    // Removes the breakpoint shown in this row.
    void RemoveRow(int row);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    TFirmwareRunner* m_runner;
    int m_codeRows = 0, m_dataRows = 0;
};

// The stopwatch: machine cycles and time at the crystal since reset and since the mark the user
// sets with its button.
class TStopwatch : public QWidget {
    Q_OBJECT

public:
    explicit TStopwatch(TFirmwareRunner* runner, QWidget* parent = nullptr);
    // "12345 cycles (12.345 ms) since reset, 100 cycles (0.100 ms) since the mark"
    QString Text() const;
    void Refresh();
    void ResetMark();

private:
    TFirmwareRunner* m_runner;
    QLabel* m_label;
};
