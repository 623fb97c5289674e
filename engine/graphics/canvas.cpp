#include "engine/graphics/canvas.h"

namespace kestrel {

void TPDFGenericCanvas::FillGlyph(const TGlyphKey& key, const TGlyphOutlineSource& outline) {
  BeginPath();
  SetFillRule(kFillRuleNonZero);
  outline.AddOutline(*this, key.Matrix);
  FillPath();
}

}  // namespace kestrel
