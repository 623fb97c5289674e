#include "engine/output/page_output_vector.h"

#include <string>

namespace kestrel {

bool RenderMetafilePage(TPDFRenderer&, int32_t format, TBytes&, std::string& problem) {
  problem = "output format " + std::to_string(format) + " is not available";
  return false;
}

}  // namespace kestrel
