#pragma once

// What the compiler's debug files say about a firmware: the C line of each code address, the
// functions, and the variables with their types and places. Plain C++, no Qt.
//
// The files sit beside the HEX file with the same base name: the `.cdb` (symbols, types, line
// records), the `.rst` listing (the assembled bytes at their final addresses, used to check the
// debug files against code memory and for labels the `.cdb` leaves out, such as bit variables),
// and the `.map` (global labels for the disassembly). Anything that cannot be trusted is dropped
// with a reason the code view shows, and the debugger falls back to disassembly.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mcs51 {

class Core;

// Where a variable lives.
enum class Space {
    Code,     // code memory (read only)
    Iram,     // internal RAM, direct or indirect (0x00..0xFF)
    Xram,     // external RAM (MOVX)
    Bit,      // bit-addressable area; the address is a bit address
    Sfr,      // special function register (0x80..0xFF)
    Register, // kept in R0..R7 of a bank: no fixed address, not readable as a variable
    Stack,    // on the stack (reentrant functions): no fixed address
    None,     // no storage (functions' own records, optimised away)
};
// "code", "IRAM", "XRAM", "bit", "SFR", "register", "stack", "none".
std::string SpaceName(Space space);

// A C type as the debug information describes it.
struct CType {
    enum class Kind { Char, Short, Int, Long, Float, Bit, Void, Struct, Array, Pointer, Function };
    Kind kind = Kind::Void;
    bool isSigned = false;
    int size = 0;  // bytes (a bit variable has size 1, a bit field `bitWidth` bits)
    int count = 0; // elements of an array
    int bitOffset = 0, bitWidth = 0;      // bit fields
    Space pointee = Space::None;          // pointers: the space they point into; None: generic
    std::string structName;               // structs
    std::shared_ptr<const CType> element; // arrays: the element; pointers: the target
    // e.g. "unsigned char", "int[4]", "struct point", "__xdata unsigned int *", "bit".
    std::string Name() const;
};

struct StructMember {
    std::string name;
    int offset = 0;
    CType type;
};

struct StructInfo {
    std::string name;
    int size = 0;
    std::vector<StructMember> members;
};

struct Symbol {
    enum class Scope { Global, File, Function };
    std::string name;
    Scope scope = Scope::Global;
    std::string file;     // file scope: the module (base name of the C file without ".c")
    std::string function; // function scope: the function
    int level = 0, block = 0;
    Space space = Space::None;
    bool located = false;  // the address below is known
    uint32_t address = 0;  // byte address; a bit address for Space::Bit
    std::string registers; // Space::Register: e.g. "r7", "r6 r7"
    CType type;
    bool isFunction = false;
    // Shown name: "uc", "debugged.c:counter" (file static), "main:local_fixed" (function static).
    std::string QualifiedName() const;
};

struct Function {
    std::string name;
    std::string module; // empty for a global function
    uint16_t start = 0; // first instruction
    uint16_t end = 0;   // last address the end record names (the RET/RETI)
    bool hasEnd = false;
    bool isInterrupt = false;
};

// One C line's code: the first address the compiler gave it.
struct LineEntry {
    uint16_t address = 0;
    int file = 0; // index into Files()
    int line = 0;
};

// Where a breakpoint by source line ends up: the address, and the line it really stops at when
// the asked line has no code (then `moved` and a `note` such as "main.c:12 has no code; the
// breakpoint is at main.c:14").
struct LineResolution {
    bool ok = false;
    uint16_t address = 0;
    int line = 0;
    bool moved = false;
    std::string note; // also the reason when !ok ("no code at or after main.c:99")
};

// The type and place of a named value: a symbol or a part of one ("pt.x", "arr[2]", "*dptr").
struct Location {
    Space space = Space::None;
    uint32_t address = 0; // bit address for Space::Bit
    CType type;
    std::string name;
};

class DebugInfo {
public:
    // Parses the text of a `.cdb` file. On an error the result is empty and `error` says where
    // ("line 12: malformed symbol record"); records of kinds not described here are skipped.
    static DebugInfo ParseCdb(std::string_view text, std::string* error);

    bool Empty() const { return m_lines.empty() && m_symbols.empty(); }

    // Source files the line records name, as written ("main.c").
    const std::vector<std::string>& Files() const { return m_files; }
    // Index into Files() of a name compared by base name ("src/main.c" finds "main.c"), or -1.
    int FileIndex(std::string_view name) const;
    // Line records sorted by address.
    const std::vector<LineEntry>& Lines() const { return m_lines; }

    // The line whose code holds `address`: the record at the highest address at or below it,
    // within the same function. nullptr outside any line.
    const LineEntry* LineAt(uint16_t address) const;
    // Whether `address` is the first address of some line's code (a statement boundary).
    bool IsLineStart(uint16_t address) const;
    // The code address of FILE:LINE; a line without code moves to the next line of the same file
    // that has code, and says so.
    LineResolution ResolveLine(std::string_view file, int line) const;
    // Lowest address of every record of FILE:LINE (a line may have several pieces of code).
    std::vector<uint16_t> AddressesOfLine(int file, int line) const;

