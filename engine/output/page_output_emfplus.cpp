#include "engine/output/page_output_vector.h"

#include <string>

namespace kestrel {

bool RenderEmfPlusPage(TPDFRenderer&, TBytes&, std::string& problem) {
  problem = "output format 8 is not available";
  return false;
}

}  // namespace kestrel
