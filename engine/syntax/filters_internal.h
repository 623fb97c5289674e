#pragma once
// Size-capped forms of the stream decoders. The public functions in filters.h pass
// limits::kMaxDecodedStreamBytes; tests pass small caps to exercise the cut-off without
// allocating hundreds of megabytes.
#include <cstddef>

#include "engine/syntax/bytes.h"

namespace kestrel::filters_detail {

// zlib inflate with a raw-deflate fallback for a damaged two-byte header.
TBytes Inflate(TByteView data, std::size_t maxOut);
// LZW codes only; the caller applies any predictor.
TBytes DecodeLZW(TByteView data, bool earlyChange, std::size_t maxOut);
TBytes DecodeASCII85(TByteView data, std::size_t maxOut);
TBytes DecodeRunLength(TByteView data, std::size_t maxOut);

}  // namespace kestrel::filters_detail
