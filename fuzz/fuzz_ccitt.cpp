// CCITT fax decoding of arbitrary bytes (see harness/fax.h).
#include "fuzz/harness/fax.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzharness::CCITT(data, size);
  return 0;
}