    const std::vector<Function>& Functions() const { return m_functions; }
    // The function whose code holds `address` (start at or below, end at or above), or nullptr.
    const Function* FunctionAt(uint16_t address) const;
    const Function* FindFunction(std::string_view name) const;

    const std::vector<Symbol>& Symbols() const { return m_symbols; }
    // Variables (not functions), for a variables view: globals and statics, and the locals of the
    // function holding `pc` (pass -1 for none).
    std::vector<const Symbol*> Variables(int pc) const;
    // The symbol a name means at `pc`: a local of the function there first, then a static of its
    // module, then a global. Accepts "module:name" and "function:name" to pick one.
    const Symbol* FindSymbol(std::string_view name, int pc = -1) const;
    const StructInfo* FindStruct(std::string_view name) const;
    // Where a located symbol's value is (for the variables view), or nullopt without an address.
    static std::optional<Location> LocationOf(const Symbol& symbol);

    // A name with member, index and dereference parts: "pt.x", "arr[2]", "*xptr", "pt"; or an
    // error ("no variable 'foo'", "arr has 4 elements").
    std::optional<Location> Resolve(std::string_view expression, int pc, const Core* core,
                                    std::string* error) const;

    // Code labels (from the `.map` and `.rst`): name at address, for the disassembly.
    const std::map<uint16_t, std::string>& CodeLabels() const { return m_codeLabels; }
    void AddCodeLabel(uint16_t address, std::string name);
    // Fixes the address of a symbol the `.cdb` leaves without one (bit variables) from an
    // assembler label ("_flag").
    void LocateFromLabels(const std::map<std::string, std::pair<std::string, uint32_t>>& labels);
    // The stack's first byte (SP at reset + 1) when the map names it, else -1.
    int StackStart() const { return m_stackStart; }
    void SetStackStart(int address) { m_stackStart = address; }

private:
    friend class DebugInfoBuilder;
    std::vector<std::string> m_files;
    std::vector<LineEntry> m_lines;
    std::vector<Function> m_functions;
    std::vector<Symbol> m_symbols;
    std::vector<StructInfo> m_structs;
    std::map<uint16_t, std::string> m_codeLabels;
    int m_stackStart = -1;
};

// Reading and writing values in the core by type.
// The value as text: "-5", "200", "0x1234 (XRAM)" for a pointer, "{1, 2, 3, 4}",
// "{x = -7, y = 9}", "1" for a bit. Chars also show their character when printable:
// "65 'A'". Reads without side effects (ports give their latch, as stored). Structs need `info`
// for their layout (else their bytes are shown).
std::string FormatValue(const Core& core, const Location& where, const DebugInfo* info = nullptr);
// Writes a typed text value ("-5", "0x7F", "'A'", "1" for a bit, "0x0040" for a pointer) into the
// variable. Empty on success, else why ("300 does not fit an unsigned char", "code memory is read
// only", "arrays and structs are written element by element").
std::string WriteValue(Core& core, const Location& where, std::string_view text);

// Raw access to a space, for the views and the data breakpoints.
uint8_t ReadByte(const Core& core, Space space, uint32_t address);
void WriteByte(Core& core, Space space, uint32_t address, uint8_t value);

// The debug files of a firmware, checked against the code loaded.
struct DebugLoad {
    DebugInfo info;
    bool lines = false;   // the line table and symbols can be trusted
    bool sources = false; // every source file was found
    // Why the debugger falls back (to disassembly, or to addresses without source), empty when
    // it does not; several reasons are joined by "; ".
    std::string reason;
    std::string cdbPath, listingPath, mapPath;
    // Each file of Files() as found on disk (empty when not found).
    std::vector<std::string> sourcePaths;
};
// Loads `<base>.cdb`, `<base>.rst` (else `.lst`) and `<base>.map` beside `firmwarePath`, checks the
// `.cdb` is not older than the firmware and the listing's bytes agree with `code` (64 KB), and
// finds each source file beside the `.cdb`, then in `searchFolder` (may be empty). Never throws;
// a file that cannot be read is a reason, not an error.
DebugLoad LoadDebugFiles(const std::string& firmwarePath, const std::string& searchFolder,
                         const uint8_t* code);

// Listing check on its own: the first address where the listing's bytes differ from `code`, with
// a reason, or an empty string when they agree. `labels` receives the labels the listing defines
// (name -> (area, address)).
std::string CheckListing(std::string_view listing, const uint8_t* code,
                         std::map<std::string, std::pair<std::string, uint32_t>>* labels);

// The body of a file of at most `maxBytes`, without blocking on pipes or devices; false with the
// reason in `error`.
bool ReadSmallFile(const std::string& path, size_t maxBytes, std::string* body, std::string* error);

} // namespace mcs51
