// Pictures on the metafile canvas. An axis-aligned picture goes into the metafile at its own
// resolution (when that is not far finer than the page); any other placement is resampled to
// the page's pixel grid, with the pixels outside the parallelogram left transparent.
#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/output/metafile/metafile_canvas.h"
#include "engine/output/raster/raster_canvas_image.h"

namespace kestrel {

namespace {

// Stores a premultiplied ARGB sample: below half opacity it is transparent, else opaque and
// mixed with white by its coverage. Returns whether it is opaque.
bool PutSample(TMetafileImage& image, std::size_t i, std::uint32_t premultiplied) {
  const std::uint32_t a = premultiplied >> 24;
  if (a < 128) {
    image.Mask[i] = 0;
    return false;
  }
  auto channel = [&](int shift) {
    return static_cast<std::uint8_t>(std::min<std::uint32_t>(255, ((premultiplied >> shift) & 0xFF) + (255 - a)));
  };
  image.Bgr[3 * i] = channel(0);
  image.Bgr[3 * i + 1] = channel(8);
  image.Bgr[3 * i + 2] = channel(16);
  image.Mask[i] = 1;
  return true;
}

bool Near(double a, double b, double scale) { return std::fabs(a - b) <= 1e-6 * (1 + scale); }

bool Meets(const TBox& a, const TBox& b) {
  return a.minX <= b.maxX && b.minX <= a.maxX && a.minY <= b.maxY && b.minY <= a.maxY;
}

}  // namespace

void TMetafileCanvas::DrawBitmap(const TCanvasBitmap& bitmap, double x1, double y1, double x2,
                                 double y2, double x3, double y3, TImageSampling sampling) {
  if (!IsUsableBitmap(bitmap)) return;
  const TPDFPoint p1{x1, y1}, p2{x2, y2}, p3{x3, y3};
  const TPDFPoint p4{x2 + x3 - x1, y2 + y3 - y1};
  if (!IsFinitePoint(p1) || !IsFinitePoint(p2) || !IsFinitePoint(p3) || !IsFinitePoint(p4)) {
    return;
  }
  const auto inverse = BitmapInverseMapping(bitmap.Width, bitmap.Height, p1, p2, p3);
  if (!inverse) return;
  const bool smooth = sampling == TImageSampling::Smooth;
  const double pageW = static_cast<double>(m_meta.Width());
  const double pageH = static_cast<double>(m_meta.Height());

  const double left = std::min({p1.x, p2.x, p3.x, p4.x}), right = std::max({p1.x, p2.x, p3.x, p4.x});
  const double top = std::min({p1.y, p2.y, p3.y, p4.y}), bottom = std::max({p1.y, p2.y, p3.y, p4.y});
  const double scale = std::max({std::fabs(left), std::fabs(right), std::fabs(top), std::fabs(bottom)});
  const bool axisAligned = Near(p1.y, p2.y, scale) && Near(p1.x, p3.x, scale);
  const bool inGuard = left >= -m_margin && top >= -m_margin && right <= pageW + m_margin &&
                       bottom <= pageH + m_margin;
  const double destArea = (right - left) * (bottom - top);
  const double pixels = double(bitmap.Width) * double(bitmap.Height);

  if (axisAligned && inGuard && bitmap.Width <= kMaxPictureSide &&
      bitmap.Height <= kMaxPictureSide && pixels <= std::max(4 * destArea, double(1 << 20))) {
    // The picture as it is, mirrored where the parallelogram runs right-to-left or upwards.
    const bool flipX = p2.x < p1.x, flipY = p3.y < p1.y;
    const auto w = static_cast<std::size_t>(bitmap.Width), h = static_cast<std::size_t>(bitmap.Height);
    TMetafileImage image;
    image.Width = bitmap.Width;
    image.Height = bitmap.Height;
    image.Bgr.resize(w * h * 3);
    image.Mask.resize(w * h);
    bool transparent = false;
    const TCanvasColorKey* key = bitmap.ColorKey ? &*bitmap.ColorKey : nullptr;
    for (std::size_t y = 0; y < h; ++y) {
      const std::size_t sy = flipY ? h - 1 - y : y;
      for (std::size_t x = 0; x < w; ++x) {
        const std::size_t sx = flipX ? w - 1 - x : x;
        const std::uint32_t p = bitmap.Pixels[sy * w + sx];
        const std::uint32_t sample = key && key->Hides(p) ? 0 : Premultiply(p);
        if (!PutSample(image, y * w + x, sample)) transparent = true;
      }
    }
    if (!transparent) image.Mask.clear();
    image.X = left;
    image.Y = top;
    image.W = right - left;
    image.H = bottom - top;
    image.Smooth = smooth;
    if (MaskToClip(image)) m_meta.AddImage(std::move(image));
    return;
  }

  // Resampled on the page grid, cut to the page; a grid cell grows beyond a pixel when the
  // picture covers more than kMaxResamplePixels of them.
  const double gx0 = std::max(0.0, std::floor(left)), gy0 = std::max(0.0, std::floor(top));
  const double gx1 = std::min(pageW, std::ceil(right)), gy1 = std::min(pageH, std::ceil(bottom));
  if (!(gx0 < gx1 && gy0 < gy1)) return;
  const double area = (gx1 - gx0) * (gy1 - gy0);
  const double cell = area > double(kMaxResamplePixels) ? std::sqrt(area / double(kMaxResamplePixels)) : 1.0;
  const int cols = std::max(1, static_cast<int>(std::ceil((gx1 - gx0) / cell)));
  const int rows = std::max(1, static_cast<int>(std::ceil((gy1 - gy0) / cell)));
  // Grid cell (c, r) covers device x0 + c*cell ..; its centre maps into the bitmap.
  const TPDFMatrix gridToDevice{cell, 0, 0, cell, gx0, gy0};
  TPDFMatrix gridToBitmap;
  MatrixMultiply(gridToBitmap, gridToDevice, *inverse);

  TMetafileImage image;
  image.Width = cols;
  image.Height = rows;
  const auto count = static_cast<std::size_t>(cols) * static_cast<std::size_t>(rows);
  image.Bgr.assign(count * 3, 0);
  image.Mask.assign(count, 0);
  std::vector<std::uint32_t> samples(static_cast<std::size_t>(cols));
  bool transparent = false;
  for (int r = 0; r < rows; ++r) {
    ResampleBitmap(bitmap, gridToBitmap, smooth, 0, r, cols, 1, samples.data(), cols);
    for (int c = 0; c < cols; ++c) {
      const TPDFPoint uv = TransformPoint(gridToBitmap, c + 0.5, r + 0.5);
      const bool inside = uv.x >= 0 && uv.y >= 0 && uv.x < bitmap.Width && uv.y < bitmap.Height;
      const std::size_t i = static_cast<std::size_t>(r) * cols + c;
      if (!inside || !PutSample(image, i, samples[c])) transparent = true;
    }
  }
  if (!transparent) image.Mask.clear();
  image.X = gx0;
  image.Y = gy0;
  image.W = cols * cell;
  image.H = rows * cell;
  image.Smooth = smooth && cell > 1;
  if (MaskToClip(image)) m_meta.AddImage(std::move(image));
}

bool TMetafileCanvas::MaskToClip(TMetafileImage& image) {
  const TClipRegion* region = ActiveRegion();
  if (!region) return true;
  const TBox box{std::min(image.X, image.X + image.W), std::min(image.Y, image.Y + image.H),
                 std::max(image.X, image.X + image.W), std::max(image.Y, image.Y + image.H)};
  if (region->polygons.empty() || !Meets(box, region->bounds)) return false;
  TClipRegion near;
  near.polygons = ClipPolygons(region->polygons,
                               {box.minX - 1, box.minY - 1, box.maxX + 1, box.maxY + 1});
  near.evenOdd = region->evenOdd;
  const auto w = static_cast<std::size_t>(image.Width), h = static_cast<std::size_t>(image.Height);
  std::vector<std::uint8_t> mask = image.Mask;
  if (mask.empty()) mask.assign(w * h, 1);
  bool visible = false, cut = false;
  for (std::size_t r = 0; r < h; ++r) {
    const double y = image.Y + (static_cast<double>(r) + 0.5) * image.H / static_cast<double>(h);
    const auto spans = RegionRowSpans(near, y, m_clipWork, kMaxClipWork);
    if (!spans || w > kMaxClipWork - std::min(m_clipWork, kMaxClipWork)) {
      m_meta.NoteDropped();  // left whole, inside the clip's bounding box only
      return true;
    }
    m_clipWork += w;
    std::size_t k = 0;
    for (std::size_t c = 0; c < w; ++c) {
      const double x = image.X + (static_cast<double>(c) + 0.5) * image.W / static_cast<double>(w);
      // Columns run left to right when W is positive, which every recorded picture has.
      while (k < spans->size() && (*spans)[k].second <= x) ++k;
      const bool in = k < spans->size() && (*spans)[k].first <= x;
      std::uint8_t& m = mask[r * w + c];
      if (!in && m != 0) m = 0, cut = true;
      visible = visible || m != 0;
    }
  }
  if (cut) image.Mask = std::move(mask);
  return visible;
}

}  // namespace kestrel
