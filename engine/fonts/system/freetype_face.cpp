#include "engine/fonts/system/freetype_face.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <string>

namespace kestrel {
namespace {

struct TDecomposeState {
  TFontCurveCollection* Curves;
  double Scale;
  TFontPoint Current;
};

TFontPoint Scaled(const FT_Vector* v, double scale) {
  return {static_cast<double>(v->x) * scale, static_cast<double>(v->y) * scale};
}

int MoveTo(const FT_Vector* to, void* user) {
  auto* s = static_cast<TDecomposeState*>(user);
  s->Current = Scaled(to, s->Scale);
  s->Curves->StartPoints.push_back(s->Current);
  s->Curves->Parts.emplace_back();
  return 0;
}

int LineTo(const FT_Vector* to, void* user) {
  auto* s = static_cast<TDecomposeState*>(user);
  if (s->Curves->Parts.empty()) return 1;
  s->Current = Scaled(to, s->Scale);
  s->Curves->Parts.back().push_back(TFontLine{s->Current.X, s->Current.Y});
  return 0;
}

// A quadratic piece becomes the cubic with control points (2q + start) / 3 and (2q + end) / 3.
int ConicTo(const FT_Vector* control, const FT_Vector* to, void* user) {
  auto* s = static_cast<TDecomposeState*>(user);
  if (s->Curves->Parts.empty()) return 1;
  const TFontPoint q = Scaled(control, s->Scale), end = Scaled(to, s->Scale);
  s->Curves->Parts.back().push_back(TFontSpline{(2 * q.X + s->Current.X) / 3,
                                                (2 * q.Y + s->Current.Y) / 3,
                                                (2 * q.X + end.X) / 3, (2 * q.Y + end.Y) / 3,
                                                end.X, end.Y});
  s->Current = end;
  return 0;
}

int CubicTo(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
  auto* s = static_cast<TDecomposeState*>(user);
  if (s->Curves->Parts.empty()) return 1;
  const TFontPoint a = Scaled(c1, s->Scale), b = Scaled(c2, s->Scale), end = Scaled(to, s->Scale);
  s->Curves->Parts.back().push_back(TFontSpline{a.X, a.Y, b.X, b.Y, end.X, end.Y});
  s->Current = end;
  return 0;
}

constexpr FT_Int32 kLoadFlags = FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP;

}  // namespace

TFreeTypeFace::TFreeTypeFace(std::shared_ptr<const TSystemFontData> data) : data_(std::move(data)) {
  if (!data_ || data_->File.empty()) return;
  if (FT_Init_FreeType(&library_) != 0) {
    library_ = nullptr;
    return;
  }
  if (FT_New_Memory_Face(library_, data_->File.data(), static_cast<FT_Long>(data_->File.size()),
                         data_->FaceIndex, &face_) != 0 ||
      !FT_IS_SCALABLE(face_) || face_->units_per_EM == 0) {
    if (face_) FT_Done_Face(face_);
    face_ = nullptr;
    return;
  }
  scale_ = 1000.0 / face_->units_per_EM;
}

TFreeTypeFace::~TFreeTypeFace() {
  if (face_) FT_Done_Face(face_);
  if (library_) FT_Done_FreeType(library_);
}

unsigned TFreeTypeFace::GlyphCount() const {
  return face_ ? static_cast<unsigned>(face_->num_glyphs) : 0;
}

bool TFreeTypeFace::HasGlyphNames() const { return face_ && FT_HAS_GLYPH_NAMES(face_); }

unsigned TFreeTypeFace::GlyphOfName(std::string_view name) const {
  if (!HasGlyphNames() || name.empty()) return 0;
  const std::string zeroTerminated(name);
  return FT_Get_Name_Index(face_, zeroTerminated.c_str());
}

unsigned TFreeTypeFace::GlyphOfUnicode(std::uint32_t unicode) const {
  if (!face_ || unicode == 0 || FT_Select_Charmap(face_, FT_ENCODING_UNICODE) != 0) return 0;
  return FT_Get_Char_Index(face_, unicode);
}

unsigned TFreeTypeFace::GlyphOfCmapCode(int platform, int encoding, std::uint32_t code) const {
  if (!face_) return 0;
  for (int i = 0; i < face_->num_charmaps; ++i) {
    FT_CharMap map = face_->charmaps[i];
    if (map->platform_id != platform || map->encoding_id != encoding) continue;
    if (FT_Set_Charmap(face_, map) != 0) return 0;
    return FT_Get_Char_Index(face_, code);
  }
  return 0;
}

double TFreeTypeFace::AdvanceWidth(unsigned glyph) const {
  if (!face_ || glyph >= GlyphCount() || FT_Load_Glyph(face_, glyph, kLoadFlags) != 0) return 0;
  return static_cast<double>(face_->glyph->metrics.horiAdvance) * scale_;
}

bool TFreeTypeFace::Outline(unsigned glyph, TFontCurveCollection& curves) const {
  if (!face_ || glyph >= GlyphCount() || FT_Load_Glyph(face_, glyph, kLoadFlags) != 0) return false;
  if (face_->glyph->format != FT_GLYPH_FORMAT_OUTLINE) return false;
  FT_Outline_Funcs funcs{};
  funcs.move_to = MoveTo;
  funcs.line_to = LineTo;
  funcs.conic_to = ConicTo;
  funcs.cubic_to = CubicTo;
  TDecomposeState state{&curves, scale_, {}};
  return FT_Outline_Decompose(&face_->glyph->outline, &funcs, &state) == 0;
}

}  // namespace kestrel
