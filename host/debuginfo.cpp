#include "host/debuginfo.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "host/mcs51.h"

namespace mcs51 {

namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

bool parseHex(std::string_view s, uint32_t* value) {
    if (s.empty() || s.size() > 8) return false;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), *value, 16);
    return ec == std::errc() && end == s.data() + s.size();
}

bool parseInt(std::string_view s, int* value) {
    if (s.empty() || s.size() > 9) return false;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), *value, 10);
    return ec == std::errc() && end == s.data() + s.size();
}

std::vector<std::string_view> split(std::string_view s, char sep) {
    std::vector<std::string_view> parts;
    size_t from = 0;
    for (;;) {
        const size_t at = s.find(sep, from);
        if (at == std::string_view::npos) {
            parts.push_back(s.substr(from));
            return parts;
        }
        parts.push_back(s.substr(from, at - from));
        from = at + 1;
    }
}

std::string baseName(std::string_view path) {
    const size_t slash = path.find_last_of('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

Space spaceOfCode(char code) {
    switch (code) {
    case 'C':
    case 'D':
        return Space::Code;
    case 'E':
    case 'G':
        return Space::Iram;
    case 'F':
    case 'P':
        return Space::Xram;
    case 'H':
        return Space::Bit;
    case 'I':
        return Space::Sfr;
    case 'J':
        return Space::Bit;
    case 'R':
        return Space::Register;
    case 'A':
    case 'B':
        return Space::Stack;
    default:
        return Space::None;
    }
}

constexpr int MaxTypeDepth = 16;
constexpr int64_t MaxObjectSize = 0x10000;

// One link of a type chain ("DA4d", "DX", "SC"), the rest after it, and the sign of the base.
bool parseChain(const std::vector<std::string_view>& links, size_t at, bool isSigned, int size,
                CType* type, int depth) {
    if (at >= links.size() || depth > MaxTypeDepth) return false;
    const std::string_view link = links[at];
    if (link.size() < 2) return false;
    auto rest = [&](int restSize) -> std::shared_ptr<const CType> {
        auto next = std::make_shared<CType>();
        if (!parseChain(links, at + 1, isSigned, restSize, next.get(), depth + 1)) return nullptr;
        return next;
    };
    if (link[0] == 'D') {
        const char k = link[1];
        if (k == 'A') {
            // DA<n>d: array of n
            if (link.back() != 'd' || link.size() < 4) return false;
            int count = 0;
            if (!parseInt(link.substr(2, link.size() - 3), &count) || count < 0) return false;
            type->kind = CType::Kind::Array;
            type->count = count;
            auto element = rest(count > 0 ? size / std::max(count, 1) : 0);
            if (!element) return false;
            // No object is larger than a 64 KB memory.
            if (int64_t(count) * element->size > MaxObjectSize) return false;
            type->element = element;
            type->size = count * element->size;
            if (type->size == 0) type->size = size;
            return true;
        }
        if (k == 'F') {
            type->kind = CType::Kind::Function;
            type->size = size;
            type->element = rest(0);
            return type->element != nullptr;
        }
        type->kind = CType::Kind::Pointer;
        switch (k) {
        case 'G':
            type->pointee = Space::None;
            type->size = 3;
            break;
        case 'C':
            type->pointee = Space::Code;
            type->size = 2;
            break;
        case 'X':
            type->pointee = Space::Xram;
            type->size = 2;
            break;
        case 'D':
        case 'I':
            type->pointee = Space::Iram;
            type->size = 1;
            break;
        case 'P':
            type->pointee = Space::Xram;
            type->size = 1;
            break;
        default:
            return false;
        }
        type->element = rest(0);
        return type->element != nullptr;
    }
    if (link[0] != 'S' || at + 1 != links.size()) return false;
    type->isSigned = isSigned;
    switch (link[1]) {
    case 'C':
        type->kind = CType::Kind::Char;
        type->size = 1;
        return true;
    case 'S':
        type->kind = CType::Kind::Short;
        type->size = 2;
        return true;
    case 'I':
        type->kind = CType::Kind::Int;
        type->size = 2;
        return true;
    case 'L':
        type->kind = CType::Kind::Long;
        type->size = 4;
        return true;
    case 'F':
        type->kind = CType::Kind::Float;
        type->size = 4;
        return true;
    case 'V':
        type->kind = CType::Kind::Void;
        type->size = 0;
        return true;
    case 'X':
        type->kind = CType::Kind::Bit;
        type->size = 1;
        type->bitWidth = 1;
        return true;
    case 'B': {
        // SB<offset>$<width>: a bit field, or a bit variable
        const auto parts = split(link.substr(2), '$');
        if (parts.size() != 2 || !parseInt(parts[0], &type->bitOffset) ||
            !parseInt(parts[1], &type->bitWidth) || type->bitWidth < 1 || type->bitWidth > 32)
            return false;
        type->kind = CType::Kind::Bit;
        type->size = 1;
        return true;
    }
    case 'T':
        type->kind = CType::Kind::Struct;
        type->structName = std::string(link.substr(2));
        type->size = size;
        return !type->structName.empty();
    default:
        return false;
    }
}

// "{4}DA4d,SC:U" -> the type.
bool parseType(std::string_view text, CType* type) {
    if (text.size() < 5 || text[0] != '{') return false;
    const size_t close = text.find('}');
    if (close == std::string_view::npos) return false;
    int size = 0;
    if (!parseInt(text.substr(1, close - 1), &size) || size < 0 || size > MaxObjectSize)
        return false;
    std::string_view chain = text.substr(close + 1);
    if (chain.size() < 3 || chain[chain.size() - 2] != ':') return false;
    const char sign = chain.back();
    if (sign != 'S' && sign != 'U') return false;
    chain.remove_suffix(2);
    const auto links = split(chain, ',');
    return parseChain(links, 0, sign == 'S', size, type, 0);
}

struct Name {
    Symbol::Scope scope = Symbol::Scope::Global;
    std::string module, function, name;
    int level = 0, block = 0;
};

// "G$name$0_0$0", "Fmodule$name$0_0$0", "Lmodule.function$name$1_0$8".
bool parseName(std::string_view text, Name* name) {
    const auto parts = split(text, '$');
    if (parts.size() != 4 || parts[0].empty() || parts[1].empty()) return false;
    const std::string_view scope = parts[0];
    if (scope == "G") {
        name->scope = Symbol::Scope::Global;
    } else if (scope[0] == 'F') {
        name->scope = Symbol::Scope::File;
        name->module = std::string(scope.substr(1));
    } else if (scope[0] == 'L') {
        name->scope = Symbol::Scope::Function;
        const std::string_view owner = scope.substr(1);
        const size_t dot = owner.find('.');
        if (dot == std::string_view::npos) {
            name->function = std::string(owner);
        } else {
            name->module = std::string(owner.substr(0, dot));
            name->function = std::string(owner.substr(dot + 1));
        }
    } else {
        return false;
    }
    name->name = std::string(parts[1]);
    const auto level = split(parts[2], '_');
    if (level.empty() || !parseInt(level[0], &name->level)) return false;
    return parseInt(parts[3], &name->block);
}

// "G$sc$0_0$0({1}SC:S),E,0,0[,...]" -> the symbol; `rest` gets the fields after the address
// space.
bool parseSymbol(std::string_view text, Symbol* symbol, std::vector<std::string_view>* rest) {
    const size_t open = text.find('(');
    const size_t close = text.find(')', open == std::string_view::npos ? 0 : open);
    if (open == std::string_view::npos || close == std::string_view::npos) return false;
    Name name;
    if (!parseName(text.substr(0, open), &name)) return false;
    if (!parseType(text.substr(open + 1, close - open - 1), &symbol->type)) return false;
    std::string_view tail = text.substr(close + 1);
    if (tail.size() < 2 || tail[0] != ',') return false;
    // Register lists are bracketed and hold commas of their own.
    std::string_view regs;
    const size_t bracket = tail.find('[');
    if (bracket != std::string_view::npos) {
        const size_t end = tail.find(']', bracket);
        if (end == std::string_view::npos) return false;
        regs = tail.substr(bracket + 1, end - bracket - 1);
        tail = tail.substr(0, bracket);
    }
    auto fields = split(tail.substr(1), ',');
    if (!fields.empty() && fields.back().empty()) fields.pop_back();
    if (fields.size() < 3 || fields[0].size() != 1) return false;
    symbol->name = name.name;
    symbol->scope = name.scope;
    symbol->file = name.module;
    symbol->function = name.function;
    symbol->level = name.level;
    symbol->block = name.block;
    symbol->space = spaceOfCode(fields[0][0]);
    if (symbol->space == Space::None && fields[0][0] != 'Z') return false;
    if (symbol->space == Space::Register) {
        std::string list;
        for (std::string_view reg : split(regs, ',')) {
            if (!list.empty()) list += ' ';
            list += std::string(trim(reg));
        }
        symbol->registers = list;
    }
    symbol->isFunction = symbol->type.kind == CType::Kind::Function;
    if (rest) *rest = std::vector<std::string_view>(fields.begin() + 1, fields.end());
    return true;
}

std::string symbolKey(std::string_view text) {
    // The part of a symbol record that names it: up to the type.
    const size_t open = text.find('(');
    return std::string(open == std::string_view::npos ? text : text.substr(0, open));
}

} // namespace

std::string SpaceName(Space space) {
    switch (space) {
    case Space::Code:
        return "code";
    case Space::Iram:
        return "IRAM";
    case Space::Xram:
        return "XRAM";
    case Space::Bit:
        return "bit";
    case Space::Sfr:
        return "SFR";
    case Space::Register:
        return "register";
    case Space::Stack:
        return "stack";
    case Space::None:
        return "none";
    }
    return "none";
}

std::string CType::Name() const {
    const std::string sign = isSigned ? "" : "unsigned ";
    switch (kind) {
    case Kind::Char:
        return (isSigned ? "signed " : "unsigned ") + std::string("char");
    case Kind::Short:
        return sign + "short";
    case Kind::Int:
        return sign + "int";
    case Kind::Long:
        return sign + "long";
    case Kind::Float:
        return "float";
    case Kind::Bit:
        return bitWidth > 1 ? sign + "int : " + std::to_string(bitWidth) : "bit";
    case Kind::Void:
        return "void";
    case Kind::Struct:
        return "struct " + structName;
    case Kind::Array:
        return (element ? element->Name() : "?") + "[" + std::to_string(count) + "]";
    case Kind::Pointer: {
        std::string space;
        switch (pointee) {
        case Space::Code:
            space = "__code ";
            break;
        case Space::Xram:
            space = "__xdata ";
            break;
        case Space::Iram:
            space = "__data ";
            break;
        default:
            break;
        }
        return space + (element ? element->Name() : "void") + " *";
    }
    case Kind::Function:
        return (element ? element->Name() : "void") + " ()";
    }
    return "?";
}

std::string Symbol::QualifiedName() const {
    switch (scope) {
    case Scope::Global:
        return name;
    case Scope::File:
        return file + ".c:" + name;
    case Scope::Function:
        return function + ":" + name;
    }
    return name;
}

// Collects records while parsing; the order of records in the file is free.
class DebugInfoBuilder {
public:
    DebugInfo info;
    std::map<std::string, size_t> symbolByKey;    // "G$sc$0_0$0" -> index
    std::map<std::string, uint32_t> addressByKey; // from L: records
    std::map<std::string, std::pair<bool, int>> interruptByKey;
    struct FunctionEnd {
        std::string key;
        uint32_t address;
    };
    std::vector<FunctionEnd> ends;
    struct LineRecord {
        std::string file;
        int line;
        uint32_t address;
    };
    std::vector<LineRecord> lines;

    bool symbol(std::string_view text, bool functionRecord) {
        Symbol symbol;
        std::vector<std::string_view> rest;
        if (!parseSymbol(text, &symbol, &rest)) return false;
        const std::string key = symbolKey(text);
        if (functionRecord) {
            // F: records add interrupt, interrupt number, register bank.
            int isr = 0, number = 0;
            if (rest.size() >= 4 && parseInt(rest[2], &isr) && parseInt(rest[3], &number))
                interruptByKey[key] = {isr != 0, number};
            symbol.isFunction = true;
        }
        auto found = symbolByKey.find(key);
        if (found != symbolByKey.end()) {
            // An F: record and an S: record describe the same function.
            info.m_symbols[found->second].isFunction |= symbol.isFunction;
            return true;
        }
        symbolByKey[key] = info.m_symbols.size();
        info.m_symbols.push_back(std::move(symbol));
        return true;
    }

    // "Fmodule$point[({0}S:S$x$0_0$0({2}SI:S),Z,0,0)({2}S:S$y$0_0$0({1}SC:U),Z,0,0)]"
    bool type(std::string_view text) {
        const size_t open = text.find('[');
        if (open == std::string_view::npos || text.back() != ']') return false;
        const auto head = split(text.substr(0, open), '$');
        if (head.size() != 2 || head[1].empty()) return false;
        StructInfo info;
        info.name = std::string(head[1]);
        std::string_view body = text.substr(open + 1, text.size() - open - 2);
        while (!body.empty()) {
            if (body[0] != '(' || body.size() < 3 || body[1] != '{') return false;
            const size_t close = body.find('}');
            if (close == std::string_view::npos) return false;
            StructMember member;
            if (!parseInt(body.substr(2, close - 2), &member.offset) || member.offset < 0 ||
                member.offset > MaxObjectSize)
                return false;
            // "S:S$x$0_0$0({2}SI:S),Z,0,0)"
            std::string_view record = body.substr(close + 1);
            if (record.substr(0, 2) != "S:") return false;
            record.remove_prefix(2);
            const size_t typeClose = record.find(')');
            if (typeClose == std::string_view::npos) return false;
            const size_t end = record.find(')', typeClose + 1);
            if (end == std::string_view::npos) return false;
            Symbol symbol;
            // Members are named with the scope "S".
            std::string memberText(record.substr(0, end));
            if (memberText.size() < 2 || memberText[0] != 'S' || memberText[1] != '$') return false;
            memberText[0] = 'G';
            if (!parseSymbol(memberText, &symbol, nullptr)) return false;
            member.name = symbol.name;
            member.type = symbol.type;
            info.members.push_back(std::move(member));
            body = record.substr(end + 1);
        }
        for (const StructMember& member : info.members)
            info.size = std::max(info.size, member.offset + std::max(member.type.size, 1));
        this->info.m_structs.push_back(std::move(info));
        return true;
    }

    bool link(std::string_view text) {
        const size_t colon = text.rfind(':');
        if (colon == std::string_view::npos) return false;
        uint32_t address = 0;
        if (!parseHex(text.substr(colon + 1), &address)) return false;
        const std::string_view what = text.substr(0, colon);
        if (what.size() < 3) return false;
        if (what[0] == 'A') return true; // assembler line records: the listing has them
        if (what[0] == 'C' && what[1] == '$') {
            auto parts = split(what.substr(2), '$');
            if (parts.size() < 4) return false;
            int line = 0;
            if (!parseInt(parts[parts.size() - 3], &line) || line <= 0) return false;
            std::string file;
            for (size_t i = 0; i + 3 < parts.size(); ++i) {
                if (i) file += '$';
                file += std::string(parts[i]);
            }
            if (file.empty() || address > 0xFFFF) return false;
            lines.push_back({file, line, address});
            return true;
        }
        if (what[0] == 'X') {
            ends.push_back({std::string(what.substr(1)), address});
            return true;
        }
        if (what[0] != 'G' && what[0] != 'F' && what[0] != 'L') return false;
        Name name;
        if (!parseName(what, &name)) return false;
        addressByKey[std::string(what)] = address;
        return true;
    }

    static std::string normalKey(const std::string& key) {
        // Function begin/end records spell the level without the block part ("$0$0").
        const auto parts = split(key, '$');
        if (parts.size() != 4) return key;
        return std::string(parts[0]) + "$" + std::string(parts[1]);
    }

    void finish() {
        // Locations.
        std::map<std::string, uint32_t> functionStart;
        for (const auto& [key, address] : addressByKey) {
            auto found = symbolByKey.find(key);
            if (found != symbolByKey.end()) {
                Symbol& symbol = info.m_symbols[found->second];
                symbol.located = symbol.space != Space::Register && symbol.space != Space::Stack;
                symbol.address = address;
            }
            functionStart[normalKey(key)] = address;
        }
        std::map<std::string, uint32_t> functionEnd;
        for (const FunctionEnd& end : ends)
            functionEnd[normalKey(end.key)] = end.address;
        for (const auto& [key, index] : symbolByKey) {
            const Symbol& symbol = info.m_symbols[index];
            if (!symbol.isFunction) continue;
            auto start = functionStart.find(normalKey(key));
            if (start == functionStart.end() || start->second > 0xFFFF) continue;
            Function function;
            function.name = symbol.name;
            function.module = symbol.scope == Symbol::Scope::File ? symbol.file : std::string();
            function.start = uint16_t(start->second);
            auto end = functionEnd.find(normalKey(key));
            if (end != functionEnd.end() && end->second >= start->second && end->second <= 0xFFFF) {
                function.end = uint16_t(end->second);
                function.hasEnd = true;
            } else {
                function.end = function.start;
            }
            auto isr = interruptByKey.find(key);
            function.isInterrupt = isr != interruptByKey.end() && isr->second.first;
            info.m_functions.push_back(function);
        }
        std::sort(info.m_functions.begin(), info.m_functions.end(),
                  [](const Function& a, const Function& b) { return a.start < b.start; });
        // Lines.
        std::map<std::string, int> fileIndex;
        for (const LineRecord& record : lines) {
            auto found = fileIndex.find(record.file);
            int index = 0;
            if (found == fileIndex.end()) {
                index = int(info.m_files.size());
                fileIndex[record.file] = index;
                info.m_files.push_back(record.file);
            } else {
                index = found->second;
            }
            info.m_lines.push_back({uint16_t(record.address), index, record.line});
        }
        std::stable_sort(
            info.m_lines.begin(), info.m_lines.end(),
            [](const LineEntry& a, const LineEntry& b) { return a.address < b.address; });
        for (const Function& function : info.m_functions)
            info.m_codeLabels.emplace(function.start, function.name);
    }
};

DebugInfo DebugInfo::ParseCdb(std::string_view text, std::string* error) {
    DebugInfoBuilder builder;
    int lineNumber = 0;
    size_t from = 0;
    auto fail = [&](const std::string& why) {
        if (error) *error = "line " + std::to_string(lineNumber) + ": " + why;
        return DebugInfo();
    };
    if (text.find('\0') != std::string_view::npos) {
        lineNumber = 1 + int(std::count(text.begin(), text.begin() + text.find('\0'), '\n'));
        return fail("not a text file");
    }
    bool sawModule = false;
    while (from < text.size()) {
        size_t end = text.find('\n', from);
        const bool lastLine = end == std::string_view::npos;
        if (lastLine) end = text.size();
        const std::string_view line = trim(text.substr(from, end - from));
        from = end + 1;
        ++lineNumber;
        if (line.empty()) continue;
        if (line.size() < 2 || line[1] != ':') return fail("not a debug record");
        const std::string_view body = line.substr(2);
        bool ok = true;
        switch (line[0]) {
        case 'M':
            ok = !body.empty();
            sawModule = true;
            break;
        case 'F':
            ok = builder.symbol(body, true);
            break;
        case 'S':
            ok = builder.symbol(body, false);
            break;
        case 'T':
            ok = builder.type(body);
            break;
        case 'L':
            ok = builder.link(body);
            break;
        default:
            return fail("unknown record kind '" + std::string(1, line[0]) + "'");
        }
        if (!ok) {
            if (lastLine) return fail("the file ends in the middle of a record");
            return fail("malformed " + std::string(1, line[0]) + " record");
        }
    }
    if (!sawModule) return fail("no module record: not a debug file");
    builder.finish();
    if (error) error->clear();
    return std::move(builder.info);
}

int DebugInfo::FileIndex(std::string_view name) const {
    for (size_t i = 0; i < m_files.size(); ++i)
        if (m_files[i] == name) return int(i);
    const std::string base = baseName(name);
    for (size_t i = 0; i < m_files.size(); ++i)
        if (baseName(m_files[i]) == base) return int(i);
    return -1;
}

const Function* DebugInfo::FunctionAt(uint16_t address) const {
    auto it = std::upper_bound(m_functions.begin(), m_functions.end(), address,
                               [](uint16_t a, const Function& f) { return a < f.start; });
    if (it == m_functions.begin()) return nullptr;
    --it;
    if (!it->hasEnd) return address == it->start ? &*it : nullptr;
    return address <= it->end ? &*it : nullptr;
}

const Function* DebugInfo::FindFunction(std::string_view name) const {
    for (const Function& function : m_functions)
        if (function.name == name) return &function;
    return nullptr;
}

const LineEntry* DebugInfo::LineAt(uint16_t address) const {
    auto it = std::upper_bound(m_lines.begin(), m_lines.end(), address,
                               [](uint16_t a, const LineEntry& e) { return a < e.address; });
    if (it == m_lines.begin()) return nullptr;
    --it;
    // Code between functions (library routines, start-up) belongs to no line.
    if (FunctionAt(address) != FunctionAt(it->address)) return nullptr;
    return &*it;
}

bool DebugInfo::IsLineStart(uint16_t address) const {
    auto it = std::lower_bound(m_lines.begin(), m_lines.end(), address,
                               [](const LineEntry& e, uint16_t a) { return e.address < a; });
    return it != m_lines.end() && it->address == address;
}

std::vector<uint16_t> DebugInfo::AddressesOfLine(int file, int line) const {
    std::vector<uint16_t> addresses;
    for (const LineEntry& entry : m_lines)
        if (entry.file == file && entry.line == line) addresses.push_back(entry.address);
    return addresses;
}

LineResolution DebugInfo::ResolveLine(std::string_view file, int line) const {
    LineResolution result;
    const int index = FileIndex(file);
    const std::string shown = baseName(file);
    if (index < 0) {
        result.note = "no code from " + shown + " in the debug information";
        return result;
    }
    int best = 0;
    for (const LineEntry& entry : m_lines)
        if (entry.file == index && entry.line >= line && (best == 0 || entry.line < best))
            best = entry.line;
    if (best == 0) {
        result.note = "no code at or after " + shown + ":" + std::to_string(line);
        return result;
    }
    const std::vector<uint16_t> addresses = AddressesOfLine(index, best);
    result.ok = true;
    result.address = *std::min_element(addresses.begin(), addresses.end());
    result.line = best;
    result.moved = best != line;
    if (result.moved)
        result.note = shown + ":" + std::to_string(line) + " has no code; the breakpoint is at " +
                      shown + ":" + std::to_string(best);
    return result;
}

std::vector<const Symbol*> DebugInfo::Variables(int pc) const {
    const Function* function = pc >= 0 ? FunctionAt(uint16_t(pc)) : nullptr;
    std::vector<const Symbol*> result;
    for (const Symbol& symbol : m_symbols) {
        if (symbol.isFunction || symbol.space == Space::Sfr || symbol.space == Space::None)
            continue;
        if (symbol.scope == Symbol::Scope::Function &&
            (!function || symbol.function != function->name))
            continue;
        if (symbol.type.kind == CType::Kind::Bit && symbol.space == Space::Bit && symbol.located &&
            symbol.address >= 0x80 && symbol.scope == Symbol::Scope::Global)
            continue; // sbit of an SFR
        if (symbol.name.rfind("__xinit_", 0) == 0) continue;
        result.push_back(&symbol);
    }
    return result;
}

const Symbol* DebugInfo::FindSymbol(std::string_view name, int pc) const {
    const size_t colon = name.find(':');
    if (colon != std::string_view::npos) {
        std::string_view owner = name.substr(0, colon);
        const std::string_view plain = name.substr(colon + 1);
        if (owner.size() > 2 && owner.substr(owner.size() - 2) == ".c") owner.remove_suffix(2);
        for (const Symbol& symbol : m_symbols)
            if (symbol.name == plain &&
                ((symbol.scope == Symbol::Scope::File && symbol.file == owner) ||
                 (symbol.scope == Symbol::Scope::Function && symbol.function == owner)))
                return &symbol;
        return nullptr;
    }
    const Function* function = pc >= 0 ? FunctionAt(uint16_t(pc)) : nullptr;
    const Symbol* fileStatic = nullptr;
    const Symbol* global = nullptr;
    const Symbol* anyLocal = nullptr;
    for (const Symbol& symbol : m_symbols) {
        if (symbol.name != name) continue;
        switch (symbol.scope) {
        case Symbol::Scope::Function:
            if (function && symbol.function == function->name) return &symbol;
            if (!anyLocal) anyLocal = &symbol;
            break;
        case Symbol::Scope::File:
            if (!fileStatic || (function && symbol.file == function->module)) fileStatic = &symbol;
            break;
        case Symbol::Scope::Global:
            global = &symbol;
            break;
        }
    }
    if (fileStatic) return fileStatic;
    if (global) return global;
    return anyLocal;
}

std::optional<Location> DebugInfo::LocationOf(const Symbol& symbol) {
    if (!symbol.located || symbol.isFunction) return std::nullopt;
    return Location{symbol.space, symbol.address, symbol.type, symbol.QualifiedName()};
}

const StructInfo* DebugInfo::FindStruct(std::string_view name) const {
    for (const StructInfo& info : m_structs)
        if (info.name == name) return &info;
    return nullptr;
}

void DebugInfo::AddCodeLabel(uint16_t address, std::string name) {
    m_codeLabels.emplace(address, std::move(name));
}

void DebugInfo::LocateFromLabels(
    const std::map<std::string, std::pair<std::string, uint32_t>>& labels) {
    for (Symbol& symbol : m_symbols) {
        if (symbol.located || symbol.isFunction) continue;
        if (symbol.space == Space::Register || symbol.space == Space::Stack ||
            symbol.space == Space::None)
            continue;
        if (symbol.scope != Symbol::Scope::Global) continue;
        auto found = labels.find("_" + symbol.name);
        if (found == labels.end()) continue;
        const std::string& area = found->second.first;
        // A bit variable's label lies in the bit segment; its value there is a bit address.
        if (symbol.space == Space::Bit && area.find("BSEG") == std::string::npos) continue;
        symbol.address = found->second.second;
        symbol.located = true;
    }
}

// Values ---------------------------------------------------------------------------------------

uint8_t ReadByte(const Core& core, Space space, uint32_t address) {
    switch (space) {
    case Space::Code:
        return core.Code()[address & 0xFFFF];
    case Space::Iram:
        return core.Iram()[address & 0xFF];
    case Space::Xram:
        return core.Xram()[address & 0xFFFF];
    case Space::Sfr:
        return (address & 0xFF) < 0x80 ? core.Iram()[address & 0x7F] : core.Sfr(uint8_t(address));
    case Space::Bit: {
        const uint8_t bit = uint8_t(address);
        const uint8_t byte = bit < 0x80 ? core.Iram()[0x20 + (bit >> 3)] : core.Sfr(bit & 0xF8);
        return uint8_t((byte >> (bit & 7)) & 1);
    }
    default:
        return 0;
    }
}

void WriteByte(Core& core, Space space, uint32_t address, uint8_t value) {
    switch (space) {
    case Space::Code:
        core.Code()[address & 0xFFFF] = value;
        return;
    case Space::Iram:
        core.Iram()[address & 0xFF] = value;
        return;
    case Space::Xram:
        core.Xram()[address & 0xFFFF] = value;
        return;
    case Space::Sfr:
        if ((address & 0xFF) < 0x80)
            core.Iram()[address & 0x7F] = value;
        else
            core.SetSfr(uint8_t(address), value);
        return;
    case Space::Bit: {
        const uint8_t bit = uint8_t(address);
        const uint8_t mask = uint8_t(1 << (bit & 7));
        if (bit < 0x80) {
            uint8_t& byte = core.Iram()[0x20 + (bit >> 3)];
            byte = value ? byte | mask : byte & ~mask;
        } else {
            const uint8_t byte = core.Sfr(bit & 0xF8);
            core.SetSfr(bit & 0xF8, value ? byte | mask : byte & ~mask);
        }
        return;
    }
    default:
        return;
    }
}

namespace {

// Little-endian, as the compiler stores multi-byte values.
uint32_t readScalar(const Core& core, const Location& where, int size) {
    uint32_t value = 0;
    for (int i = 0; i < size && i < 4; ++i)
        value |= uint32_t(ReadByte(core, where.space, where.address + uint32_t(i))) << (8 * i);
    return value;
}

Space genericSpace(uint8_t tag) {
    // Generic pointers carry their space in the third byte.
    if (tag >= 0x80) return Space::Code;
    if (tag >= 0x60) return Space::Xram; // paged
    if (tag >= 0x40) return Space::Iram;
    return Space::Xram;
}

constexpr int MaxShownElements = 64;
constexpr int MaxFormatDepth = 6;

std::string formatAt(const Core& core, const Location& where, const DebugInfo* info, int depth);

std::string formatScalar(const CType& type, uint32_t raw) {
    const int bits = type.size * 8;
    int64_t value = raw;
    if (type.isSigned && bits < 64 && bits > 0 && (raw >> (bits - 1)) & 1)
        value = int64_t(raw) - (int64_t(1) << bits);
    std::string text = std::to_string(value);
    if (type.kind == CType::Kind::Char && raw >= 0x20 && raw < 0x7F)
        text += std::string(" '") + char(raw) + "'";
    return text;
}

std::string formatAt(const Core& core, const Location& where, const DebugInfo* info, int depth) {
    const CType& type = where.type;
    if (depth > MaxFormatDepth) return "...";
    switch (type.kind) {
    case CType::Kind::Char:
    case CType::Kind::Short:
    case CType::Kind::Int:
    case CType::Kind::Long:
        return formatScalar(type, readScalar(core, where, type.size));
    case CType::Kind::Float: {
        const uint32_t raw = readScalar(core, where, 4);
        float value = 0;
        std::memcpy(&value, &raw, 4);
        char text[32];
        std::snprintf(text, sizeof text, "%g", double(value));
        return text;
    }
    case CType::Kind::Bit: {
        if (where.space == Space::Bit)
            return std::to_string(ReadByte(core, Space::Bit, where.address));
        // A bit field inside a byte-addressed struct.
        const uint32_t raw = readScalar(core, where, (type.bitOffset + type.bitWidth + 7) / 8);
        const uint32_t mask = type.bitWidth >= 32 ? 0xFFFFFFFFu : (1u << type.bitWidth) - 1;
        return std::to_string((raw >> type.bitOffset) & mask);
    }
    case CType::Kind::Pointer: {
        const uint32_t raw = readScalar(core, where, type.size);
        Space space = type.pointee;
        uint32_t address = raw & 0xFFFF;
        if (type.size == 3) {
            space = genericSpace(uint8_t(raw >> 16));
        } else if (type.size == 1) {
            address = raw & 0xFF;
        }
        char text[48];
        std::snprintf(text, sizeof text, type.size == 1 ? "0x%02X (%s)" : "0x%04X (%s)",
                      unsigned(address), SpaceName(space).c_str());
        return text;
    }
    case CType::Kind::Array: {
        if (!type.element) return "?";
        std::string text = "{";
        const int shown = std::min(type.count, MaxShownElements);
        for (int i = 0; i < shown; ++i) {
            Location element{where.space, where.address + uint32_t(i * type.element->size),
                             *type.element, ""};
            if (i) text += ", ";
            text += formatAt(core, element, info, depth + 1);
        }
        if (shown < type.count) text += ", ...";
        return text + "}";
    }
    case CType::Kind::Struct: {
        const StructInfo* layout = info ? info->FindStruct(type.structName) : nullptr;
        if (!layout) {
            // Without the layout, the bytes.
            std::string text = "{";
            for (int i = 0; i < type.size && i < MaxShownElements; ++i) {
                char byte[8];
                std::snprintf(byte, sizeof byte, "%s%02X", i ? " " : "",
                              ReadByte(core, where.space, where.address + uint32_t(i)));
                text += byte;
            }
            return text + "}";
        }
        std::string text = "{";
        for (size_t i = 0; i < layout->members.size(); ++i) {
            const StructMember& member = layout->members[i];
            Location part{where.space, where.address + uint32_t(member.offset), member.type, ""};
            if (i) text += ", ";
            text += member.name + " = " + formatAt(core, part, info, depth + 1);
        }
        return text + "}";
    }
    case CType::Kind::Void:
    case CType::Kind::Function:
        return "";
    }
    return "";
}

} // namespace

std::string FormatValue(const Core& core, const Location& where, const DebugInfo* info) {
    return formatAt(core, where, info, 0);
}

namespace {

// Parses "-5", "0x7F", "7Fh", "0b101", "'A'".
bool parseNumber(std::string_view text, int64_t* value) {
    text = trim(text);
    if (text.size() == 3 && text.front() == '\'' && text.back() == '\'') {
        *value = uint8_t(text[1]);
        return true;
    }
    bool negative = false;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    } else if (text.size() > 2 && text[0] == '0' && (text[1] == 'b' || text[1] == 'B')) {
        base = 2;
        text.remove_prefix(2);
    } else if (text.size() > 1 && (text.back() == 'h' || text.back() == 'H')) {
        base = 16;
        text.remove_suffix(1);
    }
    if (text.empty() || text.size() > 20) return false;
    uint64_t magnitude = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
    if (ec != std::errc() || end != text.data() + text.size()) return false;
    if (magnitude > uint64_t(1) << 40) return false;
    *value = negative ? -int64_t(magnitude) : int64_t(magnitude);
    return true;
}

} // namespace

