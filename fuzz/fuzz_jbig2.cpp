// libFuzzer target: see fuzzharness::JBIG2.
#include "fuzz/harness/images.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzharness::JBIG2(data, size);
  return 0;
}
