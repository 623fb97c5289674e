#pragma once
// Shapes the canvas tests draw: a circle of four Béziers and an axis-aligned box.
#include "engine/graphics/canvas.h"

namespace kestrel::testing {

inline void Circle(TPDFGenericCanvas& c, double cx, double cy, double r) {
  const double k = 0.5522847498 * r;
  c.MoveTo(cx + r, cy);
  c.CurveTo(cx + r, cy + k, cx + k, cy + r, cx, cy + r);
  c.CurveTo(cx - k, cy + r, cx - r, cy + k, cx - r, cy);
  c.CurveTo(cx - r, cy - k, cx - k, cy - r, cx, cy - r);
  c.CurveTo(cx + k, cy - r, cx + r, cy - k, cx + r, cy);
  c.ClosePath();
}

inline void Box(TPDFGenericCanvas& c, double x, double y, double w, double h) {
  c.MoveTo(x, y);
  c.LineTo(x + w, y);
  c.LineTo(x + w, y + h);
  c.LineTo(x, y + h);
  c.ClosePath();
}

}  // namespace kestrel::testing
