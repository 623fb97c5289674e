#include "engine/output/metafile/metafile_canvas.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "engine/graphics/canvas_geometry.h"
#include "engine/output/metafile/metafile_nonzero.h"

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

// Whether the metafile clips to these figures exactly by itself: one axis-aligned rectangle
// (possibly repeating its first corner at the end).
bool IsRectangle(const std::vector<std::vector<TMetafilePoint>>& figures) {
  if (figures.size() != 1) return false;
  std::vector<TMetafilePoint> f = figures[0];
  if (f.size() == 5 && f[4].x == f[0].x && f[4].y == f[0].y) f.pop_back();
  if (f.size() != 4) return false;
  const bool hv = f[0].y == f[1].y && f[1].x == f[2].x && f[2].y == f[3].y && f[3].x == f[0].x;
  const bool vh = f[0].x == f[1].x && f[1].y == f[2].y && f[2].x == f[3].x && f[3].y == f[0].y;
  return hv || vh;
}

std::size_t PointCount(const std::vector<TPolyline>& polys) {
  std::size_t n = 0;
  for (const TPolyline& p : polys) n += p.points.size();
  return n;
}

TBox BoundsOf(const std::vector<TPolyline>& polys) {
  TClipRegion r;
  r.polygons = polys;
  UpdateClipBounds(r);
  return r.bounds;
}

