// Disassembler in the usual 8051 assembly syntax, with SFR and SFR-bit names and absolute branch
// targets.

#include "host/mcs51.h"

#include <cstdio>

namespace mcs51 {

namespace {

const char* sfrName(uint8_t a) {
    switch (a) {
    case 0x80:
        return "P0";
    case 0x81:
        return "SP";
    case 0x82:
        return "DPL";
    case 0x83:
        return "DPH";
    case 0x87:
        return "PCON";
    case 0x88:
        return "TCON";
    case 0x89:
        return "TMOD";
    case 0x8A:
        return "TL0";
    case 0x8B:
        return "TL1";
    case 0x8C:
        return "TH0";
    case 0x8D:
        return "TH1";
    case 0x90:
        return "P1";
    case 0x98:
        return "SCON";
    case 0x99:
        return "SBUF";
    case 0xA0:
        return "P2";
    case 0xA8:
        return "IE";
    case 0xB0:
        return "P3";
    case 0xB8:
        return "IP";
    case 0xC8:
        return "T2CON";
    case 0xCA:
        return "RCAP2L";
    case 0xCB:
        return "RCAP2H";
    case 0xCC:
        return "TL2";
    case 0xCD:
        return "TH2";
    case 0xD0:
        return "PSW";
    case 0xE0:
        return "ACC";
    case 0xF0:
        return "B";
    default:
        return nullptr;
    }
}

// Text pieces are joined starting from a std::string: GCC 12 warns (-Wrestrict, falsely) about
// "literal" + std::string at -O3.
std::string S(const char* text) {
    return text;
}

std::string hex8(unsigned v) {
    char t[8];
    std::snprintf(t, sizeof t, "0x%02X", v & 0xFF);
    return t;
}

std::string hex16(unsigned v) {
    char t[8];
    std::snprintf(t, sizeof t, "0x%04X", v & 0xFFFF);
    return t;
}

std::string direct(uint8_t a) {
    if (const char* name = sfrName(a)) return name;
    return hex8(a);
}

std::string bit(uint8_t b) {
    static const char* const named[][8] = {
        {"IT0", "IE0", "IT1", "IE1", "TR0", "TF0", "TR1", "TF1"}, // TCON
        {"RI", "TI", "RB8", "TB8", "REN", "SM2", "SM1", "SM0"},   // SCON
        {"EX0", "ET0", "EX1", "ET1", "ES", "ET2", nullptr, "EA"}, // IE
        {"PX0", "PT0", "PX1", "PT1", "PS", "PT2", nullptr, nullptr},
        {"P", nullptr, "OV", "RS0", "RS1", "F0", "AC", "CY"}, // PSW
    };
    int n = b & 7;
    if (b >= 0x80) {
        uint8_t a = b & 0xF8;
        int row = a == 0x88   ? 0
                  : a == 0x98 ? 1
                  : a == 0xA8 ? 2
                  : a == 0xB8 ? 3
                  : a == 0xD0 ? 4
                              : -1;
        if (row >= 0 && named[row][n]) return named[row][n];
        return direct(a) + "." + std::to_string(n);
    }
    return hex8(0x20 + (b >> 3)) + "." + std::to_string(n);
}

} // namespace

Disassembly Disassemble(const uint8_t* code, uint16_t pc) {
    const uint8_t op = code[pc];
    const uint8_t b1 = code[uint16_t(pc + 1)];
    const uint8_t b2 = code[uint16_t(pc + 2)];
    auto relTarget = [&](int length, uint8_t offset) {
        return hex16(unsigned(pc + length + int8_t(offset)));
    };
    const std::string rn = S("R") + std::to_string(op & 7);
    const std::string ri = S("@R") + std::to_string(op & 1);
    const int lo = op & 0x0F;
    Disassembly d;

    // The arithmetic and logic rows share their operand forms in columns 4..F.
    static const char* const rowNames[16] = {"INC",   "DEC",   "ADD",   "ADDC", "ORL",   "ANL",
                                             "XRL",   nullptr, nullptr, "SUBB", nullptr, nullptr,
                                             nullptr, nullptr, nullptr, nullptr};
    const char* row = rowNames[op >> 4];
    if ((op & 0x1F) == 0x01) {
        d = {S("AJMP ") + hex16(((pc + 2) & 0xF800) | (op >> 5) << 8 | b1), 2};
        return d;
    }
    if ((op & 0x1F) == 0x11) {
        d = {S("ACALL ") + hex16(((pc + 2) & 0xF800) | (op >> 5) << 8 | b1), 2};
        return d;
    }
    if (row && lo >= 4) {
        std::string m = row;
        bool accForm = (op >> 4) >= 2;
        std::string prefix = m + (accForm ? " A," : " ");
        if (lo == 4)
            return accForm ? Disassembly{prefix + "#" + hex8(b1), 2} : Disassembly{m + " A", 1};
        if (lo == 5) return {prefix + direct(b1), 2};
        if (lo < 8) return {prefix + ri, 1};
        return {prefix + rn, 1};
    }
    if (lo >= 8) {
        switch (op >> 4) {
        case 0x7:
            return {S("MOV ") + rn + ",#" + hex8(b1), 2};
        case 0x8:
            return {S("MOV ") + direct(b1) + "," + rn, 2};
        case 0xA:
            return {S("MOV ") + rn + "," + direct(b1), 2};
        case 0xB:
            return {S("CJNE ") + rn + ",#" + hex8(b1) + "," + relTarget(3, b2), 3};
        case 0xC:
            return {S("XCH A,") + rn, 1};
        case 0xD:
            return {S("DJNZ ") + rn + "," + relTarget(2, b1), 2};
        case 0xE:
            return {S("MOV A,") + rn, 1};
        case 0xF:
            return {S("MOV ") + rn + ",A", 1};
        }
    }
    if (lo == 6 || lo == 7) {
        switch (op >> 4) {
        case 0x7:
            return {S("MOV ") + ri + ",#" + hex8(b1), 2};
        case 0x8:
            return {S("MOV ") + direct(b1) + "," + ri, 2};
        case 0xA:
            return {S("MOV ") + ri + "," + direct(b1), 2};
        case 0xB:
            return {S("CJNE ") + ri + ",#" + hex8(b1) + "," + relTarget(3, b2), 3};
        case 0xC:
            return {S("XCH A,") + ri, 1};
        case 0xD:
            return {S("XCHD A,") + ri, 1};
        case 0xE:
            return {S("MOV A,") + ri, 1};
        case 0xF:
            return {S("MOV ") + ri + ",A", 1};
        }
    }
    switch (op) {
    case 0x00:
        return {"NOP", 1};
    case 0x02:
        return {S("LJMP ") + hex16(b1 << 8 | b2), 3};
    case 0x03:
        return {"RR A", 1};
    case 0x10:
        return {S("JBC ") + bit(b1) + "," + relTarget(3, b2), 3};
    case 0x12:
        return {S("LCALL ") + hex16(b1 << 8 | b2), 3};
    case 0x13:
        return {"RRC A", 1};
    case 0x20:
        return {S("JB ") + bit(b1) + "," + relTarget(3, b2), 3};
    case 0x22:
        return {"RET", 1};
    case 0x23:
        return {"RL A", 1};
    case 0x30:
        return {S("JNB ") + bit(b1) + "," + relTarget(3, b2), 3};
    case 0x32:
        return {"RETI", 1};
    case 0x33:
        return {"RLC A", 1};
    case 0x40:
        return {S("JC ") + relTarget(2, b1), 2};
    case 0x42:
        return {S("ORL ") + direct(b1) + ",A", 2};
    case 0x43:
        return {S("ORL ") + direct(b1) + ",#" + hex8(b2), 3};
    case 0x50:
        return {S("JNC ") + relTarget(2, b1), 2};
    case 0x52:
        return {S("ANL ") + direct(b1) + ",A", 2};
    case 0x53:
        return {S("ANL ") + direct(b1) + ",#" + hex8(b2), 3};
    case 0x60:
        return {S("JZ ") + relTarget(2, b1), 2};
    case 0x62:
        return {S("XRL ") + direct(b1) + ",A", 2};
    case 0x63:
        return {S("XRL ") + direct(b1) + ",#" + hex8(b2), 3};
    case 0x70:
        return {S("JNZ ") + relTarget(2, b1), 2};
    case 0x72:
        return {S("ORL C,") + bit(b1), 2};
    case 0x73:
        return {"JMP @A+DPTR", 1};
    case 0x74:
        return {S("MOV A,#") + hex8(b1), 2};
    case 0x75:
        return {S("MOV ") + direct(b1) + ",#" + hex8(b2), 3};
    case 0x80:
        return {S("SJMP ") + relTarget(2, b1), 2};
    case 0x82:
        return {S("ANL C,") + bit(b1), 2};
    case 0x83:
        return {"MOVC A,@A+PC", 1};
    case 0x84:
        return {"DIV AB", 1};
    case 0x85:
        return {S("MOV ") + direct(b2) + "," + direct(b1), 3};
    case 0x90:
        return {S("MOV DPTR,#") + hex16(b1 << 8 | b2), 3};
    case 0x92:
        return {S("MOV ") + bit(b1) + ",C", 2};
    case 0x93:
        return {"MOVC A,@A+DPTR", 1};
    case 0xA0:
        return {S("ORL C,/") + bit(b1), 2};
    case 0xA2:
        return {S("MOV C,") + bit(b1), 2};
    case 0xA3:
        return {"INC DPTR", 1};
    case 0xA4:
        return {"MUL AB", 1};
    case 0xA5:
        return {"DB 0xA5", 1};
    case 0xB0:
        return {S("ANL C,/") + bit(b1), 2};
    case 0xB2:
        return {S("CPL ") + bit(b1), 2};
    case 0xB3:
        return {"CPL C", 1};
    case 0xB4:
        return {S("CJNE A,#") + hex8(b1) + "," + relTarget(3, b2), 3};
    case 0xB5:
        return {S("CJNE A,") + direct(b1) + "," + relTarget(3, b2), 3};
    case 0xC0:
        return {S("PUSH ") + direct(b1), 2};
    case 0xC2:
        return {S("CLR ") + bit(b1), 2};
    case 0xC3:
        return {"CLR C", 1};
    case 0xC4:
        return {"SWAP A", 1};
    case 0xC5:
        return {S("XCH A,") + direct(b1), 2};
    case 0xD0:
        return {S("POP ") + direct(b1), 2};
    case 0xD2:
        return {S("SETB ") + bit(b1), 2};
    case 0xD3:
        return {"SETB C", 1};
    case 0xD4:
        return {"DA A", 1};
    case 0xD5:
        return {S("DJNZ ") + direct(b1) + "," + relTarget(3, b2), 3};
    case 0xE0:
        return {"MOVX A,@DPTR", 1};
    case 0xE2:
    case 0xE3:
        return {S("MOVX A,@R") + std::to_string(op & 1), 1};
    case 0xE4:
        return {"CLR A", 1};
    case 0xE5:
        return {S("MOV A,") + direct(b1), 2};
    case 0xF0:
        return {"MOVX @DPTR,A", 1};
    case 0xF2:
    case 0xF3:
        return {S("MOVX @R") + std::to_string(op & 1) + ",A", 1};
    case 0xF4:
        return {"CPL A", 1};
    case 0xF5:
        return {S("MOV ") + direct(b1) + ",A", 2};
    }
    return {S("DB ") + hex8(op), 1}; // not reached: every opcode is handled above
}

} // namespace mcs51
