// Painting function-based, axial and radial shadings into a bitmap.
#include <algorithm>
#include <cmath>

#include "engine/render/colour/colour_registry.h"
#include "engine/render/shading/shading.h"

namespace kestrel {

namespace {

// Colours sampled along the parameter of axial and radial shadings.
constexpr int kLutSize = 1024;
// Nodes a function-based shading is evaluated at, along each side.
constexpr double kFunctionGrid = 128;

std::uint32_t ToPixel(TPackedColor c, std::uint32_t alpha) {
  return alpha | (std::uint32_t{PackedRed(c)} << 16) | (std::uint32_t{PackedGreen(c)} << 8) |
         PackedBlue(c);
}

// Parameter s of an axial shading at p, or NaN where it does not paint.
double AxialParameter(const TPDFShading& s, TPDFPoint p) {
  const double dx = s.Coords[2] - s.Coords[0], dy = s.Coords[3] - s.Coords[1];
  const double den = dx * dx + dy * dy;
  if (den == 0) return std::nan("");
  double t = ((p.x - s.Coords[0]) * dx + (p.y - s.Coords[1]) * dy) / den;
  if (t < 0) t = s.Extend[0] ? 0 : std::nan("");
  else if (t > 1) t = s.Extend[1] ? 1 : std::nan("");
  return t;
}

// Parameter s of a radial shading at p: the largest s whose circle passes through p.
double RadialParameter(const TPDFShading& s, TPDFPoint p) {
  const double x0 = s.Coords[0], y0 = s.Coords[1], r0 = s.Coords[2];
  const double cdx = s.Coords[3] - x0, cdy = s.Coords[4] - y0, dr = s.Coords[5] - r0;
  const double pdx = p.x - x0, pdy = p.y - y0;
  const double a = cdx * cdx + cdy * cdy - dr * dr;
  const double b = pdx * cdx + pdy * cdy + r0 * dr;
  const double c = pdx * pdx + pdy * pdy - r0 * r0;
  auto usable = [&](double t) {
    if (!std::isfinite(t) || r0 + t * dr < 0) return false;
    if (t < 0) return s.Extend[0];
    if (t > 1) return s.Extend[1];
    return true;
  };
  double candidates[2];
  int n = 0;
  if (std::fabs(a) < 1e-12) {
    if (b == 0) return std::nan("");
    candidates[n++] = c / (2 * b);
  } else {
    const double disc = b * b - a * c;
    if (disc < 0) return std::nan("");
    const double root = std::sqrt(disc);
    const double t1 = (b + root) / a, t2 = (b - root) / a;
    candidates[n++] = std::max(t1, t2);
    candidates[n++] = std::min(t1, t2);
  }
  for (int i = 0; i < n; ++i)
    if (usable(candidates[i])) return std::clamp(candidates[i], 0.0, 1.0);
  return std::nan("");
}

std::uint32_t Blend(std::uint32_t c00, std::uint32_t c10, std::uint32_t c01, std::uint32_t c11,
                    double fx, double fy) {
  std::uint32_t out = c00 & 0xFF000000u;
  for (int shift = 0; shift < 24; shift += 8) {
    const double v00 = (c00 >> shift) & 0xFF, v10 = (c10 >> shift) & 0xFF;
    const double v01 = (c01 >> shift) & 0xFF, v11 = (c11 >> shift) & 0xFF;
    const double v = (v00 * (1 - fx) + v10 * fx) * (1 - fy) + (v01 * (1 - fx) + v11 * fx) * fy;
    out |= static_cast<std::uint32_t>(std::nearbyint(v)) << shift;
  }
  return out;
}

bool InBox(const TPDFShading& s, TPDFPoint p) {
  if (!s.BBox) return true;
  const auto& b = *s.BBox;
  return p.x >= b[0] && p.x <= b[2] && p.y >= b[1] && p.y <= b[3];
}

}  // namespace

double FunctionGridSpacing(int width, int height) {
  return std::max(1.0, std::max(width, height) / kFunctionGrid);
}

std::size_t ShadingEvaluations(const TPDFShading& shading, int width, int height) {
  if (shading.Type == 1) {
    const double spacing = FunctionGridSpacing(width, height);
    return static_cast<std::size_t>((std::ceil(width / spacing) + 1) *
                                    (std::ceil(height / spacing) + 1));
  }
  if (shading.Type <= 3 || shading.HasFunction) return kLutSize;
  return 0;
}

void RasterizeShading(TPDFShading& shading, TPDFColorSpaces& spaces, const TPDFMatrix& toDevice,
                      int x0, int y0, int width, int height, double alpha, TCanvasBitmap& out) {
  out.Width = std::max(width, 0);
  out.Height = std::max(height, 0);
  out.Pixels.assign(static_cast<std::size_t>(out.Width) * out.Height, 0);
  const std::optional<TPDFMatrix> toShading = InvertMatrix(toDevice);
  if (!toShading || out.Pixels.empty()) return;
  if (shading.Type >= 4) {
    RasterizeMesh(shading, spaces, toDevice, x0, y0, width, height, alpha, out);
    return;
  }
  const std::uint32_t a = static_cast<std::uint32_t>(std::nearbyint(std::clamp(alpha, 0.0, 1.0) * 255)) << 24;
  std::vector<double> comps;

  if (shading.Type == 2 || shading.Type == 3) {
    std::vector<std::uint32_t> lut(kLutSize);
    const double t0 = shading.Domain[0], t1 = shading.Domain[1];
    for (int i = 0; i < kLutSize; ++i) {
      const double in[1] = {t0 + (t1 - t0) * i / (kLutSize - 1)};
      shading.Evaluate(in, comps);
      lut[static_cast<std::size_t>(i)] = ToPixel(spaces.Convert(shading.Space, comps, false).Packed, a);
    }
    const bool axial = shading.Type == 2;
    for (int y = 0; y < out.Height; ++y) {
      std::uint32_t* row = &out.Pixels[static_cast<std::size_t>(y) * out.Width];
      for (int x = 0; x < out.Width; ++x) {
        const TPDFPoint p = TransformPoint(*toShading, x0 + x + 0.5, y0 + y + 0.5);
        if (!InBox(shading, p)) continue;
        const double s = axial ? AxialParameter(shading, p) : RadialParameter(shading, p);
        if (std::isnan(s)) continue;
        row[x] = lut[static_cast<std::size_t>(std::nearbyint(s * (kLutSize - 1)))];
      }
    }
    return;
  }

  // Function-based: the function is defined over its domain, which Matrix places in the
  // shading's space. It is evaluated on a grid of at most kFunctionGrid² nodes and the colours
  // are blended between the nodes (per pixel when the area is small enough).
  TPDFMatrix domainToDevice;
  MatrixMultiply(domainToDevice, shading.Matrix, toDevice);
  const std::optional<TPDFMatrix> toDomain = InvertMatrix(domainToDevice);
  if (!toDomain) return;
  const double spacing = FunctionGridSpacing(out.Width, out.Height);
  const int nx = static_cast<int>(std::ceil(out.Width / spacing)) + 1;
  const int ny = static_cast<int>(std::ceil(out.Height / spacing)) + 1;
  const auto& d = shading.Domain;
  std::vector<std::uint32_t> nodes(static_cast<std::size_t>(nx) * ny, 0);
  std::vector<unsigned char> inside(nodes.size(), 0);
  for (int j = 0; j < ny; ++j) {
    for (int i = 0; i < nx; ++i) {
      const double cx = x0 + std::min(i * spacing + 0.5, out.Width - 0.5);
      const double cy = y0 + std::min(j * spacing + 0.5, out.Height - 0.5);
      const TPDFPoint u = TransformPoint(*toDomain, cx, cy);
      if (u.x < std::min(d[0], d[1]) || u.x > std::max(d[0], d[1]) || u.y < std::min(d[2], d[3]) ||
          u.y > std::max(d[2], d[3]) || !InBox(shading, TransformPoint(shading.Matrix, u.x, u.y)))
        continue;
      const double in[2] = {u.x, u.y};
      shading.Evaluate(in, comps);
      const std::size_t k = static_cast<std::size_t>(j) * nx + i;
      nodes[k] = ToPixel(spaces.Convert(shading.Space, comps, false).Packed, a);
      inside[k] = 1;
    }
  }
  for (int y = 0; y < out.Height; ++y) {
    const double gy = std::min(y / spacing, ny - 1.0);
    const int j = std::min(static_cast<int>(gy), ny - 2 < 0 ? 0 : ny - 2);
    const double fy = ny > 1 ? gy - j : 0;
    for (int x = 0; x < out.Width; ++x) {
      const double gx = std::min(x / spacing, nx - 1.0);
      const int i = std::min(static_cast<int>(gx), nx - 2 < 0 ? 0 : nx - 2);
      const double fx = nx > 1 ? gx - i : 0;
      const std::size_t k00 = static_cast<std::size_t>(j) * nx + i;
      const std::size_t k10 = nx > 1 ? k00 + 1 : k00;
      const std::size_t k01 = ny > 1 ? k00 + nx : k00;
      const std::size_t k11 = nx > 1 ? k01 + 1 : k01;
      std::uint32_t& px = out.Pixels[static_cast<std::size_t>(y) * out.Width + x];
      if (inside[k00] && inside[k10] && inside[k01] && inside[k11]) {
        px = Blend(nodes[k00], nodes[k10], nodes[k01], nodes[k11], fx, fy);
      } else {
        // At the domain's edge: the nearest node decides.
        const std::size_t k = (fy < 0.5 ? (fx < 0.5 ? k00 : k10) : (fx < 0.5 ? k01 : k11));
        if (inside[k]) px = nodes[k];
      }
    }
  }
}

}  // namespace kestrel
