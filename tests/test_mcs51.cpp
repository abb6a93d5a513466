// The 8051 core on its own: an instruction table (state before, state after, cycles), ports,
// timers, interrupts, serial port, power modes, the loaders and the disassembler.

#include <QtTest>

#include "host/mcs51.h"

using namespace mcs51;

namespace {

// "A=7F PSW=80 R0=30 30=12 X:1234=56 C:0003=99 DPTR=1000 SP=07 PC=0100 B=02 I:90=11"
// Two hex digits name a direct address (internal RAM below 0x80, else an SFR); I: is internal
// RAM by indirect address, X: external RAM, C: code.
struct Field {
    QString name;
    unsigned value;
};

QList<Field> parseFields(const QString& text) {
    QList<Field> fields;
    for (const QString& item : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const int eq = item.indexOf(QLatin1Char('='));
        fields.append({item.left(eq).toUpper(), item.mid(eq + 1).toUInt(nullptr, 16)});
    }
    return fields;
}

void applyFields(Core& core, const QString& text) {
    for (const Field& f : parseFields(text)) {
        if (f.name == QLatin1String("A"))
            core.SetSfr(sfr::ACC, uint8_t(f.value));
        else if (f.name == QLatin1String("B"))
            core.SetSfr(sfr::B, uint8_t(f.value));
        else if (f.name == QLatin1String("PSW"))
            core.SetSfr(sfr::PSW, uint8_t(f.value));
        else if (f.name == QLatin1String("SP"))
            core.SetSfr(sfr::SP, uint8_t(f.value));
        else if (f.name == QLatin1String("DPTR")) {
            core.SetSfr(sfr::DPH, uint8_t(f.value >> 8));
            core.SetSfr(sfr::DPL, uint8_t(f.value));
        } else if (f.name == QLatin1String("PC"))
            core.SetPC(uint16_t(f.value));
        else if (f.name.size() == 2 && f.name[0] == QLatin1Char('R'))
            core.SetR(f.name[1].digitValue(), uint8_t(f.value));
        else if (f.name.startsWith(QLatin1String("I:")))
            core.Iram()[f.name.mid(2).toUInt(nullptr, 16) & 0xFF] = uint8_t(f.value);
        else if (f.name.startsWith(QLatin1String("X:")))
            core.Xram()[f.name.mid(2).toUInt(nullptr, 16) & 0xFFFF] = uint8_t(f.value);
        else if (f.name.startsWith(QLatin1String("C:")))
            core.Code()[f.name.mid(2).toUInt(nullptr, 16) & 0xFFFF] = uint8_t(f.value);
        else {
            unsigned a = f.name.toUInt(nullptr, 16);
            if (a < 0x80)
                core.Iram()[a] = uint8_t(f.value);
            else
                core.SetSfr(uint8_t(a), uint8_t(f.value));
        }
    }
}

unsigned readField(const Core& core, const QString& name) {
    if (name == QLatin1String("A")) return core.A();
    if (name == QLatin1String("B")) return core.B();
    if (name == QLatin1String("PSW")) return core.PSW();
    if (name == QLatin1String("SP")) return core.SP();
    if (name == QLatin1String("DPTR")) return core.DPTR();
    if (name == QLatin1String("PC")) return core.PC();
    if (name.size() == 2 && name[0] == QLatin1Char('R')) return core.R(name[1].digitValue());
    if (name.startsWith(QLatin1String("I:")))
        return core.Iram()[name.mid(2).toUInt(nullptr, 16) & 0xFF];
    if (name.startsWith(QLatin1String("X:"))) return core.Xram()[name.mid(2).toUInt(nullptr, 16)];
    return core.ReadDirect(uint8_t(name.toUInt(nullptr, 16)));
}

void loadCode(Core& core, uint16_t address, const QByteArray& hexBytes) {
    const QByteArray bytes = QByteArray::fromHex(hexBytes);
    for (int i = 0; i < bytes.size(); ++i)
        core.Code()[uint16_t(address + i)] = uint8_t(bytes[i]);
}

// Runs steps until the core has executed n instructions (interrupt calls do not count).
int runInstructions(Core& core, uint64_t n) {
    int cycles = 0;
    const uint64_t target = core.Instructions() + n;
    while (core.Instructions() < target && core.State() == RunState::Running)
        cycles += core.Step();
    return cycles;
}

struct Counting : Hooks {
    QList<QPair<int, int>> portWrites;
    QList<int> transmitted;
    QMap<int, int> device; // external addresses a device answers
    QList<QPair<int, int>> externalWrites;
    void PortWritten(int port, uint8_t latch) override { portWrites.append({port, latch}); }
    int ExternalRead(uint16_t address) override { return device.value(address, -1); }
    void ExternalWrite(uint16_t address, uint8_t value) override {
        externalWrites.append({address, value});
    }
    void SerialTransmitted(uint8_t byte) override { transmitted.append(byte); }
};

} // namespace

