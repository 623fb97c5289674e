#include "engine/output/metafile/metafile_nonzero.h"

#include <algorithm>
#include <cmath>

namespace kestrel {

namespace {

struct TEdge {
  double x0, y0, x1, y1;  // y0 < y1
  int dir;
  int set;  // 0: the subject, 1: the clip
  double XAt(double y) const { return x0 + (x1 - x0) * (y - y0) / (y1 - y0); }
};

struct TSpan {
  double leftTop, leftBottom, rightTop, rightBottom;
};

// A run of spans, one a band, joined into one polygon: left side down, right side up.
struct TChain {
  std::vector<TPDFPoint> left, right;
};

// How one set of polygons counts as covering a point: by its fill rule, or everywhere (a set
// that takes no part).
enum class TRule { NonZero, EvenOdd, Everywhere };

bool Covers(TRule rule, int winding) {
  switch (rule) {
    case TRule::NonZero: return winding != 0;
    case TRule::EvenOdd: return (winding & 1) != 0;
    case TRule::Everywhere: return true;
  }
  return false;
}

// Sweeps a horizontal line down the edges and emits, band by band, the spans covered by both
// sets; spans that continue each other from band to band are joined into one piece.
class TSweep {
 public:
  TSweep(double slice, TRule subject, TRule clip)
      : m_slice(slice > 0 && std::isfinite(slice) ? slice : 1.0), m_rules{subject, clip} {}

  bool Run(std::vector<TEdge> edges, std::vector<double> ys) {
    std::sort(edges.begin(), edges.end(), [](const TEdge& a, const TEdge& b) { return a.y0 < b.y0; });
    std::size_t next = 0;
    std::vector<TEdge> active;
    for (std::size_t k = 0; k + 1 < ys.size(); ++k) {
      const double ya = ys[k], yb = ys[k + 1];
      active.erase(std::remove_if(active.begin(), active.end(),
                                  [ya](const TEdge& e) { return e.y1 <= ya; }),
                   active.end());
      while (next < edges.size() && edges[next].y0 <= ya) {
        if (edges[next].y1 > ya) active.push_back(edges[next]);
        ++next;
      }
      m_work += active.size();
      if (m_work > kMaxNonZeroWork) return false;
      if (active.empty()) {
        CloseChains();
        continue;
      }
      if (Crossing(active, ya, yb)) {
        const double n = std::min(4096.0, std::ceil((yb - ya) / m_slice));
        for (double i = 0; i < n; ++i) {
          m_work += active.size();
          if (m_work > kMaxNonZeroWork) return false;
          Band(active, ya + (yb - ya) * i / n, i + 1 == n ? yb : ya + (yb - ya) * (i + 1) / n);
        }
      } else {
        Band(active, ya, yb);
      }
    }
    CloseChains();
    return true;
  }

  bool Overlaps() const { return m_overlap; }
  std::vector<TPolyline>& Pieces() { return m_pieces; }

 private:
  // Whether two edges change their order between the band's top and bottom.
  static bool Crossing(std::vector<TEdge>& active, double ya, double yb) {
    std::sort(active.begin(), active.end(),
              [ya](const TEdge& a, const TEdge& b) { return a.XAt(ya) < b.XAt(ya); });
    for (std::size_t i = 1; i < active.size(); ++i) {
      if (active[i].XAt(yb) < active[i - 1].XAt(yb) - 1e-9) return true;
    }
    return false;
  }

