// The metafile canvas driven by arbitrary programs of canvas calls; both written forms must
// keep a consistent record structure (see harness/metafile.h).
#include <cstddef>
#include <cstdint>

#include "fuzz/harness/metafile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzharness::RunMetafileProgram(data, size);
  return 0;
}
