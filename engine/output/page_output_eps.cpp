#include "engine/output/page_output_vector.h"

#include <string>

namespace kestrel {

bool RenderEPSPage(TPDFRenderer&, TBytes&, std::string& problem) {
  problem = "output format 4 is not available";
  return false;
}

}  // namespace kestrel
