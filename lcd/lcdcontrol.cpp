#include "lcd/lcdcontrol.h"

#include "model/boardlink.h"
#include "platform/clock.h"
#include "platform/hostmessages.h"

// ---------------------------------------------------------------- TOrvexLCDPortCtl

TOrvexLCDPortCtl::TOrvexLCDPortCtl(TLCDControl* owner) : TOrvexPortCtl(owner) {}

void TOrvexLCDPortCtl::ValueChanged(TOrvexDriver* contact, TOrvexDriver* sender) {
    const TOrvexPinDriver* driver = GetContact();
    const bool high = !driver || ReachesThreshold(driver->Value());
    if (high == m_high) return;
    m_high = high;
    if (auto* controller = qobject_cast<TLCDControl*>(parent()))
        controller->ValueChanged(contact, sender);
}

// ---------------------------------------------------------------- TLCDControl

TLCDControl::TLCDControl(QObject* owner) : TOrvexControl(owner) {
    m_rdWr = CreateLine("RdWr", 200);
    m_regSel = CreateLine("RegSel", 200);
    m_enable = CreateLine("Enable", 100000);
}

TLCDControl::~TLCDControl() {
    // The lines unwire their contacts while this controller can still answer for them.
    delete m_enable;
    delete m_regSel;
    delete m_rdWr;
}

TOrvexLCDPortCtl* TLCDControl::CreateLine(const char* name, int ohms) {
    auto* line = new TOrvexLCDPortCtl(this);
    line->setObjectName(QLatin1String(name));
    TOrvexPinDriver* contact = line->Contact();
    contact->setObjectName(QLatin1String(name) + QStringLiteral("_Pin"));
    contact->SetDrivenValue(LevelHigh);
    contact->AssignValue(LevelHigh);
    line->SetResistence(ohms);
    return line;
}

int TLCDControl::LineLevel(const TOrvexPortCtl* line) {
    // An unwired line reads its own contact, which stands at its idle 5000.
    const TOrvexPinDriver* driver = line ? line->GetContact() : nullptr;
    return driver ? driver->Value() : LevelHigh;
}

void TLCDControl::ValueChanged(TOrvexDriver*, TOrvexDriver*) {
    m_evaluated = true;
}

void TLCDControl::SetPort(TOrvexPort* port) {
    if (port) m_port = port;
}

void TLCDControl::DriveBus(int value) {
    if (!m_port) return;
    value &= 0xFF;
    if (!FullBus()) value = (m_port->Value() & 0x0F) | (value & 0xF0);
    BoardLink* board = OwnerForm();
    SendHostMessage(board, HostMsg::HostReply, quint32(m_readValid ? value : m_lastBusValue), 0);
    WriteFromBoard(m_port, board, value);
    m_lastBusValue = value;
}

void TLCDControl::ReleaseBus() {
    m_readValid = false;
    if (m_port) DriveBus(m_port->DrivenValue() & 0xFF);
}

void TLCDControl::RequestDraw(int index) {
    if (auto* display = dynamic_cast<TLCDDisplay*>(parent())) display->LCDDrawCell(index);
}

void TLCDControl::RequestRepaint() {
    if (auto* display = dynamic_cast<TLCDDisplay*>(parent())) display->LCDRepaint();
}

// ---------------------------------------------------------------- TLCDAlphaControl

TLCDAlphaControl::TLCDAlphaControl(QObject* owner) : TLCDControl(owner) {
    m_cgram.fill(255);
    for (int i = 0; i < 80; ++i)
        m_ddram[size_t(i)] = i < 40 ? 0 : 32;
    m_blinkTimer = new SimTimer(this);
    m_blinkTimer->SetInterval(450);
    connect(m_blinkTimer, &SimTimer::timeout, this, &TLCDAlphaControl::BlinkTick);
    m_blinkTimer->Start();
}

int TLCDAlphaControl::CellOfAddress(int address) {
    const int a = address & 0x7F;
    if (a <= 40) return a;
    if (a <= 64) return 40;
    if (a <= 103) return a - 24;
    return 0;
}

int TLCDAlphaControl::AddressOfCell(int cell) {
    return cell >= 40 ? cell + 24 : cell;
}

