#include "fuzz/harness/crypt.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzharness::CryptRecordAndData(data, size);
  return 0;
}
