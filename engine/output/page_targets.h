#pragma once
// The page targets the renderer draws into are made here, by the page outputs, and nowhere
// else: the renderer only interprets a page onto a canvas it is given.
#include <memory>
#include <optional>

#include "engine/graphics/raster_image.h"
#include "engine/output/eps/eps_export.h"

namespace kestrel {

class TPDFRenderer;

// A new bitmap of the page's size, white or `background`, with the page drawn on it through
// the raster canvas.
// False, with the renderer's ErrorText() saying why and no bitmap, when the bitmap cannot be
// made (a size past the pixel limit). A content error still gives true: the bitmap holds what
// was drawn before it and ErrorText() says what went wrong.
bool RenderPageBitmap(TPDFRenderer& renderer, std::optional<TRasterImage>& bitmap,
                      TRgbPixel background = 0xFFFFFF);
// Draws the page (or the renderer's band of it) onto `image` through the raster canvas; false
// when the canvas cannot be attached.
bool DrawPageOnBitmap(TPDFRenderer& renderer, TRasterImage& image);
// The page as a finished EPS writer, the renderer's ErrorText() saying whether content failed
// (the lines written before the failure are kept).
std::unique_ptr<TPDFEPSExport> RenderPageEPS(TPDFRenderer& renderer);

}  // namespace kestrel
