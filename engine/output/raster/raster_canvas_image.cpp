#include "engine/output/raster/raster_canvas_image.h"

#include <cmath>
#include <cstddef>
#include <limits>
#include <vector>

namespace kestrel {

std::uint32_t Premultiply(std::uint32_t argb) {
  const std::uint32_t a = argb >> 24;
  if (a == 255) return argb;
  if (a == 0) return 0;
  auto mul = [a](std::uint32_t c) { return (c * a + 127) / 255; };
  return (a << 24) | (mul((argb >> 16) & 0xFF) << 16) | (mul((argb >> 8) & 0xFF) << 8) |
         mul(argb & 0xFF);
}

namespace {

// Index of the sample at bitmap coordinate t, clamped into 0..n-1 before any conversion.
int ClampIndex(double t, int n) {
  if (!(t >= 0)) return 0;  // also NaN
  if (t >= n - 1) return n - 1;
  return static_cast<int>(t);
}

// std::lround for a finite c >= 0, without the library call: the fraction c - trunc(c) is
// exact, so halves round up just as there.
std::uint32_t RoundHalfUp(double c) {
  const auto whole = static_cast<std::uint32_t>(c);
  return whole + (c - whole >= 0.5 ? 1u : 0u);
}

class TSampler {
 public:
  explicit TSampler(const TCanvasBitmap& bitmap)
      : m_bitmap(bitmap), m_key(bitmap.ColorKey ? &*bitmap.ColorKey : nullptr) {}

  std::uint32_t At(int x, int y) const {
    const std::uint32_t p =
        m_bitmap.Pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(m_bitmap.Width) +
                        static_cast<std::size_t>(x)];
    if (m_key && m_key->Hides(p)) return 0;
    return Premultiply(p);
  }

  std::uint32_t Nearest(double u, double v) const {
    return At(ClampIndex(std::floor(u), m_bitmap.Width),
              ClampIndex(std::floor(v), m_bitmap.Height));
  }

  std::uint32_t Bilinear(double u, double v) const {
    // Sample centres sit at half-integers.
    u -= 0.5;
    v -= 0.5;
    const double fu = std::floor(u), fv = std::floor(v);
    double tu = u - fu, tv = v - fv;
    if (!(tu >= 0 && tu <= 1)) tu = 0;
    if (!(tv >= 0 && tv <= 1)) tv = 0;
    const int xa = ClampIndex(fu, m_bitmap.Width), xb = ClampIndex(fu + 1, m_bitmap.Width);
    const int ya = ClampIndex(fv, m_bitmap.Height), yb = ClampIndex(fv + 1, m_bitmap.Height);
    return Blend(xa, xb, tu, ya, yb, tv);
  }

  // The four pixels (xa, ya), (xb, ya), (xa, yb), (xb, yb) weighted by fractions tu, tv in 0..1.
  std::uint32_t Blend(int xa, int xb, double tu, int ya, int yb, double tv) const {
    const std::uint32_t p00 = At(xa, ya), p10 = At(xb, ya), p01 = At(xa, yb), p11 = At(xb, yb);
    // Weights sum to 1 within a few ulps, so four equal pixels round back to themselves.
    if (p00 == p10 && p00 == p01 && p00 == p11) return p00;
    const double w00 = (1 - tu) * (1 - tv), w10 = tu * (1 - tv), w01 = (1 - tu) * tv,
                 w11 = tu * tv;
    std::uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
      const double c = w00 * ((p00 >> shift) & 0xFF) + w10 * ((p10 >> shift) & 0xFF) +
                       w01 * ((p01 >> shift) & 0xFF) + w11 * ((p11 >> shift) & 0xFF);
      out |= RoundHalfUp(c) << shift;
    }
    return out;
  }

 private:
  const TCanvasBitmap& m_bitmap;
  const TCanvasColorKey* m_key;
};

}  // namespace

bool IsUsableBitmap(const TCanvasBitmap& bitmap) {
  if (bitmap.Width <= 0 || bitmap.Height <= 0) return false;
  const auto w = static_cast<std::size_t>(bitmap.Width);
  const auto h = static_cast<std::size_t>(bitmap.Height);
  if (w > std::numeric_limits<std::size_t>::max() / h) return false;
  return bitmap.Pixels.size() >= w * h;
}

std::optional<TPDFMatrix> BitmapInverseMapping(int width, int height, TPDFPoint p1, TPDFPoint p2,
                                               TPDFPoint p3) {
  if (width <= 0 || height <= 0) return std::nullopt;
  // Bitmap pixel (u, v) lands on p1 + u * ex + v * ey.
  const TPDFMatrix forward{(p2.x - p1.x) / width,  (p2.y - p1.y) / width,
                           (p3.x - p1.x) / height, (p3.y - p1.y) / height,
                           p1.x,                   p1.y};
  // A parallelogram thinner than a millionth of a pixel covers nothing.
  const double area = std::fabs((p2.x - p1.x) * (p3.y - p1.y) - (p2.y - p1.y) * (p3.x - p1.x));
  if (!(area > 1e-6) || !std::isfinite(area)) return std::nullopt;
  return InvertMatrix(forward);
}

void ResampleBitmap(const TCanvasBitmap& bitmap, const TPDFMatrix& deviceToBitmap, bool smooth,
                    int x0, int y0, int w, int h, std::uint32_t* out, int outStride) {
  const TSampler sampler(bitmap);
  const TPDFMatrix& m = deviceToBitmap;
  if (smooth && m.b == 0 && m.c == 0 && w > 0) {
    // Upright bitmaps: u depends on the column only and v on the row only (the zero terms add
    // nothing), so columns' sample positions and fractions are worked out once.
    struct TColumn {
      int xa, xb;
      double tu;
    };
    std::vector<TColumn> columns(static_cast<std::size_t>(w));
    for (int col = 0; col < w; ++col) {
      const double cx = x0 + col + 0.5;
      const double u = m.a * cx + m.e - 0.5;
      const double fu = std::floor(u);
      double tu = u - fu;
      if (!(tu >= 0 && tu <= 1)) tu = 0;
      columns[static_cast<std::size_t>(col)] = {ClampIndex(fu, bitmap.Width),
                                                ClampIndex(fu + 1, bitmap.Width), tu};
    }
    for (int row = 0; row < h; ++row) {
      std::uint32_t* line = out + static_cast<std::ptrdiff_t>(row) * outStride;
      const double cy = y0 + row + 0.5;
      const double v = m.d * cy + m.f - 0.5;
      const double fv = std::floor(v);
      double tv = v - fv;
      if (!(tv >= 0 && tv <= 1)) tv = 0;
      const int ya = ClampIndex(fv, bitmap.Height), yb = ClampIndex(fv + 1, bitmap.Height);
      for (int col = 0; col < w; ++col) {
        const TColumn& c = columns[static_cast<std::size_t>(col)];
        line[col] = sampler.Blend(c.xa, c.xb, c.tu, ya, yb, tv);
      }
    }
    return;
  }
  for (int row = 0; row < h; ++row) {
    std::uint32_t* line = out + static_cast<std::ptrdiff_t>(row) * outStride;
    const double cy = y0 + row + 0.5;
    for (int col = 0; col < w; ++col) {
      const double cx = x0 + col + 0.5;
      const double u = m.a * cx + m.c * cy + m.e;
      const double v = m.b * cx + m.d * cy + m.f;
      line[col] = smooth ? sampler.Bilinear(u, v) : sampler.Nearest(u, v);
    }
  }
}

}  // namespace kestrel
