#include <string>

#include "engine/output/page_targets.h"
#include "engine/output/raster/raster_canvas.h"
#include "engine/render/renderer.h"

namespace kestrel {

bool RenderPageBitmap(TPDFRenderer& renderer, std::optional<TRasterImage>& bitmap,
                      TRgbPixel background) {
  bitmap.reset();
  renderer.TargetKind = TRenderTargetKind::Bitmap;
  const TPageGeometry g = renderer.PageGeometry();
  if (std::string problem = TRasterImage::CheckSize(g.PixelWidth, g.PixelHeight);
      !problem.empty()) {
    renderer.SetErrorText("Page not rendered: " + problem);
    return false;
  }
  std::optional<TRasterImage> image =
      TRasterImage::Create(g.PixelWidth, g.PixelHeight, renderer.Resolution, background);
  if (!image) {
    renderer.SetErrorText("Page not rendered: the page bitmap could not be created");
    return false;
  }
  if (!DrawPageOnBitmap(renderer, *image)) {
    renderer.SetErrorText("Page not rendered: the canvas could not be attached");
    return false;
  }
  bitmap = std::move(image);
  return true;
}

bool DrawPageOnBitmap(TPDFRenderer& renderer, TRasterImage& image) {
  TPDFPicasso canvas;
  const bool attached = renderer.Settings.UseLibrary ? canvas.AttachLibrary(image, renderer.Settings)
                                                     : canvas.AttachGDI(image);
  if (!attached) return false;
  renderer.RenderPageOn(canvas);
  return true;
}

}  // namespace kestrel
