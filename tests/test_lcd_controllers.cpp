// The LCD controllers without any widget: a plain owner stands for the module and records the
// redraw requests, the lines are driven as the propagation engine delivers levels.
#include <QMap>
#include <QtTest>

#include "lcd/lcdcontrol.h"
#include "lcd/lcdfont.h"
#include "platform/clock.h"
#include "tests/support/testboard.h"

namespace {

class Module : public QObject, public TLCDDisplay {
public:
    explicit Module(QObject* board) : QObject(board) {}
    void LCDDrawCell(int index) override { draws.append(index); }
    void LCDRepaint() override { ++repaints; }
    QList<int> draws;
    int repaints = 0;
};

// A host program's view of one module: the data bus and the control lines.
template <typename Controller> struct Rig {
    TestBoard board;
    Module* module = new Module(&board);
    QObject* portOwner = new QObject(&board);
    TOrvexPort* port = new TOrvexPort(portOwner);
    Controller* lcd = new Controller(module);

    Rig() { lcd->SetPort(port); }

    void line(TOrvexLCDPortCtl* control, bool high) {
        // As a contact hands a new level to its control.
        control->Contact()->StoreValue(high ? LevelHigh : LevelLow);
        control->ValueChanged(control->Contact(), nullptr);
    }
    // One write cycle: the lines set, the byte on the bus, Enable pulsed.
    void write(bool regSel, int byte) {
        line(lcd->RegSelCtl(), regSel);
        line(lcd->RdWrCtl(), false);
        port->StoreValue(byte);
        line(lcd->EnableCtl(), true);
        line(lcd->EnableCtl(), false);
    }
    // One read cycle; the answer the host gets while Enable is high.
    int read(bool regSel) {
        line(lcd->RegSelCtl(), regSel);
        line(lcd->RdWrCtl(), true);
        line(lcd->EnableCtl(), true);
        const QList<TestBoard::Sent> replies = board.SentWith(HostMsg::HostReply);
        const int answer = replies.isEmpty() ? -1 : int(replies.last().wParam);
        line(lcd->EnableCtl(), false);
        line(lcd->RdWrCtl(), false);
        return answer;
    }
};

struct AlphaRig : Rig<TLCDAlphaControl> {
    ScopedManualClock clock;
    explicit AlphaRig(bool bus8Bit = true) { lcd->SetBus8Bit(bus8Bit); }
    // The 8-bit initialisation: three function-set writes, the second at a later tick.
    void initialise() {
        line(lcd->EnableCtl(), false);
        write(false, 0x30);
        clock->Advance(5);
        write(false, 0x30);
        write(false, 0x30);
    }
    // A byte read as two nibbles while RdWr stays high: the two answers.
    QPair<int, int> readNibbles(bool regSel) {
        line(lcd->RegSelCtl(), regSel);
        line(lcd->RdWrCtl(), true);
        int answers[2];
        for (int& answer : answers) {
            line(lcd->EnableCtl(), true);
            answer = int(board.SentWith(HostMsg::HostReply).last().wParam);
            line(lcd->EnableCtl(), false);
        }
        line(lcd->RdWrCtl(), false);
        return {answers[0], answers[1]};
    }
    void nibbles(bool regSel, int byte) {
        write(regSel, byte & 0xF0);
        write(regSel, (byte << 4) & 0xF0);
    }
};

using GraphRig = Rig<TLCDGraphControl>;

QMap<QString, int> alphaState(const TLCDAlphaControl* c) {
    return {{"AddressInDDRAM", c->AddressInDDRAM()},
            {"AddressCounter", c->AddressCounter()},
            {"CGRAMAddress", c->CGRAMAddress()},
            {"ShiftOffset", c->ShiftOffset()},
            {"DataLength8", c->DataLength8()},
            {"TwoLineMode", c->TwoLineMode()},
            {"LargeFont", c->LargeFont()},
            {"DisplayOn", c->DisplayOn()},
            {"CursorOn", c->CursorOn()},
            {"BlinkOn", c->BlinkOn()},
            {"Increment", c->Increment()},
            {"ShiftOnEntry", c->ShiftOnEntry()},
            {"Cell5", c->DDRAM()[5]}};
}

} // namespace

