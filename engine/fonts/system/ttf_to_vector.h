#pragma once
// The outline of one character of an installed font, as lines and cubic pieces in thousandths
// of an em, y up from the baseline.
#include <cstdint>
#include <memory>

#include "engine/fonts/system/font_curves.h"
#include "engine/fonts/system/freetype_face.h"
#include "engine/fonts/system/system_font_choice.h"

namespace kestrel {

class TTTFToVectorConverter {
 public:
  TTTFToVectorConverter() = default;
  virtual ~TTTFToVectorConverter() = default;

  // Sets the font; an uninstalled family gets whatever the system picks for it.
  virtual void AssignFont(const TSystemFont& font);

  // Appends the outline of a character (a Unicode value) to `Curves`; `CharWidth` becomes its
  // advance. A character the font lacks adds nothing and leaves the width 0.
  void ConvertGlyph(std::uint32_t code);

  TFontCurveCollection Curves;
  int CharWidth = 0;

 private:
  TSystemFont font_;
  std::unique_ptr<TFreeTypeFace> face_;
};

}  // namespace kestrel
