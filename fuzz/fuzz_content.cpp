#include "fuzz/harness/content.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzharness::Content(data, size);
  return 0;
}
