#include "engine/graphics/canvas_geometry.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace kestrel {
namespace {

TPDFPoint Lerp(TPDFPoint a, TPDFPoint b, double t) {
  return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
}

double Distance(TPDFPoint a, TPDFPoint b) { return std::hypot(b.x - a.x, b.y - a.y); }

bool Inside(TPDFPoint p, const TBox& box) {
  return p.x >= box.minX && p.x <= box.maxX && p.y >= box.minY && p.y <= box.maxY;
}

void FlattenCubic(TPDFPoint p0, TPDFPoint p1, TPDFPoint p2, TPDFPoint p3, double tolerance,
                  std::vector<TPDFPoint>& out) {
  // Wang's bound: n segments keep the chord error below 3/4 * L / n^2.
  const double l1 = std::hypot(p0.x - 2 * p1.x + p2.x, p0.y - 2 * p1.y + p2.y);
  const double l2 = std::hypot(p1.x - 2 * p2.x + p3.x, p1.y - 2 * p2.y + p3.y);
  const double need = std::sqrt(0.75 * std::max(l1, l2) / tolerance);
  std::size_t n = 1;
  if (!std::isfinite(need) || need >= static_cast<double>(kMaxCurveSegments)) {
    n = kMaxCurveSegments;
  } else if (need > 1) {
    n = static_cast<std::size_t>(std::ceil(need));
  }
  for (std::size_t i = 1; i < n; ++i) {
    const double t = static_cast<double>(i) / static_cast<double>(n);
    const double u = 1 - t;
    const double b0 = u * u * u, b1 = 3 * u * u * t, b2 = 3 * u * t * t, b3 = t * t * t;
    const TPDFPoint q{b0 * p0.x + b1 * p1.x + b2 * p2.x + b3 * p3.x,
                      b0 * p0.y + b1 * p1.y + b2 * p2.y + b3 * p3.y};
    if (IsFinitePoint(q)) out.push_back(q);
  }
  out.push_back(p3);
}

// The part of segment a-b inside the box (Liang-Barsky). Cut points take the box edge's
// coordinate exactly and interpolate only the other one, so a segment with far-away ends still
// crosses the box where it should.
struct TClippedSegment {
  TPDFPoint a, b;
  double t0 = 0, t1 = 1;
};

std::optional<TClippedSegment> ClipSegment(TPDFPoint a, TPDFPoint b, const TBox& box) {
  double t0 = 0, t1 = 1;
  int edge0 = -1, edge1 = -1;
  const double dx = b.x - a.x, dy = b.y - a.y;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {a.x - box.minX, box.maxX - a.x, a.y - box.minY, box.maxY - a.y};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return std::nullopt;
      continue;
    }
    const double r = q[i] / p[i];
    if (p[i] < 0) {
      if (r > t1) return std::nullopt;
      if (r > t0) {
        t0 = r;
        edge0 = i;
      }
    } else {
      if (r < t0) return std::nullopt;
      if (r < t1) {
        t1 = r;
        edge1 = i;
      }
    }
  }
  if (!(t0 <= t1)) return std::nullopt;
  auto cut = [&](int edge, TPDFPoint fallback) -> TPDFPoint {
    switch (edge) {
      case 0:
      case 1: {
        const double x = edge == 0 ? box.minX : box.maxX;
        const double y = a.y + dy * ((x - a.x) / dx);
        return {x, std::clamp(y, box.minY, box.maxY)};
      }
      case 2:
      case 3: {
        const double y = edge == 2 ? box.minY : box.maxY;
        const double x = a.x + dx * ((y - a.y) / dy);
        return {std::clamp(x, box.minX, box.maxX), y};
      }
      default:
        return fallback;
    }
  };
  return TClippedSegment{cut(edge0, a), cut(edge1, b), t0, t1};
}

// One Sutherland-Hodgman pass against the half-plane given by `keep`/`cross`.
template <typename Keep, typename Cross>
std::vector<TPDFPoint> ClipAgainst(const std::vector<TPDFPoint>& in, Keep keep, Cross cross) {
  std::vector<TPDFPoint> out;
  if (in.empty()) return out;
  out.reserve(in.size() + 4);
  TPDFPoint prev = in.back();
  bool prevIn = keep(prev);
  for (const TPDFPoint& cur : in) {
    const bool curIn = keep(cur);
    if (curIn != prevIn) out.push_back(cross(prev, cur));
    if (curIn) out.push_back(cur);
    prev = cur;
    prevIn = curIn;
  }
  return out;
}

}  // namespace

