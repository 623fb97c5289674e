#include "engine/output/page_output.h"

namespace kestrel {

void RenderPageToStream(TSmartPDFDocument&, const TPDFIndRef&, int32_t, std::string& problem, TBytes&,
                        const TGDIPlusSettings&, int32_t, double) {
  problem = "Rendering is not available in this build";
}

}  // namespace kestrel
