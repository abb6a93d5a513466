#include "host/debugger.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "host/mcs51.h"

namespace mcs51 {

namespace {

constexpr uint8_t LCALL = 0x12, RET = 0x22, RETI = 0x32;

bool isCall(uint8_t op) {
    return op == LCALL || (op & 0x1F) == 0x11;
}

int callLength(uint8_t op) {
    return op == LCALL ? 3 : 2;
}

std::string hex4(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", unsigned(value & 0xFFFF));
    return text;
}

std::string hex2(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%02X", unsigned(value & 0xFF));
    return text;
}

std::string baseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The byte a bit address lives in, as an access names it.
Access bitByte(uint8_t bit, bool write) {
    if (bit < 0x80) return {Space::Iram, uint32_t(0x20 + (bit >> 3)), write};
    return {Space::Sfr, uint32_t(bit & 0xF8), write};
}

} // namespace

DataBreakpoint WatchVariable(const Location& where, bool onWrite, bool onRead) {
    DataBreakpoint watch;
    watch.space = where.space;
    watch.address = where.address;
    watch.length = where.space == Space::Bit ? 1 : std::max(where.type.size, 1);
    watch.onWrite = onWrite;
    watch.onRead = onRead;
    watch.name = where.name;
    return watch;
}

std::vector<Access> PredictAccesses(const Core& core) {
    std::vector<Access> out;
    const uint16_t pc = core.PC();
    const uint8_t* code = core.Code();
    const uint8_t op = code[pc];
    const uint8_t b1 = code[uint16_t(pc + 1)];
    const uint8_t b2 = code[uint16_t(pc + 2)];
    const uint8_t bank = uint8_t(core.Sfr(sfr::PSW) & 0x18);
    const uint8_t sp = core.SP();
    auto direct = [&](uint8_t a, bool write) {
        out.push_back({a < 0x80 ? Space::Iram : Space::Sfr, a, write});
    };
    auto reg = [&](int n, bool write) { out.push_back({Space::Iram, uint32_t(bank | n), write}); };
    auto indirect = [&](int i, bool write) {
        reg(i, false);
        out.push_back({Space::Iram, core.Iram()[bank | i], write});
    };
    auto acc = [&](bool write) { out.push_back({Space::Sfr, sfr::ACC, write}); };
    auto dptr = [&](bool write) {
        out.push_back({Space::Sfr, sfr::DPL, write});
        out.push_back({Space::Sfr, sfr::DPH, write});
    };
    auto bit = [&](uint8_t b, bool write) { out.push_back(bitByte(b, write)); };
    auto stack = [&](int offset, bool write) {
        out.push_back({Space::Iram, uint8_t(sp + offset), write});
    };
    const int low = op & 0x0F;
    // Operand of the arithmetic/logic rows: 4 #imm, 5 direct, 6/7 @Ri, 8..F Rn.
    auto source = [&](bool write) {
        if (low == 5)
            direct(b1, write);
        else if (low == 6 || low == 7)
            indirect(low & 1, write);
        else if (low >= 8)
            reg(low & 7, write);
    };
    if ((op & 0x1F) == 0x11) { // ACALL
        stack(1, true);
        stack(2, true);
        return out;
    }
    switch (op) {
    case LCALL:
        stack(1, true);
        stack(2, true);
        return out;
    case RET:
    case RETI:
        stack(0, false);
        stack(-1, false);
        return out;
    case 0x03:
    case 0x13:
    case 0x23:
    case 0x33:
    case 0x04:
    case 0x14:
    case 0xC4:
    case 0xD4:
    case 0xF4:
        acc(false);
        acc(true);
        return out;
    case 0x10: // JBC
        bit(b1, false);
        bit(b1, true);
        return out;
    case 0x20:
    case 0x30:
    case 0x72:
    case 0x82:
    case 0xA0:
    case 0xB0:
    case 0xA2:
        bit(b1, false);
        return out;
    case 0x92:
    case 0xB2:
    case 0xC2:
    case 0xD2:
        bit(b1, true);
        return out;
    case 0x60:
    case 0x70:
        acc(false);
        return out;
    case 0x73:
        acc(false);
        dptr(false);
        return out;
    case 0x74:
    case 0xE4:
        acc(true);
        return out;
    case 0x75:
        direct(b1, true);
        return out;
    case 0x83:
        acc(false);
        out.push_back({Space::Code, uint16_t(pc + 1 + core.A()), false});
        acc(true);
        return out;
    case 0x93:
        acc(false);
        dptr(false);
        out.push_back({Space::Code, uint16_t(core.DPTR() + core.A()), false});
        acc(true);
        return out;
    case 0x84:
    case 0xA4:
        acc(false);
        out.push_back({Space::Sfr, sfr::B, false});
        acc(true);
        out.push_back({Space::Sfr, sfr::B, true});
        return out;
    case 0x85: // MOV dir,dir: source first
        direct(b1, false);
        direct(b2, true);
        return out;
    case 0x86:
    case 0x87:
        indirect(op & 1, false);
        direct(b1, true);
        return out;
    case 0x90:
        dptr(true);
        return out;
    case 0xA3:
        dptr(false);
        dptr(true);
        return out;
    case 0xA6:
    case 0xA7:
        direct(b1, false);
        indirect(op & 1, true);
        return out;
    case 0xB4:
        acc(false);
        return out;
    case 0xB5:
        acc(false);
        direct(b1, false);
        return out;
    case 0xB6:
    case 0xB7:
        indirect(op & 1, false);
        return out;
    case 0xC0: // PUSH
        direct(b1, false);
        stack(1, true);
        return out;
    case 0xD0: // POP
        stack(0, false);
        direct(b1, true);
        return out;
    case 0xD5: // DJNZ dir
    case 0x05:
    case 0x15:
        direct(b1, false);
        direct(b1, true);
        return out;
    case 0xD6:
    case 0xD7:
    case 0xC6:
    case 0xC7:
        acc(false);
        indirect(op & 1, false);
        acc(true);
        indirect(op & 1, true);
        return out;
    case 0xC5:
        acc(false);
        direct(b1, false);
        acc(true);
        direct(b1, true);
        return out;
    case 0xE0:
        dptr(false);
        out.push_back({Space::Xram, core.DPTR(), false});
        acc(true);
        return out;
    case 0xE2:
    case 0xE3:
        reg(op & 1, false);
        out.push_back(
            {Space::Xram, uint32_t(core.Sfr(sfr::P2) << 8 | core.Iram()[bank | (op & 1)]), false});
        acc(true);
        return out;
    case 0xF0:
        dptr(false);
        acc(false);
        out.push_back({Space::Xram, core.DPTR(), true});
        return out;
    case 0xF2:
    case 0xF3:
        reg(op & 1, false);
        acc(false);
        out.push_back(
            {Space::Xram, uint32_t(core.Sfr(sfr::P2) << 8 | core.Iram()[bank | (op & 1)]), true});
        return out;
    case 0xE5:
        direct(b1, false);
        acc(true);
        return out;
    case 0xF5:
        acc(false);
        direct(b1, true);
        return out;
    default:
        break;
    }
    const int row = op >> 4;
    if (low == 6 || low == 7 || low >= 8) {
        switch (row) {
        case 0x0: // INC
        case 0x1: // DEC
            source(false);
            source(true);
            return out;
        case 0x2: // ADD, ADDC, SUBB, ORL, ANL, XRL A,src
        case 0x3:
        case 0x4:
        case 0x5:
        case 0x6:
        case 0x9:
            source(false);
            acc(false);
            acc(true);
            return out;
        case 0x7: // MOV src,#imm
            source(true);
            return out;
        case 0x8: // MOV dir,src
            source(false);
            direct(b1, true);
            return out;
        case 0xA: // MOV src,dir
            direct(b1, false);
            source(true);
            return out;
        case 0xB: // CJNE src,#imm
            source(false);
            return out;
        case 0xC: // XCH
            acc(false);
            source(false);
            acc(true);
            source(true);
            return out;
        case 0xD: // DJNZ Rn
            source(false);
            source(true);
            return out;
        case 0xE: // MOV A,src
            source(false);
            acc(true);
            return out;
        case 0xF: // MOV src,A
            acc(false);
            source(true);
            return out;
        default:
            return out;
        }
    }
    if (low == 4 || low == 5) {
        if (row == 0x2 || row == 0x3 || row == 0x4 || row == 0x5 || row == 0x6 || row == 0x9) {
            source(false);
            acc(false);
            acc(true);
        }
        return out;
    }
    if (low == 2 || low == 3) {
        // ORL/ANL/XRL dir,A and dir,#imm
        if (row == 0x4 || row == 0x5 || row == 0x6) {
            if (low == 2) acc(false);
            direct(b1, false);
            direct(b1, true);
        }
    }
    return out;
}

CallStack ReadCallStack(const Core& core, const DebugInfo* info) {
    CallStack stack;
    auto functionName = [&](uint16_t pc) -> std::string {
        if (!info) return {};
        if (const Function* f = info->FunctionAt(pc)) return f->name;
        return {};
    };
    auto where = [&](uint16_t pc) -> std::string {
        if (!info) return {};
        const LineEntry* line = info->LineAt(pc);
        if (!line) return {};
        return baseName(info->Files()[size_t(line->file)]) + ":" + std::to_string(line->line);
    };
    auto isInterrupt = [&](uint16_t pc) {
        const Function* f = info ? info->FunctionAt(pc) : nullptr;
        return f && f->isInterrupt;
    };
    StackFrame top{core.PC(), functionName(core.PC()), where(core.PC()), false};
    stack.frames.push_back(top);
    const uint8_t* code = core.Code();
    const uint8_t* iram = core.Iram();
    const int bottom = info && info->StackStart() > 0 ? info->StackStart() : 0x08;
    // Registers a function's prologue pushed before `pc` lie above its return address.
    auto prologuePushes = [&](uint16_t pc) {
        const Function* f = info ? info->FunctionAt(pc) : nullptr;
        if (!f) return 0;
        int count = 0;
        for (uint16_t at = f->start; at < pc && code[at] == 0xC0 && count < 16; at += 2)
            ++count;
        return count;
    };
    int p = core.SP() - prologuePushes(core.PC());
    bool interruptFrame = isInterrupt(core.PC());
    int skipped = 0;
    constexpr size_t MaxFrames = 64;
    while (p - 1 >= bottom && stack.frames.size() < MaxFrames) {
        const uint16_t ret = uint16_t(iram[p] << 8 | iram[p - 1]);
        const bool call = (ret >= 3 && code[uint16_t(ret - 3)] == LCALL) ||
                          (ret >= 2 && (code[uint16_t(ret - 2)] & 0x1F) == 0x11);
        // Right below an interrupt handler's saved registers lies the address it interrupted.
        const bool interrupted = interruptFrame && skipped == 0;
        if (call || interrupted) {
            // A caller is shown at its call, which is one line before the return address when
            // the call ends its line.
            const uint16_t at = call && !interrupted ? uint16_t(ret - 1) : ret;
            StackFrame frame{ret, functionName(at), where(at), interrupted};
            stack.frames.push_back(frame);
            interruptFrame = isInterrupt(ret);
            p -= 2 + prologuePushes(ret);
            skipped = 0;
            continue;
        }
        // Something saved in the middle of a function, or what the calls do not explain.
        ++skipped;
        --p;
    }
    if (p - 1 >= bottom) {
        stack.complete = false;
        stack.note = "the stack below " + hex2(uint32_t(p)) + " was not read (too many frames)";
    } else if (skipped > 0) {
        stack.complete = false;
        stack.note = std::to_string(skipped) + " bytes at the bottom of the stack could not be " +
                     "read as calls";
    }
    return stack;
}

// Debugger ------------------------------------------------------------------------------------

void Debugger::SetDebugInfo(const DebugInfo* info) {
    m_info = info;
    for (CodeBreakpoint& breakpoint : m_breakpoints)
        resolve(breakpoint);
    CancelStep();
    m_dirty = true;
}

void Debugger::resolve(CodeBreakpoint& breakpoint) const {
    if (breakpoint.line <= 0) {
        breakpoint.resolved = true;
        return;
    }
    if (!m_info) {
        breakpoint.resolved = false;
        breakpoint.note = "no debug information for " + breakpoint.file;
        return;
    }
    const LineResolution found = m_info->ResolveLine(breakpoint.file, breakpoint.line);
    breakpoint.resolved = found.ok;
    breakpoint.address = found.address;
    breakpoint.note = found.note;
}

int Debugger::AddBreakpoint(CodeBreakpoint breakpoint) {
    resolve(breakpoint);
    for (size_t i = 0; i < m_breakpoints.size(); ++i) {
        CodeBreakpoint& old = m_breakpoints[i];
        const bool same = breakpoint.line > 0 ? old.line == breakpoint.line &&
                                                    baseName(old.file) == baseName(breakpoint.file)
                                              : old.line <= 0 && old.address == breakpoint.address;
        if (same) {
            old = breakpoint;
            m_dirty = true;
            return int(i);
        }
    }
    m_breakpoints.push_back(std::move(breakpoint));
    m_dirty = true;
    return int(m_breakpoints.size() - 1);
}

int Debugger::AddLineBreakpoint(const std::string& file, int line) {
    CodeBreakpoint breakpoint;
    breakpoint.file = file;
    breakpoint.line = line;
    return AddBreakpoint(breakpoint);
}

int Debugger::AddAddressBreakpoint(uint16_t address) {
    CodeBreakpoint breakpoint;
    breakpoint.address = address;
    return AddBreakpoint(breakpoint);
}

void Debugger::RemoveBreakpoint(int index) {
    if (index < 0 || size_t(index) >= m_breakpoints.size()) return;
    m_breakpoints.erase(m_breakpoints.begin() + index);
    m_dirty = true;
}

void Debugger::ClearBreakpoints() {
    m_breakpoints.clear();
    m_dirty = true;
}

void Debugger::SetBreakpoints(std::vector<CodeBreakpoint> breakpoints) {
    m_breakpoints = std::move(breakpoints);
    for (CodeBreakpoint& breakpoint : m_breakpoints)
        resolve(breakpoint);
    m_dirty = true;
}

void Debugger::ResumeHere(const Core& core) {
    m_resumePc = core.PC();
    m_resumeCycles = core.Cycles();
    m_haveResume = true;
}

bool Debugger::ToggleLineBreakpoint(const std::string& file, int line) {
    // A breakpoint that moved to this line from an empty one above counts as this line's too.
    int resolvedLine = line;
    if (m_info) {
        const LineResolution found = m_info->ResolveLine(file, line);
        if (found.ok) resolvedLine = found.line;
    }
    for (size_t i = 0; i < m_breakpoints.size(); ++i) {
        const CodeBreakpoint& old = m_breakpoints[i];
        if (old.line > 0 && baseName(old.file) == baseName(file) &&
            (old.line == line ||
             (old.resolved && m_info &&
              m_info->ResolveLine(old.file, old.line).line == resolvedLine && old.line <= line))) {
            RemoveBreakpoint(int(i));
            return false;
        }
    }
    AddLineBreakpoint(file, line);
    return true;
}

bool Debugger::ToggleAddressBreakpoint(uint16_t address) {
    for (size_t i = 0; i < m_breakpoints.size(); ++i)
        if (m_breakpoints[i].resolved && m_breakpoints[i].address == address) {
            RemoveBreakpoint(int(i));
            return false;
        }
    AddAddressBreakpoint(address);
    return true;
}

void Debugger::SetBreakpointEnabled(int index, bool on) {
    if (index < 0 || size_t(index) >= m_breakpoints.size()) return;
    m_breakpoints[size_t(index)].enabled = on;
    m_dirty = true;
}

int Debugger::AddDataBreakpoint(DataBreakpoint breakpoint) {
    breakpoint.length = std::clamp(breakpoint.length, 1, 256);
    m_dataBreakpoints.push_back(std::move(breakpoint));
    return int(m_dataBreakpoints.size() - 1);
}

void Debugger::RemoveDataBreakpoint(int index) {
    if (index < 0 || size_t(index) >= m_dataBreakpoints.size()) return;
    m_dataBreakpoints.erase(m_dataBreakpoints.begin() + index);
}

void Debugger::ClearDataBreakpoints() {
    m_dataBreakpoints.clear();
}

std::optional<CodeBreakpoint> Debugger::ParseWhere(const std::string& where,
                                                   std::string* error) const {
    auto fail = [&](const std::string& why) -> std::optional<CodeBreakpoint> {
        if (error) *error = why;
        return std::nullopt;
    };
    std::string text = where;
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    while (!text.empty() && text.front() == ' ')
        text.erase(0, 1);
    if (text.empty()) return fail("no place given");
    auto parseNumber = [](std::string_view digits, int base, unsigned* value) {
        if (digits.empty()) return false;
        auto [end, ec] =
            std::from_chars(digits.data(), digits.data() + digits.size(), *value, base);
        return ec == std::errc() && end == digits.data() + digits.size();
    };
    unsigned value = 0;
    const std::string_view view(text);
    if ((view.size() > 2 && view[0] == '0' && (view[1] == 'x' || view[1] == 'X') &&
         parseNumber(view.substr(2), 16, &value)) ||
        (view.size() > 1 && (view.back() == 'h' || view.back() == 'H') &&
         parseNumber(view.substr(0, view.size() - 1), 16, &value))) {
        if (value > 0xFFFF) return fail(text + " is beyond the 64 KB code space");
        CodeBreakpoint breakpoint;
        breakpoint.address = uint16_t(value);
        return breakpoint;
    }
    const size_t colon = text.rfind(':');
    if (colon != std::string::npos && parseNumber(view.substr(colon + 1), 10, &value)) {
        if (!m_info) return fail("no debug information for " + text);
        CodeBreakpoint breakpoint;
        breakpoint.file = text.substr(0, colon);
        breakpoint.line = int(value);
        const LineResolution found = m_info->ResolveLine(breakpoint.file, breakpoint.line);
        if (!found.ok) return fail(found.note);
        breakpoint.address = found.address;
        breakpoint.note = found.note;
        return breakpoint;
    }
    if (m_info) {
        if (const Function* function = m_info->FindFunction(text)) {
            CodeBreakpoint breakpoint;
            breakpoint.address = function->start;
            return breakpoint;
        }
        for (const auto& [address, name] : m_info->CodeLabels())
            if (name == text || name == "_" + text) {
                CodeBreakpoint breakpoint;
                breakpoint.address = address;
                return breakpoint;
            }
    }
    return fail("no function, label or FILE:LINE '" + text + "'");
}

std::string Debugger::Where(uint16_t address) const {
    if (m_info) {
        if (const LineEntry* line = m_info->LineAt(address))
            return baseName(m_info->Files()[size_t(line->file)]) + ":" + std::to_string(line->line);
        if (const Function* function = m_info->FunctionAt(address))
            return hex4(address) + " in " + function->name;
        auto label = m_info->CodeLabels().upper_bound(address);
        if (label != m_info->CodeLabels().begin()) {
            --label;
            if (label->first == address) return hex4(address) + " (" + label->second + ")";
        }
    }
    return hex4(address);
}

bool Debugger::userBreakAt(uint16_t pc) const {
    for (const CodeBreakpoint& breakpoint : m_breakpoints)
        if (breakpoint.enabled && breakpoint.resolved && breakpoint.address == pc) return true;
    return false;
}

void Debugger::Arm(Core& core) const {
    core.ClearBreakpoints();
    for (const CodeBreakpoint& breakpoint : m_breakpoints)
        if (breakpoint.enabled && breakpoint.resolved) core.SetBreakpoint(breakpoint.address, true);
    if (m_fastToTarget || m_step == StepKind::RunTo) core.SetBreakpoint(m_target, true);
    m_armedCore = &core;
    m_dirty = false;
}

void Debugger::stop(std::string reason) {
    m_stopped = true;
    m_reason = std::move(reason);
}

void Debugger::BeginStep(StepKind kind, const Core& core, uint16_t runToAddress) {
    ClearStop();
    m_step = kind;
    m_fastToTarget = false;
    m_runToIsReturn = false;
    m_stepHasLine = false;
    m_depth = 0;
    const uint16_t pc = core.PC();
    if (kind == StepKind::RunTo) {
        m_target = runToAddress;
        m_targetSp = 0xFF;
    }
    if (kind == StepKind::Into || kind == StepKind::Over) {
        const LineEntry* line = m_info ? m_info->LineAt(pc) : nullptr;
        if (!line) {
            // No source here: by instruction (over a call: to its return).
            if (kind == StepKind::Over && isCall(core.Code()[pc])) {
                m_target = uint16_t(pc + callLength(core.Code()[pc]));
                m_targetSp = core.SP();
                m_fastToTarget = true;
                m_step = StepKind::RunTo;
                m_runToIsReturn = true;
            } else {
                m_step = StepKind::Instruction;
            }
        } else {
            m_stepHasLine = true;
            m_stepFile = line->file;
            m_stepLineNumber = line->line;
            const Function* function = m_info->FunctionAt(pc);
            m_stepFunctionStart = function ? function->start : 0;
        }
    }
    m_resumePc = pc;
    m_resumeCycles = core.Cycles();
    m_haveResume = true;
    m_dirty = true;
}

bool Debugger::needsSingleSteps() const {
    if (!m_dataBreakpoints.empty()) return true;
    switch (m_step) {
    case StepKind::None:
    case StepKind::RunTo:
        return false;
    default:
        return !m_fastToTarget;
    }
}

uint64_t Debugger::Run(Core& core, uint64_t budget) {
    m_stopped = false;
    m_reason.clear();
    if (m_dirty || m_armedCore != &core) Arm(core);
    // A breakpoint the last run ended on exactly (its budget ran out there) still stops, unless
    // the run resumes from the stop it made.
    const uint16_t pc = core.PC();
    const bool resuming = m_haveResume && m_resumePc == pc && m_resumeCycles == core.Cycles();
    if (!resuming && m_step != StepKind::Instruction && core.HasBreakpoint(pc) &&
        hitBreakpoint(core))
        return 0;
    uint64_t ran = 0;
    int idle = 0; // passes without a cycle: a switch between the two ways of running, or stuck
    while (ran < budget && !m_stopped && !core.StopRequested()) {
        const uint64_t got =
            needsSingleSteps() ? runWatched(core, budget - ran) : runFast(core, budget - ran);
        ran += got;
        if (core.State() == RunState::PowerDown || core.State() == RunState::Undefined) break;
        idle = got == 0 ? idle + 1 : 0;
        if (idle > 2) break;
    }
    if (m_stopped) {
        m_resumePc = core.PC();
        m_resumeCycles = core.Cycles();
        m_haveResume = true;
    }
    return ran;
}

// The core stopped before the instruction at a breakpoint: the user's, or the step's target.
// True when the run stops here.
bool Debugger::hitBreakpoint(Core& core) {
    const uint16_t pc = core.PC();
    if (userBreakAt(pc)) {
        CancelStep();
        stop("breakpoint at " + Where(pc));
        return true;
    }
    const bool target =
        (m_fastToTarget || m_step == StepKind::RunTo) && pc == m_target && core.SP() <= m_targetSp;
    if (!target) return false;
    if (m_step == StepKind::RunTo) {
        const bool wasReturn = m_runToIsReturn;
        CancelStep();
        stop(wasReturn ? "stepped over the call, at " + Where(pc) : "reached " + Where(pc));
        return true;
    }
    // A call stepped over, or an interrupt handler run through, returned: the step goes on.
    m_fastToTarget = false;
    m_dirty = true;
    Arm(core);
    return afterInstruction(core);
}

uint64_t Debugger::runFast(Core& core, uint64_t budget) {
    if (m_dirty) Arm(core);
    uint64_t ran = 0;
    while (ran < budget) {
        const uint64_t cycles = core.Run(budget - ran);
        ran += cycles;
        if (ran >= budget || core.StopRequested()) break;
        if (core.State() == RunState::PowerDown || core.State() == RunState::Undefined) break;
        if (!core.HasBreakpoint(core.PC())) {
            if (cycles == 0) break;
            continue;
        }
        if (hitBreakpoint(core)) break;
        if (needsSingleSteps()) break;
        // Not ours to stop at (a deeper frame of the same return address): step past it.
        const int one = core.Step();
        ran += uint64_t(one);
        if (one == 0) break;
    }
    return ran;
}

namespace {

bool overlaps(const DataBreakpoint& watch, const Access& access) {
    Space space = watch.space;
    uint32_t from = watch.address;
    uint32_t length = uint32_t(watch.length);
    if (space == Space::Bit) {
        const Access byte = bitByte(uint8_t(watch.address), false);
        space = byte.space;
        from = byte.address;
        length = 1;
    }
    if (space == Space::Sfr && from < 0x80) space = Space::Iram; // a direct address below 0x80
    if (space != access.space) return false;
    return access.address >= from && access.address < from + length;
}

} // namespace

uint64_t Debugger::runWatched(Core& core, uint64_t budget) {
    uint64_t ran = 0;
    std::vector<Access> accesses;
    while (ran < budget && !m_stopped && !core.StopRequested()) {
        if (m_fastToTarget && m_dataBreakpoints.empty()) break; // runFast takes over
        const uint16_t pc = core.PC();
        if (ran > 0 && core.HasBreakpoint(pc) && (userBreakAt(pc) || m_fastToTarget)) {
            if (hitBreakpoint(core)) break;
            if (!needsSingleSteps()) break;
        }
        if (!m_dataBreakpoints.empty()) accesses = PredictAccesses(core);
        const uint64_t instructions = core.Instructions();
        const uint8_t spBefore = core.SP();
        const uint8_t op = core.Code()[pc];
        const int cycles = core.Step();
        ran += uint64_t(cycles);
        if (cycles == 0) break;
        const bool executed = core.Instructions() != instructions;
        if (executed && !m_dataBreakpoints.empty()) {
            for (const Access& access : accesses) {
                for (const DataBreakpoint& watch : m_dataBreakpoints) {
                    if (!((access.write && watch.onWrite) || (!access.write && watch.onRead)))
                        continue;
                    if (!overlaps(watch, access)) continue;
                    std::string space = SpaceName(access.space);
                    char address[16];
                    std::snprintf(address, sizeof address,
                                  access.space == Space::Xram || access.space == Space::Code
                                      ? "0x%04X"
                                      : "0x%02X",
                                  unsigned(access.address));
                    std::string what = watch.name.empty()
                                           ? space + " " + address
                                           : watch.name + " (" + space + " " + address + ")";
                    CancelStep();
                    stop(what + (access.write ? " written by " : " read by ") + hex4(pc) +
                         (Where(pc) != hex4(pc) ? " (" + Where(pc) + ")" : std::string()));
                    break;
                }
                if (m_stopped) break;
            }
            if (m_stopped) break;
        }
        if (m_step == StepKind::None || m_fastToTarget) continue;
        if (m_step == StepKind::RunTo) {
            if (core.PC() == m_target && core.SP() <= m_targetSp) {
                const bool wasReturn = m_runToIsReturn;
                CancelStep();
                stop(wasReturn ? "stepped over the call, at " + Where(core.PC())
                               : "reached " + Where(core.PC()));
            }
            continue;
        }
        if (!executed) {
            // An interrupt was taken: its handler runs through unless a breakpoint is in it.
            if (m_step == StepKind::Instruction) {
                CancelStep();
                stop("interrupt taken: at " + Where(core.PC()));
                continue;
            }
            m_fastToTarget = true;
            m_target = pc;
            m_targetSp = spBefore;
            m_dirty = true;
            Arm(core);
            continue;
        }
        stepAfter(core, pc, spBefore, op);
    }
    return ran;
}

// After one executed instruction of a step.
void Debugger::stepAfter(Core& core, uint16_t fromPc, uint8_t spBefore, uint8_t op) {
    const uint16_t pc = core.PC();
    switch (m_step) {
    case StepKind::Instruction:
        CancelStep();
        stop("stepped to " + Where(pc));
        return;
    case StepKind::Out:
        if (isCall(op)) {
            runToReturn(core, uint16_t(fromPc + callLength(op)), spBefore);
            return;
        }
        if ((op == RET || op == RETI) && --m_depth < 0) {
            CancelStep();
            stop("returned to " + Where(pc));
        }
        return;
    case StepKind::Over:
    case StepKind::Into:
        if (isCall(op)) {
            const bool intoSource = m_step == StepKind::Into && m_info && m_info->LineAt(pc);
            if (!intoSource) {
                runToReturn(core, uint16_t(fromPc + callLength(op)), spBefore);
                return;
            }
        }
        if (op == RET || op == RETI) --m_depth;
        afterInstruction(core);
        return;
    default:
        return;
    }
}

void Debugger::runToReturn(Core& core, uint16_t address, uint8_t sp) {
    m_fastToTarget = true;
    m_target = address;
    m_targetSp = sp;
    m_dirty = true;
    Arm(core);
}

// Whether a line step ends at the core's PC: a statement boundary of another line (or of the
// same line reached again from a call or a return).
bool Debugger::afterInstruction(Core& core) {
    if (m_step != StepKind::Into && m_step != StepKind::Over) return false;
    const uint16_t pc = core.PC();
    if (!m_info || !m_info->IsLineStart(pc)) return false;
    const LineEntry* line = m_info->LineAt(pc);
    if (!line) return false;
    const Function* function = m_info->FunctionAt(pc);
    const uint16_t functionStart = function ? function->start : 0;
    const bool sameLine = m_stepHasLine && line->file == m_stepFile &&
                          line->line == m_stepLineNumber && functionStart == m_stepFunctionStart &&
                          m_depth == 0;
    if (sameLine) return false;
    CancelStep();
    stop("stepped to " + Where(pc));
    return true;
}

} // namespace mcs51