bool BoundsInside(const TPathBounds& bounds, double limit) {
  return bounds.empty || (bounds.minX >= -limit && bounds.maxX <= limit &&
                          bounds.minY >= -limit && bounds.maxY <= limit);
}

std::vector<TPolyline> FlattenPath(const std::vector<TPathOp>& ops, double tolerance) {
  if (!(tolerance > 0)) tolerance = 0.1;
  std::vector<TPolyline> result;
  TPolyline current;
  TPDFPoint start{};
  auto flush = [&] {
    if (current.points.size() >= 2) result.push_back(std::move(current));
    current = TPolyline{};
  };
  for (const TPathOp& op : ops) {
    switch (op.kind) {
      case TPathOpKind::Move:
        flush();
        start = op.p[0];
        current.points.push_back(start);
        break;
      case TPathOpKind::Line:
        if (current.points.empty()) current.points.push_back(start);
        current.points.push_back(op.p[0]);
        break;
      case TPathOpKind::Curve:
        if (current.points.empty()) current.points.push_back(start);
        FlattenCubic(current.points.back(), op.p[0], op.p[1], op.p[2], tolerance,
                     current.points);
        break;
      case TPathOpKind::Close:
        if (current.points.size() >= 2) current.closed = true;
        flush();
        break;
    }
  }
  flush();
  return result;
}

std::vector<TPolyline> ClipPolygons(const std::vector<TPolyline>& polygons, const TBox& box) {
  std::vector<TPolyline> result;
  for (const TPolyline& poly : polygons) {
    if (std::all_of(poly.points.begin(), poly.points.end(),
                    [&](TPDFPoint p) { return Inside(p, box); })) {
      if (poly.points.size() >= 3) result.push_back({poly.points, true});
      continue;
    }
    std::vector<TPDFPoint> pts = poly.points;
    auto crossX = [](double x) {
      return [x](TPDFPoint a, TPDFPoint b) {
        const double t = (x - a.x) / (b.x - a.x);
        return TPDFPoint{x, a.y + (b.y - a.y) * t};
      };
    };
    auto crossY = [](double y) {
      return [y](TPDFPoint a, TPDFPoint b) {
        const double t = (y - a.y) / (b.y - a.y);
        return TPDFPoint{a.x + (b.x - a.x) * t, y};
      };
    };
    pts = ClipAgainst(pts, [&](TPDFPoint p) { return p.x >= box.minX; }, crossX(box.minX));
    pts = ClipAgainst(pts, [&](TPDFPoint p) { return p.x <= box.maxX; }, crossX(box.maxX));
    pts = ClipAgainst(pts, [&](TPDFPoint p) { return p.y >= box.minY; }, crossY(box.minY));
    pts = ClipAgainst(pts, [&](TPDFPoint p) { return p.y <= box.maxY; }, crossY(box.maxY));
    if (pts.size() >= 3) result.push_back({std::move(pts), true});
  }
  return result;
}

std::vector<TPolyline> ClipPolylines(const std::vector<TPolyline>& lines, const TBox& box) {
  std::vector<TPolyline> result;
  for (const TPolyline& line : lines) {
    if (std::all_of(line.points.begin(), line.points.end(),
                    [&](TPDFPoint p) { return Inside(p, box); })) {
      result.push_back(line);
      continue;
    }
    std::vector<TPDFPoint> pts = line.points;
    if (line.closed && !pts.empty()) pts.push_back(pts.front());
    TPolyline piece;
    for (std::size_t i = 1; i < pts.size(); ++i) {
      const auto cut = ClipSegment(pts[i - 1], pts[i], box);
      if (!cut) {
        if (piece.points.size() >= 2) result.push_back(std::move(piece));
        piece = TPolyline{};
        continue;
      }
      if (piece.points.empty() || cut->t0 > 0) {
        if (piece.points.size() >= 2) result.push_back(std::move(piece));
        piece = TPolyline{};
        piece.points.push_back(cut->a);
      }
      piece.points.push_back(cut->b);
      if (cut->t1 < 1) {
        result.push_back(std::move(piece));
        piece = TPolyline{};
      }
    }
    if (piece.points.size() >= 2) result.push_back(std::move(piece));
  }
  return result;
}

