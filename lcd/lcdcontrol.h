#pragma once

#include <QObject>
#include <QPointer>
#include <array>

#include "model/controls.h"
#include "model/hostpins.h"
#include "model/levels.h"

class SimTimer;
class TLCDControl;

// What an LCD controller asks of the module that shows it: redraw one cell (a display-memory cell
// of a character module, a RAM1 byte 0..511 or a RAM2 byte 512..1023 of a graphic module), or
// everything (RedrawAll, index 65535), and repaint the whole module with its frame. The module
// component implements it; the controllers know nothing of widgets.
class TLCDDisplay {
public:
    static constexpr int RedrawAll = 65535;
    virtual void LCDDrawCell(int index) = 0;
    virtual void LCDRepaint() = 0;

protected:
    ~TLCDDisplay() = default;
};

// One control line of an LCD module (RdWr, RegSel, Enable, CS1, CS2): its own contact hands every
// level change to the module's controller.
class TOrvexLCDPortCtl : public TOrvexPortCtl {
    Q_OBJECT

public:
    explicit TOrvexLCDPortCtl(TLCDControl* owner);

    // Only a change between low and high reaches the controller: a walk that delivers the same
    // level again must not count as a second edge (it would lose a 4-bit transfer's step).
    void ValueChanged(TOrvexDriver* contact, TOrvexDriver* sender) override;

private:
    bool m_high = true; // the level last handed on; lines idle high
};

// The common part of both LCD controllers: the three control lines and the data bus. A line is
// high at 2500 mV or more.
class TLCDControl : public TOrvexControl {
    Q_OBJECT

public:
    explicit TLCDControl(QObject* owner = nullptr);
    ~TLCDControl() override;

    // A level change on one of the lines (the changed own contact). Here only the evaluated flag
    // is set; each controller adds its instruction set.
    void ValueChanged(TOrvexDriver* contact, TOrvexDriver* sender) override;
    int GetResistence() override { return m_resistence; }
    void SetResistence(int ohms) override { m_resistence = ohms; }

    // The data bus (not owned). Nil is ignored.
    TOrvexPort* Port() const { return m_port.data(); }
    void SetPort(TOrvexPort* port);

    TOrvexLCDPortCtl* RdWrCtl() const { return m_rdWr; }
    TOrvexLCDPortCtl* RegSelCtl() const { return m_regSel; }
    TOrvexLCDPortCtl* EnableCtl() const { return m_enable; }

    int LastBusValue() const { return m_lastBusValue; }
    int InstructionReg() const { return m_instructionReg; }

    // Whether all eight data lines are wired; otherwise only lines 4..7.
    virtual bool FullBus() const { return true; }

    // The figures every module shows to a host program's tests.
    virtual int AddressCounterValue() const = 0;
    virtual bool DisplayOnValue() const = 0;
    virtual bool UninitialisedValue() const { return false; }

protected:
    // Creates a line control named `name` with its contact `name` + "_Pin", idle high.
    TOrvexLCDPortCtl* CreateLine(const char* name, int ohms);
    static int LineLevel(const TOrvexPortCtl* line);
    static bool IsHigh(const TOrvexPortCtl* line) { return ReachesThreshold(LineLevel(line)); }
    bool IsLine(const TOrvexDriver* contact, const TOrvexPortCtl* line) const {
        return line && contact == line->Contact();
    }
    // Puts a byte on the data bus and reports it as the read answer of the access being handled.
    void DriveBus(int value);
    void ReleaseBus();
    void RequestDraw(int index);
    void RequestRepaint();

    QPointer<TOrvexPort> m_port;
    int m_lastBusValue = 0;
    TOrvexLCDPortCtl* m_enable = nullptr; // owned
    TOrvexLCDPortCtl* m_regSel = nullptr; // owned
    TOrvexLCDPortCtl* m_rdWr = nullptr;   // owned
    int m_instructionReg = 255;
    int m_readLatch = 255;
    bool m_readValid = false;
};

// A character module's controller: 80 cells of display memory (0..39 the first display line,
// 40..79 the second), 64 bytes of character-generator memory, a 4- or 8-bit bus, the power-on
// initialisation check and the cursor-blink timer.
class TLCDAlphaControl : public TLCDControl {
    Q_OBJECT

public:
    explicit TLCDAlphaControl(QObject* owner = nullptr);

    void ValueChanged(TOrvexDriver* contact, TOrvexDriver* sender) override;
    // One instruction byte as the module executes it (without any redraw).
    void Execute(int code);

    int AddressCounterValue() const override { return m_addressCounter; }
    bool DisplayOnValue() const override { return m_displayOn; }
    bool UninitialisedValue() const override { return m_uninitialised; }