std::string WriteValue(Core& core, const Location& where, std::string_view text) {
    const CType& type = where.type;
    if (where.space == Space::Code) return "code memory is read only";
    if (where.space == Space::Register || where.space == Space::Stack || where.space == Space::None)
        return "the variable has no fixed address";
    if (type.kind == CType::Kind::Array || type.kind == CType::Kind::Struct)
        return "arrays and structs are written element by element (e.g. name[0], name.member)";
    if (type.kind == CType::Kind::Void || type.kind == CType::Kind::Function)
        return "this is not a variable";
    const std::string shown(trim(text));
    if (type.kind == CType::Kind::Float) {
        char* end = nullptr;
        const float value = std::strtof(shown.c_str(), &end);
        if (shown.empty() || !end || *end) return "'" + shown + "' is not a number";
        uint32_t raw = 0;
        std::memcpy(&raw, &value, 4);
        for (int i = 0; i < 4; ++i)
            WriteByte(core, where.space, where.address + uint32_t(i), uint8_t(raw >> (8 * i)));
        return {};
    }
    int64_t value = 0;
    std::string_view number = shown;
    if (type.kind == CType::Kind::Pointer) {
        // "0x1234 (XRAM)" as the value is shown: the space is the pointer's own.
        const size_t paren = number.find('(');
        if (paren != std::string_view::npos) number = trim(number.substr(0, paren));
    }
    if (!parseNumber(number, &value)) return "'" + shown + "' is not a number";
    if (type.kind == CType::Kind::Bit) {
        if (where.space == Space::Bit) {
            if (value != 0 && value != 1) return "a bit is 0 or 1";
            WriteByte(core, Space::Bit, where.address, uint8_t(value));
            return {};
        }
        const int64_t max = (int64_t(1) << type.bitWidth) - 1;
        if (value < 0 || value > max)
            return shown + " does not fit " + std::to_string(type.bitWidth) + " bits";
        const int bytes = (type.bitOffset + type.bitWidth + 7) / 8;
        uint32_t raw = readScalar(core, where, bytes);
        const uint32_t mask = uint32_t(max) << type.bitOffset;
        raw = (raw & ~mask) | (uint32_t(value) << type.bitOffset);
        for (int i = 0; i < bytes; ++i)
            WriteByte(core, where.space, where.address + uint32_t(i), uint8_t(raw >> (8 * i)));
        return {};
    }
    const int bits = type.size * 8;
    if (bits <= 0 || bits > 32) return "this is not a variable";
    int64_t low = 0, high = 0;
    if (type.kind == CType::Kind::Pointer) {
        high = type.size == 1 ? 0xFF : 0xFFFF;
        if (type.size == 3) {
            return "generic pointers are shown, not edited";
        }
    } else if (type.isSigned) {
        low = -(int64_t(1) << (bits - 1));
        high = (int64_t(1) << (bits - 1)) - 1;
    } else {
        high = (int64_t(1) << bits) - 1;
    }
    // A negative value for an unsigned type is taken as the same bits, as C would.
    if (!type.isSigned && value < 0 && value >= -(int64_t(1) << (bits - 1)))
        value += int64_t(1) << bits;
    if (value < low || value > high) return shown + " does not fit " + type.Name();
    for (int i = 0; i < type.size; ++i)
        WriteByte(core, where.space, where.address + uint32_t(i),
                  uint8_t(uint64_t(value) >> (8 * i)));
    return {};
}

