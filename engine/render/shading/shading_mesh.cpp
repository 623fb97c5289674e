// Mesh shadings: free-form and lattice triangle meshes (types 4, 5) and Coons and
// tensor-product patch meshes (types 6, 7), read from their packed vertex data and painted as
// Gouraud-shaded triangles.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "engine/render/colour/colour_registry.h"
#include "engine/render/renderer.h"
#include "engine/render/shading/shading.h"

namespace kestrel {

namespace {

// Elements one shading may hold, and pixels its triangles may test in total.
constexpr std::size_t kMaxMeshTriangles = 300'000;
constexpr std::size_t kMaxMeshPatches = 100'000;
constexpr double kMaxMeshPixelTests = 64e6;
constexpr int kLutSize = 1024;

class TBitReader {
 public:
  explicit TBitReader(TByteView data) : data_(data) {}

  bool Read(int bits, std::uint64_t& value) {
    value = 0;
    if (bits <= 0 || bits > 32) return false;
    if (bit_ + static_cast<std::size_t>(bits) > data_.size() * 8) return false;
    for (int i = 0; i < bits; ++i, ++bit_) {
      const auto byte = static_cast<unsigned char>(data_[bit_ / 8]);
      value = (value << 1) | ((byte >> (7 - bit_ % 8)) & 1);
    }
    return true;
  }
  void Align() { bit_ = (bit_ + 7) / 8 * 8; }

