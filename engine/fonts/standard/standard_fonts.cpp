#include "engine/fonts/standard/standard_fonts.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kestrel {
namespace {

#include "engine/fonts/standard/standard_font_data.inc"

struct TStandardRow {
  const char* Aliases;  // each name followed by '*', searched as one string
  const char* Substitute;
  TStandardFontMetrics Metrics;
};

// clang-format off
const TStandardRow kRows[14] = {
  {"Courier*CourierNew*CourierNewPSMT*CourierNewPS*", "CourierNew",
   {{-28, -250, 628, 805}, 629, -157}},
  {"Courier-Bold*Courier,Bold*CourierNew-Bold*CourierNew,Bold*CourierNewPS,BoldMT*"
   "CourierNewPS,Bold*CourierNewPS,BoldMT,Bold*", "CourierNew,Bold",
   {{-113, -250, 749, 801}, 626, -142}},
  {"Courier-BoldOblique*Courier,BoldItalic*CourierNew-BoldItalic*CourierNew,BoldItalic*"
   "CourierNewPS-BoldItalicMT*", "CourierNew,BoldItalic",
   {{-56, -250, 868, 801}, 626, -142}},
  {"Courier-Oblique*Courier,Italic*CourierNew-Italic*CourierNew,Italic*CourierNewPS-ItalicMT*"
   "CourierNewPS,ItalicMT,Italic*", "CourierNew,Italic",
   {{-28, -250, 742, 805}, 629, -157}},
  {"Helvetica*Arial*ArialMT*HelveticaNeue-Roman*HelveticaNeue-UltraLight*Arial,BoldMT,Bold*",
   "Arial", {{-166, -225, 1000, 931}, 718, -207}},
  {"Helvetica-Bold*Helvetica,Bold*Arial-Bold*Arial,Bold*Arial-BoldMT*HelveticaNeue,Bold*",
   "Arial,Bold", {{-170, -228, 1003, 962}, 718, -207}},
  {"Helvetica-BoldOblique*Helvetica-BoldItalic*Helvetica,BoldItalic*Arial-BoldItalic*"
   "Arial,BoldItalic*Arial-BoldItalicMT*", "Arial,BoldItalic",
   {{-174, -228, 1114, 962}, 718, -207}},
  {"Helvetica-Oblique*Helvetica-Italic*Helvetica,Italic*Arial-Italic*Arial,Italic*"
   "Arial-ItalicMT*", "Arial,Italic", {{-170, -225, 1116, 931}, 718, -207}},
  {"Times-Roman*TimesNewRoman*TimesNewRomanPS*TimesNewRomanPSMT*", "TimesNewRoman",
   {{-168, -218, 1000, 898}, 683, -217}},
  {"Times-Bold*TimesNewRoman-Bold*TimesNewRoman,Bold*TimesNewRomanPS-Bold*"
   "TimesNewRomanPS-BoldMT*TimesNewRomanPS,Bold*TimesNewRomanPS,BoldMT*", "TimesNewRoman,Bold",
   {{-168, -218, 1000, 935}, 676, -205}},
  {"Times-Italic*TimesNewRoman-Italic*TimesNewRoman,Italic*TimesNewRomanPS-Italic*"
   "TimesNewRomanPS-ItalicMT*", "TimesNewRoman,Italic", {{-169, -217, 1010, 883}, 683, -205}},
  {"Times-BoldItalic*TimesNewRoman-BoldItalic*TimesNewRoman,BoldItalic*"
   "TimesNewRomanPS-BoldItalic*TimesNewRomanPS-BoldItalicMT*", "TimesNewRoman,BoldItalic",
   {{-200, -218, 996, 921}, 699, -205}},
  {"Symbol*", "Symbol", {{-180, -293, 1090, 1010}, 699, -205}},
  {"ZapfDingbats*", "ZapfDingbats", {{-180, -293, 1090, 1010}, 699, -205}},
};
// clang-format on

bool NameLess(const char* a, std::string_view b) {
  return std::string_view(a) < b;  // byte order, as the generator sorts
}

// Index of `glyph` in a sorted name table, or -1.
int FindName(const char* const* names, std::size_t count, std::string_view glyph) {
  const char* const* end = names + count;
  const char* const* it = std::lower_bound(names, end, glyph, NameLess);
  if (it == end || std::string_view(*it) != glyph) return -1;
  return static_cast<int>(it - names);
}

const char* BuiltInName(int index, int code) {
  const std::uint16_t slot = index == kSymbol ? kSymbolEncoding[code] : kDingbatsEncoding[code];
  if (slot == 0xFFFF) return nullptr;
  return index == kSymbol ? kSymbolNames[slot] : kDingbatsNames[slot];
}

}  // namespace

int StandardFontIndex(std::string_view name) {
  std::string key(name);
  key += '*';
  for (int row = 14; row >= 1; --row) {
    if (std::string_view(kRows[row - 1].Aliases).find(key) != std::string_view::npos) return row;
  }
  return 0;
}

std::string_view StandardFontSubstitute(int index) {
  if (index < 1 || index > 14) return {};
  return kRows[index - 1].Substitute;
}

const TStandardFontMetrics& StandardFontMetrics(int index) {
  if (index < 1 || index > 14) index = kHelvetica;
  return kRows[index - 1].Metrics;
}

int StandardGlyphWidth(int index, std::string_view glyph) {
  if (index >= 1 && index <= 12) {
    const int at = FindName(kLatinNames, kLatinNameCount, glyph);
    if (at < 0 || kLatinWidths[index - 1][at] == 0) return -1;
    return kLatinWidths[index - 1][at];
  }
  if (index == kSymbol) {
    const int at = FindName(kSymbolNames, kSymbolNameCount, glyph);
    return at < 0 ? -1 : kSymbolWidths[at];
  }
  if (index == kZapfDingbats) {
    const int at = FindName(kDingbatsNames, kDingbatsNameCount, glyph);
    return at < 0 ? -1 : kDingbatsWidths[at];
  }
  return -1;
}

void StandardFontWidths(int index, std::span<const std::string, 256> names,
                        std::span<double, 256> widths) {
  if (index < 1 || index > 14) return;
  for (int code = 0; code < 256; ++code) {
    int width = StandardGlyphWidth(index, names[code]);
    if (width < 0 && index >= kSymbol) {
      if (const char* builtIn = BuiltInName(index, code)) width = StandardGlyphWidth(index, builtIn);
    }
    widths[code] = width < 0 ? 750 : width;
  }
}

std::array<std::string, 256> StandardFontBuiltInEncoding(int index) {
  std::array<std::string, 256> names;
  for (int code = 0; code < 256; ++code) {
    const char* name = index == kSymbol || index == kZapfDingbats ? BuiltInName(index, code)
                                                                   : nullptr;
    names[code] = name ? name : ".notdef";
  }
  return names;
}

}  // namespace kestrel
