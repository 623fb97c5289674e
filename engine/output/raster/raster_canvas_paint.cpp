// The raster canvas's paths, painting and clipping.
#include <algorithm>
#include <cmath>
#include <utility>

#include "engine/graphics/canvas_geometry.h"
#include "engine/output/raster/raster_canvas_impl.h"

namespace kestrel {

using namespace picasso;

namespace {

cairo_line_cap_t CairoCap(TLineCap cap) {
  switch (cap) {
    case TLineCap::Round: return CAIRO_LINE_CAP_ROUND;
    case TLineCap::Square: return CAIRO_LINE_CAP_SQUARE;
    default: return CAIRO_LINE_CAP_BUTT;
  }
}

cairo_line_join_t CairoJoin(TLineJoin join) {
  switch (join) {
    case TLineJoin::Round: return CAIRO_LINE_JOIN_ROUND;
    case TLineJoin::Bevel: return CAIRO_LINE_JOIN_BEVEL;
    default: return CAIRO_LINE_JOIN_MITER;
  }
}

TBox Expand(const TPathBounds& b, double margin) {
  return {b.minX - margin, b.minY - margin, b.maxX + margin, b.maxY + margin};
}

}  // namespace

bool TPDFPicasso::Impl::Attach(const TPixelBuffer& target, bool library) {
  DropLayers();
  mode = TMode::NotAttached;
  const bool antialias = library && settings.AntiAlias;
  if (!tiles.Create(target, maxTile, antialias)) return false;
  mode = library ? TMode::Library : TMode::GDI;
  DiscardPath();
  // A new surface starts unclipped; snapshots of an earlier one mean nothing here.
  clipPending = false;
  clipChanged = true;
  currentSnapshot = 0;
  currentClip = -1;
  clipNodes.clear();
  clipOpsStored = 0;
  snapshots.clear();
  appliedClips.clear();
  return true;
}

TPDFPoint TPDFPicasso::Impl::Device(double x, double y) const {
  // The plain mode works on whole pixels, as a device-context path bracket does.
  if (mode == TMode::GDI) return {std::nearbyint(x), std::nearbyint(y)};
  return {x, y};
}

void TPDFPicasso::Impl::BeginPath() {
  if (mode == TMode::NotAttached) return;
  path.Clear();
  hasPath = true;
  pathEvenOdd = mode == TMode::GDI || fillRule != kFillRuleNonZero;
}

void TPDFPicasso::Impl::MoveTo(double x, double y) {
  if (mode == TMode::NotAttached) return;
  current = Device(x, y);
  if (hasPath) path.MoveTo(current);
}

void TPDFPicasso::Impl::LineTo(double x, double y) {
  if (mode == TMode::NotAttached) return;
  const TPDFPoint to = Device(x, y);
  if (hasPath) path.LineTo(current, to);
  current = to;
}

void TPDFPicasso::Impl::CurveTo(double x1, double y1, double x2, double y2, double x3,
                                double y3) {
  if (mode == TMode::NotAttached) return;
  const TPDFPoint to = Device(x3, y3);
  if (hasPath) path.CurveTo(current, Device(x1, y1), Device(x2, y2), to);
  current = to;
}

void TPDFPicasso::Impl::ClosePath() {
  if (mode == TMode::NotAttached || !hasPath) return;
  path.ClosePath();
  // As in PDF, a segment after a close starts from the closed subpath's start.
  if (path.HasFigure()) current = path.FigureStart();
}

void TPDFPicasso::Impl::SetFillRule(int rule) {
  fillRule = rule;
  if (mode != TMode::Library || !hasPath) return;
  if (rule == kFillRuleNonZero) pathEvenOdd = false;
  if (rule == kFillRuleEvenOdd) pathEvenOdd = true;
}

void TPDFPicasso::Impl::PreparePath() {
  path.AddEndSegmentToSingleLine(current);
}

void TPDFPicasso::Impl::DiscardPath() {
  path.Clear();
  hasPath = false;
}

TBox TPDFPicasso::Impl::SurfaceBox(double margin) const {
  return {-margin, -margin, tiles.Width() + margin, tiles.Height() + margin};
}

const std::vector<TPathOp>& TPDFPicasso::Impl::FillGeometry() {
  if (BoundsInside(path.Bounds(), kDirectCoordLimit)) return path.Ops();
  fillScratch = PolylinesToOps(
      ClipPolygons(FlattenPath(path.Ops(), limits::kFlattenTolerance), SurfaceBox(16)));
  return fillScratch;
}

void TPDFPicasso::Impl::Fill(const std::vector<TPathOp>& ops) {
  const bool evenOdd = mode == TMode::GDI || pathEvenOdd;
  const double alpha = mode == TMode::GDI ? 1.0 : fillAlpha;
  const TBox box = Expand(path.Bounds(), 2);
  for (TTile& tile : tiles.Tiles()) {
    if (!TouchesTile(tile, box)) continue;
    PaintElement(tile, box, alpha, [&](cairo_t* cr, double a) {
      EmitOps(cr, ops);
      cairo_set_fill_rule(cr, evenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
      SetSourceColor(cr, fillColor, a);
      cairo_fill(cr);
    });
    Check(tile);
  }
}

void TPDFPicasso::Impl::Stroke() {
  const bool gdi = mode == TMode::GDI;
  const double requested = std::isfinite(lineWidth) ? lineWidth : 1.0;
  // Lines thinner than a pixel are drawn one pixel wide so they do not vanish.
  double width = std::clamp(requested, 1.0, limits::kMaxLineWidth);
  if (gdi) width = std::max(1.0, std::nearbyint(width));
  const TLineCap cap = gdi ? TLineCap::Round : lineCap;
  const TLineJoin join = gdi ? TLineJoin::Round : lineJoin;
  double miter = std::isnan(miterLimit) ? 10.0 : std::max(miterLimit, 1.0);
  miter = std::min(miter, std::max(1.0, 2 * kMaxStrokeReach / width));
  const double reach = width / 2 * (join == TLineJoin::Miter ? std::max(miter, 1.5) : 1.5) + 2;
  const TBox guard = SurfaceBox(reach + 16);

  std::vector<TPathOp> scratch;
  const std::vector<TPathOp>* ops = nullptr;
  if (!gdi && !dashes.empty()) {
    // Dash lengths come in line widths of the width asked for, not the widened one.
    const double unit = requested > 0 ? std::min(requested, limits::kMaxLineWidth) : 1.0;
    std::vector<double> lengths;
    lengths.reserve(dashes.size());
    for (float d : dashes) lengths.push_back(static_cast<double>(d) * unit);
    const auto dashed = DashPolylines(FlattenPath(path.Ops(), limits::kFlattenTolerance), lengths,
                                      dashPhase * unit, guard, limits::kMaxDashSteps);
    if (dashed) {
      scratch = std::move(*dashed);
      ops = &scratch;
    }
  }
  if (ops == nullptr) {
    if (BoundsInside(path.Bounds(), kDirectCoordLimit)) {
      ops = &path.Ops();
    } else {
      scratch = PolylinesToOps(ClipPolylines(FlattenPath(path.Ops(), limits::kFlattenTolerance), guard));
      ops = &scratch;
    }
  }

  const TBox box = Expand(path.Bounds(), reach);
  const double alpha = gdi ? 1.0 : strokeAlpha;
  for (TTile& tile : tiles.Tiles()) {
    if (!TouchesTile(tile, box)) continue;
    PaintElement(tile, box, alpha, [&](cairo_t* cr, double a) {
      EmitOps(cr, *ops);
      cairo_set_line_width(cr, width);
      cairo_set_line_cap(cr, CairoCap(cap));
      cairo_set_line_join(cr, CairoJoin(join));
      cairo_set_miter_limit(cr, miter);
      SetSourceColor(cr, strokeColor, a);
      cairo_stroke(cr);
    });
    Check(tile);
  }
}

void TPDFPicasso::Impl::Paint(bool fill, bool stroke) {
  if (mode == TMode::NotAttached) return;
  if (!hasPath) {
    clipPending = false;
    currentSnapshot = 0;
    return;
  }
  PreparePath();
  const std::vector<TPathOp>* geometry = nullptr;
  if (!path.Empty()) {
    if (fill) {
      geometry = &FillGeometry();
      Fill(*geometry);
    }
    if (stroke) Stroke();
  }
  if (clipPending) ApplyPendingClip(geometry ? *geometry : FillGeometry());
  DiscardPath();
}

void TPDFPicasso::Impl::EndPath() {
  if (mode == TMode::Library && hasPath) {
    PreparePath();
    if (clipPending) ApplyPendingClip(FillGeometry());
  }
  if (mode == TMode::GDI) clipPending = false;
  DiscardPath();
}

// ---- clipping ----

void TPDFPicasso::Impl::ApplyPendingClip(const std::vector<TPathOp>& ops) {
  clipPending = false;
  currentSnapshot = 0;
  if (mode != TMode::Library) return;
  const int depth = currentClip < 0 ? 1 : clipNodes[currentClip].depth + 1;
  if (clipNodes.size() >= limits::kMaxClipPaths || clipOpsStored + ops.size() > kMaxClipOps ||
      depth > limits::kMaxClipDepth) {
    return;
  }
  clipNodes.push_back({ops, pathEvenOdd, PathAntialias(), currentClip, depth});
  clipOpsStored += ops.size();
  currentClip = static_cast<int>(clipNodes.size()) - 1;
  appliedClips.push_back(currentClip);
  for (TTile& tile : tiles.Tiles()) {
    PushClip(tile, currentClip);
    Check(tile);
  }
}

void TPDFPicasso::Impl::PushClip(TTile& tile, int node) {
  const TClipNode& n = clipNodes[node];
  cairo_save(tile.cr);
  SetAntialias(tile.cr, n.antialias);
  EmitClipOps(tile.cr, n.ops);
  cairo_set_fill_rule(tile.cr, n.evenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
  cairo_clip(tile.cr);
  SetAntialias(tile.cr, PathAntialias());
}

void TPDFPicasso::Impl::MoveClipTo(int node) {
  // Walk both ends up to their common ancestor: restores for the applied side, and the
  // target's own nodes to be pushed afterwards, deepest last.
  auto depthOf = [&](int n) { return n < 0 ? 0 : clipNodes[n].depth; };
  int from = appliedClips.empty() ? -1 : appliedClips.back();
  int to = node;
  std::vector<int> toPush;
  std::size_t pops = 0;
  while (depthOf(from) > depthOf(to)) {
    from = clipNodes[from].parent;
    ++pops;
  }
  while (depthOf(to) > depthOf(from)) {
    toPush.push_back(to);
    to = clipNodes[to].parent;
  }
  while (from != to) {
    from = clipNodes[from].parent;
    ++pops;
    toPush.push_back(to);
    to = clipNodes[to].parent;
  }
  for (TTile& tile : tiles.Tiles()) {
    for (std::size_t i = 0; i < pops; ++i) cairo_restore(tile.cr);
    for (auto it = toPush.rbegin(); it != toPush.rend(); ++it) PushClip(tile, *it);
  }
  appliedClips.resize(appliedClips.size() - pops);
  appliedClips.insert(appliedClips.end(), toPush.rbegin(), toPush.rend());
  currentClip = node;
  for (TTile& tile : tiles.Tiles()) Check(tile);
}

void TPDFPicasso::Impl::ReapplyClip(TTile& tile) {
  for (int node : appliedClips) PushClip(tile, node);
}

TClipHandle TPDFPicasso::Impl::SaveClip() {
  if (mode != TMode::Library) return 0;
  if (!clipChanged) return currentSnapshot;
  if (snapshots.size() >= 0xFFFFFFF0u) return currentSnapshot;
  clipChanged = false;
  snapshots.push_back(currentClip);
  currentSnapshot = static_cast<TClipHandle>(snapshots.size());
  return currentSnapshot;
}

void TPDFPicasso::Impl::RestoreClip(TClipHandle handle) {
  if (mode != TMode::Library || handle == currentSnapshot) return;
  if (handle == 0 || handle > snapshots.size()) return;  // not a snapshot of this canvas
  currentSnapshot = handle;
  // The clip now equals a snapshot: a SaveClip before the next change can hand it back.
  clipChanged = false;
  MoveClipTo(snapshots[handle - 1]);
}

void TPDFPicasso::Impl::Check(TTile& tile) {
  if (cairo_status(tile.cr) == CAIRO_STATUS_SUCCESS) return;
  ++backendErrors;
  tiles.Reset(tile, PathAntialias());
  ReapplyClip(tile);
}

}  // namespace kestrel
