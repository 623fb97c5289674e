#include "engine/render/metafile_canvas.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "engine/render/canvas_geometry.h"
#include "engine/render/metafile_nonzero.h"

namespace kestrel {

std::optional<TPackedColor> OpaqueOverWhite(TPackedColor color, double alpha) {
  if (std::isnan(alpha)) alpha = 1;
  alpha = std::clamp(alpha, 0.0, 1.0);
  // Below half a level of coverage nothing would show.
  if (alpha * 255 < 0.5) return std::nullopt;
  auto mix = [alpha](std::uint8_t c) {
    return static_cast<std::uint8_t>(std::nearbyint(c * alpha + 255 * (1 - alpha)));
  };
  return PackRGB(mix(PackedRed(color)), mix(PackedGreen(color)), mix(PackedBlue(color)));
}

namespace {

TMetafilePoint Narrow(TPDFPoint p) {
  return {static_cast<float>(p.x), static_cast<float>(p.y)};
}

std::vector<TMetafilePoint> Narrow(const TPolyline& line) {
  std::vector<TMetafilePoint> out;
  out.reserve(line.points.size());
  for (const TPDFPoint& p : line.points) out.push_back(Narrow(p));
  return out;
}

}  // namespace

TMetafileCanvas::TMetafileCanvas(TKestrelMetafile& target)
    : m_meta(target), m_margin(GuardMargin(target)) {}

void TMetafileCanvas::BeginPath() {
  m_path.Clear();
  m_hasPath = true;
  m_pathEvenOdd = m_fillRule != kFillRuleNonZero;
}

void TMetafileCanvas::MoveTo(double x, double y) {
  m_current = {x, y};
  if (m_hasPath) m_path.MoveTo(m_current);
}

void TMetafileCanvas::LineTo(double x, double y) {
  const TPDFPoint to{x, y};
  if (m_hasPath) m_path.LineTo(m_current, to);
  m_current = to;
}

void TMetafileCanvas::CurveTo(double x1, double y1, double x2, double y2, double x3, double y3) {
  const TPDFPoint to{x3, y3};
  if (m_hasPath) m_path.CurveTo(m_current, {x1, y1}, {x2, y2}, to);
  m_current = to;
}

void TMetafileCanvas::QuadTo(double x1, double y1, double x2, double y2) {
  const TPDFPoint p0 = m_current;
  CurveTo(p0.x + (x1 - p0.x) * 2.0 / 3.0, p0.y + (y1 - p0.y) * 2.0 / 3.0, x1 + (x2 - x1) / 3.0,
          y1 + (y2 - y1) / 3.0, x2, y2);
}

void TMetafileCanvas::ClosePath() {
  if (!m_hasPath) return;
  m_path.ClosePath();
  if (m_path.HasFigure()) m_current = m_path.FigureStart();
}

void TMetafileCanvas::StrokePath() { Paint(false, true); }
void TMetafileCanvas::FillPath() { Paint(true, false); }
void TMetafileCanvas::FillStrokePath() { Paint(true, true); }

void TMetafileCanvas::SetDash(const TGPDashArray& dashes, double phase) {
  m_dashes = dashes;
  m_dashPhase = phase;
}

void TMetafileCanvas::SetFillRule(int rule) {
  m_fillRule = rule;
  if (!m_hasPath) return;
  if (rule == kFillRuleNonZero) m_pathEvenOdd = false;
  if (rule == kFillRuleEvenOdd) m_pathEvenOdd = true;
}

void TMetafileCanvas::SetClip(int rule) {
  SetFillRule(rule);
  m_clipPending = true;
  m_clipChanged = true;
}

void TMetafileCanvas::DiscardPath() {
  m_path.Clear();
  m_hasPath = false;
}

TMetafileCanvas::TFigures TMetafileCanvas::FillFigures() const {
  const TBox box{-m_margin, -m_margin, static_cast<double>(m_meta.Width()) + m_margin,
                 static_cast<double>(m_meta.Height()) + m_margin};
  std::vector<TPolyline> polygons =
      ClipPolygons(FlattenPath(m_path.Ops(), kFlattenTolerance), box);
  if (!m_pathEvenOdd) {
    if (auto pieces = NonZeroAsDisjoint(polygons)) polygons = std::move(*pieces);
  }
  TFigures out;
  for (const TPolyline& p : polygons) {
    if (p.points.size() >= 3) out.push_back(Narrow(p));
  }
  return out;
}

void TMetafileCanvas::Fill(const TFigures& figures) {
  if (figures.empty()) return;
  const std::optional<TPackedColor> colour = OpaqueOverWhite(m_fillColor, m_fillAlpha);
  if (!colour) return;
  m_meta.AddFill(figures, *colour, m_pathEvenOdd);
}

void TMetafileCanvas::Stroke() {
  const std::optional<TPackedColor> colour = OpaqueOverWhite(m_strokeColor, m_strokeAlpha);
  if (!colour) return;
  const double side = static_cast<double>(std::max(m_meta.Width(), m_meta.Height()));
  const double requested = std::isfinite(m_lineWidth) ? m_lineWidth : 1.0;
  // Thinner than a pixel is drawn a pixel wide; wider than the guard margin would let the
  // cut ends of outlines show, and covers the page anyway.
  const double width = std::clamp(requested, 1.0, std::max(1.0, std::min(4 * side, m_margin)));
  double miter = std::isnan(m_miterLimit) ? 10.0 : std::max(m_miterLimit, 1.0);
  miter = std::min(miter, 1e6);
  const TBox box{-m_margin, -m_margin, static_cast<double>(m_meta.Width()) + m_margin,
                 static_cast<double>(m_meta.Height()) + m_margin};

  std::vector<TPolyline> lines;
  bool dashed = false;
  if (!m_dashes.empty()) {
    // Dash lengths come in line widths of the width asked for, not the widened one.
    const double unit = requested > 0 ? std::min(requested, width) : 1.0;
    std::vector<double> lengths;
    lengths.reserve(m_dashes.size());
    for (float d : m_dashes) lengths.push_back(static_cast<double>(d) * unit);
    // Dashes are produced only inside the guard box.
    if (auto ops = DashPolylines(FlattenPath(m_path.Ops(), kFlattenTolerance), lengths,
                                 m_dashPhase * unit, box, kMaxDashSteps)) {
      lines = FlattenPath(*ops, kFlattenTolerance);
      dashed = true;
    }
  }
  if (!dashed) lines = ClipPolylines(FlattenPath(m_path.Ops(), kFlattenTolerance), box);

  TFigures figures;
  std::vector<bool> closed;
  for (const TPolyline& l : lines) {
    if (l.points.empty()) continue;
    figures.push_back(Narrow(l));
    closed.push_back(l.closed);
  }
  if (figures.empty()) return;
  TMetafilePen pen;
  pen.Color = *colour;
  pen.Width = width;
  pen.Cap = std::clamp(m_lineCap, 0, 2);
  pen.Join = std::clamp(m_lineJoin, 0, 2);
  pen.MiterLimit = miter;
  m_meta.AddStroke(figures, closed, pen);
}

void TMetafileCanvas::Paint(bool fill, bool stroke) {
  if (!m_hasPath) {
    m_clipPending = false;
    return;
  }
  TFigures figures;
  bool haveFigures = false;
  if (!m_path.Empty()) {
    if (fill) {
      figures = FillFigures();
      haveFigures = true;
      Fill(figures);
    }
    if (stroke) Stroke();
  }
  if (m_clipPending) ApplyPendingClip(haveFigures ? figures : FillFigures());
  DiscardPath();
}

void TMetafileCanvas::EndPath() {
  if (m_hasPath && m_clipPending) ApplyPendingClip(FillFigures());
  m_clipPending = false;
  DiscardPath();
}

// ---- clipping ----
// Clips form a tree: each applied clip narrows its parent. The metafile holds the chain from
// the root to the current node as nested pushes; moving to another node pops to the common
// ancestor and pushes the rest again.

void TMetafileCanvas::ApplyPendingClip(const TFigures& figures) {
  m_clipPending = false;
  m_currentSnapshot = 0;
  const int depth = m_currentClip < 0 ? 1 : m_clipNodes[m_currentClip].depth + 1;
  std::size_t points = 0;
  for (const auto& f : figures) points += f.size();
  if (m_clipNodes.size() >= kMaxClipPaths || points > kMaxClipPoints - m_clipPoints ||
      depth > kMaxClipDepth) {
    return;
  }
  // Bring the metafile to the current node before narrowing it.
  MoveClipTo(m_currentClip);
  m_clipNodes.push_back({figures, m_pathEvenOdd, m_currentClip, depth});
  m_clipPoints += points;
  m_currentClip = static_cast<int>(m_clipNodes.size()) - 1;
  if (m_meta.AddPushClip(figures, m_pathEvenOdd)) m_applied.push_back(m_currentClip);
}

void TMetafileCanvas::MoveClipTo(int node) {
  auto depthOf = [&](int n) { return n < 0 ? 0 : m_clipNodes[n].depth; };
  int from = m_applied.empty() ? -1 : m_applied.back();
  int to = node;
  std::size_t pops = 0;
  std::vector<int> toPush;
  while (depthOf(from) > depthOf(to)) {
    from = m_clipNodes[from].parent;
    ++pops;
  }
  while (depthOf(to) > depthOf(from)) {
    toPush.push_back(to);
    to = m_clipNodes[to].parent;
  }
  while (from != to) {
    from = m_clipNodes[from].parent;
    ++pops;
    toPush.push_back(to);
    to = m_clipNodes[to].parent;
  }
  for (std::size_t i = 0; i < pops && !m_applied.empty(); ++i) {
    m_meta.AddPopClip();
    m_applied.pop_back();
  }
  for (auto it = toPush.rbegin(); it != toPush.rend(); ++it) {
    // A push the metafile refuses (it is full) draws nothing more anyway.
    if (!m_meta.AddPushClip(m_clipNodes[*it].figures, m_clipNodes[*it].evenOdd)) break;
    m_applied.push_back(*it);
  }
  m_currentClip = node;
}

TClipHandle TMetafileCanvas::SaveClip() {
  if (!m_clipChanged) return m_currentSnapshot;
  if (m_snapshots.size() >= 0xFFFFFFF0u) return m_currentSnapshot;
  m_clipChanged = false;
  m_snapshots.push_back(m_currentClip);
  m_currentSnapshot = static_cast<TClipHandle>(m_snapshots.size());
  return m_currentSnapshot;
}

void TMetafileCanvas::RestoreClip(TClipHandle handle) {
  if (handle == m_currentSnapshot) return;
  if (handle == 0 || handle > m_snapshots.size()) return;  // not a snapshot of this canvas
  m_currentSnapshot = handle;
  m_clipChanged = false;
  MoveClipTo(m_snapshots[handle - 1]);
}

}  // namespace kestrel
