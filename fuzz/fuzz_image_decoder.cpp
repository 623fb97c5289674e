// libFuzzer target: see fuzzharness::ImageDecoder.
#include "fuzz/harness/images.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzharness::ImageDecoder(data, size);
  return 0;
}
