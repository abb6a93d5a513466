// libFuzzer target: arbitrary bytes read as a debug file (and, after a line "====", as a relocated
// listing). Whatever they hold, the reader either refuses them with a line number and keeps
// nothing, or gives a table the debugger can use: lines sorted by address, each line's address
// resolving back to a line, every symbol's value formatted and written without touching memory
// outside 64 KB. Anything else aborts so that the fuzzer keeps the input.
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "host/debugger.h"
#include "host/debuginfo.h"
#include "host/mcs51.h"

namespace {

[[noreturn]] void fail(const char* what, const std::string& detail = {}) {
    std::fprintf(stderr, "%s %s\n", what, detail.c_str());
    std::abort();
}

constexpr size_t MaxFileSize = 1024 * 1024;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > MaxFileSize) return 0;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string_view listing;
    if (const size_t split = text.find("\n====\n"); split != std::string_view::npos) {
        listing = text.substr(split + 6);
        text = text.substr(0, split);
    }
    static auto core = std::make_unique<mcs51::Core>();

    std::string error;
    const mcs51::DebugInfo info = mcs51::DebugInfo::ParseCdb(text, &error);
    if (!error.empty()) {
        if (error.rfind("line ", 0) != 0) fail("an error without its line:", error);
        if (!info.Empty()) fail("a refused file left symbols or lines");
        return 0;
    }
    const auto& lines = info.Lines();
    for (size_t i = 1; i < lines.size(); ++i)
        if (lines[i - 1].address > lines[i].address) fail("lines out of order");
    // Resolving is linear in the table: a sample of lines keeps each run short.
    constexpr size_t Checked = 256;
    for (size_t i = 0; i < lines.size(); i += 1 + lines.size() / Checked) {
        const mcs51::LineEntry& entry = lines[i];
        if (entry.file < 0 || size_t(entry.file) >= info.Files().size()) fail("a line's file");
        if (!info.IsLineStart(entry.address)) fail("a line's address is no line start");
        const mcs51::LineResolution found =
            info.ResolveLine(info.Files()[size_t(entry.file)], entry.line);
        if (!found.ok || found.line != entry.line) fail("a line with code did not resolve");
        info.LineAt(entry.address);
    }
    for (const mcs51::Function& function : info.Functions())
        if (function.hasEnd && function.end < function.start)
            fail("a function ends before it starts");
    for (const mcs51::Symbol& symbol : info.Symbols()) {
        symbol.type.Name();
        std::string why;
        const auto where = info.Resolve(symbol.QualifiedName(), -1, core.get(), &why);
        if (!where) continue;
        mcs51::FormatValue(*core, *where, &info);
        mcs51::WriteValue(*core, *where, "1");
    }
    info.Variables(0);

    mcs51::Debugger debugger;
    debugger.SetDebugInfo(&info);
    for (const mcs51::LineEntry& entry : lines) {
        debugger.AddLineBreakpoint(info.Files()[size_t(entry.file)], entry.line);
        if (debugger.Breakpoints().size() > 64) break;
    }
    mcs51::ReadCallStack(*core, &info);

    std::map<std::string, std::pair<std::string, uint32_t>> labels;
    mcs51::CheckListing(listing, core->Code(), &labels);
    return 0;
}
