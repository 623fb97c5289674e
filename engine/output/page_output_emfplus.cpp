#include <memory>
#include <string>

#include "engine/output/page_output_vector.h"
#include "engine/output/emfplus/emfplus_canvas.h"
#include "engine/render/renderer.h"

namespace kestrel {

bool RenderEmfPlusPage(TPDFRenderer& renderer, TBytes& out, std::string& problem) {
  renderer.TargetKind = TRenderTargetKind::LibraryMetafile;
  const TPageGeometry g = renderer.PageGeometry();
  const double dpi = renderer.Resolution == 0 ? 1 : renderer.Resolution;
  std::unique_ptr<TEmfPlusCanvas> canvas =
      TEmfPlusCanvas::Create(g.PixelWidth, g.PixelHeight, dpi, renderer.Settings);
  if (!canvas) {
    problem = "Page not rendered: the metafile size " + std::to_string(g.PixelWidth) + " x " +
              std::to_string(g.PixelHeight) + " is not usable";
    return false;
  }
  renderer.RenderPageOn(*canvas);
  problem = renderer.ErrorText();
  if (canvas->DroppedCount() > 0) {
    if (!problem.empty()) problem += "\r\n";
    problem += "Some drawing was left out of the metafile (size bounds)";
  }
  out += canvas->Finish();
  return true;
}

}  // namespace kestrel
