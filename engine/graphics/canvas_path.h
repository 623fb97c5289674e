#pragma once
// A device-space path as the raster canvas builds it. Non-finite coordinates never enter it:
// a segment with a NaN or infinite point is dropped, and a subpath whose start point is not
// finite is dropped until the next usable MoveTo.
#include <cstddef>
#include <vector>

#include "engine/graphics/matrix.h"

namespace kestrel {

enum class TPathOpKind : unsigned char { Move, Line, Curve, Close };

struct TPathOp {
  TPathOpKind kind = TPathOpKind::Move;
  TPDFPoint p[3];  // Move and Line use p[0]; Curve uses all three (p[2] is the end)
};

struct TPathBounds {
  double minX = 0, minY = 0, maxX = 0, maxY = 0;
  bool empty = true;
};

class TCanvasPath {
 public:
  void Clear();
  void MoveTo(TPDFPoint p);
  // `from` is the caller's current point. A segment without a figure to extend starts one at
  // `from`; when `from` is not finite the segment is dropped and a figure starts at its end.
  void LineTo(TPDFPoint from, TPDFPoint to);
  void CurveTo(TPDFPoint from, TPDFPoint c1, TPDFPoint c2, TPDFPoint to);
  void ClosePath();

  const std::vector<TPathOp>& Ops() const { return m_ops; }
  bool Empty() const { return m_ops.empty(); }
  // Points as a figure-based path library counts them: a segment adds its points and the
  // figure's first segment also its start point; moves and closes add none.
  std::size_t PointCount() const { return m_pointCount; }
  // Bounds of every point, control points included.
  const TPathBounds& Bounds() const { return m_bounds; }
  // Start of the figure that segments extend (or were last extending), if any.
  bool HasFigure() const { return m_figureOpen; }
  TPDFPoint FigureStart() const { return m_figureStart; }
  bool EndsWithLine() const { return !m_ops.empty() && m_ops.back().kind == TPathOpKind::Line; }
  // Before painting: a path of one straight segment gets a zero-length segment at its end
  // (`current`), so that a round or square cap shows on a line of no length.
  void AddEndSegmentToSingleLine(TPDFPoint current) {
    if (PointCount() == 2 && EndsWithLine()) LineTo(current, current);
  }

 private:
  void Grow(TPDFPoint p);
  void EnsureFigure(TPDFPoint from);

  std::vector<TPathOp> m_ops;
  std::size_t m_pointCount = 0;
  bool m_figureOpen = false;     // a MoveTo started the figure that segments extend
  bool m_figureHasSegment = false;
  TPDFPoint m_figureStart{};
  TPathBounds m_bounds;
};

bool IsFinitePoint(TPDFPoint p);

}  // namespace kestrel
