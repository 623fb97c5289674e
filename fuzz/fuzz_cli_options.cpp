#include "fuzz/harness/cli.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzharness::CliArguments(data, size);
  return 0;
}
