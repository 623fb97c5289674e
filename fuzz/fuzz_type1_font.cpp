#include "fuzz/harness/fonts.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzharness::Type1Font(data, size);
  return 0;
}