class TestLCDControllers : public QObject {
    Q_OBJECT

private slots:
    void creation();
    void instructionTable_data();
    void instructionTable();
    void displayAddresses_data();
    void displayAddresses();
    void initialisation();
    void initialisationNeedsALaterTick();
    void fourBitTransfers();
    void fourBitReinitialisation();
    void writeAndRead();
    void fourBitDataReadStepsOncePerByte();
    void readsWhileUninitialisedReleaseTheBus();
    void characterGenerator();
    void redrawRequests_data();
    void redrawRequests();
    void shiftOnEntry();
    void blinkTimer();
    void noPortNoAction();
    void graphicBothChips();
    void graphicColumnWraps();
    void graphicStatus_data();
    void graphicStatus();
    void graphicInstructions();
    void graphicDataRead();
};

void TestLCDControllers::creation() {
    AlphaRig rig;
    TLCDAlphaControl* c = rig.lcd;
    QVERIFY(c->Uninitialised());
    QCOMPARE(c->RdWrCtl()->objectName(), QStringLiteral("RdWr"));
    QCOMPARE(c->RegSelCtl()->Contact()->objectName(), QStringLiteral("RegSel_Pin"));
    QCOMPARE(c->EnableCtl()->GetResistence(), 100000);
    QCOMPARE(c->RdWrCtl()->GetResistence(), 200);
    QCOMPARE(c->EnableCtl()->Contact()->Value(), LevelHigh);
    QCOMPARE(c->DDRAM()[39], quint8(0));
    QCOMPARE(c->DDRAM()[40], quint8(32));
    QCOMPARE(c->CGRAM()[63], quint8(255));
    QCOMPARE(c->InstructionReg(), 255);
    QVERIFY(c->BlinkTimer()->IsActive());
    QCOMPARE(c->BlinkTimer()->Interval(), 450);
    GraphRig graph;
    QCOMPARE(graph.lcd->CS2Ctl()->Contact()->objectName(), QStringLiteral("CS2_Pin"));
    QCOMPARE(graph.lcd->Selection(), 3); // both unwired lines idle high
}

void TestLCDControllers::instructionTable_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("expected"); // "Name=value ..." of the state after
    // Every row starts from: counter 5, shift 3, cell 5 = 'x', entry mode increment, display on.
    QTest::newRow("clear") << 0x01 << "AddressCounter=0 ShiftOffset=0 Increment=1 Cell5=32";
    QTest::newRow("clear 0x00") << 0x00 << "AddressCounter=0 Cell5=32";
    QTest::newRow("home") << 0x02 << "AddressCounter=0 ShiftOffset=0 Cell5=120";
    QTest::newRow("home 0x03") << 0x03 << "AddressCounter=0 ShiftOffset=0";
    QTest::newRow("entry decrement, shift") << 0x05 << "Increment=0 ShiftOnEntry=1";
    QTest::newRow("entry increment") << 0x06 << "Increment=1 ShiftOnEntry=0";
    QTest::newRow("display off") << 0x08 << "DisplayOn=0 CursorOn=0 BlinkOn=0";
    QTest::newRow("display, cursor, blink") << 0x0F << "DisplayOn=1 CursorOn=1 BlinkOn=1";
    QTest::newRow("cursor left") << 0x10 << "AddressCounter=4 ShiftOffset=3";
    QTest::newRow("cursor right") << 0x14 << "AddressCounter=6";
    QTest::newRow("shift left") << 0x18 << "ShiftOffset=4 AddressCounter=5";
    QTest::newRow("shift right") << 0x1C << "ShiftOffset=2";
    QTest::newRow("4-bit, one line, large font")
        << 0x24 << "DataLength8=0 TwoLineMode=0 LargeFont=1";
    QTest::newRow("8-bit, two lines") << 0x3C << "DataLength8=1 TwoLineMode=1 LargeFont=0";
    QTest::newRow("character-generator address") << 0x7F << "AddressInDDRAM=0 CGRAMAddress=63";
    QTest::newRow("display address") << 0xC3 << "AddressInDDRAM=1 AddressCounter=43";
}

