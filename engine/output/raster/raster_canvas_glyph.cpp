// The raster canvas's glyphs: each plainly filled glyph is blended from a coverage mask kept
// per glyph, size and sub-pixel origin instead of scanning its outline again.
#include <cmath>

#include "engine/output/raster/raster_canvas_impl.h"
#include "engine/output/raster/raster_glyph_mask.h"

namespace kestrel {

using namespace picasso;

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
  const double left = x + mask->left, top = y + mask->top;
  const TBox box{left, top, left + mask->width, top + mask->height};
  for (TTile& tile : tiles.Tiles()) {
    if (!TouchesTile(tile, box)) continue;
    SetSourceColor(tile.cr, fillColor, fillAlpha);
    cairo_mask_surface(tile.cr, mask->surface.get(), left, top);
    Check(tile);
  }
  return true;
}

}  // namespace kestrel
