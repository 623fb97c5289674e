#include "engine/fonts/type1/glyph_outline.h"

#include "engine/fonts/font_limits.h"

namespace kestrel {

TGlyphOutline::TGlyphOutline(TPDFGenericShape& shape, const TPDFMatrix& m)
    : m_shape(shape), m_matrix(m), m_identity(m == IdentityMatrix()) {}

TPDFPoint TGlyphOutline::Map(double x, double y) const {
  return m_identity ? TPDFPoint{x, y} : TransformPoint(m_matrix, x, y);
}

bool TGlyphOutline::Full() const { return m_shape.Count() >= limits::kMaxGlyphCommands; }

void TGlyphOutline::StartIfNeeded() {
  if (m_started) return;
  const TPDFPoint p = Map(m_x, m_y);
  m_shape.AddMoveTo(p.x, p.y);
  m_started = true;
}

void TGlyphOutline::MoveTo(double x, double y) {
  ClosePath();
  m_x = x;
  m_y = y;
  m_started = false;  // recorded lazily: a move followed by another move draws nothing
}

void TGlyphOutline::LineTo(double x, double y) {
  if (Full()) return;
  StartIfNeeded();
  const TPDFPoint p = Map(x, y);
  m_shape.AddLineTo(p.x, p.y);
  m_x = x;
  m_y = y;
  m_open = true;
}

void TGlyphOutline::CurveTo(double x1, double y1, double x2, double y2, double x3, double y3) {
  if (Full()) return;
  StartIfNeeded();
  const TPDFPoint p1 = Map(x1, y1), p2 = Map(x2, y2), p3 = Map(x3, y3);
  m_shape.AddCurveTo(p1.x, p1.y, p2.x, p2.y, p3.x, p3.y);
  m_x = x3;
  m_y = y3;
  m_open = true;
}

void TGlyphOutline::ClosePath() {
  if (!m_open) return;
  m_shape.AddClosePath();
  m_open = false;
  m_started = false;
}

}  // namespace kestrel