  void Band(std::vector<TEdge>& active, double ya, double yb) {
    const double ym = (ya + yb) / 2;
    std::sort(active.begin(), active.end(),
              [ym](const TEdge& a, const TEdge& b) { return a.XAt(ym) < b.XAt(ym); });
    std::vector<TSpan> spans;
    int winding[2] = {0, 0};
    bool inside = false;
    const TEdge* start = nullptr;
    for (const TEdge& e : active) {
      winding[e.set] += e.dir;
      if (std::abs(winding[0]) > 1) m_overlap = true;
      const bool now = Covers(m_rules[0], winding[0]) && Covers(m_rules[1], winding[1]);
      if (!inside && now) start = &e;
      if (inside && !now && start) {
        spans.push_back({start->XAt(ya), start->XAt(yb), e.XAt(ya), e.XAt(yb)});
      }
      inside = now;
    }
    // Spans continue the chains of the band above when they match one for one.
    bool continues = spans.size() == m_chains.size() && ya == m_lastY;
    for (std::size_t i = 0; continues && i < spans.size(); ++i) {
      const TPDFPoint& l = m_chains[i].left.back();
      const TPDFPoint& r = m_chains[i].right.back();
      continues = std::fabs(l.x - spans[i].leftTop) < 1e-6 && std::fabs(r.x - spans[i].rightTop) < 1e-6;
    }
    if (!continues) {
      CloseChains();
      for (const TSpan& s : spans) {
        m_chains.push_back({{{s.leftTop, ya}}, {{s.rightTop, ya}}});
      }
    }
    for (std::size_t i = 0; i < spans.size(); ++i) {
      m_chains[i].left.push_back({spans[i].leftBottom, yb});
      m_chains[i].right.push_back({spans[i].rightBottom, yb});
    }
    m_lastY = yb;
  }

  void CloseChains() {
    for (TChain& c : m_chains) {
      TPolyline p;
      p.closed = true;
      p.points = std::move(c.left);
      p.points.insert(p.points.end(), c.right.rbegin(), c.right.rend());
      m_pieces.push_back(std::move(p));
    }
    m_chains.clear();
    m_lastY = std::nan("");
  }

  double m_slice;
  TRule m_rules[2];
  std::size_t m_work = 0;
  bool m_overlap = false;
  double m_lastY = std::nan("");
  std::vector<TChain> m_chains;
  std::vector<TPolyline> m_pieces;
};

// Adds the edges of the closed polygons to `edges` and their vertex heights to `ys`; false
// when a point is not finite or the edge bound is passed.
bool CollectEdges(const std::vector<TPolyline>& polygons, int set, std::vector<TEdge>& edges,
                  std::vector<double>& ys) {
  for (const TPolyline& poly : polygons) {
    const std::size_t n = poly.points.size();
    if (n < 3) continue;
    for (std::size_t i = 0; i < n; ++i) {
      const TPDFPoint a = poly.points[i], b = poly.points[(i + 1) % n];
      if (!IsFinitePoint(a) || !IsFinitePoint(b)) return false;
      ys.push_back(a.y);
      if (a.y == b.y) continue;
      if (edges.size() >= kMaxNonZeroEdges) return false;
      if (a.y < b.y) edges.push_back({a.x, a.y, b.x, b.y, 1, set});
      else edges.push_back({b.x, b.y, a.x, a.y, -1, set});
    }
  }
  return true;
}

}  // namespace

std::optional<std::vector<TPolyline>> NonZeroAsDisjoint(const std::vector<TPolyline>& polygons,
                                                       double sliceHeight) {
  std::vector<TEdge> edges;
  std::vector<double> ys;
  if (!CollectEdges(polygons, 0, edges, ys) || edges.empty()) return std::nullopt;
  std::sort(ys.begin(), ys.end());
  ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
  TSweep sweep(sliceHeight, TRule::NonZero, TRule::Everywhere);
  if (!sweep.Run(std::move(edges), std::move(ys)) || !sweep.Overlaps()) return std::nullopt;
  return std::move(sweep.Pieces());
}

std::optional<std::vector<TPolyline>> IntersectAsDisjoint(const std::vector<TPolyline>& subject,
                                                         bool subjectEvenOdd,
                                                         const std::vector<TPolyline>& clip,
                                                         bool clipEvenOdd, double sliceHeight) {
  std::vector<TEdge> edges;
  std::vector<double> ys;
  if (!CollectEdges(subject, 0, edges, ys) || !CollectEdges(clip, 1, edges, ys)) {
    return std::nullopt;
  }
  std::sort(ys.begin(), ys.end());
  ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
  TSweep sweep(sliceHeight, subjectEvenOdd ? TRule::EvenOdd : TRule::NonZero,
               clipEvenOdd ? TRule::EvenOdd : TRule::NonZero);
  if (!sweep.Run(std::move(edges), std::move(ys))) return std::nullopt;
  return std::move(sweep.Pieces());
}

}  // namespace kestrel
