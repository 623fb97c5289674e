#include "engine/fonts/system/system_font_rasterizer.h"

#include <charconv>

#include "engine/fonts/cmap/cmap_predefined.h"
#include "engine/fonts/glyph_names.h"
#include "engine/fonts/system/glyph_unicode.h"

namespace kestrel {
namespace {

// The number after a four-character prefix ("GID:", "CID:"); -1 when there is none.
long NumberAfter(std::string_view name, std::string_view prefix) {
  if (name.size() <= 4 || name.substr(0, 4) != prefix) return -1;
  long n = 0;
  const char* end = name.data() + name.size();
  if (std::from_chars(name.data() + 4, end, n).ptr != end || n < 0) return -1;
  return n;
}

}  // namespace

TPDFSystemFontRasterizer::TPDFSystemFontRasterizer(std::shared_ptr<const TSystemFontData> data)
    : face_(std::move(data)) {}

unsigned TPDFSystemFontRasterizer::GlyphIndexOfName(std::string_view name) const {
  if (long cid = NumberAfter(name, "GID:"); cid > 0 && !Collection.empty()) {
    const std::u16string text = PredefinedUnicode(Collection, static_cast<std::uint32_t>(cid));
    if (text.empty()) return 0;
    std::uint32_t unicode = text[0];
    if (unicode >= 0xD800 && unicode < 0xDC00 && text.size() > 1)
      unicode = 0x10000 + ((unicode - 0xD800) << 10) + (text[1] - 0xDC00);
    return face_.GlyphOfUnicode(unicode);
  }
  if (long gid = NumberAfter(name, "GID:"); gid >= 0)
    return gid < static_cast<long>(face_.GlyphCount()) ? static_cast<unsigned>(gid) : 0;
  if (Symbolic) {
    if (long code = NumberAfter(name, "CID:"); code >= 0 && code < 256) {
      const auto c = static_cast<std::uint32_t>(code);
      unsigned g = face_.GlyphOfCmapCode(3, 0, 0xF000 + c);
      if (g == 0) g = face_.GlyphOfCmapCode(3, 0, c);
      if (g == 0) g = face_.GlyphOfCmapCode(1, 0, c);
      if (g == 0) g = face_.GlyphOfCmapCode(3, 1, c);
      if (g != 0) return g;
    }
  }
  if (unsigned g = face_.GlyphOfName(name); g != 0) return g;
  std::uint32_t unicode = GlyphNameToUnicode(name);
  if (unicode == 0) unicode = GlyphNameUnicode(name);
  return face_.GlyphOfUnicode(unicode);
}

double TPDFSystemFontRasterizer::AdvanceWidthOfName(std::string_view name) const {
  const unsigned glyph = GlyphIndexOfName(name);
  if (glyph == 0) return -1;
  return face_.AdvanceWidth(glyph);
}

// The installed font's bytes are shared by the whole process and not counted here.
std::size_t TPDFSystemFontRasterizer::MemorySize() const {
  std::size_t bytes = 0;
  for (const auto& [name, shape] : glyphCache_)
    bytes += name.size() + sizeof(TPDFGenericShape) + shape->Capacity() * sizeof(TShapeCommand);
  return bytes;
}

bool TPDFSystemFontRasterizer::DrawGlyph(TPDFGenericCanvas& canvas, const TPDFMatrix& matrix,
                                         double x, double y, std::string_view name) {
  if (!HasGlyphs()) return false;
  auto [it, added] = glyphCache_.try_emplace(std::string(name));
  if (added) {
    it->second = std::make_unique<TPDFGenericShape>();
    TFontCurveCollection curves;
    face_.Outline(GlyphIndexOfName(name), curves);
    curves.AppendTo(*it->second);
  }
  TPDFMatrix m;
  MatrixMultiply(m, TPDFMatrix{1, 0, 0, 1, x, y}, matrix);
  ReplayShape(canvas, *it->second, m);
  return true;
}

}  // namespace kestrel