 private:
  TByteView data_;
  std::size_t bit_ = 0;
};

struct TMeshFormat {
  int coordBits = 0, compBits = 0, flagBits = 0;
  std::vector<double> decode;  // xmin xmax ymin ymax, then a pair per value
  int values = 1;
};

bool ReadNumber(TBitReader& in, int bits, double lo, double hi, double& out) {
  std::uint64_t raw = 0;
  if (!in.Read(bits, raw)) return false;
  const double max = std::ldexp(1.0, bits) - 1;
  out = lo + static_cast<double>(raw) * (hi - lo) / max;
  return true;
}

bool ReadPoint(TBitReader& in, const TMeshFormat& f, TPDFPoint& p) {
  return ReadNumber(in, f.coordBits, f.decode[0], f.decode[1], p.x) &&
         ReadNumber(in, f.coordBits, f.decode[2], f.decode[3], p.y);
}

bool ReadValues(TBitReader& in, const TMeshFormat& f, TMeshValues& v) {
  for (int i = 0; i < f.values; ++i) {
    const std::size_t k = 4 + 2 * static_cast<std::size_t>(i);
    if (!ReadNumber(in, f.compBits, f.decode[k], f.decode[k + 1], v[static_cast<std::size_t>(i)]))
      return false;
  }
  return true;
}

bool ReadVertex(TBitReader& in, const TMeshFormat& f, TMeshVertex& v) {
  return ReadPoint(in, f, v.P) && ReadValues(in, f, v.V);
}

void ParseFreeForm(TPDFShading& s, TBitReader& in, const TMeshFormat& f) {
  TMeshVertex prev[3];
  bool havePrev = false;
  for (;;) {
    if (s.Triangles.size() >= kMaxMeshTriangles) return;
    std::uint64_t flag = 0;
    TMeshVertex v;
    if (!in.Read(f.flagBits, flag) || !ReadVertex(in, f, v)) return;
    in.Align();
    if (flag == 0) {
      TMeshVertex b, c;
      std::uint64_t ignored = 0;
      if (!in.Read(f.flagBits, ignored) || !ReadVertex(in, f, b)) return;
      in.Align();
      if (!in.Read(f.flagBits, ignored) || !ReadVertex(in, f, c)) return;
      in.Align();
      prev[0] = v, prev[1] = b, prev[2] = c;
      havePrev = true;
    } else if (havePrev && (flag == 1 || flag == 2)) {
      // The new vertex and an edge of the previous triangle.
      if (flag == 1) prev[0] = prev[1];
      prev[1] = prev[2];
      prev[2] = v;
    } else {
      continue;
    }
    s.Triangles.push_back(TMeshTriangle{{prev[0], prev[1], prev[2]}});
  }
}

void ParseLattice(TPDFShading& s, TBitReader& in, const TMeshFormat& f, int perRow) {
  std::vector<TMeshVertex> above, row;
  for (;;) {
    row.clear();
    for (int i = 0; i < perRow; ++i) {
      TMeshVertex v;
      if (!ReadVertex(in, f, v)) return;
      in.Align();
      row.push_back(v);
    }
    if (!above.empty()) {
      for (int i = 0; i + 1 < perRow; ++i) {
        if (s.Triangles.size() + 2 > kMaxMeshTriangles) return;
        const auto k = static_cast<std::size_t>(i);
        s.Triangles.push_back(TMeshTriangle{{above[k], above[k + 1], row[k]}});
        s.Triangles.push_back(TMeshTriangle{{above[k + 1], row[k + 1], row[k]}});
      }
    }
    std::swap(above, row);
  }
}

TPDFPoint Combine(std::initializer_list<std::pair<double, TPDFPoint>> terms) {
  TPDFPoint out{};
  for (const auto& [w, p] : terms) out.x += w * p.x, out.y += w * p.y;
  return out;
}

void ParsePatches(TPDFShading& s, TBitReader& in, const TMeshFormat& f, bool tensor) {
  TMeshPatch prev{};
  bool havePrev = false;
  for (;;) {
    if (s.Patches.size() >= kMaxMeshPatches) return;
    std::uint64_t flag = 0;
    if (!in.Read(f.flagBits, flag)) return;
    TMeshPatch p{};
    // The boundary as the data lists it: up the left edge (u = 0), across the top (v = 1),
    // down the right edge and back along the bottom.
    static constexpr int kBoundary[12][2] = {{0, 0}, {0, 1}, {0, 2}, {0, 3}, {1, 3}, {2, 3},
                                             {3, 3}, {3, 2}, {3, 1}, {3, 0}, {2, 0}, {1, 0}};
    int first = 0;
    if (flag != 0) {
      if (!havePrev || flag > 3) return;
      // An edge of the previous patch becomes this patch's left edge.
      static constexpr int kEdges[3][4][2] = {{{0, 3}, {1, 3}, {2, 3}, {3, 3}},
                                              {{3, 3}, {3, 2}, {3, 1}, {3, 0}},
                                              {{3, 0}, {2, 0}, {1, 0}, {0, 0}}};
      const auto& e = kEdges[flag - 1];
      for (int k = 0; k < 4; ++k) p.P[0][k] = prev.P[e[k][0]][e[k][1]];
      static constexpr int kCorners[3][2][2] = {{{0, 1}, {1, 1}}, {{1, 1}, {1, 0}}, {{1, 0}, {0, 0}}};
      const auto& c = kCorners[flag - 1];
      p.C[0][0] = prev.C[c[0][0]][c[0][1]];
      p.C[0][1] = prev.C[c[1][0]][c[1][1]];
      first = 4;
    }
    for (int k = first; k < 12; ++k)
      if (!ReadPoint(in, f, p.P[kBoundary[k][0]][kBoundary[k][1]])) return;
    if (tensor) {
      for (const auto& ij : {std::pair{1, 1}, {1, 2}, {2, 2}, {2, 1}})
        if (!ReadPoint(in, f, p.P[ij.first][ij.second])) return;
    }
    // Corner colours in the order (0,0), (0,1), (1,1), (1,0).
    static constexpr int kCornerOrder[4][2] = {{0, 0}, {0, 1}, {1, 1}, {1, 0}};
    for (int k = flag == 0 ? 0 : 2; k < 4; ++k)
      if (!ReadValues(in, f, p.C[kCornerOrder[k][0]][kCornerOrder[k][1]])) return;
    in.Align();
    if (!tensor) {
      // A Coons patch's inner control points follow from its boundary.
      const auto& q = p.P;
      p.P[1][1] = Combine({{-4 / 9.0, q[0][0]}, {6 / 9.0, q[0][1]}, {6 / 9.0, q[1][0]},
                           {-2 / 9.0, q[0][3]}, {-2 / 9.0, q[3][0]}, {3 / 9.0, q[3][1]},
                           {3 / 9.0, q[1][3]}, {-1 / 9.0, q[3][3]}});
      p.P[1][2] = Combine({{-4 / 9.0, q[0][3]}, {6 / 9.0, q[0][2]}, {6 / 9.0, q[1][3]},
                           {-2 / 9.0, q[0][0]}, {-2 / 9.0, q[3][3]}, {3 / 9.0, q[3][2]},
                           {3 / 9.0, q[1][0]}, {-1 / 9.0, q[3][0]}});
      p.P[2][1] = Combine({{-4 / 9.0, q[3][0]}, {6 / 9.0, q[3][1]}, {6 / 9.0, q[2][0]},
                           {-2 / 9.0, q[3][3]}, {-2 / 9.0, q[0][0]}, {3 / 9.0, q[0][1]},
                           {3 / 9.0, q[2][3]}, {-1 / 9.0, q[0][3]}});
      p.P[2][2] = Combine({{-4 / 9.0, q[3][3]}, {6 / 9.0, q[3][2]}, {6 / 9.0, q[2][3]},
                           {-2 / 9.0, q[3][0]}, {-2 / 9.0, q[0][3]}, {3 / 9.0, q[0][2]},
                           {3 / 9.0, q[2][0]}, {-1 / 9.0, q[0][0]}});
    }
    s.Patches.push_back(p);
    prev = p;
    havePrev = true;
  }
}

// Paints triangles into the bitmap, colours interpolated from the vertex values.
class TTrianglePainter {
 public:
  TTrianglePainter(TPDFShading& s, TPDFColorSpaces& spaces, int x0, int y0, std::uint32_t alpha,
                   TCanvasBitmap& out)
      : s_(s), spaces_(spaces), x0_(x0), y0_(y0), alpha_(alpha), out_(out) {
    if (s.HasFunction) {
      lut_.resize(kLutSize);
      std::vector<double> comps;
      for (int i = 0; i < kLutSize; ++i) {
        const double in[1] = {s.TMin + (s.TMax - s.TMin) * i / (kLutSize - 1)};
        s.Evaluate(in, comps);
        lut_[static_cast<std::size_t>(i)] = Pixel(spaces.Convert(s.Space, comps, false).Packed);
      }
    }
  }