class TestMcs51 : public QObject {
    Q_OBJECT

private slots:
    // One or a few instructions from a given state; every listed field and the cycles must
    // match. Code starts at 0 unless PC is set.
    void instructions_data() {
        QTest::addColumn<QByteArray>("code");
        QTest::addColumn<QString>("before");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("after");
        QTest::addColumn<int>("cycles");
        auto row = [](const char* name, const char* code, const char* before, int count,
                      const char* after, int cycles) {
            QTest::newRow(name) << QByteArray(code) << QString::fromLatin1(before) << count
                                << QString::fromLatin1(after) << cycles;
        };
        // ADD, ADDC, SUBB: carry, auxiliary carry and overflow at the edges.
        row("ADD 7F+01", "2401", "A=7F", 1, "A=80 PSW=45", 1);
        row("ADD FF+01", "2401", "A=FF", 1, "A=00 PSW=C0", 1);
        row("ADD 80+80", "2480", "A=80", 1, "A=00 PSW=84", 1);
        row("ADD A,R3 bank 1", "2B", "PSW=08 0B=10 A=05", 1, "A=15 PSW=09", 1);
        row("ADDC FF+00+C", "3400", "A=FF PSW=80", 1, "A=00 PSW=C0", 1);
        row("ADDC 00+7F+C", "347F", "A=00 PSW=80", 1, "A=80 PSW=45", 1);
        row("SUBB 80-01", "9401", "A=80", 1, "A=7F PSW=45", 1);
        row("SUBB 00-01-C", "9401", "A=00 PSW=80", 1, "A=FE PSW=C1", 1);
        row("SUBB 7F-FF", "94FF", "A=7F", 1, "A=80 PSW=85", 1);
        row("SUBB A,@R1", "97", "R1=40 40=10 A=10 PSW=80", 1, "A=FF PSW=C0", 1);
        // DA A for every combination of AC and CY that matters.
        row("DA low digit over 9", "D4", "A=0A", 1, "A=10 PSW=01", 1);
        row("DA AC set", "D4", "A=15 PSW=40", 1, "A=1B PSW=40", 1);
        row("DA high digit over 9", "D4", "A=A0", 1, "A=00 PSW=80", 1);
        row("DA CY set", "D4", "A=23 PSW=80", 1, "A=83 PSW=81", 1);
        row("DA already BCD", "D4", "A=99", 1, "A=99 PSW=00", 1);
        row("DA both digits", "D4", "A=9A", 1, "A=00 PSW=80", 1);
        row("DA AC and CY", "D4", "A=FF PSW=C0", 1, "A=65 PSW=C0", 1);
        row("ADD then DA 49+38", "2438D4", "A=49", 2, "A=87 PSW=44", 2);
        row("ADDC then DA 99+01", "3401D4", "A=99", 2, "A=00 PSW=80", 2);
        row("ADDC with CY then DA 58+46+1", "3446D4", "A=58 PSW=80", 2, "A=05 PSW=84", 2);
        // MUL and DIV.
        row("MUL overflow", "A4", "A=50 B=A0 PSW=80", 1, "A=00 B=32 PSW=04", 4);
        row("MUL no overflow", "A4", "A=10 B=0F PSW=84", 1, "A=F0 B=00 PSW=00", 4);
        row("DIV", "84", "A=FB B=12 PSW=84", 1, "A=0D B=11 PSW=01", 4);
        row("DIV by zero", "84", "A=33 B=00 PSW=80", 1, "A=33 B=00 PSW=04", 4);
        // Logic and rotates.
        row("ANL A,#", "540F", "A=5A", 1, "A=0A PSW=00", 1);
        row("ORL direct,A", "4230", "A=0F 30=F0", 1, "30=FF A=0F", 1);
        row("XRL direct,#", "6330FF", "30=0F", 1, "30=F0", 2);
        row("CLR A", "E4", "A=77", 1, "A=00 PSW=00", 1);
        row("CPL A", "F4", "A=0F", 1, "A=F0", 1);
        row("SWAP", "C4", "A=12", 1, "A=21 PSW=00", 1);
        row("RL", "23", "A=81", 1, "A=03 PSW=00", 1);
        row("RLC", "33", "A=81", 1, "A=02 PSW=81", 1);
        row("RR", "03", "A=81", 1, "A=C0 PSW=00", 1);
        row("RRC", "13", "A=81 PSW=80", 1, "A=C0 PSW=80", 1);
        row("INC A parity", "04", "A=00", 1, "A=01 PSW=01", 1);
        row("INC DPTR wraps", "A3", "DPTR=FFFF", 1, "DPTR=0000", 2);
        row("DEC @R0", "16", "R0=30 30=00", 1, "30=FF", 1);
        row("INC direct", "0530", "30=FF", 1, "30=00", 1);
        // Moves and exchanges.
        row("MOV direct,direct (source first)", "853040", "30=12 40=00", 1, "40=12", 2);
        row("MOV @R1,#", "7755", "R1=45", 1, "45=55", 1);
        row("MOV Rn,direct", "AE30", "30=99", 1, "R6=99", 2);
        row("MOV DPTR,#", "901234", "", 1, "DPTR=1234", 2);
        row("XCH A,R1", "C9", "A=12 R1=34", 1, "A=34 R1=12", 1);
        row("XCH A,direct", "C530", "A=12 30=34", 1, "A=34 30=12", 1);
        row("XCHD", "D6", "A=12 R0=30 30=34", 1, "A=14 30=32", 1);
        row("MOVC A,@A+DPTR", "93", "A=05 DPTR=1000 C:1005=77", 1, "A=77 PC=0001", 2);
        row("MOVC A,@A+PC", "83", "A=02 C:0003=99", 1, "A=99 PC=0001", 2);
        row("MOVX A,@DPTR", "E0", "DPTR=1234 X:1234=56", 1, "A=56", 2);
        row("MOVX @R0,A uses P2", "F2", "A=66 R0=34 A0=12", 1, "X:1234=66", 2);
        // Register banks.
        row("bank 3", "7855", "PSW=18", 1, "18=55 00=00", 1);
        row("bank switch by SETB RS0", "D2D37811", "PSW=00", 2, "08=11 00=00", 2);
        // Stack.
        row("PUSH", "C0E0", "A=AB SP=07", 1, "SP=08 08=AB", 2);
        row("PUSH wraps past FF", "C030", "SP=FF 30=AB", 1, "SP=00 00=AB", 2);
        row("PUSH SP pushes the new value", "C081", "SP=30", 1, "SP=31 31=31", 2);
        row("POP", "D030", "SP=08 08=CD", 1, "SP=07 30=CD", 2);
        row("POP SP", "D081", "SP=40 40=22", 1, "SP=22", 2);
        row("upper RAM by @R0 on 8052", "E6", "R0=90 I:90=5A", 1, "A=5A", 1);
        // Bits of 0x20..0x2F and of SFRs.
        row("SETB 00", "D200", "20=00", 1, "20=01", 1);
        row("SETB 7F", "D27F", "2F=00", 1, "2F=80", 1);
        row("CLR ACC.0", "C2E0", "A=FF", 1, "A=FE", 1);
        row("CPL bit", "B23A", "27=00", 1, "27=04", 1);
        row("MOV C,bit", "A20F", "21=80", 1, "PSW=80", 1);
        row("MOV bit,C", "9210", "PSW=80 22=00", 1, "22=01", 2);
        row("ANL C,/bit", "B000", "PSW=80 20=01", 1, "PSW=00", 2);
        row("ORL C,bit", "72F7", "B=80", 1, "PSW=80", 2);
        row("MOV C,P (parity)", "A2D0", "A=01", 1, "PSW=81", 1);
        // Branches.
        row("SJMP back", "80FE", "", 1, "PC=0000", 2);
        row("JZ taken", "6005", "A=00", 1, "PC=0007", 2);
        row("JNZ not taken", "7005", "A=00", 1, "PC=0002", 2);
        row("JC taken", "40FE", "PSW=80", 1, "PC=0000", 2);
        row("JB bit of 20", "200010", "20=01", 1, "PC=0013", 2);
        row("JNB not taken", "300010", "20=01", 1, "PC=0003", 2);
        row("JBC clears", "100010", "20=01", 1, "PC=0013 20=00", 2);
        row("CJNE A,# less", "B44005", "A=30", 1, "PC=0008 PSW=80", 2);
        row("CJNE A,# equal", "B43005", "A=30 PSW=80", 1, "PC=0003 PSW=00", 2);
        row("CJNE A,direct greater", "B53005", "A=50 30=40 PSW=80", 1, "PC=0008 PSW=00", 2);
        row("CJNE @R0,#", "B620FD", "R0=30 30=10", 1, "PC=0000 PSW=80", 2);
        row("CJNE Rn,#", "BF1005", "R7=20", 1, "PC=0008 PSW=00", 2);
        row("DJNZ Rn to zero", "DAFE", "R2=01", 1, "R2=00 PC=0002", 2);
        row("DJNZ Rn from zero", "DAFE", "R2=00", 1, "R2=FF PC=0000", 2);
        row("DJNZ direct", "D530FD", "30=02", 1, "30=01 PC=0000", 2);
        row("AJMP across a 2 KB page", "", "PC=07FE C:07FE=01 C:07FF=23", 1, "PC=0823", 2);
        row("ACALL", "5123", "SP=07", 1, "PC=0223 SP=09 08=02 09=00", 2);
        row("LCALL and RET", "120005000022", "SP=07", 2, "PC=0003 SP=07", 4);
        row("LJMP", "021234", "", 1, "PC=1234", 2);
        row("JMP @A+DPTR", "73", "A=04 DPTR=1000", 1, "PC=1004", 2);
        row("NOP", "00", "", 1, "PC=0001", 1);
    }
    void instructions() {
        QFETCH(QByteArray, code);
        QFETCH(QString, before);
        QFETCH(int, count);
        QFETCH(QString, after);
        QFETCH(int, cycles);
        Core core(Variant::I8052);
        loadCode(core, 0, code);
        applyFields(core, before);
        QCOMPARE(runInstructions(core, uint64_t(count)), cycles);
        for (const Field& f : parseFields(after))
            QVERIFY2(readField(core, f.name) == f.value,
                     qPrintable(QStringLiteral("%1 = %2, expected %3")
                                    .arg(f.name)
                                    .arg(readField(core, f.name), 2, 16, QLatin1Char('0'))
                                    .arg(f.value, 2, 16, QLatin1Char('0'))));
        QCOMPARE(core.Cycles(), uint64_t(cycles));
    }

