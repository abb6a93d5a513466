#pragma once

#include <QAbstractTableModel>
#include <QByteArray>
#include <QWidget>
#include <functional>
#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QStackedWidget;
class QTableView;
namespace mcs51 {
class Core;
}

// The core's memories as a hex and ASCII grid: 16 bytes a row, the address in the row header, the
// bytes in columns 0..15 and their characters in column 16. Bytes that differ from what they held
// at the stop before the last one (MarkStop) are highlighted. Written only while editable (the
// firmware stopped).
class TMemoryModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum class Space { Iram, Xram, Code };
    static constexpr int BytesPerRow = 16;
    static constexpr int AsciiColumn = BytesPerRow;

    TMemoryModel(mcs51::Core& core, Space space, QObject* parent = nullptr);

    Space MemorySpace() const { return m_space; }
    int Size() const;
    uint8_t Byte(int address) const;
    // True when the byte differs from what it was at the stop before the last.
    bool Changed(int address) const;
    // The firmware stopped: what it holds now is what the next changes are measured from.
    void MarkStop();
    void SetEditable(bool on) { m_editable = on; }
    // Repaints the grid from the core.
    void Refresh();
    // The register bank the PSW selects, marked stronger in internal RAM.
    void SetActiveBank(int bank) { m_bank = bank; }

    QModelIndex IndexOf(int address) const;
    int AddressOf(const QModelIndex& index) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

private:
    uint8_t* Memory() const;

    mcs51::Core& m_core;
    Space m_space;
    QByteArray m_reference; // the bytes at the stop before the last
    QByteArray m_lastStop;  // the bytes at the last stop
    bool m_editable = false;
    int m_bank = 0;
};

// The special function registers by name: address, name, value in hex and in bits. Edited like
// the grid.
class TSfrModel : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit TSfrModel(mcs51::Core& core, QObject* parent = nullptr);

    // The SFR of this name ("TMOD", case ignored); nullopt when there is none.
    static std::optional<uint8_t> AddressOf(const QString& name);
    static QString NameOf(uint8_t address); // empty when unnamed
    static int RowOf(uint8_t address);      // -1 when unnamed
    bool Changed(int row) const;
    void MarkStop();
    void SetEditable(bool on) { m_editable = on; }
    void Refresh();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

private:
    mcs51::Core& m_core;
    QByteArray m_reference, m_lastStop;
    bool m_editable = false;
};

// The memory dock: a choice of space (internal RAM, SFRs, external RAM, code), its grid, and a
// field that goes to an address or a symbol.
class TMemoryView : public QWidget {
    Q_OBJECT

public:
    // Resolves a symbol to a space and address; nullopt when unknown.
    struct TTarget {
        int space; // index of the space choice: 0 IRAM, 1 SFR, 2 XRAM, 3 code
        int address;
    };
    using TSymbolLookup = std::function<std::optional<TTarget>(const QString&)>;

    explicit TMemoryView(mcs51::Core& core, QWidget* parent = nullptr);

    TMemoryModel* Model(TMemoryModel::Space space) const;
    TSfrModel* Sfrs() const { return m_sfrs; }
    QTableView* Grid() const;
    void SetSymbolLookup(TSymbolLookup lookup) { m_lookup = std::move(lookup); }
    void SetEditable(bool on);
    void MarkStop();
    void Refresh();
    // "0x1234", "1234h", "IRAM:0x30", "SP" (an SFR), a symbol. Shows the place and selects the
    // byte; the error when it is none of these (empty on success).
    QString GoTo(const QString& where);
    int CurrentSpace() const;
    void SetCurrentSpace(int space);
    // Room for a whole row of the grid.
    QSize sizeHint() const override;

private:
    mcs51::Core& m_core;
    QComboBox* m_spaceBox;
    QLineEdit* m_goTo;
    QLabel* m_message;
    QStackedWidget* m_stack;
    TMemoryModel* m_iram;
    TMemoryModel* m_xram;
    TMemoryModel* m_code;
    TSfrModel* m_sfrs;
    QTableView* m_views[4] = {};
    TSymbolLookup m_lookup;
};
