#pragma once

#include <QtGlobal>
#include <array>

// The 5 x 8 character generator of the character modules: one byte per row, row 0 at the top,
// bit 4 the leftmost dot and bit 0 the rightmost (bits 5..7 are not shown).
namespace LCDFont {

using Glyph = std::array<quint8, 8>;

// Codes 16..255 come from the module's fixed character table; codes 0..15 from its
// character-generator memory (`cgram`, 64 bytes: glyph number code AND 7, eight bytes each).
Glyph CharacterGlyph(int code, const std::array<quint8, 64>& cgram);

// The fixed table: 240 glyphs of 8 bytes for codes 16..255, glyph (code - 16) at byte
// (code - 16) x 8.
const std::array<quint8, 1920>& FixedTable();

} // namespace LCDFont
