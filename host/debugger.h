#pragma once

// The debugger's engine: breakpoints by address and by source line, data breakpoints, stepping by
// C line or by instruction, the call stack and the stopwatch. Plain C++, no Qt: the firmware runner
// drives it (it runs the core only through Debugger::Run, so the board stays in step), the views
// read it.
//
// Breakpoints cost the running firmware nothing beyond the core's own breakpoint bit test; data
// breakpoints are checked instruction by instruction, and only while some are set.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/debuginfo.h"

namespace mcs51 {

class Core;

struct CodeBreakpoint {
    // By source line (kept across rebuilds: re-resolved against new debug information) or by
    // address (kept as it is).
    std::string file;
    int line = 0; // 0: by address
    uint16_t address = 0;
    bool resolved = true; // false when the line has no code in the current debug information
    std::string note;     // e.g. "main.c:12 has no code; the breakpoint is at main.c:14"
    bool enabled = true;
};

struct DataBreakpoint {
    Space space = Space::Iram; // Iram, Sfr, Xram or Bit
    uint32_t address = 0;
    int length = 1; // bytes watched from `address` (a C variable's size)
    bool onWrite = true;
    bool onRead = false;
    std::string name; // the variable's name when set by name, for the stop reason
};

// A data breakpoint on a C variable (or a part of one): its space, address and size.
DataBreakpoint WatchVariable(const Location& where, bool onWrite, bool onRead);

// One memory access an instruction makes.
struct Access {
    Space space = Space::Iram; // Iram (direct, indirect, register, stack), Sfr, Xram, Bit, Code
    uint32_t address = 0;
    bool write = false;
};
// The accesses the instruction at the core's PC will make when executed now (registers and
// pointers as they are). Bit instructions name the byte holding the bit (Iram 0x20..0x2F or the
// SFR). The implicit flag updates of arithmetic in PSW are not listed.
std::vector<Access> PredictAccesses(const Core& core);

struct StackFrame {
    uint16_t pc = 0;        // where that frame is executing (the return address for callers)
    std::string function;   // empty when unknown
    std::string where;      // "main.c:53" when known
    bool interrupt = false; // entered by an interrupt, not a call
};
struct CallStack {
    std::vector<StackFrame> frames; // innermost first
    bool complete = true;
    std::string note; // e.g. "the stack below 0x41 cannot be read as calls"
};
// Reads the return addresses on the stack: a two-byte value just above SP that points after a
// call instruction (or into code when an interrupt handler runs) is a caller's frame.
CallStack ReadCallStack(const Core& core, const DebugInfo* info);

class Debugger {
public:
    enum class StepKind {
        None,
        Instruction, // one instruction
        Into,        // to the next C line, into calls
        Over,        // to the next C line of this function or its caller
        Out,         // until this function returns
        RunTo,       // until the PC reaches an address
    };

    // The debug information (may be null: stepping is by instruction, breakpoints by address).
    // Breakpoints by source line are re-resolved against it.
    void SetDebugInfo(const DebugInfo* info);
    const DebugInfo* Info() const { return m_info; }

    // Code breakpoints. Adding a second at the same place replaces it. Returns the index.
    int AddBreakpoint(CodeBreakpoint breakpoint);
    // FILE:LINE, resolved now (moved to the next line with code, with a note).
    int AddLineBreakpoint(const std::string& file, int line);
    int AddAddressBreakpoint(uint16_t address);
    void RemoveBreakpoint(int index);
    void ClearBreakpoints();
    // Replaces every code breakpoint (those remembered for another firmware), resolving them.
    void SetBreakpoints(std::vector<CodeBreakpoint> breakpoints);
    // Adds or removes the breakpoint at FILE:LINE / at an address; returns whether one is set now.
    bool ToggleLineBreakpoint(const std::string& file, int line);
    bool ToggleAddressBreakpoint(uint16_t address);
    const std::vector<CodeBreakpoint>& Breakpoints() const { return m_breakpoints; }
    void SetBreakpointEnabled(int index, bool on);