int TLCDAlphaControl::PortHighNibble() const {
    return m_port ? (m_port->Value() >> 4) & 0x0F : 0;
}

void TLCDAlphaControl::ValueChanged(TOrvexDriver* contact, TOrvexDriver* sender) {
    if (!m_port) return;
    TLCDControl::ValueChanged(contact, sender);
    m_readValid = true;
    const bool rdWr = IsHigh(m_rdWr);
    const bool regSel = IsHigh(m_regSel);
    const bool enable = IsHigh(m_enable);

    if (IsLine(contact, m_rdWr)) {
        m_highNibbleNext = true;
        if (!enable) return;
        if (!rdWr)
            ReleaseBus();
        else
            DriveBus(regSel ? m_readLatch : m_instructionReg);
        return;
    }
    if (IsLine(contact, m_regSel)) {
        if (enable && rdWr) {
            PrepareRead(regSel);
            DriveBus(m_readLatch);
        }
        return;
    }
    // Anything else is the enable line.
    if (enable) {
        if (!rdWr) return; // a write takes effect on the falling edge
        if (m_uninitialised) {
            ReleaseBus();
            return;
        }
        DriveRead();
        return;
    }
    if (rdWr) {
        ReleaseBus();
        return;
    }
    Write(regSel, rdWr);
}

// A read on the rising edge of Enable. On a 4-bit interface a byte is read as two nibbles, the high
// one first: the byte is prepared once, with the high nibble, so a data read steps the address
// once per byte.
void TLCDAlphaControl::DriveRead() {
    const bool regSel = IsHigh(m_regSel);
    if (m_bus8Bit || m_dataLength8) {
        PrepareRead(regSel);
        DriveBus(m_readLatch);
    } else if (m_highNibbleNext) {
        PrepareRead(regSel);
        m_highNibbleNext = false;
        DriveBus(m_readLatch);
    } else {
        m_highNibbleNext = true;
        DriveBus((m_readLatch << 4) & 0xF0);
    }
}

void TLCDAlphaControl::Write(bool regSel, bool rdWr) {
    const qint64 now = Clock().TickCount();
    // A host that lost step in 4-bit mode starts over with 0x3 0x3 at a later tick.
    if (!m_uninitialised && !m_dataLength8 && !regSel && !rdWr) {
        if (m_highNibbleNext) {
            m_initTicks = now;
        } else if (m_instructionReg == 0x30 && PortHighNibble() == 3 && now > m_initTicks) {
            m_initState = 2;
            m_uninitialised = true;
            return;
        }
    }
    const int bus = m_port->Value() & 0xFF;
    if (m_dataLength8) {
        m_instructionReg = bus;
    } else if (m_highNibbleNext) {
        m_instructionReg = bus & 0xF0;
        m_highNibbleNext = false;
        return;
    } else {
        m_highNibbleNext = true;
        m_instructionReg |= bus >> 4;
    }
    if (m_uninitialised) {
        InitialisationCheck(regSel, rdWr);
        return;
    }
    if (regSel) {
        if (!m_addressInDDRAM) {
            m_cgram[size_t(m_cgramAddress)] = quint8(m_instructionReg);
            StepCGRAM();
            RequestDraw(TLCDDisplay::RedrawAll);
        } else {
            const int cell = m_addressCounter;
            m_ddram[size_t(cell)] = quint8(m_instructionReg);
            StepCounter();
            if (m_shiftOnEntry) ShiftDisplay(m_increment);
            RequestDraw(cell);
            RequestDraw((cell + 1) % 80);
        }
        return;
    }
    const int code = m_instructionReg;
    const int old = m_addressCounter;
    Execute(code);
    if (code >= 0x04 && code <= 0x07) return;
    if (code == 0x01 || (code >= 0x08 && code <= 0x0F) || (code >= 0x18 && code <= 0x3F)) {
        RequestRepaint();
        RequestDraw(TLCDDisplay::RedrawAll);
    } else if (code == 0x02 || code == 0x03) {
        RequestDraw(0);
    } else if (code >= 0x80 || (code >= 0x10 && code <= 0x17)) {
        // The cursor leaves one cell for another.
        RequestDraw(old);
        RequestDraw(m_addressCounter);
    }
}