void TestLCDControllers::instructionTable() {
    QFETCH(int, code);
    QFETCH(QString, expected);
    AlphaRig rig;
    TLCDAlphaControl* c = rig.lcd;
    c->Execute(0x0C);
    c->Execute(0x06);
    c->Execute(0x18);
    c->Execute(0x18);
    c->Execute(0x18);
    c->Execute(0x85);
    rig.initialise();
    c->Execute(0x85);
    rig.write(true, 'x');
    c->Execute(0x85);
    for (int i = 0; i < 3; ++i)
        c->Execute(0x18);
    QCOMPARE(c->ShiftOffset(), 3);
    // Through the bus, as a host program gives it.
    rig.write(false, code);
    const QMap<QString, int> state = alphaState(c);
    for (const QString& item : expected.split(' ')) {
        const QStringList pair = item.split('=');
        QVERIFY2(state.contains(pair[0]), qPrintable(pair[0]));
        QCOMPARE(state.value(pair[0]), pair[1].toInt());
    }
    QCOMPARE(c->BlinkTimer()->IsActive(), c->BlinkOn());
}

void TestLCDControllers::displayAddresses_data() {
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("cell");
    QTest::newRow("0x00") << 0x00 << 0;
    QTest::newRow("0x27") << 0x27 << 39;
    QTest::newRow("0x28") << 0x28 << 40;
    QTest::newRow("0x30") << 0x30 << 40;
    QTest::newRow("0x40") << 0x40 << 40;
    QTest::newRow("0x41") << 0x41 << 41;
    QTest::newRow("0x67") << 0x67 << 79;
    QTest::newRow("0x68") << 0x68 << 0;
    QTest::newRow("0x7F") << 0x7F << 0;
}

void TestLCDControllers::displayAddresses() {
    QFETCH(int, address);
    QFETCH(int, cell);
    AlphaRig rig;
    rig.initialise();
    rig.write(false, 0x80 | address);
    QCOMPARE(rig.lcd->AddressCounter(), cell);
    QCOMPARE(TLCDAlphaControl::CellOfAddress(address), cell);
}

void TestLCDControllers::initialisation() {
    AlphaRig rig;
    rig.line(rig.lcd->EnableCtl(), false);
    // Writes before the sequence are ignored.
    rig.write(false, 0x0F);
    QVERIFY(!rig.lcd->DisplayOn());
    rig.write(false, 0x30);
    QCOMPARE(rig.lcd->InitState(), 1);
    rig.clock->Advance(5);
    rig.write(false, 0x30);
    QCOMPARE(rig.lcd->InitState(), 2);
    QVERIFY(rig.lcd->Uninitialised());
    QCOMPARE(rig.lcd->DDRAM()[0], quint8(32)); // filled with blanks
    rig.write(false, 0x38);
    QVERIFY(!rig.lcd->Uninitialised());
    QVERIFY(rig.lcd->DataLength8());
    // The next write is executed.
    rig.write(false, 0x0E);
    QVERIFY(rig.lcd->DisplayOn());
    QVERIFY(rig.lcd->CursorOn());
}

void TestLCDControllers::initialisationNeedsALaterTick() {
    AlphaRig rig;
    rig.line(rig.lcd->EnableCtl(), false);
    rig.write(false, 0x30);
    rig.write(false, 0x30); // same tick: back to the start
    QCOMPARE(rig.lcd->InitState(), 0);
    rig.write(false, 0x30);
    QVERIFY(rig.lcd->Uninitialised());
    // Data (RegSel high) or another high nibble start over as well.
    rig.clock->Advance(1);
    rig.write(true, 0x30);
    QCOMPARE(rig.lcd->InitState(), 0);
    rig.write(false, 0x20);
    QCOMPARE(rig.lcd->InitState(), 0);
    QVERIFY(rig.lcd->Uninitialised());
}

void TestLCDControllers::fourBitTransfers() {
    AlphaRig rig(false);
    rig.initialise();
    rig.write(false, 0x20); // function set, 4-bit, still one 8-bit write
    QVERIFY(!rig.lcd->DataLength8());
    // 0x28 as two nibbles: nothing happens after the first.
    rig.write(false, 0x20);
    QVERIFY(!rig.lcd->TwoLineMode());
    QVERIFY(!rig.lcd->HighNibbleNext());
    rig.write(false, 0x80);
    QVERIFY(rig.lcd->TwoLineMode());
    QVERIFY(!rig.lcd->DataLength8());
    rig.nibbles(false, 0x0C);
    QVERIFY(rig.lcd->DisplayOn());
    rig.nibbles(true, 'A');
    QCOMPARE(rig.lcd->DDRAM()[0], quint8('A'));
    QCOMPARE(rig.lcd->AddressCounter(), 1);
}

