// Painting function-based, axial and radial shadings into a bitmap.
#include <algorithm>
#include <cmath>

#include "engine/render/colour_registry.h"
#include "engine/render/shading.h"

namespace kestrel {

namespace {

// Colours sampled along the parameter of axial and radial shadings.
constexpr int kLutSize = 1024;
// Function evaluations of a function-based shading; beyond it, blocks of pixels share one.
constexpr double kMaxFunctionSamples = 250'000;

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

bool InBox(const TPDFShading& s, TPDFPoint p) {
  if (!s.BBox) return true;
  const auto& b = *s.BBox;
  return p.x >= b[0] && p.x <= b[2] && p.y >= b[1] && p.y <= b[3];
}

}  // namespace

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
  // shading's space.
  TPDFMatrix domainToDevice;
  MatrixMultiply(domainToDevice, shading.Matrix, toDevice);
  const std::optional<TPDFMatrix> toDomain = InvertMatrix(domainToDevice);
  if (!toDomain) return;
  const double pixels = static_cast<double>(out.Width) * out.Height;
  const int step = pixels <= kMaxFunctionSamples
                       ? 1
                       : static_cast<int>(std::ceil(std::sqrt(pixels / kMaxFunctionSamples)));
  const auto& d = shading.Domain;
  for (int by = 0; by < out.Height; by += step) {
    for (int bx = 0; bx < out.Width; bx += step) {
      const double cx = x0 + std::min(bx + step / 2.0, out.Width - 0.5);
      const double cy = y0 + std::min(by + step / 2.0, out.Height - 0.5);
      const TPDFPoint u = TransformPoint(*toDomain, cx, cy);
      if (u.x < std::min(d[0], d[1]) || u.x > std::max(d[0], d[1]) || u.y < std::min(d[2], d[3]) ||
          u.y > std::max(d[2], d[3]))
        continue;
      if (!InBox(shading, TransformPoint(shading.Matrix, u.x, u.y))) continue;
      const double in[2] = {u.x, u.y};
      shading.Evaluate(in, comps);
      const std::uint32_t px = ToPixel(spaces.Convert(shading.Space, comps, false).Packed, a);
      for (int y = by; y < std::min(by + step, out.Height); ++y)
        for (int x = bx; x < std::min(bx + step, out.Width); ++x)
          out.Pixels[static_cast<std::size_t>(y) * out.Width + x] = px;
    }
  }
}

}  // namespace kestrel
