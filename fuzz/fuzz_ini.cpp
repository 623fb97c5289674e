#include "fuzz/harness/ini.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzharness::IniRoundTrip(data, size);
  return 0;
}
