#include "fuzz/harness/font_names.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzharness::FontNames(data, size);
  return 0;
}