TBox FigureBounds(const std::vector<std::vector<TMetafilePoint>>& figures) {
  TBox b{HUGE_VAL, HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
  for (const auto& f : figures) {
    for (const TMetafilePoint& q : f) {
      b = {std::min(b.minX, double(q.x)), std::min(b.minY, double(q.y)),
           std::max(b.maxX, double(q.x)), std::max(b.maxY, double(q.y))};
    }
  }
  return b;
}

bool Meets(const TBox& a, const TBox& b) {
  return a.minX <= b.maxX && b.minX <= a.maxX && a.minY <= b.maxY && b.minY <= a.maxY;
}

// The region's polygons cut to a box (one pixel wider than `box`): inside the box they cover
// the same points, and the cutting work shrinks to what is near the drawing.
std::vector<TPolyline> RegionNear(const TClipRegion& region, const TBox& box) {
  return ClipPolygons(region.polygons, {box.minX - 1, box.minY - 1, box.maxX + 1, box.maxY + 1});
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

std::vector<TPolyline> TMetafileCanvas::FillPolygons() const {
  const TBox box{-m_margin, -m_margin, static_cast<double>(m_meta.Width()) + m_margin,
                 static_cast<double>(m_meta.Height()) + m_margin};
  return ClipPolygons(FlattenPath(m_path.Ops(), limits::kFlattenTolerance), box);
}

TMetafileCanvas::TFigures TMetafileCanvas::FillFigures() const {
  std::vector<TPolyline> polygons = FillPolygons();
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
  if (const TClipRegion* region = ActiveRegion()) return FillClipped(*region);
  const std::optional<TPackedColor> colour = OpaqueOverWhite(m_fillColor, m_fillAlpha);
  if (!colour) return;
  m_meta.AddFill(figures, *colour, m_pathEvenOdd);
}

void TMetafileCanvas::FillClipped(const TClipRegion& region) {
  const std::optional<TPackedColor> colour = OpaqueOverWhite(m_fillColor, m_fillAlpha);
  if (!colour) return;
  const std::vector<TPolyline> subject = FillPolygons();
  const TBox bounds = BoundsOf(subject);
  if (subject.empty() || region.polygons.empty() || !Meets(bounds, region.bounds)) return;
  const std::vector<TPolyline> near = RegionNear(region, bounds);
  const std::size_t cost = PointCount(subject) + PointCount(region.polygons);
  std::optional<std::vector<TPolyline>> pieces;
  if (cost <= kMaxClipWork - std::min(m_clipWork, kMaxClipWork)) {
    m_clipWork += cost;
    pieces = IntersectAsDisjoint(subject, m_pathEvenOdd, near, region.evenOdd);
  }
  TFigures figures;
  bool evenOdd = false;  // the pieces do not overlap: either rule reads them alike
  if (!pieces) {
    // Too much work: the fill as it is, inside the clip's bounding box only.
    m_meta.NoteDropped();
    figures = FillFigures();
    evenOdd = m_pathEvenOdd;
  } else {
    for (const TPolyline& p : *pieces) {
      if (p.points.size() >= 3) figures.push_back(Narrow(p));
    }
  }
  if (!figures.empty()) m_meta.AddFill(figures, *colour, evenOdd);
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
    if (auto ops = DashPolylines(FlattenPath(m_path.Ops(), limits::kFlattenTolerance), lengths,
                                 m_dashPhase * unit, box, limits::kMaxDashSteps)) {
      lines = FlattenPath(*ops, limits::kFlattenTolerance);
      dashed = true;
    }
  }
  if (!dashed) lines = ClipPolylines(FlattenPath(m_path.Ops(), limits::kFlattenTolerance), box);
  if (const TClipRegion* region = ActiveRegion(); region && !lines.empty()) {
    const TBox bounds = BoundsOf(lines);
    if (region->polygons.empty() || !Meets(bounds, region->bounds)) return;
    TClipRegion near;
    near.polygons = RegionNear(*region, bounds);
    near.evenOdd = region->evenOdd;
    UpdateClipBounds(near);
    if (auto cut = ClipPolylinesToRegion(lines, near, m_clipWork, kMaxClipWork)) {
      lines = std::move(*cut);
    } else {
      m_meta.NoteDropped();  // drawn whole, inside the clip's bounding box only
    }
  }

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
  pen.Cap = static_cast<int>(m_lineCap);
  pen.Join = static_cast<int>(m_lineJoin);
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
  if (m_clipNodes.size() >= limits::kMaxClipPaths || points > kMaxClipPoints - m_clipPoints ||
      depth > limits::kMaxClipDepth) {
    return;
  }
  // Bring the metafile to the current node before narrowing it.
  MoveClipTo(m_currentClip);
  TClipNode node;
  node.figures = figures;
  node.evenOdd = m_pathEvenOdd;
  node.parent = m_currentClip;
  node.depth = depth;
  m_clipNodes.push_back(std::move(node));
  m_clipPoints += points;
  m_currentClip = static_cast<int>(m_clipNodes.size()) - 1;
  if (PushNode(m_currentClip)) m_applied.push_back(m_currentClip);
}

bool TMetafileCanvas::PushNode(int node) {
  const TClipNode& n = m_clipNodes[node];
  if (!m_meta.Enhanced()) return m_meta.AddPushClip(n.figures, n.evenOdd);
  PlanEnhancedPush(node);
  switch (n.push) {
    case TClipNode::TPush::Whole: return m_meta.AddPushClip(*n.pushFigures, false, true);
    case TClipNode::TPush::Box: return m_meta.AddPushClip(*n.pushFigures, false);
    default: return m_meta.AddPushClip(n.figures, n.evenOdd);
  }
}

void TMetafileCanvas::PlanEnhancedPush(int node) {
  // Ancestors first: the clip rectangles in force depend on how they were recorded.
  std::vector<int> chain;
  for (int k = node; k >= 0 && m_clipNodes[k].push == TClipNode::TPush::Unknown;
       k = m_clipNodes[k].parent) {
    chain.push_back(k);
  }
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    TClipNode& n = m_clipNodes[*it];
    n.push = TClipNode::TPush::Own;
    if (IsRectangle(n.figures) || n.parent < 0) continue;
    const std::shared_ptr<const TClipRegion> outer = RegionOf(n.parent);
    if (!outer) continue;  // the first clip path in force: recorded as it is
    const std::shared_ptr<const TClipRegion> region = RegionOf(*it);
    auto box = [&] {
      // The intersection failed (counted there) or is too large: its bounding box instead.
      // A clip without points has no box: it clips everything, as an empty push does.
      const TBox b = FigureBounds(n.figures);
      n.push = TClipNode::TPush::Box;
      n.pushFigures =
          b.minX > b.maxX
              ? std::make_shared<const TFigures>()
              : std::make_shared<const TFigures>(TFigures{
                    {Narrow(TPDFPoint{b.minX, b.minY}), Narrow(TPDFPoint{b.maxX, b.minY}),
                     Narrow(TPDFPoint{b.maxX, b.maxY}), Narrow(TPDFPoint{b.minX, b.maxY})}});
    };
    if (region == outer) {
      box();
      continue;
    }
    // A path set whole replaces the clip rectangles in force too: cut it to them.
    std::vector<TPolyline> polygons = region->polygons;
    bool cut = false;
    TBox rect;
    for (int k = n.parent; k >= 0; k = m_clipNodes[k].parent) {
      const TClipNode& a = m_clipNodes[k];
      const bool boxed = a.push == TClipNode::TPush::Box;
      if (!boxed && !IsRectangle(a.figures)) continue;
      const TBox b = FigureBounds(boxed ? *a.pushFigures : a.figures);  // inverted: empty
      rect = cut ? TBox{std::max(rect.minX, b.minX), std::max(rect.minY, b.minY),
                        std::min(rect.maxX, b.maxX), std::min(rect.maxY, b.maxY)}
                 : b;
      cut = true;
    }
    if (cut) {
      polygons = rect.minX < rect.maxX && rect.minY < rect.maxY ? ClipPolygons(polygons, rect)
                                                                : std::vector<TPolyline>{};
    }
    auto whole = std::make_shared<TFigures>();
    std::size_t points = 0;
    for (const TPolyline& p : polygons) {
      if (p.points.size() < 3) continue;
      whole->push_back(Narrow(p));
      points += p.points.size();
    }
    if (whole->size() > kMaxNestedClipFigures || points > kMaxNestedClipPoints ||
        points > kMaxRegionPoints - std::min(m_regionPoints, kMaxRegionPoints)) {
      m_meta.NoteDropped();
      box();
      continue;
    }
    m_regionPoints += points;
    n.push = TClipNode::TPush::Whole;
    n.pushFigures = std::move(whole);
  }
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
    if (!PushNode(*it)) break;
    m_applied.push_back(*it);
  }
  m_currentClip = node;
}