void TLCDAlphaControl::InitialisationCheck(bool regSel, bool rdWr) {
    m_highNibbleNext = true;
    m_addressCounter = 0;
    m_cgramAddress = 0;
    m_addressInDDRAM = true;
    m_shiftOffset = 0;
    m_increment = true;
    if (PortHighNibble() != 3 || rdWr || regSel) {
        m_initState = 0;
        return;
    }
    const qint64 now = Clock().TickCount();
    switch (m_initState) {
    case 0:
        m_initTicks = now;
        m_initState = 1;
        break;
    case 1:
        if (now == m_initTicks) {
            m_initState = 0;
        } else {
            m_initState = 2;
            m_ddram.fill(32);
            RequestDraw(TLCDDisplay::RedrawAll);
        }
        break;
    default:
        m_initTicks = now;
        m_initState = 0;
        m_uninitialised = false;
        m_dataLength8 = true;
        break;
    }
}

void TLCDAlphaControl::Execute(int code) {
    code &= 0xFF;
    if (code >= 0x80) {
        m_addressInDDRAM = true;
        m_addressCounter = CellOfAddress(code);
    } else if (code >= 0x40) {
        m_addressInDDRAM = false;
        m_cgramAddress = code & 0x3F;
    } else if (code >= 0x20) {
        m_dataLength8 = code & 0x10;
        m_twoLineMode = code & 0x08;
        m_largeFont = (code & 0x04) && !m_twoLineMode;
    } else if (code >= 0x10) {
        if (code & 0x08) {
            ShiftDisplay(!(code & 0x04));
        } else if (code & 0x04) {
            m_addressCounter = (m_addressCounter + 1) % 80;
        } else {
            m_addressCounter = (m_addressCounter + 79) % 80;
        }
    } else if (code >= 0x08) {
        m_displayOn = code & 0x04;
        m_cursorOn = code & 0x02;
        m_blinkOn = code & 0x01;
        m_blinkTimer->SetInterval(450);
        m_blinkTimer->SetEnabled(m_blinkOn);
    } else if (code >= 0x04) {
        m_increment = code & 0x02;
        m_shiftOnEntry = code & 0x01;
    } else if (code >= 0x02) {
        m_addressInDDRAM = true;
        m_addressCounter = 0;
        m_shiftOffset = 0;
    } else {
        m_addressInDDRAM = true;
        m_addressCounter = 0;
        m_shiftOffset = 0;
        m_increment = true;
        m_ddram.fill(32);
    }
}

void TLCDAlphaControl::PrepareRead(bool data) {
    if (!data) {
        m_readLatch = m_addressInDDRAM ? AddressOfCell(m_addressCounter) : m_cgramAddress;
        m_readLatch &= 0x7F; // never busy
        return;
    }
    if (m_addressInDDRAM) {
        m_readLatch = m_ddram[size_t(m_addressCounter)];
        StepCounter();
    } else {
        m_readLatch = m_cgram[size_t(m_cgramAddress)];
        StepCGRAM();
    }
}

void TLCDAlphaControl::StepCounter() {
    m_addressCounter = (m_addressCounter + (m_increment ? 1 : 79)) % 80;
}

void TLCDAlphaControl::StepCGRAM() {
    m_cgramAddress = (m_cgramAddress + (m_increment ? 1 : 63)) % 64;
}

void TLCDAlphaControl::ShiftDisplay(bool left) {
    m_shiftOffset = (m_shiftOffset + (left ? 1 : 39)) % 40;
}

void TLCDAlphaControl::BlinkTick() {
    if (!m_displayOn) return;
    m_blinkPhase = !m_blinkPhase;
    RequestDraw(m_addressCounter);
}

void TLCDAlphaControl::RestartBlink() {
    m_blinkPhase = false;
    if (m_blinkOn) m_blinkTimer->Start();
}

// ---------------------------------------------------------------- TLCDGraphControl

TLCDGraphControl::TLCDGraphControl(QObject* owner) : TLCDControl(owner) {
    m_cs1 = CreateLine("CS1", 200);
    m_cs2 = CreateLine("CS2", 200);
}

