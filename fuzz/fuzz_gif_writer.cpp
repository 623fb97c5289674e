// GIF writer and monochrome ditherer on pictures built from arbitrary bytes: the file must
// parse and its LZW data decode back to the quantised indices; raw bytes must survive the LZW
// encoder; the ditherer must agree with a plain whole-picture formulation.
#include <cstddef>
#include <cstdint>

#include "fuzz/harness/gif.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > (1u << 16)) return 0;
  fuzzharness::GIFWriterRoundTrip(data, size);
  return 0;
}