    void everyOpcodeHasALengthAndCycles() {
        // Each defined opcode executes, advances by its disassembled length (when it does not
        // branch) and takes 1, 2 or 4 cycles; 0xA5 stops the core.
        for (int op = 0; op < 256; ++op) {
            Core core(Variant::I8052);
            core.Code()[0x100] = uint8_t(op);
            core.SetPC(0x100);
            Disassembly d = Disassemble(core.Code(), 0x100);
            const int cycles = core.Step();
            if (op == 0xA5) {
                QCOMPARE(cycles, 0);
                QCOMPARE(core.State(), RunState::Undefined);
                QCOMPARE(core.StateText(), std::string("undefined instruction at 0x0100"));
                QCOMPARE(core.PC(), uint16_t(0x100));
                QCOMPARE(core.Step(), 0); // stays stopped
                core.Reset();
                QCOMPARE(core.State(), RunState::Running);
                continue;
            }
            QVERIFY2(cycles == 1 || cycles == 2 || cycles == 4,
                     qPrintable(QString::number(op, 16)));
            QVERIFY(d.length >= 1 && d.length <= 3);
            QCOMPARE(core.Instructions(), uint64_t(1));
        }
    }

    void variant8051HasNoUpperRam() {
        Core core(Variant::I8051);
        loadCode(core, 0,
                 "7890"
                 "7655"
                 "E6"); // MOV R0,#90; MOV @R0,#55; MOV A,@R0
        runInstructions(core, 3);
        QCOMPARE(core.Iram()[0x90], uint8_t(0));
        QCOMPARE(core.A(), uint8_t(0xFF));
        QCOMPARE(core.Sfr(sfr::T2CON), uint8_t(0)); // not on the 8051
        QCOMPARE(core.Sfr(0xC3), uint8_t(0));       // no register there
    }

    // Instructions that read a port read the pins (latch AND external level); read-modify-write
    // instructions read the latch.
    void portsReadPinsButModifyLatch() {
        Core core(Variant::I8052);
        Counting hooks;
        core.SetHooks(&hooks);
        core.SetExternalPins(1, 0x0F); // something pulls the upper half low
        loadCode(core, 0,
                 "E590"   // MOV A,P1        -> pins 0F
                 "5390FF" // ANL P1,#FF      -> latch stays FF
                 "B297"   // CPL P1.7        -> latch bit 7 from 1 to 0
                 "A296"   // MOV C,P1.6      -> pin 0
                 "109502" // JBC P1.5,+2     -> latch bit 5 is 1: jumps, clears it
                 "0000"   //
                 "F8");   // MOV R0,A
        runInstructions(core, 2);
        QCOMPARE(core.A(), uint8_t(0x0F));
        QCOMPARE(core.PortLatch(1), uint8_t(0xFF));
        runInstructions(core, 1);
        QCOMPARE(core.PortLatch(1), uint8_t(0x7F));
        runInstructions(core, 1);
        QCOMPARE(core.PSW() & 0x80, 0);
        runInstructions(core, 1);
        QCOMPARE(core.PC(), uint16_t(0x000E));
        QCOMPARE(core.PortLatch(1), uint8_t(0x5F));
        QCOMPARE(core.PortPins(1), uint8_t(0x0F));
        const QList<QPair<int, int>> expected = {{1, 0xFF}, {1, 0x7F}, {1, 0x5F}};
        QCOMPARE(hooks.portWrites, expected);
    }

    void externalDataGoesThroughTheHook() {
        Core core;
        Counting hooks;
        hooks.device[0x8000] = 0x3C;
        core.SetHooks(&hooks);
        core.Xram()[0x8001] = 0x11;
        // MOV DPTR,#8000; MOVX A,@DPTR; INC DPTR; MOVX A,@DPTR ... then MOVX @DPTR,A
        loadCode(core, 0,
                 "908000"
                 "E0"
                 "F8"
                 "A3"
                 "E0"
                 "F0");
        runInstructions(core, 3);
        QCOMPARE(core.R(0), uint8_t(0x3C)); // the device answered
        runInstructions(core, 3);
        QCOMPARE(core.A(), uint8_t(0x11)); // no device: external RAM
        QCOMPARE(hooks.externalWrites, (QList<QPair<int, int>>{{0x8001, 0x11}}));
        QCOMPARE(core.Xram()[0x8001], uint8_t(0x11));
    }