TLCDGraphControl::~TLCDGraphControl() {
    delete m_cs2;
    delete m_cs1;
}

int TLCDGraphControl::Selection() const {
    return (IsHigh(m_cs1) ? 1 : 0) | (IsHigh(m_cs2) ? 2 : 0);
}

void TLCDGraphControl::ValueChanged(TOrvexDriver* contact, TOrvexDriver* sender) {
    if (!m_port) return;
    TLCDControl::ValueChanged(contact, sender);
    m_readValid = true;
    if (IsLine(contact, m_cs1) || IsLine(contact, m_cs2)) return;
    const bool rdWr = IsHigh(m_rdWr);
    const bool regSel = IsHigh(m_regSel);
    const bool enable = IsHigh(m_enable);

    if (IsLine(contact, m_rdWr)) {
        if (!enable) return;
        if (!rdWr)
            ReleaseBus();
        else
            DriveBus(regSel ? m_readLatch : m_instructionReg);
        return;
    }
    const int sel = Selection();
    if (IsLine(contact, m_regSel)) {
        if (enable && rdWr) {
            PrepareRead(regSel, sel);
            DriveBus(m_readLatch);
        }
        return;
    }
    if (enable) {
        if (!rdWr) return;
        PrepareRead(regSel, sel);
        if (sel != 0)
            DriveBus(m_readLatch);
        else
            ReleaseBus();
        return;
    }
    if (rdWr) {
        ReleaseBus();
        return;
    }
    m_instructionReg = m_port->Value() & 0xFF;
    if (!regSel) {
        Execute(m_instructionReg, sel);
        return;
    }
    const int a1 = m_address1;
    const int a2 = m_address2;
    if (sel != 2) {
        m_ram1[size_t(a1)] = quint8(m_instructionReg);
        RequestDraw(a1);
    }
    if (sel != 1) {
        m_ram2[size_t(a2)] = quint8(m_instructionReg);
        RequestDraw(a2 + 512);
    }
    AdvanceColumn(sel);
}

void TLCDGraphControl::Execute(int code, int sel) {
    code &= 0xFF;
    const bool first = sel != 2;
    const bool second = sel != 1;
    if (code < 0x3E) return;
    if (code <= 0x3F) {
        if (first) m_displayOn1 = code & 1;
        if (second) m_displayOn2 = code & 1;
        RequestDraw(TLCDDisplay::RedrawAll);
    } else if (code <= 0xB7) {
        if (first) m_column1 = code & 0x3F;
        if (second) m_column2 = code & 0x3F;
    } else if (code <= 0xBF) {
        if (first) m_page1 = code & 7;
        if (second) m_page2 = code & 7;
    } else {
        if (first) m_startLine1 = code & 0x3F;
        if (second) m_startLine2 = code & 0x3F;
        RequestDraw(TLCDDisplay::RedrawAll);
    }
    m_address1 = m_page1 * 64 + m_column1;
    m_address2 = m_page2 * 64 + m_column2;
}

void TLCDGraphControl::PrepareRead(bool data, int sel) {
    if (!data) {
        if (sel == 0)
            m_readLatch = 255;
        else if (sel == 1)
            m_readLatch = m_displayOn1 ? 0 : 0x20;
        else if (sel == 2)
            m_readLatch = m_displayOn2 ? 0 : 0x20;
        else
            m_readLatch = (m_displayOn1 || m_displayOn2) ? 0 : 0x20;
        return;
    }
    if (sel == 1)
        m_readLatch = m_ram1[size_t(m_address1)];
    else if (sel == 2)
        m_readLatch = m_ram2[size_t(m_address2)];
    else if (sel == 3)
        m_readLatch = m_ram1[size_t(m_address1)] & m_ram2[size_t(m_address2)];
    AdvanceColumn(sel);
}

void TLCDGraphControl::AdvanceColumn(int sel) {
    if (sel & 1) {
        m_column1 = (m_column1 + 1) % 64;
        m_address1 = m_page1 * 64 + m_column1;
    }
    if (sel & 2) {
        m_column2 = (m_column2 + 1) % 64;
        m_address2 = m_page2 * 64 + m_column2;
    }
}
