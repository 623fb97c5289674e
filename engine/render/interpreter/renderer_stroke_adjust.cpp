#include "engine/render/interpreter/renderer_stroke_adjust.h"

#include <algorithm>
#include <cmath>

namespace kestrel {

double PixelRound(double v) { return std::floor(v + 0.5); }

namespace {

// Two snapped edges, at least one pixel apart.
void SnapPair(double a, double b, double& outA, double& outB) {
  const double lo = std::min(a, b), hi = std::max(a, b);
  double l = PixelRound(lo), h = PixelRound(hi);
  if (h <= l) h = l + 1;
  outA = a <= b ? l : h;
  outB = a <= b ? h : l;
}

}  // namespace

bool AdjustFillRectangle(const std::vector<TPathOp>& in, std::vector<TPathOp>& ops) {
  // Move, three or four lines (the fourth back to the start), an optional close.
  std::size_t n = in.size();
  if (n > 0 && in[n - 1].kind == TPathOpKind::Close) --n;
  if (n != 4 && n != 5) return false;
  if (in[0].kind != TPathOpKind::Move) return false;
  for (std::size_t i = 1; i < n; ++i)
    if (in[i].kind != TPathOpKind::Line) return false;
  TPDFPoint p[4];
  for (int i = 0; i < 4; ++i) p[i] = in[static_cast<std::size_t>(i)].p[0];
  if (n == 5 && !(in[4].p[0] == p[0])) return false;
  // Sides alternate between vertical and horizontal, starting with either.
  const bool firstHorizontal = p[0].y == p[1].y;
  for (int i = 0; i < 4; ++i) {
    const TPDFPoint& a = p[i];
    const TPDFPoint& b = p[(i + 1) % 4];
    const bool horizontal = (i % 2 == 0) == firstHorizontal;
    if (horizontal ? a.y != b.y : a.x != b.x) return false;
  }
  double x0 = 0, x1 = 0, y0 = 0, y1 = 0;
  const double xa = p[0].x, xb = firstHorizontal ? p[1].x : p[2].x;
  const double ya = p[0].y, yb = firstHorizontal ? p[2].y : p[1].y;
  if (xa == xb || ya == yb) return false;
  SnapPair(xa, xb, x0, x1);
  SnapPair(ya, yb, y0, y1);
  ops = in;
  for (std::size_t i = 0; i < n; ++i) {
    TPDFPoint& q = ops[i].p[0];
    q.x = q.x == xa ? x0 : x1;
    q.y = q.y == ya ? y0 : y1;
  }
  return true;
}

std::optional<double> AdjustStrokeLines(const std::vector<TPathOp>& in, double width,
                                        std::vector<TPathOp>& ops) {
  if (!(width >= 0) || !std::isfinite(width)) return std::nullopt;
  // Every segment must be a horizontal or vertical line.
  TPDFPoint current{}, start{};
  bool any = false;
  for (const TPathOp& op : in) {
    switch (op.kind) {
      case TPathOpKind::Move:
        current = start = op.p[0];
        break;
      case TPathOpKind::Line:
        if (op.p[0].x != current.x && op.p[0].y != current.y) return std::nullopt;
        current = op.p[0];
        any = true;
        break;
      case TPathOpKind::Close:
        if (start.x != current.x && start.y != current.y) return std::nullopt;
        current = start;
        break;
      case TPathOpKind::Curve:
        return std::nullopt;
    }
  }
  if (!any) return std::nullopt;
  ops = in;

  // Mark which coordinates are across some segment: x of vertical lines, y of horizontal ones.
  // A point shared by both kinds gets both.
  std::vector<unsigned char> snapX(ops.size(), 0), snapY(ops.size(), 0);
  std::size_t startIndex = 0, prevIndex = 0;
  for (std::size_t i = 0; i < ops.size(); ++i) {
    const TPathOp& op = ops[i];
    if (op.kind == TPathOpKind::Move) {
      startIndex = prevIndex = i;
      continue;
    }
    const std::size_t to = op.kind == TPathOpKind::Close ? startIndex : i;
    const TPDFPoint a = ops[prevIndex].p[0], b = ops[to].p[0];
    if (a.x == b.x && a.y != b.y) snapX[prevIndex] = snapX[to] = 1;
    if (a.y == b.y && a.x != b.x) snapY[prevIndex] = snapY[to] = 1;
    prevIndex = to;
  }
  // One width for the path: the pixels the sides of its first line round to. (Lines whose
  // sides round to another span are off by at most a pixel on one side.)
  double snapped = 1;
  for (std::size_t i = 0; i < ops.size(); ++i) {
    if (!snapX[i] && !snapY[i]) continue;
    const double c = snapX[i] ? ops[i].p[0].x : ops[i].p[0].y;
    snapped = std::max(1.0, PixelRound(c + width / 2) - PixelRound(c - width / 2));
    break;
  }
  const double half = snapped / 2;
  // A coordinate across a line: its left (or upper) side rounded, the line centred from there.
  auto across = [&](double c) { return PixelRound(c - width / 2) + half; };
  for (std::size_t i = 0; i < ops.size(); ++i) {
    if (ops[i].kind == TPathOpKind::Close) continue;
    if (snapX[i]) ops[i].p[0].x = across(ops[i].p[0].x);
    if (snapY[i]) ops[i].p[0].y = across(ops[i].p[0].y);
  }
  return snapped;
}

}  // namespace kestrel
