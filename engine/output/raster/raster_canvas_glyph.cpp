// The raster canvas's glyphs: each plainly filled glyph is blended from a coverage mask kept
// per glyph, size and sub-pixel origin instead of scanning its outline again.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "engine/output/raster/raster_canvas_impl.h"
#include "engine/output/raster/raster_glyph_mask.h"

namespace kestrel {

using namespace picasso;

namespace {

// v / 255 rounded to nearest, for v up to 255 * 255.
std::uint32_t Div255(std::uint32_t v) {
  v += 128;
  return (v + (v >> 8)) >> 8;
}

// Blends the colour through the mask, whose top-left pixel lands on page pixel (left, top),
// straight into the tile's pixels: what Cairo would do for an unclipped mask, without its
// per-call setup.
void BlendMask(TTile& tile, const TGlyphMask& mask, int left, int top, std::uint32_t argb) {
  const int x0 = std::max(left, tile.x0), y0 = std::max(top, tile.y0);
  const int x1 = std::min(left + mask.width, tile.x0 + tile.width);
  const int y1 = std::min(top + mask.height, tile.y0 + tile.height);
  if (x0 >= x1 || y0 >= y1) return;
  cairo_surface_flush(tile.surface);
  unsigned char* pixels = cairo_image_surface_get_data(tile.surface);
  const unsigned char* coverage = cairo_image_surface_get_data(mask.surface.get());
  if (pixels == nullptr || coverage == nullptr) return;
  const std::ptrdiff_t stride = cairo_image_surface_get_stride(tile.surface);
  const std::ptrdiff_t maskStride = cairo_image_surface_get_stride(mask.surface.get());
  const std::uint32_t alpha = argb >> 24;
  const std::uint32_t red = (argb >> 16) & 0xFF, green = (argb >> 8) & 0xFF, blue = argb & 0xFF;
  for (int y = y0; y < y1; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(pixels + (y - tile.y0) * stride) + (x0 - tile.x0);
    const unsigned char* cover = coverage + (y - top) * maskStride + (x0 - left);
    for (int i = 0; i < x1 - x0; ++i) {
      if (cover[i] == 0) continue;
      const std::uint32_t t = alpha == 255 ? cover[i] : Div255(cover[i] * alpha);
      const std::uint32_t p = row[i], u = 255 - t;
      if (u == 0) {
        row[i] = (p & 0xFF000000u) | (red << 16) | (green << 8) | blue;
        continue;
      }
      const std::uint32_t r = Div255(red * t + ((p >> 16) & 0xFF) * u);
      const std::uint32_t g = Div255(green * t + ((p >> 8) & 0xFF) * u);
      const std::uint32_t b = Div255(blue * t + (p & 0xFF) * u);
      row[i] = (p & 0xFF000000u) | (r << 16) | (g << 8) | b;
    }
  }
  cairo_surface_mark_dirty_rectangle(tile.surface, x0 - tile.x0, y0 - tile.y0, x1 - x0, y1 - y0);
}

}  // namespace

bool TPDFPicasso::Impl::FillGlyph(const TGlyphKey& key, const TGlyphOutlineSource& outline,
                                  TPDFGenericCanvas& self) {
  if (mode != TMode::Library) return false;
  const TPDFMatrix& m = key.Matrix;
  const double wholeX = std::floor(m.e), wholeY = std::floor(m.f);
  if (!(std::fabs(wholeX) < kDirectCoordLimit && std::fabs(wholeY) < kDirectCoordLimit))
    return false;
  // The origin's place inside its pixel, in phase steps; a glyph whose origin is not on a
  // step (text not snapped to the grid) moves to the nearest one.
  int x = static_cast<int>(wholeX), y = static_cast<int>(wholeY);
  int phaseX = static_cast<int>(std::lround((m.e - wholeX) * kGlyphPhases));
  int phaseY = static_cast<int>(std::lround((m.f - wholeY) * kGlyphPhases));
  if (phaseX == kGlyphPhases) ++x, phaseX = 0;
  if (phaseY == kGlyphPhases) ++y, phaseY = 0;
  TGlyphMaskKey maskKey;
  if (!MakeGlyphMaskKey(key, phaseX, phaseY, PathAntialias(), maskKey)) return false;

  TGlyphMaskCache& cache = ThreadGlyphMasks();
  const TGlyphMask* mask = cache.Find(maskKey);
  if (!mask) {
    TPDFMatrix local = m;
    local.e = static_cast<double>(phaseX) / kGlyphPhases;
    local.f = static_cast<double>(phaseY) / kGlyphPhases;
    BeginPath();
    outline.AddOutline(self, local);
    TGlyphMask made;
    const bool ok = RasterizeGlyphMask(path.Ops(), path.Bounds(), PathAntialias(), made);
    DiscardPath();
    if (!ok) return false;
    const std::size_t bytes = GlyphMaskBytes(made);
    mask = &cache.Insert(maskKey, std::move(made), bytes);
  }
  if (!mask->surface) return true;
  const int left = x + mask->left, top = y + mask->top;
  if (appliedClips.empty() && layers.empty() && paintOp == CAIRO_OPERATOR_OVER) {
    // Nothing clips, and the page's own opaque pixels are the target: the mask goes straight
    // into them (a soft-mask layer has an alpha channel of its own to keep).
    const std::uint32_t argb = PackedToARGB(fillColor, fillAlpha);
    if (argb >> 24 == 0) return true;
    for (TTile& tile : tiles.Tiles()) BlendMask(tile, *mask, left, top, argb);
    return true;
  }
  const TBox box{double(left), double(top), double(left + mask->width), double(top + mask->height)};
  for (TTile& tile : tiles.Tiles()) {
    if (!TouchesTile(tile, box)) continue;
    PaintElement(tile, box, fillAlpha, [&](cairo_t* cr, double a) {
      SetSourceColor(cr, fillColor, a);
      cairo_mask_surface(cr, mask->surface.get(), left, top);
    });
    Check(tile);
  }
  return true;
}

}  // namespace kestrel