void TestLCDControllers::fourBitReinitialisation() {
    AlphaRig rig(false);
    rig.initialise();
    rig.write(false, 0x20);
    rig.nibbles(false, 0x28);
    QVERIFY(!rig.lcd->DataLength8());
    // The host lost step: 0x3, then 0x3 again at a later tick.
    rig.write(false, 0x30);
    rig.clock->Advance(2);
    rig.write(false, 0x30);
    QVERIFY(rig.lcd->Uninitialised());
    QCOMPARE(rig.lcd->InitState(), 2);
    // One more function set with high nibble 3 completes it, in 8-bit mode.
    rig.write(false, 0x30);
    QVERIFY(!rig.lcd->Uninitialised());
    QVERIFY(rig.lcd->DataLength8());
}

void TestLCDControllers::writeAndRead() {
    AlphaRig rig;
    rig.initialise();
    rig.write(false, 0xC1); // cell 41
    rig.write(true, 'Q');
    QCOMPARE(rig.lcd->DDRAM()[41], quint8('Q'));
    QCOMPARE(rig.read(false), 0x42);
    rig.write(false, 0xC1);
    QCOMPARE(rig.read(true), int('Q'));
    QCOMPARE(rig.lcd->AddressCounter(), 42);
    // What the module drives stays on the bus.
    QCOMPARE(rig.port->Value(), 0xFF); // released when Enable fell
    QCOMPARE(rig.lcd->LastBusValue(), 0xFF);
    // The counter wraps at both ends.
    rig.write(false, 0xE7);
    rig.write(true, 'z');
    QCOMPARE(rig.lcd->AddressCounter(), 0);
    rig.write(false, 0x04); // decrement
    rig.write(true, 'y');
    QCOMPARE(rig.lcd->AddressCounter(), 79);
}

// A byte read on a 4-bit bus comes in two nibbles of the same byte, and the address steps once.
void TestLCDControllers::fourBitDataReadStepsOncePerByte() {
    AlphaRig rig(false);
    rig.initialise();
    rig.write(false, 0x20);
    rig.nibbles(false, 0x80);
    rig.nibbles(true, 0x5A);
    rig.nibbles(true, 0xC3);
    rig.nibbles(false, 0x80);
    const QPair<int, int> first = rig.readNibbles(true);
    QCOMPARE(first.first & 0xF0, 0x50);
    QCOMPARE(first.second & 0xF0, 0xA0);
    QCOMPARE(rig.lcd->AddressCounter(), 1);
    const QPair<int, int> second = rig.readNibbles(true);
    QCOMPARE((second.first & 0xF0) | (second.second >> 4), 0xC3);
    QCOMPARE(rig.lcd->AddressCounter(), 2);
}

void TestLCDControllers::readsWhileUninitialisedReleaseTheBus() {
    AlphaRig rig(false);
    rig.port->StoreValue(0x12);
    rig.line(rig.lcd->EnableCtl(), false);
    rig.read(true);
    // A 4-bit module has only data lines 4..7 wired.
    QCOMPARE(rig.port->Value(), 0xF2);
    // Bytes up to address 255 are reported to the host.
    QVERIFY(!rig.board.SentWith(HostMsg::PortByte).isEmpty());
}

void TestLCDControllers::characterGenerator() {
    AlphaRig rig;
    rig.initialise();
    rig.write(false, 0x48); // glyph 1
    const quint8 rows[8] = {0x04, 0x0E, 0x1F, 0x0E, 0x04, 0x00, 0x1F, 0x00};
    for (quint8 row : rows)
        rig.write(true, row);
    QCOMPARE(rig.lcd->CGRAMAddress(), 16);
    QCOMPARE(rig.lcd->DDRAM()[0], quint8(32));
    for (int i = 0; i < 8; ++i)
        QCOMPARE(rig.lcd->CGRAM()[size_t(8 + i)], rows[i]);
    // Codes 1 and 9 show that glyph; the table does not.
    QCOMPARE(LCDFont::CharacterGlyph(1, rig.lcd->CGRAM())[2], quint8(0x1F));
    QCOMPARE(LCDFont::CharacterGlyph(9, rig.lcd->CGRAM()),
             LCDFont::CharacterGlyph(1, rig.lcd->CGRAM()));
    QCOMPARE(rig.module->draws.last(), int(TLCDDisplay::RedrawAll));
    rig.write(false, 0x48);
    QCOMPARE(rig.read(true), 0x04);
    QCOMPARE(rig.read(false), 9); // the generator address, not a display address
}

