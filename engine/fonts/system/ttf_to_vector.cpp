#include "engine/fonts/system/ttf_to_vector.h"

#include <cmath>

namespace kestrel {

void TTTFToVectorConverter::AssignFont(const TSystemFont& font) {
  if (face_ && font == font_) return;
  font_ = font;
  face_ = std::make_unique<TFreeTypeFace>(GetSystemFontData(font));
}

void TTTFToVectorConverter::ConvertGlyph(std::uint32_t code) {
  CharWidth = 0;
  if (!face_ || !face_->Valid()) return;
  const unsigned glyph = face_->GlyphOfUnicode(code);
  if (glyph == 0) return;
  CharWidth = static_cast<int>(std::lround(face_->AdvanceWidth(glyph)));
  face_->Outline(glyph, Curves);
}

}  // namespace kestrel
