#pragma once
// Draws a non-embedded CID font (HeiseiKakuGo-W5) from an installed font by character code:
// the number after "CID:" or "GID:" is asked of the installed font as a character.
#include "engine/fonts/font_rasterizer.h"
#include "engine/fonts/system/system_font_choice.h"
#include "engine/fonts/system/ttf_to_vector.h"

namespace kestrel {

class TPDFSimpleTrueTypeRasterizer : public TPDFFontRasterizer {
 public:
  TPDFSimpleTrueTypeRasterizer() { SystemFont.Family = "MS UI Gothic"; }

  bool DrawGlyph(TPDFGenericCanvas& canvas, const TPDFMatrix& matrix, double x, double y,
                 std::string_view name) override;

  TSystemFont SystemFont;

 private:
  // Kept between glyphs so the installed font is opened once per rasteriser.
  TTTFToVectorConverter converter_;
};

}  // namespace kestrel