    // Timer 0 in each mode, counted from the cycle after the instruction that starts it.
    void timerModes_data() {
        QTest::addColumn<int>("tmod");
        QTest::addColumn<int>("th");
        QTest::addColumn<int>("tl");
        QTest::addColumn<int>("cycles"); // machine cycles counted
        QTest::addColumn<int>("thAfter");
        QTest::addColumn<int>("tlAfter");
        QTest::addColumn<bool>("overflow");
        QTest::newRow("mode 0: 13 bits") << 0x00 << 0xFF << 0x1E << 2 << 0x00 << 0x00 << true;
        QTest::newRow("mode 0 keeps TL bits 5-7")
            << 0x00 << 0x00 << 0xE0 << 33 << 0x01 << 0xE1 << false;
        QTest::newRow("mode 1: 16 bits") << 0x01 << 0xFF << 0xF0 << 0x20 << 0x00 << 0x10 << true;
        QTest::newRow("mode 1 no overflow") << 0x01 << 0x12 << 0xFE << 3 << 0x13 << 0x01 << false;
        QTest::newRow("mode 2: reload") << 0x02 << 0xF0 << 0xFE << 5 << 0xF0 << 0xF3 << true;
        QTest::newRow("mode 2: many reloads")
            << 0x02 << 0x00 << 0x00 << 1000 << 0x00 << 0xE8 << true;
        QTest::newRow("mode 3: TL0 alone") << 0x03 << 0x40 << 0xFF << 2 << 0x40 << 0x01 << true;
    }
    void timerModes() {
        QFETCH(int, tmod);
        QFETCH(int, th);
        QFETCH(int, tl);
        QFETCH(int, cycles);
        QFETCH(int, thAfter);
        QFETCH(int, tlAfter);
        QFETCH(bool, overflow);
        Core core(Variant::I8052);
        core.SetSfr(sfr::TMOD, uint8_t(tmod));
        core.SetSfr(sfr::TH0, uint8_t(th));
        core.SetSfr(sfr::TL0, uint8_t(tl));
        core.SetSfr(sfr::TCON, 0x10); // TR0
        // NOPs everywhere: run exactly `cycles` machine cycles.
        core.Run(uint64_t(cycles));
        QCOMPARE(core.Cycles(), uint64_t(cycles));
        QCOMPARE(int(core.Sfr(sfr::TH0)), thAfter);
        QCOMPARE(int(core.Sfr(sfr::TL0)), tlAfter);
        QCOMPARE(bool(core.Sfr(sfr::TCON) & 0x20), overflow);
    }

    void timerMode3HighHalfUsesTr1AndTf1() {
        Core core;
        core.SetSfr(sfr::TMOD, 0x23); // Timer 0 mode 3, Timer 1 mode 2
        core.SetSfr(sfr::TH0, 0xFE);
        core.SetSfr(sfr::TH1, 0x00);
        core.SetSfr(sfr::TL1, 0x00);
        core.SetSfr(sfr::TCON, 0x40); // TR1 only: TH0 runs, TL0 does not
        core.Run(4);
        QCOMPARE(core.Sfr(sfr::TH0), uint8_t(0x02));
        QCOMPARE(core.Sfr(sfr::TL0), uint8_t(0x00));
        QCOMPARE(core.Sfr(sfr::TCON) & 0xA0, 0x80); // TF1 from TH0
        // Timer 1 runs on (for the baud rate) without TR1's say and without flagging.
        QCOMPARE(core.Sfr(sfr::TL1), uint8_t(0x04));
    }

    void counterCountsFallingEdgesAndGate() {
        Core core;
        core.SetSfr(sfr::TMOD, 0x0D); // Timer 0: GATE, counter, mode 1
        core.SetSfr(sfr::TCON, 0x10);
        for (int i = 0; i < 3; ++i) {
            core.SetExternalPins(3, 0xEF); // T0 low
            core.Run(1);
            core.SetExternalPins(3, 0xFF);
            core.Run(1);
        }
        QCOMPARE(core.Sfr(sfr::TL0), uint8_t(3));
        core.SetExternalPins(3, 0xFB); // INT0 low closes the gate
        core.Run(1);
        core.SetExternalPins(3, 0xEB);
        core.Run(1);
        QCOMPARE(core.Sfr(sfr::TL0), uint8_t(3));
    }

    // Vectors of pending sources at two priority levels, nesting, and the RETI rule.
    void interruptPriorityAndPollingOrder() {
        Core core;
        // Handlers: 0x0B (Timer 0) and 0x1B (Timer 1) each INC a counter and RETI.
        loadCode(core, 0x0B, "053032");
        loadCode(core, 0x1B, "053132");
        loadCode(core, 0x100, "00000000000000");
        core.SetPC(0x100);
        core.SetSfr(sfr::IE, 0x8A);   // EA, ET1, ET0
        core.SetSfr(sfr::TCON, 0xA0); // TF1 and TF0 pending
        // Same level: Timer 0 first in polling order.
        QCOMPARE(core.Step(), 2);
        QCOMPARE(core.PC(), uint16_t(0x0B));
        QCOMPARE(core.Sfr(sfr::TCON) & 0x20, 0); // cleared by the call
        runInstructions(core, 1);                // INC
        // Timer 1 at the same level waits for RETI, then for one more instruction.
        runInstructions(core, 1); // RETI
        QCOMPARE(core.PC(), uint16_t(0x100));
        runInstructions(core, 1); // the one instruction after RETI
        QCOMPARE(core.PC(), uint16_t(0x101));
        QCOMPARE(core.Step(), 2);
        QCOMPARE(core.PC(), uint16_t(0x1B));

        // High priority first, although Timer 0 polls first; and it nests into a low-priority
        // handler, which a request of the same low level never does.
        Core nested;
        loadCode(nested, 0x0B, "053032");
        loadCode(nested, 0x1B, "053132");
        nested.SetPC(0x100);
        nested.SetSfr(sfr::IE, 0x8A);
        nested.SetSfr(sfr::IP, 0x08); // Timer 1 high
        nested.SetSfr(sfr::TCON, 0xA0);
        QCOMPARE(nested.Step(), 2);
        QCOMPARE(nested.PC(), uint16_t(0x1B));
        runInstructions(nested, 2); // INC, RETI
        QCOMPARE(nested.PC(), uint16_t(0x100));
        runInstructions(nested, 1); // the instruction after RETI
        QCOMPARE(nested.Step(), 2);
        QCOMPARE(nested.PC(), uint16_t(0x0B)); // now the low one
        runInstructions(nested, 1);            // its INC
        nested.SetSfr(sfr::TCON, 0x80);        // Timer 1 again
        QCOMPARE(nested.Step(), 2);
        QCOMPARE(nested.PC(), uint16_t(0x1B));
        runInstructions(nested, 2);
        QCOMPARE(nested.PC(), uint16_t(0x0D)); // back inside the low handler
        QCOMPARE(nested.Iram()[0x31], uint8_t(2));
        QCOMPARE(nested.Iram()[0x30], uint8_t(1));
    }

    void interruptHeldOffAfterWriteToIe() {
        Core core;
        loadCode(core, 0x0B, "32");
        loadCode(core, 0,
                 "D2AF"
                 "00"
                 "00"); // SETB EA; NOP; NOP
        core.SetSfr(sfr::IE, 0x02);
        core.SetSfr(sfr::TCON, 0x20);
        runInstructions(core, 1); // SETB EA writes IE
        QCOMPARE(core.Step(), 1); // so the NOP still executes
        QCOMPARE(core.PC(), uint16_t(3));
        QCOMPARE(core.Step(), 2); // then the call: two machine cycles
        QCOMPARE(core.PC(), uint16_t(0x0B));
        QCOMPARE(core.Iram()[core.SP()], uint8_t(0x00));
        QCOMPARE(core.Iram()[uint8_t(core.SP() - 1)], uint8_t(0x03));
    }