void TestLCDControllers::redrawRequests_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("repaints");
    QTest::addColumn<QList<int>>("draws");
    const int all = TLCDDisplay::RedrawAll;
    QTest::newRow("clear") << 0x01 << 1 << QList<int>{all};
    QTest::newRow("clear 0x00, no redraw") << 0x00 << 0 << QList<int>{};
    QTest::newRow("home") << 0x02 << 0 << QList<int>{0};
    QTest::newRow("entry mode") << 0x06 << 0 << QList<int>{};
    QTest::newRow("display control") << 0x0C << 1 << QList<int>{all};
    QTest::newRow("display shift") << 0x18 << 1 << QList<int>{all};
    QTest::newRow("function set") << 0x38 << 1 << QList<int>{all};
    QTest::newRow("cursor move") << 0x14 << 0 << QList<int>{3, 4};
    QTest::newRow("display address") << 0xC0 << 0 << QList<int>{3, 40};
    QTest::newRow("generator address") << 0x40 << 0 << QList<int>{};
}

void TestLCDControllers::redrawRequests() {
    QFETCH(int, code);
    QFETCH(int, repaints);
    QFETCH(QList<int>, draws);
    AlphaRig rig;
    rig.initialise();
    rig.write(false, 0x83);
    rig.module->draws.clear();
    rig.module->repaints = 0;
    rig.write(false, code);
    QCOMPARE(rig.module->repaints, repaints);
    QCOMPARE(rig.module->draws, draws);
    // A data write redraws its cell and the one after it.
    rig.write(false, 0xE7);
    rig.module->draws.clear();
    rig.write(true, 'k');
    QCOMPARE(rig.module->draws, (QList<int>{79, 0}));
}

void TestLCDControllers::shiftOnEntry() {
    AlphaRig rig;
    rig.initialise();
    rig.write(false, 0x07); // increment and shift: the display moves left
    rig.write(true, 'a');
    QCOMPARE(rig.lcd->ShiftOffset(), 1);
    rig.write(false, 0x05); // decrement and shift: right
    rig.write(true, 'b');
    rig.write(true, 'c');
    QCOMPARE(rig.lcd->ShiftOffset(), 39);
}

void TestLCDControllers::blinkTimer() {
    AlphaRig rig;
    rig.initialise();
    rig.write(false, 0x0D); // display on, blink
    rig.write(false, 0x85);
    rig.module->draws.clear();
    QVERIFY(!rig.lcd->BlinkPhase());
    rig.clock->Advance(450);
    QVERIFY(rig.lcd->BlinkPhase());
    QCOMPARE(rig.module->draws, QList<int>{5});
    rig.clock->Advance(450);
    QVERIFY(!rig.lcd->BlinkPhase());
    rig.write(false, 0x0C); // blink off: the timer stops
    QVERIFY(!rig.lcd->BlinkTimer()->IsActive());
}

void TestLCDControllers::noPortNoAction() {
    TestBoard board;
    Module module(&board);
    TLCDAlphaControl lcd(&module);
    lcd.SetPort(nullptr); // ignored
    lcd.EnableCtl()->Contact()->StoreValue(LevelLow);
    lcd.ValueChanged(lcd.EnableCtl()->Contact(), nullptr);
    QVERIFY(!lcd.Evaluated());
    QVERIFY(board.sent.isEmpty());
}

