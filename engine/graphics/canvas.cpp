#include "engine/graphics/canvas.h"

#include <iterator>

namespace kestrel {

void TPDFGenericCanvas::FillGlyph(const TGlyphKey& key, const TGlyphOutlineSource& outline) {
  BeginPath();
  SetFillRule(kFillRuleNonZero);
  outline.AddOutline(*this, key.Matrix);
  FillPath();
}

TBlendMode BlendModeFrom(std::string_view name) {
  static constexpr std::string_view kNames[] = {
      "Normal",     "Multiply",  "Screen",     "Overlay",   "Darken", "Lighten",
      "ColorDodge", "ColorBurn", "HardLight",  "SoftLight", "Difference",
      "Exclusion",  "Hue",       "Saturation", "Color",     "Luminosity"};
  for (std::size_t i = 0; i < std::size(kNames); ++i)
    if (kNames[i] == name) return static_cast<TBlendMode>(i);
  return TBlendMode::Normal;
}

}  // namespace kestrel