    // From a flag to the first instruction of its handler. A flag is polled in the machine cycle
    // after the one that raised it, and the call follows only when that polling cycle ends an
    // instruction; a flag an instruction writes counts as raised in its last cycle. `flagAt` is
    // the cycle count at the end of the cycle that raises the flag (for the pin: when it falls),
    // `latency` the cycles from there to the handler's first instruction, `before` the
    // instructions that start after the flag and run before the call. The handler begins with
    // MOV A,TL0: with Timer 0 reloading 00 it reads the cycles since the overflow plus one.
    void interruptLatency_data() {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QByteArray>("code"); // at 0x100, NOPs after it
        QTest::addColumn<int>("pinAt");       // cycle at which INT0 falls (-1: never)
        QTest::addColumn<int>("flagAt");
        QTest::addColumn<int>("vector");
        QTest::addColumn<int>("latency");
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("handlerA"); // -1: not checked
        auto row = [](const char* name, const char* setup, const char* code, int pinAt, int flagAt,
                      int vector, int latency, int before, int handlerA) {
            QTest::newRow(name) << QString::fromLatin1(setup) << QByteArray(code) << pinAt << flagAt
                                << vector << latency << before << handlerA;
        };
        // Timer 0 in mode 2, reload 00, TL0 as given, EA and ET0, TR0 from cycle 0.
        auto t0 = [](const char* tl0) {
            static QList<QByteArray> texts;
            texts.append(QByteArray("89=02 8C=00 8A=") + tl0 + " A8=82 88=10");
            return texts.last().constData();
        };
        row("Timer 0, last cycle of a NOP", t0("FE"), "", -1, 2, 0x0B, 3, 1, 4);
        row("Timer 0, first cycle of MOV dir,dir", t0("FE"), "00853031", -1, 2, 0x0B, 3, 0, 4);
        row("Timer 0, last cycle of MOV dir,dir", t0("FD"), "00853031", -1, 3, 0x0B, 3, 1, 4);
        row("Timer 0, second cycle of MUL", t0("FD"), "00A4A4", -1, 3, 0x0B, 4, 0, 5);
        row("Timer 0, third cycle of MUL", t0("FC"), "00A4A4", -1, 4, 0x0B, 3, 0, 4);
        row("Timer 0, last cycle of MUL: the next MUL runs", t0("FB"), "00A4A4", -1, 5, 0x0B, 6, 1,
            7);
        row("SETB TF0", "A8=82", "D28D0530", -1, 1, 0x0B, 3, 1, -1);
        row("MOV TCON,#20", "A8=82", "7588200530", -1, 2, 0x0B, 3, 1, -1);
        row("MOV SCON,#02 (TI)", "A8=90", "7598020530", -1, 2, 0x23, 3, 1, -1);
        row("SETB TF2", "A8=A0", "D2CF0530", -1, 1, 0x2B, 3, 1, -1);
        row("Timer 1, last cycle of a NOP", "89=20 8D=00 8B=FE A8=88 88=40", "", -1, 2, 0x1B, 3, 1,
            -1);
        row("Timer 2, last cycle of a NOP", "CD=FF CC=FE A8=A0 C8=04", "", -1, 2, 0x2B, 3, 1, -1);
        // Mode 0 sends for 8 machine cycles after the write at the end of MOV SBUF,A.
        row("serial transmit done (TI)", "A8=90", "F599", -1, 9, 0x23, 3, 1, -1);
        row("INT0 pin, edge-triggered", "A8=81 88=01", "", 2, 2, 0x03, 3, 1, -1);
    }
    void interruptLatency() {
        QFETCH(QString, setup);
        QFETCH(QByteArray, code);
        QFETCH(int, pinAt);
        QFETCH(int, flagAt);
        QFETCH(int, vector);
        QFETCH(int, latency);
        QFETCH(int, before);
        QFETCH(int, handlerA);
        Core core(Variant::I8052);
        loadCode(core, uint16_t(vector), "E58A32"); // MOV A,TL0; RETI
        loadCode(core, 0x100, code);
        core.SetPC(0x100);
        applyFields(core, setup);
        uint64_t handlerAt = 0;
        int ranBefore = 0;
        for (int i = 0; i < 40 && !handlerAt; ++i) {
            if (pinAt >= 0 && core.Cycles() == uint64_t(pinAt)) core.SetExternalPins(3, 0xFB);
            const uint64_t start = core.Cycles();
            const uint64_t executed = core.Instructions();
            core.Step();
            if (core.Instructions() == executed) { // the hardware call
                QCOMPARE(core.PC(), uint16_t(vector));
                handlerAt = core.Cycles();
            } else if (start >= uint64_t(flagAt)) {
                ++ranBefore;
            }
        }
        QVERIFY(handlerAt > 0);
        QCOMPARE(int(handlerAt) - flagAt, latency);
        QCOMPARE(ranBefore, before);
        if (handlerA >= 0) {
            runInstructions(core, 1);
            QCOMPARE(int(core.A()), handlerA);
        }
    }

    // The same timing through Run(), which plans its polls ahead instead of stepping.
    void interruptLatencyInRun() {
        Core core;
        loadCode(core, 0x0B, "E58A32");
        loadCode(core, 0, "020100");         // LJMP (cycles 0..2)
        loadCode(core, 0x100, "D28C00A4A4"); // SETB TR0 (2..3); NOP; MUL AB (4..8); MUL AB
        applyFields(core, "89=02 8C=00 8A=FB A8=82");
        core.Run(15);
        // Timer 0 counts from cycle 3 and overflows at 8, in the last cycle of the first MUL: the
        // second MUL runs (8..12), then the call (12..14); MOV A,TL0 (14..15) reads 7.
        QCOMPARE(core.Instructions(), uint64_t(6));
        QCOMPARE(int(core.A()), 7);
    }

