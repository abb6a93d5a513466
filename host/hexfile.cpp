// Intel HEX and raw binary images into the code memory. The whole file is checked before a byte is
// stored, so a bad file leaves the loaded program as it was.

#include "host/mcs51.h"

#include <cctype>
#include <cstdio>

namespace mcs51 {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string lineError(int line, const char* what) {
    char text[160];
    std::snprintf(text, sizeof text, "line %d: %s", line, what);
    return text;
}

// A UTF-8 byte-order mark, which some editors put in front of any text they save.
size_t skipByteOrderMark(std::string_view text) {
    return text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
}

bool isTextByte(uint8_t b) {
    return (b >= 0x20 && b < 0x7F) || b == '\t' || b == '\n' || b == '\v' || b == '\f' || b == '\r';
}

void store(Core& core, uint32_t address, uint8_t byte, LoadResult& result) {
    core.Code()[address] = byte;
    if (result.bytes == 0 || address < result.lowest) result.lowest = uint16_t(address);
    if (result.bytes == 0 || address > result.highest) result.highest = uint16_t(address);
    ++result.bytes;
}

} // namespace

LoadResult LoadIntelHex(Core& core, std::string_view text) {
    struct Chunk {
        uint32_t address;
        std::vector<uint8_t> data;
    };
    std::vector<Chunk> chunks;
    LoadResult result;
    uint32_t base = 0; // from extended segment/linear address records
    int line = 0;
    int nonBlank = 0; // lines with something on them
    bool ended = false;
    size_t pos = skipByteOrderMark(text);
    while (pos < text.size() && !ended) {
        // Lines end with CR LF, a lone LF or a lone CR (older Mac tools).
        const size_t eol = text.find_first_of("\r\n", pos);
        std::string_view raw =
            text.substr(pos, eol == std::string_view::npos ? std::string_view::npos : eol - pos);
        pos = eol == std::string_view::npos ? text.size() : eol + 1;
        if (eol != std::string_view::npos && text[eol] == '\r' && pos < text.size() &&
            text[pos] == '\n')
            ++pos;
        ++line;
        while (!raw.empty() && std::isspace(static_cast<unsigned char>(raw.back())))
            raw.remove_suffix(1);
        while (!raw.empty() && std::isspace(static_cast<unsigned char>(raw.front())))
            raw.remove_prefix(1);
        if (raw.empty()) continue;
        ++nonBlank;
        if (raw[0] != ':') {
            result.error = lineError(line, "not an Intel HEX record (no leading ':')");
            return result;
        }
        raw.remove_prefix(1);
        if (raw.size() < 10 || raw.size() % 2) {
            result.error = lineError(line, "record too short or of odd length");
            return result;
        }
        std::vector<uint8_t> bytes;
        bytes.reserve(raw.size() / 2);
        for (size_t i = 0; i < raw.size(); i += 2) {
            int hi = hexDigit(raw[i]), lo = hexDigit(raw[i + 1]);
            if (hi < 0 || lo < 0) {
                result.error = lineError(line, "not a hexadecimal digit");
                return result;
            }
            bytes.push_back(uint8_t(hi << 4 | lo));
        }
        size_t count = bytes[0];
        if (bytes.size() != count + 5) {
            result.error = lineError(line, "byte count does not match the record length");
            return result;
        }
        uint8_t sum = 0;
        for (uint8_t b : bytes)
            sum = uint8_t(sum + b);
        if (sum != 0) {
            result.error = lineError(line, "checksum mismatch");
            return result;
        }
        uint32_t offset = uint32_t(bytes[1] << 8 | bytes[2]);
        const uint8_t* data = bytes.data() + 4;
        switch (bytes[3]) {
        case 0x00: {
            // 64 bits: a linear base near 4 GB plus the offset must not wrap into the code space.
            const uint64_t address = uint64_t(base) + offset;
            if (address + count > uint64_t(Core::CodeSize)) {
                result.error = lineError(line, "record past the 64 KB code space");
                return result;
            }
            chunks.push_back({uint32_t(address), std::vector<uint8_t>(data, data + count)});
            break;
        }
        case 0x01:
            ended = true;
            break;
        case 0x02:
        case 0x04:
            if (count != 2) {
                result.error = lineError(line, "address record needs two data bytes");
                return result;
            }
            base = bytes[3] == 0x02 ? uint32_t(data[0] << 8 | data[1]) << 4
                                    : uint32_t(data[0] << 8 | data[1]) << 16;
            break;
        case 0x03:
        case 0x05: // start address: the core always starts at 0
            break;
        default:
            result.error = lineError(line, "unknown record type");
            return result;
        }
    }
    if (nonBlank == 0) {
        result.error = "the file is empty";
        return result;
    }
    if (!ended) {
        result.error = lineError(line, "file ends without an end-of-file record");
        return result;
    }
    for (const Chunk& chunk : chunks)
        for (size_t i = 0; i < chunk.data.size(); ++i)
            store(core, chunk.address + uint32_t(i), chunk.data[i], result);
    result.ok = true;
    return result;
}

LoadResult LoadBinary(Core& core, const std::vector<uint8_t>& image) {
    LoadResult result;
    if (image.empty()) {
        result.error = "the file is empty";
        return result;
    }
    if (image.size() > size_t(Core::CodeSize)) {
        result.error = "binary image larger than the 64 KB code space";
        return result;
    }
    for (size_t i = 0; i < image.size(); ++i)
        store(core, uint32_t(i), image[i], result);
    result.ok = true;
    return result;
}

bool IsIntelHexText(std::string_view bytes) {
    size_t end = bytes.size();
    while (end > 0 && bytes[end - 1] == '\x1A') // the end-of-file mark of old DOS tools
        --end;
    bytes = bytes.substr(0, end);
    bytes.remove_prefix(skipByteOrderMark(bytes));
    if (bytes.empty()) return false;
    for (char c : bytes)
        if (!isTextByte(uint8_t(c))) return false;
    return true;
}

LoadResult LoadImage(Core& core, const std::vector<uint8_t>& fileBytes) {
    const std::string_view text(reinterpret_cast<const char*>(fileBytes.data()), fileBytes.size());
    if (IsIntelHexText(text)) return LoadIntelHex(core, text);
    return LoadBinary(core, fileBytes);
}

} // namespace mcs51
