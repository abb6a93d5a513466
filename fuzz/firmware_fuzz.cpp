// libFuzzer target: arbitrary bytes loaded as a firmware file, told apart by content as the
// program does (Intel HEX text or a binary image). A load that fails must leave the code memory
// as it was; one that succeeds must store what the file holds and nothing else; HEX text must
// load the same whichever line ends it uses. Anything else aborts so that the fuzzer keeps the
// input.
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/mcs51.h"

namespace {

// Only files the loader is given at all: larger ones are refused before.
constexpr size_t MaxFileSize = 4 * 1024 * 1024;
constexpr size_t CodeSize = size_t(mcs51::Core::CodeSize);

[[noreturn]] void fail(const char* what, const mcs51::LoadResult& result) {
    std::fprintf(stderr, "%s (ok=%d bytes=%d error=\"%s\")\n", what, int(result.ok), result.bytes,
                 result.error.c_str());
    std::abort();
}

// What was in the code memory before: a pattern no load is likely to write by chance.
const std::array<uint8_t, CodeSize>& before() {
    static const auto pattern = [] {
        std::array<uint8_t, CodeSize> bytes;
        for (size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = uint8_t(i * 7 + 3);
        return bytes;
    }();
    return pattern;
}

// Whether the code memory from..to-1 is as it was before.
bool unchanged(const mcs51::Core& core, size_t from, size_t to) {
    return from >= to || std::memcmp(core.Code() + from, before().data() + from, to - from) == 0;
}

mcs51::LoadResult load(mcs51::Core& core, const std::vector<uint8_t>& bytes) {
    std::memcpy(core.Code(), before().data(), before().size());
    return mcs51::LoadImage(core, bytes);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > MaxFileSize) return 0;
    static auto core = std::make_unique<mcs51::Core>();
    static auto other = std::make_unique<mcs51::Core>();
    const std::vector<uint8_t> bytes(data, data + size);
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const bool hex = mcs51::IsIntelHexText(text);
    const mcs51::LoadResult result = load(*core, bytes);

    if (!result.ok) {
        if (result.error.empty()) fail("a failed load without a reason", result);
        if (!unchanged(*core, 0, CodeSize)) fail("a failed load changed the code memory", result);
        if (hex && result.error != "the file is empty" && result.error.rfind("line ", 0) != 0)
            fail("a HEX error without its line", result);
        if (!hex && size > 0 && size <= CodeSize) fail("an image that fits was refused", result);
        return 0;
    }
    if (result.bytes < 0 || (result.bytes > 0 && result.lowest > result.highest))
        fail("an impossible count or range", result);
    if (!hex) {
        // An image lands at address 0, byte for byte; the rest of the memory stays.
        if (size == 0 || size > CodeSize || result.bytes != int(size))
            fail("an image loaded with the wrong size", result);
        if (std::memcmp(core->Code(), data, size) != 0) fail("an image stored wrongly", result);
        if (!unchanged(*core, size, CodeSize)) fail("an image wrote past its end", result);
        return 0;
    }
    // Outside what the records name nothing changes.
    const bool outside = result.bytes == 0
                             ? !unchanged(*core, 0, CodeSize)
                             : !unchanged(*core, 0, result.lowest) ||
                                   !unchanged(*core, size_t(result.highest) + 1, CodeSize);
    if (outside) fail("HEX wrote outside its records", result);

    // The same text with CR LF or CR line ends loads the same.
    if (text.find('\r') == std::string_view::npos) {
        for (const char* lineEnd : {"\r\n", "\r"}) {
            std::vector<uint8_t> converted;
            converted.reserve(bytes.size() * 2);
            for (uint8_t b : bytes) {
                if (b == '\n')
                    converted.insert(converted.end(), lineEnd, lineEnd + std::strlen(lineEnd));
                else
                    converted.push_back(b);
            }
            const mcs51::LoadResult again = load(*other, converted);
            if (!again.ok || again.bytes != result.bytes || again.lowest != result.lowest ||
                again.highest != result.highest ||
                std::memcmp(core->Code(), other->Code(), CodeSize) != 0)
                fail("HEX loads differently with other line ends", again);
        }
    }
    return 0;
}