    // Stopping the clock first brings the timers and a serial frame up to the write to PCON;
    // in idle they count on.
    void clockStopKeepsCounts() {
        Core down;
        loadCode(down, 0, "758901D28C438702"); // MOV TMOD,#1; SETB TR0; ORL PCON,#2
        runInstructions(down, 3);
        QCOMPARE(down.State(), RunState::PowerDown);
        QCOMPARE(down.Sfr(sfr::TL0), uint8_t(1));
        down.Run(100);
        QCOMPARE(down.Sfr(sfr::TL0), uint8_t(1));

        Core idle;
        loadCode(idle, 0, "758901D28C438701"); // the same into idle
        runInstructions(idle, 3);
        QCOMPARE(idle.State(), RunState::Idle);
        QCOMPARE(idle.Sfr(sfr::TL0), uint8_t(2));
        idle.Run(50);
        QCOMPARE(idle.Sfr(sfr::TL0), uint8_t(52));

        // Mode 0 sends for 8 cycles from the write at the end of MOV SBUF,A (cycle 1); ORL
        // PCON,#2 writes after its first cycle. After 7 NOPs that is cycle 9: the frame is done.
        for (int nops : {6, 7}) {
            Core serial;
            Counting hooks;
            serial.SetHooks(&hooks);
            QByteArray code = "F599" + QByteArray("00").repeated(nops) + "438702";
            loadCode(serial, 0, code);
            serial.Run(100);
            QCOMPARE(serial.State(), RunState::PowerDown);
            const bool done = nops == 7;
            QCOMPARE(bool(serial.Sfr(sfr::SCON) & 0x02), done);
            QCOMPARE(hooks.transmitted.size(), done ? 1 : 0);
        }

        // An undefined instruction stops the clock the same way.
        Core undefined;
        loadCode(undefined, 0, "758901D28C00A5"); // ...; NOP; undefined
        undefined.Run(100);
        QCOMPARE(undefined.State(), RunState::Undefined);
        QCOMPARE(undefined.Sfr(sfr::TL0), uint8_t(1));
    }

    // The cycle at which a frame written at the end of MOV SBUF,A (cycle 1) raises TI, for each
    // baud source; the transmitter plans that cycle ahead instead of watching every cycle.
    void serialFrameEnds_data() {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<int>("doneAt");
        QTest::newRow("mode 0: 8 cycles") << "98=00" << 9;
        QTest::newRow("mode 2: 704 oscillator periods") << "98=80" << 60;
        QTest::newRow("mode 2, SMOD: 352") << "87=80 98=80" << 31;
        QTest::newRow("mode 1, Timer 1 reload FD") << "89=20 8D=FD 8B=FD 88=40 98=40" << 960;
        QTest::newRow("mode 3, Timer 1 reload FD") << "89=20 8D=FD 8B=FD 88=40 98=C0" << 1056;
        QTest::newRow("mode 1, Timer 1 in mode 1 from FFF0")
            << "89=10 8D=FF 8B=F0 88=40 87=80 98=40" << 16 + 159 * 65536;
        QTest::newRow("mode 1, Timer 2 reload FFDC")
            << "CB=FF CA=DC CD=FF CC=DC C8=14 98=40" << 960;
    }
    void serialFrameEnds() {
        QFETCH(QString, setup);
        QFETCH(int, doneAt);
        Core core(Variant::I8052);
        Counting hooks;
        core.SetHooks(&hooks);
        // MOV SBUF,A; NOPs, and at the end of the code space LJMP back to the NOPs (the
        // boundary-free cycles of that LJMP miss the cycles checked).
        loadCode(core, 0, "F599");
        loadCode(core, 0xFFFD, "020002");
        applyFields(core, setup);
        core.Run(uint64_t(doneAt - 1));
        QCOMPARE(core.Cycles(), uint64_t(doneAt - 1));
        QCOMPARE(core.Sfr(sfr::SCON) & 0x02, 0);
        QVERIFY(hooks.transmitted.isEmpty());
        core.Run(1);
        QCOMPARE(core.Sfr(sfr::SCON) & 0x02, 0x02);
        QCOMPARE(hooks.transmitted.size(), 1);
    }

    // Modes 2 and 3 receive a ninth bit into RB8; with SM2 set only frames whose ninth bit is 1
    // (addresses, in multiprocessor use) set RI, the others are lost. Mode 1 puts the stop bit
    // in RB8 and SM2 lets every frame through.
    void serialNinthBitAndSm2_data() {
        QTest::addColumn<int>("scon");
        QTest::addColumn<bool>("ninth");
        QTest::addColumn<bool>("received");
        QTest::addColumn<bool>("rb8");
        // SCON starts with RB8 set, so a frame that is lost leaves it set.
        QTest::newRow("mode 2, ninth bit 0") << 0x94 << false << true << false;
        QTest::newRow("mode 2, ninth bit 1") << 0x94 << true << true << true;
        QTest::newRow("mode 2, SM2, ninth bit 0: lost") << 0xB4 << false << false << true;
        QTest::newRow("mode 2, SM2, ninth bit 1") << 0xB4 << true << true << true;
        QTest::newRow("mode 3, ninth bit 0") << 0xD4 << false << true << false;
        QTest::newRow("mode 3, SM2, ninth bit 0: lost") << 0xF4 << false << false << true;
        QTest::newRow("mode 3, SM2, ninth bit 1") << 0xF4 << true << true << true;
        QTest::newRow("mode 1, SM2: the stop bit") << 0x70 << false << true << true;
    }
    void serialNinthBitAndSm2() {
        QFETCH(int, scon);
        QFETCH(bool, ninth);
        QFETCH(bool, received);
        QFETCH(bool, rb8);
        Core core;
        applyFields(core, "89=20 8D=FD 8B=FD 88=40"); // Timer 1 baud rate for modes 1 and 3
        core.SetSfr(sfr::SCON, uint8_t(scon));
        core.SetSfr(sfr::SBUF, 0xEE);
        core.SerialReceive(0x5A, ninth);
        core.Run(2000);
        QCOMPARE(int(core.SerialReceivePending()), 0);
        QCOMPARE(bool(core.Sfr(sfr::SCON) & 0x01), received);
        QCOMPARE(bool(core.Sfr(sfr::SCON) & 0x04), rb8);
        QCOMPARE(int(core.Sfr(sfr::SBUF)), received ? 0x5A : 0xEE);

        // A lost frame does not hold up the next one: an address byte after a data byte.
        core.SetSfr(sfr::SCON, uint8_t(scon & ~0x01));
        core.SerialReceive(0x11, false);
        core.SerialReceive(0x22, true);
        core.Run(4000);
        const bool filters = (scon & 0x20) && (scon >> 6) >= 2;
        QCOMPARE(int(core.SerialReceivePending()), filters ? 0 : 1);
        QCOMPARE(int(core.Sfr(sfr::SBUF)), filters ? 0x22 : 0x11);
    }

    void externalInterruptEdgeAndLevel() {
        Core core;
        loadCode(core, 0x03, "053032");
        core.SetPC(0x100);
        core.SetSfr(sfr::IE, 0x81);
        core.SetSfr(sfr::TCON, 0x01); // INT0 edge-triggered
        core.SetExternalPins(3, 0xFB);
        runInstructions(core, 3); // one NOP, then the handler's INC and RETI
        QCOMPARE(core.Iram()[0x30], uint8_t(1));
        runInstructions(core, 10); // still low: no new edge
        QCOMPARE(core.Iram()[0x30], uint8_t(1));

        Core level;
        level.SetExternalPins(3, 0xFB); // INT0 low, level-triggered
        level.Run(2);
        QCOMPARE(level.Sfr(sfr::TCON) & 0x02, 0x02);
        level.SetExternalPins(3, 0xFF);
        level.Run(2);
        QCOMPARE(level.Sfr(sfr::TCON) & 0x02, 0x00); // the flag follows the pin
    }

