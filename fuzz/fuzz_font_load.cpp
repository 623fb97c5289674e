#include "fuzz/harness/truetype.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzharness::FontLoad(data, size);
  return 0;
}
