#pragma once
// Glyph names: the built-in encodings of simple fonts, Differences arrays and the Adobe Glyph
// List that turns a glyph name into its Unicode value.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kestrel {

class TPDFArray;

// The glyph name of every one-byte code.
using TPDFCharsetNames = std::array<std::string, 256>;

enum TPDFBaseEncoding : int {
  kStandardEncoding = 0,
  kMacRomanEncoding = 1,
  kWinAnsiEncoding = 2,
  kPDFDocEncoding = 3,
  kMacExpertEncoding = 4,
};

// The encoding number of an encoding name; -1 for any other name.
int BaseEncodingNumber(std::string_view name);

// Glyph names of a base encoding; codes the encoding leaves out are ".notdef" (WinAnsi fills
// its gaps above 32 with "bullet", as readers do).
TPDFCharsetNames FillBaseEncoding(int encoding);

// Applies a Differences array: numbers set the code, names are stored at it and advance it.
// Resolving references is the caller's business: items that are not numbers or names are
// skipped.
void ApplyDifferences(TPDFCharsetNames& names, const TPDFArray& differences);

// The UTF-16 value of a glyph name in the Adobe Glyph List, 0 when it has none.
std::uint16_t GlyphNameToUnicode(std::string_view name);

// The Latin character set: the row of a glyph name (nullptr when it is not in the set).
struct TLatinGlyph {
  const char* Name;
  std::array<std::int16_t, 4> Codes;  // Standard, MacRoman, WinAnsi, PDFDoc; -1 for none
  std::uint16_t Unicode;
};
const TLatinGlyph* FindLatinGlyph(std::string_view name);

}  // namespace kestrel
