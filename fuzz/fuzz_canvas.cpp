// The raster canvas driven by arbitrary programs of canvas calls (see harness/canvas.h).
#include <cstddef>
#include <cstdint>

#include "fuzz/harness/canvas.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzharness::RunCanvasProgram(data, size);
  return 0;
}
