#include "engine/output/page_output_vector.h"

#include <string>

#include "engine/render/renderer.h"

namespace kestrel {

bool RenderEPSPage(TPDFRenderer& renderer, TBytes& out, std::string& problem) {
  renderer.TargetKind = TRenderTargetKind::EPS;
  const bool rendered = renderer.RenderPage();
  // A content error still leaves the lines written before it: they are saved.
  problem = renderer.ErrorText();
  TPDFEPSExport* writer = renderer.EPSWriter();
  if (!rendered || !writer) {
    if (problem.empty()) problem = "the EPS page could not be made";
    return false;
  }
  writer->WriteTo(out);
  return true;
}

}  // namespace kestrel
