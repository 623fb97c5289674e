#pragma once
// The 14 standard fonts: the names they go by, their metrics and widths, and the built-in
// encodings of Symbol and ZapfDingbats.
#include <array>
#include <span>
#include <string>
#include <string_view>

namespace kestrel {

// Rows of the standard-font table, 1-14.
enum TStandardFont : int {
  kStandardNone = 0,
  kCourier = 1,         // 1-4 Courier: regular, bold, bold-oblique, oblique
  kHelvetica = 5,       // 5-8 Helvetica: regular, bold, bold-oblique, oblique
  kTimesRoman = 9,      // 9-12 Times: roman, bold, italic, bold-italic
  kSymbol = 13,
  kZapfDingbats = 14,
};

struct TStandardFontMetrics {
  double BBox[4];  // llx lly urx ury, thousandths of an em
  double Ascent;
  double Descent;
};

// The row whose alias list names `name` exactly (the last such row); 0 for none. An empty name
// matches row 14, as the alias lists are searched as one string.
int StandardFontIndex(std::string_view name);

// The name a row's font is substituted by ("Arial,Bold"); empty outside 1-14.
std::string_view StandardFontSubstitute(int index);

// Metrics of rows 1-14; row 5 (Helvetica) for any other index.
const TStandardFontMetrics& StandardFontMetrics(int index);

// Advance width of a glyph of a standard font, in thousandths of an em; -1 when the font has no
// glyph of that name or the index is not 1-14.
int StandardGlyphWidth(int index, std::string_view glyph);

// Fills the widths of a record from the glyph name of each code: a name without a width gets
// 750. For Symbol and ZapfDingbats a name the font does not know falls back to the glyph its
// built-in encoding puts at that code (names that came from a Latin base encoding). Other
// indexes leave the widths alone.
void StandardFontWidths(int index, std::span<const std::string, 256> names,
                        std::span<double, 256> widths);

// The built-in encoding of Symbol (13) or ZapfDingbats (14): ".notdef" where it has no glyph.
// Any other index gives all ".notdef".
std::array<std::string, 256> StandardFontBuiltInEncoding(int index);

}  // namespace kestrel
