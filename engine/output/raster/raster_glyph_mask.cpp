#include "engine/output/raster/raster_glyph_mask.h"

#include <cmath>

#include "engine/output/raster/raster_canvas_backend.h"

namespace kestrel::picasso {

namespace {

// What an entry costs besides its pixels: the surface, the list node and the index slot.
constexpr std::size_t kEntryOverhead = 512;

}  // namespace

bool RasterizeGlyphMask(const std::vector<TPathOp>& ops, const TPathBounds& bounds,
                        bool antialias, TGlyphMask& out) {
  out = TGlyphMask{};
  if (ops.empty() || bounds.empty) return true;
  // Bounds near the origin's pixel: the outline is no more than a few hundred pixels across.
  if (!(std::fabs(bounds.minX) < 1e4 && std::fabs(bounds.maxX) < 1e4 &&
        std::fabs(bounds.minY) < 1e4 && std::fabs(bounds.maxY) < 1e4))
    return false;
  const int left = static_cast<int>(std::floor(bounds.minX)) - 1;
  const int top = static_cast<int>(std::floor(bounds.minY)) - 1;
  const int width = static_cast<int>(std::ceil(bounds.maxX)) + 1 - left;
  const int height = static_cast<int>(std::ceil(bounds.maxY)) + 1 - top;
  if (width <= 0 || height <= 0 || width > kMaxGlyphMaskPixels / height) return false;
  TSurfacePtr surface(cairo_image_surface_create(CAIRO_FORMAT_A8, width, height));
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return false;
  cairo_t* cr = cairo_create(surface.get());
  SetAntialias(cr, antialias);
  cairo_translate(cr, -left, -top);
  EmitOps(cr, ops);
  cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
  cairo_set_source_rgba(cr, 0, 0, 0, 1);
  cairo_fill(cr);
  const bool ok = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
  cairo_destroy(cr);
  if (!ok) return false;
  cairo_surface_flush(surface.get());
  out.surface = std::move(surface);
  out.left = left;
  out.top = top;
  out.width = width;
  out.height = height;
  return true;
}

std::size_t GlyphMaskBytes(const TGlyphMask& mask) {
  if (!mask.surface) return kEntryOverhead;
  const auto stride = static_cast<std::size_t>(cairo_image_surface_get_stride(mask.surface.get()));
  return kEntryOverhead + stride * static_cast<std::size_t>(mask.height);
}

TGlyphMaskCache& ThreadGlyphMasks() {
  thread_local TGlyphMaskCache cache(kGlyphCacheBudget);
  return cache;
}

}  // namespace kestrel::picasso