std::optional<Location> DebugInfo::Resolve(std::string_view expression, int pc, const Core* core,
                                           std::string* error) const {
    auto fail = [&](const std::string& why) -> std::optional<Location> {
        if (error) *error = why;
        return std::nullopt;
    };
    std::string_view text = trim(expression);
    int derefs = 0;
    while (!text.empty() && text.front() == '*') {
        ++derefs;
        text = trim(text.substr(1));
    }
    // The name: up to the first '.', '[' (a "module:name" prefix belongs to it).
    size_t nameEnd = 0;
    while (nameEnd < text.size() && text[nameEnd] != '.' && text[nameEnd] != '[')
        ++nameEnd;
    // "debugged.c:counter": the ".c" belongs to the name.
    if (nameEnd + 2 < text.size() && text.substr(nameEnd, 3) == ".c:") {
        nameEnd += 3;
        while (nameEnd < text.size() && text[nameEnd] != '.' && text[nameEnd] != '[')
            ++nameEnd;
    }
    const std::string name(trim(text.substr(0, nameEnd)));
    if (name.empty()) return fail("no variable named");
    const Symbol* symbol = FindSymbol(name, pc);
    if (!symbol || symbol->isFunction) return fail("no variable '" + name + "'");
    if (!symbol->located) {
        if (symbol->space == Space::Register)
            return fail(name + " is kept in registers (" + symbol->registers +
                        "), not at an address");
        if (symbol->space == Space::Stack) return fail(name + " lives on the stack");
        return fail(name + " has no address in the debug information");
    }
    Location where{symbol->space, symbol->address, symbol->type, name};
    std::string_view rest = text.substr(nameEnd);
    while (!rest.empty()) {
        if (rest[0] == '.') {
            if (where.type.kind != CType::Kind::Struct)
                return fail(where.name + " is not a struct");
            size_t end = 1;
            while (end < rest.size() && rest[end] != '.' && rest[end] != '[')
                ++end;
            const std::string member(trim(rest.substr(1, end - 1)));
            const StructInfo* layout = FindStruct(where.type.structName);
            if (!layout)
                return fail("the layout of struct " + where.type.structName + " is unknown");
            const StructMember* found = nullptr;
            for (const StructMember& m : layout->members)
                if (m.name == member) found = &m;
            if (!found) return fail("struct " + layout->name + " has no member '" + member + "'");
            where.address += uint32_t(found->offset);
            where.type = found->type;
            where.name += "." + member;
            rest = rest.substr(end);
        } else if (rest[0] == '[') {
            const size_t close = rest.find(']');
            if (close == std::string_view::npos) return fail("']' missing");
            int index = 0;
            if (!parseInt(trim(rest.substr(1, close - 1)), &index) || index < 0)
                return fail("the index must be a number");
            if (where.type.kind != CType::Kind::Array || !where.type.element)
                return fail(where.name + " is not an array");
            if (index >= where.type.count)
                return fail(where.name + " has " + std::to_string(where.type.count) + " elements");
            const CType element = *where.type.element;
            where.address += uint32_t(index * element.size);
            where.type = element;
            where.name += "[" + std::to_string(index) + "]";
            rest = rest.substr(close + 1);
        } else {
            return fail("unexpected '" + std::string(rest.substr(0, 1)) + "'");
        }
    }
    for (int i = 0; i < derefs; ++i) {
        if (where.type.kind != CType::Kind::Pointer || !where.type.element)
            return fail(where.name + " is not a pointer");
        if (!core) return fail("a pointer is followed only while firmware is loaded");
        const uint32_t raw = readScalar(*core, where, where.type.size);
        Space space = where.type.pointee;
        uint32_t address = raw & 0xFFFF;
        if (where.type.size == 3) space = genericSpace(uint8_t(raw >> 16));
        if (where.type.size == 1) address &= 0xFF;
        const CType target = *where.type.element;
        where = Location{space, address, target, "*" + where.name};
    }
    if (error) error->clear();
    return where;
}