namespace {

// Walks a dash pattern: which entry we are in, how much of it is left, and whether it draws.
class TDashWalker {
 public:
  TDashWalker(std::span<const double> dashes, double phase) : m_dashes(dashes) {
    double sum = 0;
    for (double d : dashes) sum += d;
    // With an odd count the on/off roles swap every round: the true period is two rounds.
    m_period = (dashes.size() % 2 == 1) ? 2 * sum : sum;
    Reset(phase);
  }

  void Reset(double phase) {
    m_index = 0;
    m_on = true;
    m_left = m_dashes[0];
    if (!std::isfinite(phase)) phase = 0;
    phase = std::fmod(phase, m_period);
    if (phase < 0) phase += m_period;
    SkipSmall(phase);
  }

  // Advances without producing anything; long distances are reduced by whole periods first.
  void Skip(double length) {
    if (length > m_period) length = std::fmod(length, m_period);
    SkipSmall(length);
  }

  bool On() const { return m_on; }
  double Left() const { return m_left; }

  void Consume(double length) { m_left -= length; }

  void Next() {
    m_index = (m_index + 1) % m_dashes.size();
    m_on = !m_on;
    m_left = m_dashes[m_index];
  }

 private:
  void SkipSmall(double length) {
    // At most one round of entries (two for odd counts) plus the rounding slack.
    for (std::size_t guard = 0; length > 0 && guard < 2 * m_dashes.size() + 2; ++guard) {
      if (length < m_left) {
        m_left -= length;
        return;
      }
      length -= m_left;
      Next();
    }
  }

  std::span<const double> m_dashes;
  double m_period = 0;
  std::size_t m_index = 0;
  bool m_on = true;
  double m_left = 0;
};

}  // namespace

namespace {

// Collects dashes as path ops: each dash is a Move followed by Lines; a dash without length
// becomes a Move and a Line to the same point (a dot).
class TDashSink {
 public:
  explicit TDashSink(std::vector<TPathOp>& out) : m_out(out) {}

  void BeginSubpath() {
    m_firstStart = m_firstEnd = kNone;
    m_firstAtOrigin = false;
  }

  bool Open() const { return m_open; }

  void Start(TPDFPoint p, bool atOrigin) {
    End();
    m_start = m_out.size();
    m_out.push_back({TPathOpKind::Move, {p}});
    m_last = p;
    m_open = true;
    if (m_firstStart == kNone) {
      m_firstStart = m_start;
      m_firstAtOrigin = atOrigin;
    }
  }

  void Add(TPDFPoint p) {
    if (p == m_last) return;
    m_out.push_back({TPathOpKind::Line, {p}});
    m_last = p;
  }

  void End() {
    if (!m_open) return;
    if (m_out.size() == m_start + 1) m_out.push_back({TPathOpKind::Line, {m_last}});
    if (m_start == m_firstStart) m_firstEnd = m_out.size();
    m_open = false;
  }

  // At the end of a closed subpath whose pattern draws across its start: the open last dash
  // and the first dash are one dash.
  void FinishClosed() {
    if (!m_open || !m_firstAtOrigin) {
      End();
      return;
    }
    if (m_start == m_firstStart) {
      // One dash runs all the way round: the outline stays closed, with a join at its start.
      if (m_out.size() > m_start + 1 && m_out.back().p[0] == m_out[m_start].p[0]) {
        m_out.pop_back();
      }
      m_out.push_back({TPathOpKind::Close, {}});
      m_open = false;
      return;
    }
    // Append the first dash's lines to the last one, then drop the first dash.
    for (std::size_t i = m_firstStart + 1; i < m_firstEnd; ++i) Add(m_out[i].p[0]);
    m_open = false;
    m_out.erase(m_out.begin() + static_cast<std::ptrdiff_t>(m_firstStart),
                m_out.begin() + static_cast<std::ptrdiff_t>(m_firstEnd));
  }

 private:
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  std::vector<TPathOp>& m_out;
  std::size_t m_start = 0;
  std::size_t m_firstStart = kNone;
  std::size_t m_firstEnd = kNone;
  bool m_firstAtOrigin = false;
  bool m_open = false;
  TPDFPoint m_last{};
};

}  // namespace

