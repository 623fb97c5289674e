#pragma once
// Fonts and widths the engine carries for fonts that PDFs name without embedding: the dingbats
// font that draws ZapfDingbats, and the widths of the Japanese font HeiseiKakuGo-W5.
#include <cstdint>
#include <map>
#include <span>

namespace kestrel {

// The dingbats font, a TrueType font whose post table names the glyphs as ZapfDingbats does
// ("a1", "a2", ...) and whose (1,0) cmap lists all 256 ZapfDingbats codes. Empty when the
// built-in data cannot be inflated.
std::span<const std::uint8_t> DingbatsFontData();

// CID -> width of HeiseiKakuGo-W5 for the CIDs whose width is fixed by the character
// collection (the half-width forms); other CIDs take the font's default width.
const std::map<int, int>& HeiseiKakuGoWidths();

}  // namespace kestrel