std::shared_ptr<const TClipRegion> TMetafileCanvas::RegionOf(int node) {
  if (node < 0) return nullptr;
  // The chain below the first node already known, root side first.
  std::vector<int> chain;
  for (int n = node; n >= 0 && !m_clipNodes[n].regionKnown; n = m_clipNodes[n].parent) {
    chain.push_back(n);
  }
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    TClipNode& n = m_clipNodes[*it];
    std::shared_ptr<const TClipRegion> parent =
        n.parent < 0 ? nullptr : m_clipNodes[n.parent].region;
    n.regionKnown = true;
    n.region = parent;
    if (IsRectangle(n.figures)) continue;
    auto own = std::make_shared<TClipRegion>();
    for (const auto& f : n.figures) {
      TPolyline p;
      p.closed = true;
      for (const TMetafilePoint& q : f) p.points.push_back({q.x, q.y});
      own->polygons.push_back(std::move(p));
    }
    own->evenOdd = n.evenOdd;
    if (parent) {
      auto both = parent->polygons.empty() || own->polygons.empty()
                      ? std::optional<std::vector<TPolyline>>(std::vector<TPolyline>{})
                      : IntersectAsDisjoint(own->polygons, own->evenOdd, parent->polygons,
                                            parent->evenOdd);
      if (!both) {
        // Too complex: this clip stays its bounding box.
        m_meta.NoteDropped();
        continue;
      }
      own->polygons = std::move(*both);
      own->evenOdd = false;
    }
    const std::size_t points = PointCount(own->polygons);
    if (points > kMaxRegionPoints - std::min(m_regionPoints, kMaxRegionPoints)) {
      m_meta.NoteDropped();
      continue;
    }
    m_regionPoints += points;
    UpdateClipBounds(*own);
    n.region = std::move(own);
  }
  return m_clipNodes[node].region;
}

const TClipRegion* TMetafileCanvas::ActiveRegion() {
  // Only a clip the metafile holds counts; when its push was refused nothing draws anyway.
  // An enhanced metafile clips by itself.
  if (m_meta.Enhanced() || m_currentClip < 0 || m_applied.empty() ||
      m_applied.back() != m_currentClip) {
    return nullptr;
  }
  return RegionOf(m_currentClip).get();
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
