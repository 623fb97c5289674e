#pragma once
// The CCITTFaxDecode filter as an image sees it: rows of Columns pixels decoded from the data
// and read back as the image's own rows, as other readers do when Columns and Width differ
// (the filter's Rows is ignored: the image takes as many rows as it needs).
#include <cstdint>

#include "engine/images/fax/ccitt_decoder.h"
#include "engine/syntax/bytes.h"

namespace kestrel {

struct TCCITTFilterParams {
  TCCITTParams Coding;
  int Columns = 1728;
  bool BlackIs1 = false;
};

// `width` × `height` 1-bit samples, ceil(width / 8) bytes a row, 0 for black unless BlackIs1;
// rows the data does not reach are white. Empty when the size is unusable or the samples
// would take more than `maxBytes`.
TBytes DecodeCCITTSamples(TByteView data, const TCCITTFilterParams& params, int width, int height,
                          std::uint64_t maxBytes);

}  // namespace kestrel