    void serialTransmitAndReceive() {
        Core core;
        Counting hooks;
        core.SetHooks(&hooks);
        // Mode 1, Timer 1 mode 2 reload FD (SMOD 0): a bit is 32 overflows of 3 cycles.
        core.SetSfr(sfr::TMOD, 0x20);
        core.SetSfr(sfr::TH1, 0xFD);
        core.SetSfr(sfr::TL1, 0xFD);
        core.SetSfr(sfr::TCON, 0x40);
        core.SetSfr(sfr::SCON, 0x50); // mode 1, REN
        loadCode(core, 0, "759941");  // MOV SBUF,#41 then NOPs
        runInstructions(core, 1);
        core.Run(900);
        QCOMPARE(core.Sfr(sfr::SCON) & 0x02, 0); // not yet: 10 bits take 960 cycles
        QVERIFY(hooks.transmitted.isEmpty());
        core.Run(70);
        QCOMPARE(core.Sfr(sfr::SCON) & 0x02, 0x02);
        QCOMPARE(hooks.transmitted, QList<int>{0x41});
        QCOMPARE(core.SbufTransmit(), uint8_t(0x41));

        core.SerialReceive(0x5A);
        core.SerialReceive(0x5B);
        core.Run(1000);
        QCOMPARE(core.Sfr(sfr::SCON) & 0x01, 0x01);
        QCOMPARE(core.Sfr(sfr::SBUF), uint8_t(0x5A));
        core.Run(2000); // the second byte waits for RI to be cleared
        QCOMPARE(core.Sfr(sfr::SBUF), uint8_t(0x5A));
        QCOMPARE(int(core.SerialReceivePending()), 1);
        core.SetSfr(sfr::SCON, 0x50);
        core.Run(1000);
        QCOMPARE(core.Sfr(sfr::SBUF), uint8_t(0x5B));
    }

    void idleUntilInterruptAndPowerDown() {
        Core core;
        loadCode(core, 0x0B, "053032");
        // Timer 0 mode 2 every 100 cycles; ORL PCON,#1 (idle); then INC 0x31; SJMP $
        loadCode(core, 0, "020100");
        loadCode(core, 0x100,
                 "758902"
                 "758C9C"
                 "758A9C"
                 "75A882"
                 "D28C"
                 "438701"
                 "0531"
                 "80FE");
        runInstructions(core, 7);
        QCOMPARE(core.State(), RunState::Idle);
        QCOMPARE(core.StateText(), std::string("idle"));
        const uint64_t before = core.Cycles();
        core.Run(50);
        QCOMPARE(core.State(), RunState::Idle); // time passes, no instruction
        QCOMPARE(core.Cycles(), before + 50);
        QCOMPARE(core.Iram()[0x31], uint8_t(0));
        core.Run(100); // the timer interrupt wakes it; after RETI it goes on
        QCOMPARE(core.State(), RunState::Running);
        runInstructions(core, 3);
        QCOMPARE(core.Iram()[0x30], uint8_t(1));
        QCOMPARE(core.Iram()[0x31], uint8_t(1));

        Core down;
        loadCode(down, 0, "438702");
        runInstructions(down, 1);
        QCOMPARE(down.State(), RunState::PowerDown);
        QCOMPARE(down.Run(1000), uint64_t(0));
        QCOMPARE(down.Step(), 0);
    }

    void breakpointsStopRun() {
        Core core;
        loadCode(core, 0, "0000000080FA"); // NOP x4; SJMP 0
        core.SetBreakpoint(3, true);
        core.Run(100);
        QCOMPARE(core.PC(), uint16_t(3));
        QCOMPARE(core.Instructions(), uint64_t(3));
        core.Run(100); // starting on it: goes on and stops there again
        QCOMPARE(core.PC(), uint16_t(3));
        QCOMPARE(core.Instructions(), uint64_t(8));
        QVERIFY(core.HasBreakpoint(3));
        core.ClearBreakpoints();
        core.Run(100);
        QCOMPARE(core.Cycles() >= 100, true);
    }

