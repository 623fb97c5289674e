#include "engine/output/metafile/metafile_clip.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace kestrel {

namespace {

std::size_t EdgeCount(const TClipRegion& region) {
  std::size_t n = 0;
  for (const TPolyline& p : region.polygons) n += p.points.size();
  return n;
}

bool Charge(std::size_t& work, std::size_t amount, std::size_t maxWork) {
  if (amount > maxWork || work > maxWork - amount) return false;
  work += amount;
  return true;
}

bool Covered(const TClipRegion& region, int winding) {
  return region.evenOdd ? (winding & 1) != 0 : winding != 0;
}

// Parameters t in (0, 1) where segment a-b crosses an edge of the region.
void Crossings(const TClipRegion& region, TPDFPoint a, TPDFPoint b, std::vector<double>& out) {
  const double dx = b.x - a.x, dy = b.y - a.y;
  for (const TPolyline& poly : region.polygons) {
    const std::size_t n = poly.points.size();
    for (std::size_t i = 0; i < n; ++i) {
      const TPDFPoint c = poly.points[i], d = poly.points[(i + 1) % n];
      const double ex = d.x - c.x, ey = d.y - c.y;
      const double denom = dx * ey - dy * ex;
      if (denom == 0) continue;  // parallel: the sub-segment tests settle it
      const double t = ((c.x - a.x) * ey - (c.y - a.y) * ex) / denom;
      const double u = ((c.x - a.x) * dy - (c.y - a.y) * dx) / denom;
      if (t > 0 && t < 1 && u >= 0 && u <= 1) out.push_back(t);
    }
  }
}

TPDFPoint Lerp(TPDFPoint a, TPDFPoint b, double t) {
  return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
}

}  // namespace

void UpdateClipBounds(TClipRegion& region) {
  TBox b{std::numeric_limits<double>::max(), std::numeric_limits<double>::max(),
         std::numeric_limits<double>::lowest(), std::numeric_limits<double>::lowest()};
  for (const TPolyline& p : region.polygons) {
    for (const TPDFPoint& q : p.points) {
      b.minX = std::min(b.minX, q.x), b.maxX = std::max(b.maxX, q.x);
      b.minY = std::min(b.minY, q.y), b.maxY = std::max(b.maxY, q.y);
    }
  }
  region.bounds = b;
}

bool RegionContains(const TClipRegion& region, TPDFPoint p) {
  int winding = 0;
  for (const TPolyline& poly : region.polygons) {
    const std::size_t n = poly.points.size();
    if (n < 3) continue;
    for (std::size_t i = 0; i < n; ++i) {
      const TPDFPoint a = poly.points[i], b = poly.points[(i + 1) % n];
      if ((a.y <= p.y) == (b.y <= p.y)) continue;
      const double x = a.x + (p.y - a.y) * (b.x - a.x) / (b.y - a.y);
      if (x > p.x) winding += b.y > a.y ? 1 : -1;
    }
  }
  return Covered(region, winding);
}

std::optional<std::vector<TPolyline>> ClipPolylinesToRegion(const std::vector<TPolyline>& lines,
                                                            const TClipRegion& region,
                                                            std::size_t& work,
                                                            std::size_t maxWork) {
  const std::size_t edges = std::max<std::size_t>(1, EdgeCount(region));
  std::vector<TPolyline> out;
  std::vector<double> ts;
  for (const TPolyline& line : lines) {
    const std::size_t n = line.points.size();
    if (n == 0) continue;
    if (n == 1) {
      // A dot marks its place only inside.
      if (!Charge(work, edges, maxWork)) return std::nullopt;
      if (RegionContains(region, line.points[0])) out.push_back(line);
      continue;
    }
    const std::size_t firstOut = out.size();
    bool open = false;  // the last polyline in `out` is still being extended
    bool allInside = true;
    bool startsAtFirstVertex = false;
    const std::size_t segments = line.closed ? n : n - 1;
    for (std::size_t s = 0; s < segments; ++s) {
      const TPDFPoint a = line.points[s], b = line.points[(s + 1) % n];
      ts.assign(1, 0.0);
      if (!Charge(work, edges, maxWork)) return std::nullopt;
      Crossings(region, a, b, ts);
      ts.push_back(1.0);
      std::sort(ts.begin(), ts.end());
      // Each sub-segment between crossings is wholly in or out; its midpoint decides.
      if (!Charge(work, edges * (ts.size() - 1), maxWork)) return std::nullopt;
      for (std::size_t k = 0; k + 1 < ts.size(); ++k) {
        if (ts[k + 1] <= ts[k]) continue;
        const bool in = RegionContains(region, Lerp(a, b, (ts[k] + ts[k + 1]) / 2));
        if (!in) {
          allInside = false;
          open = false;
          continue;
        }
        if (!open) {
          if (s == 0 && k == 0) startsAtFirstVertex = true;
          out.push_back({{Lerp(a, b, ts[k])}, false});
          open = true;
        }
        out.back().points.push_back(k + 2 == ts.size() ? b : Lerp(a, b, ts[k + 1]));
      }
    }
    if (line.closed && allInside && out.size() == firstOut + 1) {
      // Wholly inside: the outline as it was, joined all round.
      out.back() = line;
      continue;
    }
    // A closed outline cut somewhere: the piece running into the start continues the first.
    if (line.closed && open && startsAtFirstVertex && out.size() >= firstOut + 2) {
      TPolyline& first = out[firstOut];
      TPolyline& last = out.back();
      last.points.insert(last.points.end(), first.points.begin() + 1, first.points.end());
      first = std::move(last);
      out.pop_back();
    }
  }
  return out;
}

std::optional<std::vector<std::pair<double, double>>> RegionRowSpans(const TClipRegion& region,
                                                                     double y, std::size_t& work,
                                                                     std::size_t maxWork) {
  if (!Charge(work, std::max<std::size_t>(1, EdgeCount(region)), maxWork)) return std::nullopt;
  std::vector<std::pair<double, int>> hits;
  for (const TPolyline& poly : region.polygons) {
    const std::size_t n = poly.points.size();
    if (n < 3) continue;
    for (std::size_t i = 0; i < n; ++i) {
      const TPDFPoint a = poly.points[i], b = poly.points[(i + 1) % n];
      if ((a.y <= y) == (b.y <= y)) continue;
      hits.push_back({a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y), b.y > a.y ? 1 : -1});
    }
  }
  std::sort(hits.begin(), hits.end());
  std::vector<std::pair<double, double>> spans;
  int winding = 0;
  double from = 0;
  for (const auto& [x, dir] : hits) {
    const bool before = Covered(region, winding);
    winding += dir;
    const bool after = Covered(region, winding);
    if (!before && after) from = x;
    if (before && !after && x > from) spans.push_back({from, x});
  }
  return spans;
}

}  // namespace kestrel
