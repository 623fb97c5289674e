// The SVG canvas driven by arbitrary programs of canvas calls (see harness/svg.h).
#include <cstddef>
#include <cstdint>

#include "fuzz/harness/svg.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzharness::RunSVGProgram(data, size);
  return 0;
}