std::optional<std::vector<TPathOp>> DashPolylines(const std::vector<TPolyline>& lines,
                                                  std::span<const double> dashes, double phase,
                                                  const TBox& box, std::size_t maxSteps) {
  if (dashes.empty()) return std::nullopt;
  double sum = 0;
  for (double d : dashes) {
    if (!std::isfinite(d) || d < 0) return std::nullopt;
    sum += d;
  }
  if (!(sum >= kMinDashPeriod) || !std::isfinite(sum)) return std::nullopt;

  // Estimate the work first from the visible length, so that a hopeless pattern is refused
  // before anything is built.
  double visibleLength = 0;
  for (const TPolyline& line : lines) {
    const std::size_t n = line.points.size();
    for (std::size_t i = 1; i <= n; ++i) {
      if (i == n && !(line.closed && n > 1)) break;
      const TPDFPoint a = line.points[i - 1], b = line.points[i % n];
      if (const auto cut = ClipSegment(a, b, box)) visibleLength += Distance(cut->a, cut->b);
    }
  }
  const double estimate = visibleLength / sum * static_cast<double>(dashes.size());
  if (!(estimate <= static_cast<double>(maxSteps))) return std::nullopt;

  std::vector<TPathOp> out;
  TDashSink sink(out);
  std::size_t steps = 0;
  TDashWalker walker(dashes, phase);

  for (const TPolyline& line : lines) {
    walker.Reset(phase);
    sink.BeginSubpath();
    std::vector<TPDFPoint> pts = line.points;
    if (line.closed && !pts.empty()) pts.push_back(pts.front());
    if (pts.size() < 2) continue;

    bool lengthSeen = false;
    for (std::size_t i = 1; i < pts.size(); ++i) {
      const TPDFPoint a = pts[i - 1], b = pts[i];
      const double len = Distance(a, b);
      if (!(len > 0)) continue;
      const bool atOrigin = !lengthSeen;
      lengthSeen = true;
      const auto cut = ClipSegment(a, b, box);
      if (!cut) {
        sink.End();
        walker.Skip(len);
        continue;
      }
      if (cut->t0 > 0) {
        sink.End();
        walker.Skip(cut->t0 * len);
      }
      // Inside the box, positions are measured from the cut point along the visible part.
      const TPDFPoint ca = cut->a, cb = cut->b;
      const double visible = Distance(ca, cb);
      if (walker.On() && !sink.Open()) sink.Start(ca, atOrigin && cut->t0 == 0);
      double s = 0;
      while (true) {
        if (++steps > maxSteps) return std::nullopt;
        const double left = walker.Left();
        if (s + left >= visible) {
          walker.Consume(visible - s);
          break;
        }
        s += left;
        const TPDFPoint p = visible > 0 ? Lerp(ca, cb, s / visible) : ca;
        if (walker.On()) {
          if (!sink.Open()) sink.Start(p, false);
          sink.Add(p);
          sink.End();
        }
        walker.Next();
        if (walker.On()) sink.Start(p, false);
      }
      if (sink.Open()) sink.Add(cb);
      if (cut->t1 < 1) {
        sink.End();
        walker.Skip((1 - cut->t1) * len);
      }
    }

    if (!lengthSeen) {
      // A subpath of zero length: a dot when the pattern draws at its start.
      if (walker.On() && Inside(pts[0], box)) {
        sink.Start(pts[0], false);
        sink.End();
      }
      continue;
    }
    if (line.closed) {
      sink.FinishClosed();
    } else {
      sink.End();
    }
  }
  return out;
}

std::vector<TPathOp> PolylinesToOps(const std::vector<TPolyline>& lines) {
  std::vector<TPathOp> ops;
  for (const TPolyline& line : lines) {
    if (line.points.empty()) continue;
    ops.push_back({TPathOpKind::Move, {line.points[0]}});
    if (line.points.size() == 1) {
      ops.push_back({TPathOpKind::Line, {line.points[0]}});  // a dot
      continue;
    }
    for (std::size_t i = 1; i < line.points.size(); ++i) {
      ops.push_back({TPathOpKind::Line, {line.points[i]}});
    }
    if (line.closed) ops.push_back({TPathOpKind::Close, {}});
  }
  return ops;
}

}  // namespace kestrel