    int AddDataBreakpoint(DataBreakpoint breakpoint);
    void RemoveDataBreakpoint(int index);
    void ClearDataBreakpoints();
    const std::vector<DataBreakpoint>& DataBreakpoints() const { return m_dataBreakpoints; }

    // Parses WHERE for a breakpoint: "0x1234", "1234h", a function or code label ("main"), or
    // FILE:LINE ("main.c:12"). Returns the breakpoint, or nullopt with the reason.
    std::optional<CodeBreakpoint> ParseWhere(const std::string& where, std::string* error) const;

    // Starts a step from the core's current state; the next Run calls carry it out.
    void BeginStep(StepKind kind, const Core& core, uint16_t runToAddress = 0);
    void CancelStep() {
        m_step = StepKind::None;
        m_fastToTarget = false;
        m_runToIsReturn = false;
        m_dirty = true;
    }
    StepKind PendingStep() const { return m_step; }

    // Runs the core for about `budget` machine cycles, stopping at a breakpoint, a data
    // breakpoint or the end of the step begun. Returns the cycles run; Stopped() tells whether it
    // stopped and why. The instruction at a code breakpoint is not executed unless the run starts
    // there.
    uint64_t Run(Core& core, uint64_t budget);
    bool Stopped() const { return m_stopped; }
    // The run goes on from where the core stands: a breakpoint here does not stop it again.
    void ResumeHere(const Core& core);
    // Forgets the step, the stop and where it was (the core was reset).
    void Restart() {
        CancelStep();
        ClearStop();
        m_haveResume = false;
    }
    // e.g. "breakpoint at main.c:12", "XRAM 0x0010 written by 0x0123 (main.c:40)",
    // "step done at main.c:14", "finished add_one, back in main.c:53".
    const std::string& StopReason() const { return m_reason; }
    void ClearStop() {
        m_stopped = false;
        m_reason.clear();
    }

    // "main.c:12" or "0x0123" (function name when known: "0x0123 in __mulint").
    std::string Where(uint16_t address) const;

    // The stopwatch: a mark in machine cycles the user sets.
    void MarkStopwatch(uint64_t cycles) { m_mark = cycles; }
    uint64_t StopwatchMark() const { return m_mark; }

    // Breakpoints set in the core (the user's enabled ones plus a step's own); the runner calls it
    // after loading a program.
    void Arm(Core& core) const;

private:
    uint64_t runFast(Core& core, uint64_t budget);
    uint64_t runWatched(Core& core, uint64_t budget);
    bool hitBreakpoint(Core& core);
    void stepAfter(Core& core, uint16_t fromPc, uint8_t spBefore, uint8_t op);
    void runToReturn(Core& core, uint16_t address, uint8_t sp);
    bool afterInstruction(Core& core);
    bool userBreakAt(uint16_t pc) const;
    void stop(std::string reason);
    void resolve(CodeBreakpoint& breakpoint) const;
    bool needsSingleSteps() const;

    const DebugInfo* m_info = nullptr;
    std::vector<CodeBreakpoint> m_breakpoints;
    std::vector<DataBreakpoint> m_dataBreakpoints;
    bool m_stopped = false;
    std::string m_reason;
    uint64_t m_mark = 0;
    // The core's breakpoint bits are set again only after a change.
    mutable bool m_dirty = true;
    mutable const Core* m_armedCore = nullptr;
    // Where the last stop left the core: a run resuming there executes the instruction.
    bool m_haveResume = false;
    uint16_t m_resumePc = 0;
    uint64_t m_resumeCycles = 0;

    // The step in progress.
    StepKind m_step = StepKind::None;
    bool m_stepHasLine = false;
    int m_stepFile = 0, m_stepLineNumber = 0;
    uint16_t m_stepFunctionStart = 0;
    int m_depth = 0;              // returns minus calls since the step began
    uint16_t m_target = 0;        // RunTo, or the return address a fast run waits for
    uint8_t m_targetSp = 0;       // SP the return address belongs to
    bool m_fastToTarget = false;  // running at full speed to m_target
    bool m_runToIsReturn = false; // a RunTo that steps over a call without source
};

} // namespace mcs51
