// CCITT fax decoding of arbitrary bytes (see harness_fax.h).
#include "fuzz/harness_fax.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzharness::CCITT(data, size);
  return 0;
}
