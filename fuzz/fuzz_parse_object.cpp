#include "fuzz/harness/syntax.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzharness::ParseObject(data, size);
  return 0;
}
