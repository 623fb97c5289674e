#pragma once
// Private to the raster canvas: a glyph's coverage as a Cairo A8 surface, and the mask cache
// of the calling thread.
#include <cairo.h>

#include <memory>
#include <vector>

#include "engine/graphics/canvas_path.h"
#include "engine/output/raster/raster_glyph_cache.h"

namespace kestrel::picasso {

struct TSurfaceRelease {
  void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
using TSurfacePtr = std::unique_ptr<cairo_surface_t, TSurfaceRelease>;

// An A8 surface whose top-left pixel lies (left, top) pixels from the whole-pixel part of the
// glyph origin. No surface: the glyph covers nothing.
struct TGlyphMask {
  TSurfacePtr surface;
  int left = 0, top = 0, width = 0, height = 0;
};

// Scans the outline (device coordinates near the origin's pixel) into a mask as a fill of the
// page would cover pixels; false when the mask would be too large or could not be made.
bool RasterizeGlyphMask(const std::vector<TPathOp>& ops, const TPathBounds& bounds,
                        bool antialias, TGlyphMask& out);

// Bytes a mask is charged in the cache: its pixels and the bookkeeping around them.
std::size_t GlyphMaskBytes(const TGlyphMask& mask);

using TGlyphMaskCache = TByteBoundedCache<TGlyphMaskKey, TGlyphMask, TGlyphMaskKeyHash>;

// The cache of the calling thread, shared by the pages it renders.
TGlyphMaskCache& ThreadGlyphMasks();

}  // namespace kestrel::picasso