// Files ----------------------------------------------------------------------------------------

bool ReadSmallFile(const std::string& path, size_t maxBytes, std::string* body,
                   std::string* error) {
    struct stat status = {};
    if (::stat(path.c_str(), &status) != 0) {
        *error = "it does not exist";
        return false;
    }
    if (S_ISDIR(status.st_mode)) {
        *error = "it is a folder";
        return false;
    }
    if (!S_ISREG(status.st_mode)) {
        *error = "it is a device or a pipe";
        return false;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *error = std::strerror(errno);
        return false;
    }
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        *error = "it is a device or a pipe";
        return false;
    }
    body->clear();
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            *error = std::strerror(errno);
            ::close(fd);
            return false;
        }
        if (n == 0) break;
        body->append(buffer, size_t(n));
        if (body->size() > maxBytes) {
            ::close(fd);
            *error = "it is larger than " + std::to_string(maxBytes / (1024 * 1024)) + " MB";
            return false;
        }
    }
    ::close(fd);
    return true;
}

std::string CheckListing(std::string_view listing, const uint8_t* code,
                         std::map<std::string, std::pair<std::string, uint32_t>>* labels) {
    // A relocated listing line: six blanks, the address in six hex digits, then up to six bytes in
    // fixed columns, the cycle count and the source line number.
    constexpr size_t AddressAt = 6, BytesAt = 13, BytesEnd = 30;
    std::string area;
    size_t from = 0;
    int lineNumber = 0;
    std::string problem;
    while (from < listing.size()) {
        size_t end = listing.find('\n', from);
        if (end == std::string_view::npos) end = listing.size();
        std::string_view line = listing.substr(from, end - from);
        from = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const size_t areaAt = line.find(".area");
        if (areaAt != std::string_view::npos) {
            std::string_view rest = trim(line.substr(areaAt + 5));
            const size_t space = rest.find_first_of(" \t(");
            area = std::string(rest.substr(0, space));
        }
        if (line.size() < AddressAt + 6 || line.substr(0, AddressAt) != "      ") continue;
        uint32_t address = 0;
        if (!parseHex(line.substr(AddressAt, 6), &address)) continue;
        if (line.size() > AddressAt + 6 && line[AddressAt + 6] != ' ') continue;
        // Label definitions: "NAME::" or "NAME:" after the line number.
        if (labels) {
            const std::string_view tail = trim(line.substr(std::min(line.size(), BytesEnd)));
            const size_t blank = tail.find_first_of(" \t");
            if (blank != std::string_view::npos) {
                std::string_view label = trim(tail.substr(blank));
                if (!label.empty() && label.back() == ':' &&
                    label.find_first_of(" \t;") == std::string_view::npos) {
                    while (!label.empty() && label.back() == ':')
                        label.remove_suffix(1);
                    if (!label.empty()) (*labels)[std::string(label)] = {area, address};
                }
            }
        }
        if (!problem.empty() || !code) continue;
        for (size_t at = BytesAt; at + 2 <= BytesEnd && at + 2 <= line.size(); at += 3) {
            uint32_t byte = 0;
            if (!parseHex(line.substr(at, 2), &byte)) break;
            const uint32_t where = address + uint32_t((at - BytesAt) / 3);
            if (where > 0xFFFF) break;
            if (code[where] != byte) {
                char text[160];
                std::snprintf(text, sizeof text,
                              "listing line %d puts 0x%02X at 0x%04X, but code memory holds 0x%02X",
                              lineNumber, unsigned(byte), unsigned(where), unsigned(code[where]));
                problem = text;
                break;
            }
        }
    }
    return problem;
}