    int InitState() const { return m_initState; }
    bool Uninitialised() const { return m_uninitialised; }
    const std::array<quint8, 64>& CGRAM() const { return m_cgram; }
    const std::array<quint8, 80>& DDRAM() const { return m_ddram; }
    bool Bus8Bit() const { return m_bus8Bit; }
    void SetBus8Bit(bool on) { m_bus8Bit = on; }
    bool DataLength8() const { return m_dataLength8; }
    bool TwoLineMode() const { return m_twoLineMode; }
    bool LargeFont() const { return m_largeFont; }
    bool DisplayOn() const { return m_displayOn; }
    bool CursorOn() const { return m_cursorOn; }
    bool BlinkOn() const { return m_blinkOn; }
    bool Increment() const { return m_increment; }
    bool ShiftOnEntry() const { return m_shiftOnEntry; }
    bool BlinkPhase() const { return m_blinkPhase; }
    int ShiftOffset() const { return m_shiftOffset; }
    int AddressCounter() const { return m_addressCounter; }
    int CGRAMAddress() const { return m_cgramAddress; }
    bool HighNibbleNext() const { return m_highNibbleNext; }
    bool AddressInDDRAM() const { return m_addressInDDRAM; }
    SimTimer* BlinkTimer() const { return m_blinkTimer; }

    // The display-memory cell a host address selects (0x00..0x27 and 0x40..0x67 are the two
    // lines).
    static int CellOfAddress(int address);
    // The address a cell reads back as.
    static int AddressOfCell(int cell);
    // Restarts the blink count from now, with the phase clear (a full redraw does).
    void RestartBlink();

    bool FullBus() const override { return m_bus8Bit; }

private:
    void Write(bool regSel, bool rdWr);
    void InitialisationCheck(bool regSel, bool rdWr);
    void PrepareRead(bool data);
    void DriveRead();
    void StepCounter();
    void StepCGRAM();
    void ShiftDisplay(bool left);
    void BlinkTick();
    int PortHighNibble() const;

    int m_initState = 0;
    qint64 m_initTicks = 0;
    bool m_uninitialised = true;
    std::array<quint8, 64> m_cgram;
    std::array<quint8, 80> m_ddram;
    bool m_bus8Bit = false;
    bool m_dataLength8 = true;
    bool m_twoLineMode = false;
    bool m_largeFont = false;
    bool m_displayOn = false;
    bool m_cursorOn = false;
    bool m_blinkOn = false;
    bool m_increment = true;
    bool m_shiftOnEntry = false;
    bool m_blinkPhase = false;
    int m_shiftOffset = 0;
    int m_addressCounter = 0;
    int m_cgramAddress = 0;
    bool m_highNibbleNext = true;
    bool m_addressInDDRAM = true;
    SimTimer* m_blinkTimer = nullptr; // owned
};

// A graphic module's controller: two chips of 64 columns x 8 pages, each byte a column of eight
// pixels of one page (bit 0 the top), chosen by the chip-select lines CS1 and CS2.
class TLCDGraphControl : public TLCDControl {
    Q_OBJECT

public:
    explicit TLCDGraphControl(QObject* owner = nullptr);
    ~TLCDGraphControl() override;

    void ValueChanged(TOrvexDriver* contact, TOrvexDriver* sender) override;
    // One instruction for the chips of a selection (1, 2, or both for 0 and 3).
    void Execute(int code, int sel);

    int AddressCounterValue() const override { return m_address1; }
    bool DisplayOnValue() const override { return m_displayOn1 || m_displayOn2; }

    TOrvexLCDPortCtl* CS1Ctl() const { return m_cs1; }
    TOrvexLCDPortCtl* CS2Ctl() const { return m_cs2; }
    // 1: CS1 alone high, 2: CS2 alone, 3: both, 0: neither.
    int Selection() const;

    bool DisplayOn1() const { return m_displayOn1; }
    bool DisplayOn2() const { return m_displayOn2; }
    const std::array<quint8, 512>& RAM1() const { return m_ram1; }
    const std::array<quint8, 512>& RAM2() const { return m_ram2; }
    int Address1() const { return m_address1; }
    int Address2() const { return m_address2; }
    int StartLine1() const { return m_startLine1; }
    int StartLine2() const { return m_startLine2; }
    int Page1() const { return m_page1; }
    int Column1() const { return m_column1; }
    int Column2() const { return m_column2; }

private:
    void PrepareRead(bool data, int sel);
    void AdvanceColumn(int sel);

    bool m_displayOn1 = false;
    bool m_displayOn2 = false;
    std::array<quint8, 512> m_ram1{};
    std::array<quint8, 512> m_ram2{};
    int m_address1 = 0;
    int m_address2 = 0;
    int m_startLine1 = 0;
    int m_startLine2 = 0;
    int m_page1 = 0;
    int m_page2 = 0;
    int m_column1 = 0;
    int m_column2 = 0;
    TOrvexLCDPortCtl* m_cs1 = nullptr; // owned
    TOrvexLCDPortCtl* m_cs2 = nullptr; // owned
};