  bool OverBudget() const { return tested_ > kMaxMeshPixelTests; }

  // Device-space vertices.
  void Triangle(const TMeshVertex& a, const TMeshVertex& b, const TMeshVertex& c) {
    const double area = (b.P.x - a.P.x) * (c.P.y - a.P.y) - (c.P.x - a.P.x) * (b.P.y - a.P.y);
    if (!(std::fabs(area) > 1e-12) || OverBudget()) return;
    const double minX = std::min({a.P.x, b.P.x, c.P.x}) - x0_, maxX = std::max({a.P.x, b.P.x, c.P.x}) - x0_;
    const double minY = std::min({a.P.y, b.P.y, c.P.y}) - y0_, maxY = std::max({a.P.y, b.P.y, c.P.y}) - y0_;
    // Clamped to the bitmap before conversion: vertices may lie anywhere.
    const auto clampTo = [](double v, int hi) {
      return static_cast<int>(std::clamp(v, -1.0, static_cast<double>(hi)));
    };
    if (!std::isfinite(minX + maxX + minY + maxY)) return;
    const int ix0 = std::max(0, clampTo(std::floor(minX), out_.Width));
    const int iy0 = std::max(0, clampTo(std::floor(minY), out_.Height));
    const int ix1 = std::min(out_.Width - 1, clampTo(std::ceil(maxX), out_.Width));
    const int iy1 = std::min(out_.Height - 1, clampTo(std::ceil(maxY), out_.Height));
    if (ix0 > ix1 || iy0 > iy1) return;
    tested_ += static_cast<double>(ix1 - ix0 + 1) * (iy1 - iy0 + 1);
    for (int y = iy0; y <= iy1; ++y) {
      const double py = y0_ + y + 0.5;
      for (int x = ix0; x <= ix1; ++x) {
        const double px = x0_ + x + 0.5;
        // Barycentric weights; a pixel centre on an edge belongs to the triangle.
        const double wa = ((b.P.x - px) * (c.P.y - py) - (c.P.x - px) * (b.P.y - py)) / area;
        const double wb = ((c.P.x - px) * (a.P.y - py) - (a.P.x - px) * (c.P.y - py)) / area;
        const double wc = 1 - wa - wb;
        if (wa < -1e-9 || wb < -1e-9 || wc < -1e-9) continue;
        out_.Pixels[static_cast<std::size_t>(y) * out_.Width + x] = Color(a.V, b.V, c.V, wa, wb, wc);
      }
    }
  }