namespace {

std::string folderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

bool isFile(const std::string& path, struct stat* status) {
    return ::stat(path.c_str(), status) == 0 && S_ISREG(status->st_mode);
}

constexpr size_t MaxDebugFile = 16 * 1024 * 1024;
constexpr long MtimeSlackSeconds = 2;

} // namespace

DebugLoad LoadDebugFiles(const std::string& firmwarePath, const std::string& searchFolder,
                         const uint8_t* code) {
    DebugLoad load;
    const size_t dot = firmwarePath.find_last_of('.');
    const size_t slash = firmwarePath.find_last_of('/');
    const std::string base =
        (dot != std::string::npos && (slash == std::string::npos || dot > slash))
            ? firmwarePath.substr(0, dot)
            : firmwarePath;
    std::vector<std::string> reasons;
    auto reason = [&](const std::string& text) { reasons.push_back(text); };
    auto finish = [&]() {
        std::string joined;
        for (const std::string& text : reasons) {
            if (!joined.empty()) joined += "; ";
            joined += text;
        }
        load.reason = joined;
        return std::move(load);
    };

    load.cdbPath = base + ".cdb";
    const std::string cdbName = baseName(load.cdbPath);
    struct stat cdbStatus = {}, firmwareStatus = {};
    if (!isFile(load.cdbPath, &cdbStatus)) {
        reason("no debug information (" + cdbName + ") beside the firmware");
        return finish();
    }
    std::string text, error;
    if (!ReadSmallFile(load.cdbPath, MaxDebugFile, &text, &error)) {
        reason(cdbName + " cannot be read: " + error);
        return finish();
    }
    DebugInfo info = DebugInfo::ParseCdb(text, &error);
    if (!error.empty()) {
        reason(cdbName + " is damaged (" + error + ")");
        return finish();
    }
    if (info.Lines().empty()) {
        reason(cdbName + " has no line records (compiled without --debug?)");
        return finish();
    }
    // Files checked out together may differ by a moment; a rebuild without --debug comes later.
    if (isFile(firmwarePath, &firmwareStatus) &&
        cdbStatus.st_mtim.tv_sec + MtimeSlackSeconds < firmwareStatus.st_mtim.tv_sec) {
        reason(cdbName + " is older than the firmware: rebuild it with --debug");
        return finish();
    }
    // Lines must point at code that exists.
    for (const LineEntry& entry : info.Lines())
        if (code && entry.address >= Core::CodeSize) {
            reason(cdbName + " names code beyond 64 KB");
            return finish();
        }

    // The listing: its bytes against code memory, and the labels the .cdb leaves out.
    std::map<std::string, std::pair<std::string, uint32_t>> labels;
    for (const char* ext : {".rst", ".lst"}) {
        const std::string path = base + ext;
        struct stat status = {};
        if (!isFile(path, &status)) continue;
        std::string listing;
        if (!ReadSmallFile(path, MaxDebugFile, &listing, &error)) {
            reason(baseName(path) + " cannot be read: " + error);
            return finish();
        }
        load.listingPath = path;
        // Only the relocated listing holds final addresses; the .lst gives no check.
        const std::string problem =
            CheckListing(listing, std::string(ext) == ".rst" ? code : nullptr, &labels);
        if (!problem.empty()) {
            reason(baseName(path) + " does not match the firmware (" + problem + ")");
            return finish();
        }
        break;
    }
    info.LocateFromLabels(labels);
    for (const auto& [name, where] : labels)
        if (where.first != "BSEG" && where.first != "DSEG" && where.first != "XSEG" &&
            where.first != "ISEG" && where.first != "OSEG" && where.first != "BIT_BANK" &&
            where.first != "SSEG" && where.first != "XISEG" && where.first != "PSEG" &&
            where.second <= 0xFFFF && name.find('$') == std::string::npos)
            info.AddCodeLabel(uint16_t(where.second), name);

    // The map: global code labels, and where the stack starts.
    load.mapPath = base + ".map";
    std::string map;
    struct stat mapStatus = {};
    if (isFile(load.mapPath, &mapStatus) &&
        ReadSmallFile(load.mapPath, MaxDebugFile, &map, &error)) {
        size_t from = 0;
        while (from < map.size()) {
            size_t end = map.find('\n', from);
            if (end == std::string::npos) end = map.size();
            const std::string_view line = trim(std::string_view(map).substr(from, end - from));
            from = end + 1;
            const auto fields = [&] {
                std::vector<std::string_view> parts;
                for (std::string_view part : split(line, ' '))
                    if (!trim(part).empty()) parts.push_back(trim(part));
                return parts;
            }();
            uint32_t address = 0;
            if (fields.size() >= 3 && fields[0] == "C:" && parseHex(fields[1], &address) &&
                address <= 0xFFFF && fields[2].rfind("l_", 0) != 0 &&
                fields[2].rfind("s_", 0) != 0 && fields[2].find('$') == std::string_view::npos)
                info.AddCodeLabel(uint16_t(address), std::string(fields[2]));
            if (fields.size() >= 2 && fields[1] == "__start__stack" &&
                parseHex(fields[0], &address) && address <= 0xFF)
                info.SetStackStart(int(address));
        }
    } else {
        load.mapPath.clear();
    }

    load.lines = true;
    // Sources: beside the .cdb, then in the search folder; by the name written, then its base
    // name (the compiler writes the path it was given).
    const std::string cdbFolder = folderOf(load.cdbPath);
    load.sources = true;
    for (const std::string& file : info.Files()) {
        std::vector<std::string> candidates;
        if (!file.empty() && file[0] == '/') candidates.push_back(file);
        candidates.push_back(cdbFolder + "/" + file);
        candidates.push_back(cdbFolder + "/" + baseName(file));
        if (!searchFolder.empty()) {
            candidates.push_back(searchFolder + "/" + file);
            candidates.push_back(searchFolder + "/" + baseName(file));
        }
        std::string found;
        for (const std::string& candidate : candidates) {
            struct stat status = {};
            if (isFile(candidate, &status)) {
                found = candidate;
                break;
            }
        }
        if (found.empty()) {
            load.sources = false;
            reason("the source file " + baseName(file) +
                   " was not found beside the debug information" +
                   (searchFolder.empty() ? std::string() : " or in " + searchFolder));
        }
        load.sourcePaths.push_back(found);
    }
    load.info = std::move(info);
    return finish();
}

} // namespace mcs51