    void hexFiles_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("error"); // empty: loads
        QTest::newRow("good") << QByteArray(":03000000020100FA\n:0401000074122400 51\n"
                                            ":00000001FF\n")
                              << QString();
        QTest::newRow("bad checksum")
            << QByteArray(":03000000020100FB\n:00000001FF\n") << "line 1: checksum mismatch";
        QTest::newRow("no colon") << QByteArray("0300000002\n:00000001FF\n")
                                  << "line 1: not an Intel HEX record (no leading ':')";
        QTest::newRow("bad digit") << QByteArray("\n:0300000002G100FA\n:00000001FF\n")
                                   << "line 2: not a hexadecimal digit";
        QTest::newRow("count mismatch") << QByteArray(":0500000002010000F9\n:00000001FF\n")
                                        << "line 1: byte count does not match the record length";
        QTest::newRow("past 64 KB") << QByteArray(":02FFFF00AABB9B\n:00000001FF\n")
                                    << "line 1: record past the 64 KB code space";
        QTest::newRow("no end record") << QByteArray(":03000000020100FA\n")
                                       << "line 1: file ends without an end-of-file record";
        QTest::newRow("unknown type")
            << QByteArray(":00000007F9\n:00000001FF\n") << "line 1: unknown record type";
    }
    void hexFiles() {
        QFETCH(QByteArray, text);
        QFETCH(QString, error);
        Core core;
        core.Code()[0] = 0x77; // a program already loaded
        core.Code()[0x100] = 0x88;
        text.replace(' ', "");
        LoadResult r = LoadIntelHex(core, text.toStdString());
        QCOMPARE(QString::fromStdString(r.error), error);
        QCOMPARE(r.ok, error.isEmpty());
        if (error.isEmpty()) {
            QCOMPARE(core.Code()[0], uint8_t(0x02));
            QCOMPARE(core.Code()[0x103], uint8_t(0x00));
            QCOMPARE(r.bytes, 7);
            QCOMPARE(r.highest, uint16_t(0x103));
        } else { // nothing of the bad file was stored
            QCOMPARE(core.Code()[0], uint8_t(0x77));
            QCOMPARE(core.Code()[0x100], uint8_t(0x88));
        }
    }

    void binaryImages() {
        Core core;
        std::vector<uint8_t> image = {0x74, 0x12, 0x80, 0xFE};
        LoadResult r = LoadImage(core, image);
        QVERIFY(r.ok);
        QCOMPARE(core.Code()[1], uint8_t(0x12));
        std::vector<uint8_t> tooLarge(0x10001, 0x11);
        r = LoadBinary(core, tooLarge);
        QVERIFY(!r.ok);
        QCOMPARE(core.Code()[0], uint8_t(0x74));
        const std::string hex = "\n:0100000055AA\n:00000001FF\n";
        r = LoadImage(core, std::vector<uint8_t>(hex.begin(), hex.end()));
        QVERIFY2(r.ok, r.error.c_str());
        QCOMPARE(core.Code()[0], uint8_t(0x55));
    }

    void disassembler_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("pc");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("length");
        QTest::newRow("NOP") << QByteArray("00") << 0 << "NOP" << 1;
        QTest::newRow("AJMP") << QByteArray("2134") << 0x0800 << "AJMP 0x0934" << 2;
        QTest::newRow("ACALL") << QByteArray("F1FF") << 0 << "ACALL 0x07FF" << 2;
        QTest::newRow("LJMP") << QByteArray("021234") << 0 << "LJMP 0x1234" << 3;
        QTest::newRow("MOV direct,direct") << QByteArray("85E030") << 0 << "MOV 0x30,ACC" << 3;
        QTest::newRow("MOV A,#") << QByteArray("7412") << 0 << "MOV A,#0x12" << 2;
        QTest::newRow("ADD A,@R1") << QByteArray("27") << 0 << "ADD A,@R1" << 1;
        QTest::newRow("INC direct") << QByteArray("0590") << 0 << "INC P1" << 2;
        QTest::newRow("DEC A") << QByteArray("14") << 0 << "DEC A" << 1;
        QTest::newRow("SJMP back") << QByteArray("80FE") << 0x10 << "SJMP 0x0010" << 2;
        QTest::newRow("JB bit") << QByteArray("209705") << 0 << "JB P1.7,0x0008" << 3;
        QTest::newRow("JBC named bit") << QByteArray("108DFD") << 0 << "JBC TF0,0x0000" << 3;
        QTest::newRow("SETB RAM bit") << QByteArray("D20A") << 0 << "SETB 0x21.2" << 2;
        QTest::newRow("CLR C") << QByteArray("C3") << 0 << "CLR C" << 1;
        QTest::newRow("CJNE Rn") << QByteArray("BB0AFD") << 0 << "CJNE R3,#0x0A,0x0000" << 3;
        QTest::newRow("DJNZ direct") << QByteArray("D530FD") << 0 << "DJNZ 0x30,0x0000" << 3;
        QTest::newRow("MOVX") << QByteArray("F3") << 0 << "MOVX @R1,A" << 1;
        QTest::newRow("MOVC") << QByteArray("93") << 0 << "MOVC A,@A+DPTR" << 1;
        QTest::newRow("ORL C,/bit") << QByteArray("A0D7") << 0 << "ORL C,/CY" << 2;
        QTest::newRow("MOV DPTR") << QByteArray("90ABCD") << 0 << "MOV DPTR,#0xABCD" << 3;
        QTest::newRow("undefined") << QByteArray("A5") << 0 << "DB 0xA5" << 1;
        QTest::newRow("wraps at FFFF") << QByteArray("02") << 0xFFFF << "LJMP 0x0000" << 3;
    }
    void disassembler() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, pc);
        QFETCH(QString, text);
        QFETCH(int, length);
        Core core;
        loadCode(core, uint16_t(pc), bytes);
        Disassembly d = Disassemble(core.Code(), uint16_t(pc));
        QCOMPARE(QString::fromStdString(d.text), text);
        QCOMPARE(d.length, length);
    }

    // File bytes are told apart by content (text is Intel HEX, anything else an image), lines end
    // in any of the three ways, and a file that cannot load leaves the loaded program as it was.
    void imageRecognition_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("error"); // empty: loads
        QTest::addColumn<int>("first");     // the byte at address 0 after a load
        const QByteArray record = ":0100000055AA";
        const QByteArray end = ":00000001FF";
        QTest::newRow("HEX, LF") << record + "\n" + end + "\n" << QString() << 0x55;
        QTest::newRow("HEX, CR LF") << record + "\r\n" + end + "\r\n" << QString() << 0x55;
        QTest::newRow("HEX, CR") << record + "\r" + end + "\r" << QString() << 0x55;
        QTest::newRow("HEX, mixed ends and blanks")
            << "\r\n \t\n" + record + "\r\r\n\n" + end << QString() << 0x55;
        QTest::newRow("HEX behind a byte-order mark")
            << "\xEF\xBB\xBF" + record + "\r\n" + end + "\r\n"
            << QString() << 0x55;
        QTest::newRow("HEX with Ctrl-Z after the end")
            << record + "\r\n" + end + "\r\n\x1A" << QString() << 0x55;
        QTest::newRow("CR LF is one line")
            << record + "\r\n\r\n:0100000055AB\r\n" + end << "line 3: checksum mismatch" << 0;
        QTest::newRow("CR is one line") << record + "\r" + record + "\r:01000000G5AA\r" + end
                                        << "line 3: not a hexadecimal digit" << 0;
        // A damaged HEX file is still text: its error names the line instead of running it.
        QTest::newRow("damaged HEX")
            << ":01000000\n" + end << "line 1: record too short or of odd length" << 0;
        QTest::newRow("blank and colon in front of code")
            << QByteArray("\x20\x3A\x02\x00\x80\xFE", 6) << QString() << 0x20;
        QTest::newRow("code starting with a colon")
            << QByteArray(":\x00\x12\xFF", 4) << QString() << 0x3A;
        QTest::newRow("code of printable bytes and a zero")
            << QByteArray(":0100000055AA\n\x00", 15) << QString() << 0x3A;
        QTest::newRow("empty") << QByteArray() << "the file is empty" << 0;
        QTest::newRow("only blanks") << QByteArray(" \r\n\t\n") << "the file is empty" << 0;
        // A linear base near 4 GB plus the offset must not wrap around into the code space.
        QTest::newRow("address past 4 GB") << ":02000004FFFFFC\n:02FFFF00AABB9B\n" + end
                                           << "line 2: record past the 64 KB code space" << 0;
    }
    void imageRecognition() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, error);
        QFETCH(int, first);
        Core core;
        core.Code()[0] = 0x77; // a program already loaded
        const LoadResult r = LoadImage(core, std::vector<uint8_t>(bytes.begin(), bytes.end()));
        QCOMPARE(QString::fromStdString(r.error), error);
        QCOMPARE(r.ok, error.isEmpty());
        if (r.ok) {
            QCOMPARE(core.Code()[0], uint8_t(first));
            QVERIFY(r.bytes > 0);
        } else {
            QCOMPARE(core.Code()[0], uint8_t(0x77));
        }
    }
};

QTEST_GUILESS_MAIN(TestMcs51)
#include "test_mcs51.moc"
