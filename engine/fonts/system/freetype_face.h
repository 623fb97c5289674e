#pragma once
// One installed font opened with FreeType, the stand-in for the system's own outline service:
// glyph lookup by name, character or cmap code, advance widths and outlines, all in
// thousandths of an em. Embedded fonts never come here; the engine parses those itself.
#include <cstdint>
#include <memory>
#include <string_view>

#include "engine/fonts/system/font_curves.h"
#include "engine/fonts/system/system_fonts.h"

struct FT_LibraryRec_;
struct FT_FaceRec_;

namespace kestrel {

class TFreeTypeFace {
 public:
  explicit TFreeTypeFace(std::shared_ptr<const TSystemFontData> data);
  ~TFreeTypeFace();
  TFreeTypeFace(const TFreeTypeFace&) = delete;
  TFreeTypeFace& operator=(const TFreeTypeFace&) = delete;

  bool Valid() const { return face_ != nullptr; }
  unsigned GlyphCount() const;
  bool HasGlyphNames() const;

  // Glyph indexes; 0 when there is none.
  unsigned GlyphOfName(std::string_view name) const;
  unsigned GlyphOfUnicode(std::uint32_t unicode) const;
  // Through the cmap subtable (platform, encoding) only; 0 when the font has no such subtable.
  unsigned GlyphOfCmapCode(int platform, int encoding, std::uint32_t code) const;

  // Advance width of a glyph; 0 for a glyph the font does not have.
  double AdvanceWidth(unsigned glyph) const;
  // Appends the glyph's contours; false when it cannot be loaded.
  bool Outline(unsigned glyph, TFontCurveCollection& curves) const;

 private:
  std::shared_ptr<const TSystemFontData> data_;  // FreeType reads the bytes in place
  FT_LibraryRec_* library_ = nullptr;
  FT_FaceRec_* face_ = nullptr;
  double scale_ = 1;  // font units to thousandths of an em
};

}  // namespace kestrel
