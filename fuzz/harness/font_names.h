#pragma once
// Font names as documents give them: a descriptor-flags byte, then the font name and glyph
// names separated by line feeds. The name goes through the substitution rules and the
// standard-font tables, the glyph names through the installed font that stands in.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/fonts/standard/builtin_fonts.h"
#include "engine/fonts/standard/standard_fonts.h"
#include "engine/fonts/system/system_font_choice.h"
#include "engine/fonts/system/system_font_rasterizer.h"
#include "support/recording_canvas.h"

namespace fuzzharness {

inline void FontNames(const uint8_t* data, size_t size) {
  using namespace kestrel;
  if (size == 0) return;
  const int flags = data[0];
  std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  std::vector<std::string_view> parts;
  for (std::size_t at = 0; at <= text.size() && parts.size() < 64;) {
    const std::size_t end = std::min(text.find('\n', at), text.size());
    parts.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  static const std::vector<std::string> families = {"Arial", "Courier New", "Symbol",
                                                    "Times New Roman", "Verdana"};
  const TSystemFont chosen = ChooseSystemFont(parts[0], flags, families);
  if (chosen.Family.empty()) __builtin_trap();
  const int row = StandardFontIndex(parts[0]);
  if (row < 0 || row > 14) __builtin_trap();
  std::array<std::string, 256> names;
  names.fill(".notdef");
  for (std::size_t i = 1; i < parts.size(); ++i) names[i] = parts[i];
  std::array<double, 256> widths{};
  StandardFontWidths(row, names, widths);
  // Glyph names through a real font: the built-in dingbats font needs no installed fonts.
  TPDFSystemFontRasterizer dingbats(DingbatsFontAsSystemFont());
  dingbats.Symbolic = (flags & kFlagSymbolic) != 0;
  TRecordingCanvas canvas(false, 10000);
  for (std::size_t i = 1; i < parts.size(); ++i) {
    dingbats.AdvanceWidthOfName(parts[i]);
    dingbats.DrawGlyph(canvas, TPDFMatrix{}, 0, 0, parts[i]);
  }
}

}  // namespace fuzzharness
