#pragma once
// Draws glyphs by name from an installed font through the system outline service. It serves
// installed fonts whose outlines are CFF or Type 1 (the URW base 35 fonts that stand in for
// the standard fonts on Linux) until the engine's own Type 1/CFF decoder reads them.
#include <memory>
#include <string>
#include <unordered_map>

#include "engine/fonts/font_rasterizer.h"
#include "engine/fonts/system/freetype_face.h"
#include "engine/graphics/canvas_shape.h"

namespace kestrel {

class TPDFSystemFontRasterizer : public TPDFFontRasterizer {
 public:
  explicit TPDFSystemFontRasterizer(std::shared_ptr<const TSystemFontData> data);

  bool DrawGlyph(TPDFGenericCanvas& canvas, const TPDFMatrix& matrix, double x, double y,
                 std::string_view name) override;
  std::size_t MemorySize() const override;

  bool HasGlyphs() const { return face_.Valid() && face_.GlyphCount() > 0; }
  // The glyph a name draws: "GID:n", "CID:n" of a symbolic font through its symbol cmaps, the
  // font's own glyph names, then the Unicode value of the name. 0 when none.
  unsigned GlyphIndexOfName(std::string_view name) const;
  // Advance of a glyph in thousandths of an em; -1 when the font has no glyph of that name.
  double AdvanceWidthOfName(std::string_view name) const;

  bool Symbolic = false;
  // For a CID font that is not embedded: its character collection ("Adobe-Japan1-6"); "GID:n"
  // names then carry CIDs, drawn by their Unicode text in the installed font.
  std::string Collection;

 private:
  TFreeTypeFace face_;
  std::unordered_map<std::string, std::unique_ptr<TPDFGenericShape>> glyphCache_;
};

}  // namespace kestrel
