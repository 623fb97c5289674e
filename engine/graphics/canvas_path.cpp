#include "engine/graphics/canvas_path.h"

#include <algorithm>
#include <cmath>

namespace kestrel {

bool IsFinitePoint(TPDFPoint p) { return std::isfinite(p.x) && std::isfinite(p.y); }

void TCanvasPath::Clear() {
  m_ops.clear();
  m_pointCount = 0;
  m_figureOpen = false;
  m_figureHasSegment = false;
  m_bounds = {};
}

void TCanvasPath::Grow(TPDFPoint p) {
  if (m_bounds.empty) {
    m_bounds = {p.x, p.y, p.x, p.y, false};
    return;
  }
  m_bounds.minX = std::min(m_bounds.minX, p.x);
  m_bounds.minY = std::min(m_bounds.minY, p.y);
  m_bounds.maxX = std::max(m_bounds.maxX, p.x);
  m_bounds.maxY = std::max(m_bounds.maxY, p.y);
}

void TCanvasPath::MoveTo(TPDFPoint p) {
  if (!IsFinitePoint(p)) {
    // Segments that follow would start from a point we do not have.
    m_figureOpen = false;
    m_figureHasSegment = false;
    return;
  }
  // Consecutive moves collapse: only the last one starts a figure.
  if (!m_ops.empty() && m_ops.back().kind == TPathOpKind::Move) {
    m_ops.back().p[0] = p;
  } else {
    m_ops.push_back({TPathOpKind::Move, {p}});
  }
  Grow(p);
  m_figureStart = p;
  m_figureOpen = true;
  m_figureHasSegment = false;
}

void TCanvasPath::EnsureFigure(TPDFPoint from) {
  if (m_figureOpen && !(m_ops.empty() || m_ops.back().kind == TPathOpKind::Close)) return;
  // No figure, or the last one was closed: continue from the given start point.
  MoveTo(from);
}

void TCanvasPath::LineTo(TPDFPoint from, TPDFPoint to) {
  if (!IsFinitePoint(to)) return;
  if (!IsFinitePoint(from)) {
    MoveTo(to);
    return;
  }
  EnsureFigure(from);
  m_ops.push_back({TPathOpKind::Line, {to}});
  Grow(to);
  m_pointCount += m_figureHasSegment ? 1 : 2;
  m_figureHasSegment = true;
}

void TCanvasPath::CurveTo(TPDFPoint from, TPDFPoint c1, TPDFPoint c2, TPDFPoint to) {
  if (!IsFinitePoint(to)) return;
  if (!IsFinitePoint(from) || !IsFinitePoint(c1) || !IsFinitePoint(c2)) {
    // The curve is dropped; what follows continues from its end, not from before it.
    MoveTo(to);
    return;
  }
  EnsureFigure(from);
  m_ops.push_back({TPathOpKind::Curve, {c1, c2, to}});
  Grow(c1);
  Grow(c2);
  Grow(to);
  m_pointCount += m_figureHasSegment ? 3 : 4;
  m_figureHasSegment = true;
}

void TCanvasPath::ClosePath() {
  if (!m_figureHasSegment || m_ops.empty() || m_ops.back().kind == TPathOpKind::Close) return;
  m_ops.push_back({TPathOpKind::Close, {}});
  m_figureHasSegment = false;
}

}  // namespace kestrel
