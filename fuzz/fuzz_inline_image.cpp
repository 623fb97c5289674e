// libFuzzer target: see fuzzharness::InlineImage.
#include "fuzz/harness/images.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzharness::InlineImage(data, size);
  return 0;
}