 private:
  std::uint32_t Pixel(TPackedColor c) const {
    return alpha_ | (std::uint32_t{PackedRed(c)} << 16) | (std::uint32_t{PackedGreen(c)} << 8) |
           PackedBlue(c);
  }

  std::uint32_t Color(const TMeshValues& a, const TMeshValues& b, const TMeshValues& c, double wa,
                      double wb, double wc) {
    if (s_.HasFunction) {
      const double t = wa * a[0] + wb * b[0] + wc * c[0];
      const double span = s_.TMax - s_.TMin;
      const double k = span != 0 ? (t - s_.TMin) / span : 0;
      return lut_[static_cast<std::size_t>(std::nearbyint(std::clamp(k, 0.0, 1.0) * (kLutSize - 1)))];
    }
    comps_.resize(static_cast<std::size_t>(s_.ValueCount));
    for (std::size_t i = 0; i < comps_.size(); ++i) comps_[i] = wa * a[i] + wb * b[i] + wc * c[i];
    return Pixel(spaces_.Convert(s_.Space, comps_, false).Packed);
  }

  TPDFShading& s_;
  TPDFColorSpaces& spaces_;
  int x0_, y0_;
  std::uint32_t alpha_;
  TCanvasBitmap& out_;
  std::vector<std::uint32_t> lut_;
  std::vector<double> comps_;
  double tested_ = 0;
};

double Bernstein(int i, double t) {
  const double s = 1 - t;
  switch (i) {
    case 0: return s * s * s;
    case 1: return 3 * t * s * s;
    case 2: return 3 * t * t * s;
    default: return t * t * t;
  }
}

TPDFPoint PatchPoint(const TMeshPatch& p, double u, double v) {
  TPDFPoint out{};
  for (int i = 0; i < 4; ++i) {
    const double bu = Bernstein(i, u);
    for (int j = 0; j < 4; ++j) {
      const double w = bu * Bernstein(j, v);
      out.x += w * p.P[i][j].x;
      out.y += w * p.P[i][j].y;
    }
  }
  return out;
}

TMeshValues PatchValues(const TMeshPatch& p, double u, double v, int count) {
  TMeshValues out{};
  for (int k = 0; k < count; ++k) {
    const auto i = static_cast<std::size_t>(k);
    out[i] = (1 - u) * (1 - v) * p.C[0][0][i] + (1 - u) * v * p.C[0][1][i] + u * v * p.C[1][1][i] +
             u * (1 - v) * p.C[1][0][i];
  }
  return out;
}

}  // namespace

bool ParseMesh(TPDFShading& s, const TPDFDictionary& dict, TByteView data, TPDFRenderer& r) {
  TMeshFormat f;
  auto integer = [&](TByteView key) {
    auto* n = As<TPDFNumeric>(r.ResolveObject(dict.GetValue(key, false)));
    return n ? n->AsInteger() : 0;
  };
  f.coordBits = integer("BitsPerCoordinate");
  f.compBits = integer("BitsPerComponent");
  f.flagBits = integer("BitsPerFlag");
  f.values = s.HasFunction ? 1 : s.Components;
  if (f.values > kMaxMeshValues || f.coordBits < 1 || f.coordBits > 32 || f.compBits < 1 ||
      f.compBits > 16) {
    return false;
  }
  if (s.Type != 5 && (f.flagBits < 1 || f.flagBits > 8)) return false;
  auto* decode = As<TPDFArray>(r.ResolveObject(dict.GetValue("Decode", false)));
  if (!decode || decode->Count() < 4 + 2 * f.values) return false;
  for (int i = 0; i < 4 + 2 * f.values; ++i) {
    auto* n = As<TPDFNumeric>(r.ResolveObject(decode->Item(i)));
    if (!n || !std::isfinite(n->Value)) return false;
    f.decode.push_back(n->Value);
  }
  s.ValueCount = f.values;
  s.TMin = std::min(f.decode[4], f.decode[5]);
  s.TMax = std::max(f.decode[4], f.decode[5]);
  TBitReader in(data);
  switch (s.Type) {
    case 4: ParseFreeForm(s, in, f); break;
    case 5: {
      const int perRow = integer("VerticesPerRow");
      if (perRow < 2) return false;
      ParseLattice(s, in, f, perRow);
      break;
    }
    default: ParsePatches(s, in, f, s.Type == 7); break;
  }
  return true;
}

void RasterizeMesh(TPDFShading& s, TPDFColorSpaces& spaces, const TPDFMatrix& toDevice, int x0,
                   int y0, int width, int height, double alpha, TCanvasBitmap& out) {
  (void)width;
  (void)height;
  const auto a = static_cast<std::uint32_t>(std::nearbyint(std::clamp(alpha, 0.0, 1.0) * 255)) << 24;
  TTrianglePainter painter(s, spaces, x0, y0, a, out);
  auto device = [&](const TMeshVertex& v) {
    return TMeshVertex{TransformPoint(toDevice, v.P.x, v.P.y), v.V};
  };
  for (const TMeshTriangle& t : s.Triangles) {
    if (painter.OverBudget()) return;
    painter.Triangle(device(t.V[0]), device(t.V[1]), device(t.V[2]));
  }
  for (const TMeshPatch& p : s.Patches) {
    if (painter.OverBudget()) return;
    // Enough steps that each piece spans a few pixels.
    double extent = 0;
    for (int i = 0; i < 4; ++i) {
      for (int j = 0; j < 3; ++j) {
        const TPDFPoint d = TransformVector(toDevice, p.P[i][j + 1].x - p.P[i][j].x,
                                            p.P[i][j + 1].y - p.P[i][j].y);
        const TPDFPoint e = TransformVector(toDevice, p.P[j + 1][i].x - p.P[j][i].x,
                                            p.P[j + 1][i].y - p.P[j][i].y);
        extent = std::max({extent, std::hypot(d.x, d.y) * 3, std::hypot(e.x, e.y) * 3});
      }
    }
    const double want = std::ceil(extent / 3);
    const int steps = !(want > 1) ? 1 : want >= 64 ? 64 : static_cast<int>(want);
    std::vector<TMeshVertex> grid(static_cast<std::size_t>((steps + 1) * (steps + 1)));
    for (int i = 0; i <= steps; ++i) {
      for (int j = 0; j <= steps; ++j) {
        const double u = static_cast<double>(i) / steps, v = static_cast<double>(j) / steps;
        const TPDFPoint q = PatchPoint(p, u, v);
        grid[static_cast<std::size_t>(i * (steps + 1) + j)] =
            TMeshVertex{TransformPoint(toDevice, q.x, q.y), PatchValues(p, u, v, s.ValueCount)};
      }
    }
    for (int i = 0; i < steps; ++i) {
      for (int j = 0; j < steps; ++j) {
        const auto at = [&](int di, int dj) -> const TMeshVertex& {
          return grid[static_cast<std::size_t>((i + di) * (steps + 1) + j + dj)];
        };
        painter.Triangle(at(0, 0), at(1, 0), at(1, 1));
        painter.Triangle(at(0, 0), at(1, 1), at(0, 1));
      }
    }
  }
}

}  // namespace kestrel
