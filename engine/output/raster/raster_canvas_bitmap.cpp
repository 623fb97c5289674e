// The raster canvas's picture drawing: the bitmap is resampled in software into blocks of
// device pixels, which Cairo then paints through the parallelogram (so clip and edge
// smoothing apply as for any path).
#include <algorithm>
#include <cmath>

#include "engine/graphics/canvas_geometry.h"
#include "engine/output/raster/raster_canvas_image.h"
#include "engine/output/raster/raster_canvas_impl.h"

namespace kestrel {

using namespace picasso;

void TPDFPicasso::Impl::DrawBitmap(const TCanvasBitmap& bitmap, TPDFPoint p1, TPDFPoint p2,
                                   TPDFPoint p3, TImageSampling sampling) {
  if (mode != TMode::Library || !IsUsableBitmap(bitmap)) return;
  const TPDFPoint p4{p2.x + p3.x - p1.x, p2.y + p3.y - p1.y};
  if (!IsFinitePoint(p1) || !IsFinitePoint(p2) || !IsFinitePoint(p3) || !IsFinitePoint(p4)) {
    return;
  }
  const auto inverse = BitmapInverseMapping(bitmap.Width, bitmap.Height, p1, p2, p3);
  if (!inverse) return;
  const bool smooth = sampling == TImageSampling::Smooth ||
                      (sampling == TImageSampling::Default && settings.SmoothImages);
  // Unsmoothed pictures keep hard edges, like their nearest-neighbour pixels.
  const bool antialias = smooth && settings.AntiAlias;

  TCanvasPath quad;
  quad.MoveTo(p1);
  quad.LineTo(p1, p2);
  quad.LineTo(p2, p4);
  quad.LineTo(p4, p3);
  quad.ClosePath();
  std::vector<TPathOp> clipped;
  const std::vector<TPathOp>* ops = &quad.Ops();
  if (!BoundsInside(quad.Bounds(), kDirectCoordLimit)) {
    clipped =
        PolylinesToOps(ClipPolygons(FlattenPath(quad.Ops(), limits::kFlattenTolerance), SurfaceBox(16)));
    ops = &clipped;
  }

  const TPathBounds& b = quad.Bounds();
  for (TTile& tile : tiles.Tiles()) {
    double cx1 = 0, cy1 = 0, cx2 = 0, cy2 = 0;
    cairo_clip_extents(tile.cr, &cx1, &cy1, &cx2, &cy2);
    const double left = std::max({b.minX, cx1, static_cast<double>(tile.x0)});
    const double top = std::max({b.minY, cy1, static_cast<double>(tile.y0)});
    const double right = std::min({b.maxX, cx2, static_cast<double>(tile.x0 + tile.width)});
    const double bottom = std::min({b.maxY, cy2, static_cast<double>(tile.y0 + tile.height)});
    if (!(left < right && top < bottom)) continue;
    const int x0 = static_cast<int>(std::floor(left));
    const int y0 = static_cast<int>(std::floor(top));
    const int x1 = static_cast<int>(std::ceil(right));
    const int y1 = static_cast<int>(std::ceil(bottom));
    const int blockWidth = x1 - x0;
    const int rowsPerBlock =
        static_cast<int>(std::max<std::size_t>(1, kImageBlockPixels / blockWidth));

    for (int by = y0; by < y1; by += rowsPerBlock) {
      const int blockHeight = std::min(rowsPerBlock, y1 - by);
      cairo_surface_t* block =
          cairo_image_surface_create(CAIRO_FORMAT_ARGB32, blockWidth, blockHeight);
      if (cairo_surface_status(block) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(block);
        break;
      }
      cairo_surface_flush(block);
      auto* data = reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(block));
      const int stride = cairo_image_surface_get_stride(block) / 4;
      ResampleBitmap(bitmap, *inverse, smooth, x0, by, blockWidth, blockHeight, data, stride);
      cairo_surface_mark_dirty(block);

      cairo_save(tile.cr);
      cairo_rectangle(tile.cr, x0, by, blockWidth, blockHeight);
      cairo_clip(tile.cr);
      const TBox blockBox{double(x0), double(by), double(x0 + blockWidth), double(by + blockHeight)};
      // The picture's own alpha is its shape and opacity at once.
      PaintElement(tile, blockBox, 1.0, [&](cairo_t* cr, double) {
        cairo_set_source_surface(cr, block, x0, by);
        cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
        SetAntialias(cr, antialias);
        EmitOps(cr, *ops);
        cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
        cairo_fill(cr);
      });
      cairo_restore(tile.cr);
      cairo_surface_destroy(block);
      Check(tile);
    }
  }
}

}  // namespace kestrel
