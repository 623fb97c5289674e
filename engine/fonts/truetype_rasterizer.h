#pragma once
// TPDFTrueTypeRasterizer2: glyphs of a TrueType font (embedded, or an installed font standing
// in for one that is not), found by name through the font's cmap subtables and post names.
// Each outline is built once, in thousandths of an em, and replayed for every later use.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/fonts/font_rasterizer.h"
#include "engine/fonts/truetype_parser.h"
#include "engine/graphics/canvas_shape.h"

namespace kestrel {

// The installed font a rasteriser stands for (filled by the system-font side).
struct TPDFSystemFontRequest {
  std::string Family;
  bool Bold = false;
  bool Italic = false;
  int CharacterSet = 0;
};

class TPDFTrueTypeRasterizer2 : public TPDFFontRasterizer {
 public:
  TPDFTrueTypeParser Parser;
  // Symbolic fonts look glyph names "CID:n" up by the code n in their (3,0), (1,0) and (3,1)
  // subtables.
  bool Symbolic = false;
  TPDFSystemFontRequest SystemFont;
  // An installed font whose outlines are CFF keeps its bytes here for the CFF decoder.
  std::string FontData;
  bool FontDataIsCFF = false;

  bool DrawGlyph(TPDFGenericCanvas& canvas, const TPDFMatrix& matrix, double x, double y,
                 std::string_view name) override;
  std::size_t MemorySize() const override;

  // The glyph index a name draws (0 when no lookup finds one).
  int GlyphIndexOf(std::string_view name);
  // The outline of glyph g, in thousandths of an em.
  void BuildOutline(int glyph, TPDFGenericShape& shape) const;

 private:
  void AddGlyph(int glyph, const TPDFMatrix& m, int depth, std::vector<int>& path,
                TPDFGenericShape& shape) const;
  // Code -> glyph indexes of the subtables, built on first use.
  struct TCmapIndex {
    bool Built = false;
    int Subtable = -1;
    std::unordered_map<std::uint16_t, std::uint16_t> First;  // (3,1): first entry per code
    std::array<std::uint16_t, 256> LastByLowByte{};          // symbolic: last entry per low byte
  };
  const TCmapIndex& Index(int platform, int encoding);

  std::unordered_map<std::string, std::unique_ptr<TPDFGenericShape>> glyphCache_;
  std::size_t cacheBytes_ = 0;
  std::array<TCmapIndex, 4> cmapIndexes_;  // (3,0), (1,0), (3,1), (3,10 unused)
};

}  // namespace kestrel