void TestLCDControllers::graphicBothChips() {
    GraphRig rig;
    rig.write(false, 0x3F);
    QVERIFY(rig.lcd->DisplayOn1() && rig.lcd->DisplayOn2());
    rig.line(rig.lcd->CS2Ctl(), false);
    rig.write(false, 0x45); // chip 1 only: column 5
    rig.line(rig.lcd->CS2Ctl(), true);
    rig.write(false, 0xBA); // both: page 2
    rig.module->draws.clear();
    rig.write(true, 0x81);
    QCOMPARE(rig.lcd->RAM1()[2 * 64 + 5], quint8(0x81));
    QCOMPARE(rig.lcd->RAM2()[2 * 64 + 0], quint8(0x81));
    QCOMPARE(rig.module->draws, (QList<int>{2 * 64 + 5, 512 + 2 * 64}));
    QCOMPARE(rig.lcd->Column1(), 6);
    QCOMPARE(rig.lcd->Column2(), 1);
    QCOMPARE(rig.lcd->Address2(), 2 * 64 + 1);
}

void TestLCDControllers::graphicColumnWraps() {
    GraphRig rig;
    rig.line(rig.lcd->CS2Ctl(), false);
    rig.write(false, 0xBB);
    rig.write(false, 0x7F); // column 63
    rig.write(true, 0x11);
    QCOMPARE(rig.lcd->RAM1()[3 * 64 + 63], quint8(0x11));
    QCOMPARE(rig.lcd->Column1(), 0);
    QCOMPARE(rig.lcd->Page1(), 3);
    QCOMPARE(rig.lcd->Address1(), 3 * 64);
}

void TestLCDControllers::graphicStatus_data() {
    QTest::addColumn<bool>("cs1");
    QTest::addColumn<bool>("cs2");
    QTest::addColumn<int>("on"); // the instruction given to chip 1 alone first
    QTest::addColumn<int>("status");
    QTest::newRow("chip 1, display off") << true << false << 0x3E << 0x20;
    QTest::newRow("chip 1, display on") << true << false << 0x3F << 0x00;
    QTest::newRow("chip 2, its display off") << false << true << 0x3F << 0x20;
    QTest::newRow("both, one on") << true << true << 0x3F << 0x00;
    QTest::newRow("both, both off") << true << true << 0x3E << 0x20;
    QTest::newRow("none") << false << false << 0x3F << 0xFF;
}

void TestLCDControllers::graphicStatus() {
    QFETCH(bool, cs1);
    QFETCH(bool, cs2);
    QFETCH(int, on);
    QFETCH(int, status);
    GraphRig rig;
    rig.line(rig.lcd->CS2Ctl(), false);
    rig.write(false, on);
    rig.line(rig.lcd->CS1Ctl(), cs1);
    rig.line(rig.lcd->CS2Ctl(), cs2);
    QCOMPARE(rig.read(false), status);
    if (!cs1 && !cs2) QCOMPARE(rig.port->Value(), 0xFF); // nobody drives the bus
}

void TestLCDControllers::graphicInstructions() {
    GraphRig rig;
    rig.line(rig.lcd->CS1Ctl(), false);
    rig.write(false, 0xC7); // chip 2: start line 7
    rig.write(false, 0x3D); // ignored
    QCOMPARE(rig.lcd->StartLine2(), 7);
    QCOMPARE(rig.lcd->StartLine1(), 0);
    QVERIFY(!rig.lcd->DisplayOn2());
    rig.line(rig.lcd->CS2Ctl(), false); // none selected: both chips
    rig.write(false, 0xB7);
    QCOMPARE(rig.lcd->Column1(), 0x37);
    QCOMPARE(rig.lcd->Column2(), 0x37);
    rig.write(false, 0xBF);
    QCOMPARE(rig.lcd->Page1(), 7);
    QCOMPARE(rig.lcd->Address1(), 7 * 64 + 0x37);
}

void TestLCDControllers::graphicDataRead() {
    GraphRig rig;
    rig.write(false, 0x40);
    rig.write(true, 0xF0); // both chips, column 0
    rig.line(rig.lcd->CS2Ctl(), false);
    rig.write(false, 0x40);
    rig.write(true, 0x3C); // chip 1 again
    rig.write(false, 0x40);
    // The first read after the address already returns the byte, and moves on.
    QCOMPARE(rig.read(true), 0x3C);
    QCOMPARE(rig.lcd->Column1(), 1);
    rig.line(rig.lcd->CS2Ctl(), true);
    rig.write(false, 0x40);
    QCOMPARE(rig.read(true), 0x3C & 0xF0); // both: the AND of the two
}

QTEST_GUILESS_MAIN(TestLCDControllers)
#include "test_lcd_controllers.moc"
