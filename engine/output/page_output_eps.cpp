#include <cstdint>
#include <string>

#include "engine/graphics/graphics_limits.h"
#include "engine/output/page_output_vector.h"
#include "engine/output/page_targets.h"
#include "engine/render/renderer.h"

namespace kestrel {

namespace {

// The page as one picture filling the page box: PostScript has no opacity, blend modes or
// soft masks, so a page that uses them is put down as it looks on the raster page.
void WritePagePicture(TPDFEPSExport& eps, const TDeviceBox& box, const TRasterImage& page,
                      double dpi) {
  TCanvasBitmap bitmap;
  bitmap.Width = page.Width();
  bitmap.Height = page.Height();
  bitmap.Pixels.reserve(std::size_t(bitmap.Width) * std::size_t(bitmap.Height));
  for (int y = 0; y < bitmap.Height; ++y)
    for (int x = 0; x < bitmap.Width; ++x) bitmap.Pixels.push_back(0xFF000000u | page.Pixel(x, y));
  // The bitmap's last row and column may pass the box by part of a pixel (its size is rounded
  // up): its top left corner is the box's.
  const double w = bitmap.Width * limits::kPointsPerInch / dpi;
  const double h = bitmap.Height * limits::kPointsPerInch / dpi;
  eps.StartDocument(box.MinX, box.MinY, box.MaxX, box.MaxY);
  eps.SaveState();
  eps.AddLine("[ " + EPSLine({w, 0, 0, h, box.MinX, box.MaxY - h}, "] cm"));
  eps.DrawImage(bitmap, nullptr, "KestrelPage");
  eps.RestoreState();
}

}  // namespace

std::unique_ptr<TPDFEPSExport> RenderPageEPS(TPDFRenderer& renderer) {
  const TPageGeometry g = renderer.PageGeometry();
  auto eps = std::make_unique<TPDFEPSExport>();
  const TDeviceBox box = TPDFRenderer::PostScriptBox(g);
  eps->StartDocument(box.MinX, box.MinY, box.MaxX, box.MaxY);
  renderer.RenderPageOnPostScript(*eps);
  if (renderer.TransparencyLeftOut && renderer.PagePicture && renderer.Resolution > 0) {
    const TRasterImage* page = renderer.PagePicture();
    if (page && std::uint64_t(page->Width()) * std::uint64_t(page->Height()) <=
                    TPDFEPSExport::kMaxPicturePixels)
      WritePagePicture(*eps, box, *page, renderer.Resolution);
  }
  eps->FinishDocument();
  return eps;
}

bool RenderEPSPage(TPDFRenderer& renderer, TBytes& out, std::string& problem) {
  const std::unique_ptr<TPDFEPSExport> writer = RenderPageEPS(renderer);
  // A content error still leaves the lines written before it: they are saved.
  problem = renderer.ErrorText();
  writer->WriteTo(out);
  return true;
}

}  // namespace kestrel
