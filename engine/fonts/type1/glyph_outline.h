#pragma once
// Records the outline that a charstring interpreter draws, in absolute glyph coordinates, as
// a TPDFGenericShape. Open subpaths are closed at the next move and at the end, as filling
// closes them anyway and stroked text must look the same.
#include "engine/graphics/canvas_shape.h"
#include "engine/graphics/matrix.h"

namespace kestrel {

class TGlyphOutline {
 public:
  // Points are mapped through `m` before they are recorded.
  TGlyphOutline(TPDFGenericShape& shape, const TPDFMatrix& m);

  void MoveTo(double x, double y);
  void LineTo(double x, double y);
  void CurveTo(double x1, double y1, double x2, double y2, double x3, double y3);
  void ClosePath();
  // Whether the command budget of one glyph is spent; drawing stops there.
  bool Full() const;

 private:
  TPDFPoint Map(double x, double y) const;
  void StartIfNeeded();

  TPDFGenericShape& m_shape;
  TPDFMatrix m_matrix;
  bool m_identity;
  bool m_open = false;     // a subpath has segments not yet closed
  bool m_started = false;  // a MoveTo began the current subpath
  double m_x = 0, m_y = 0; // last point, for a segment without a preceding MoveTo
};

}  // namespace kestrel
