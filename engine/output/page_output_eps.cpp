#include <string>

#include "engine/output/page_output_vector.h"
#include "engine/output/page_targets.h"
#include "engine/render/renderer.h"

namespace kestrel {

std::unique_ptr<TPDFEPSExport> RenderPageEPS(TPDFRenderer& renderer) {
  const TPageGeometry g = renderer.PageGeometry();
  auto eps = std::make_unique<TPDFEPSExport>();
  const TDeviceBox box = TPDFRenderer::PostScriptBox(g);
  eps->StartDocument(box.MinX, box.MinY, box.MaxX, box.MaxY);
  renderer.RenderPageOnPostScript(*eps);
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
