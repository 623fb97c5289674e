// The metafile canvas driven by arbitrary programs of canvas calls; both written forms must
// keep a consistent record structure (see harness_metafile.h).
#include <cstddef>
#include <cstdint>

#include "fuzz/harness_metafile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzharness::RunMetafileProgram(data, size);
  return 0;
}
