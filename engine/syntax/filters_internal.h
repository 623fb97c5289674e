#pragma once
// Size-capped forms of the stream decoders. The public functions in filters.h pass
// limits::kMaxDecodedStreamBytes; tests pass small caps to exercise the cut-off without
// allocating hundreds of megabytes.
#include <cstddef>
#include <memory>

#include "engine/syntax/bytes.h"
#include "engine/syntax/filters.h"
#include "engine/syntax/stream_reader.h"

namespace kestrel::filters_detail {

// zlib inflate with a raw-deflate fallback for a damaged two-byte header.
TBytes Inflate(TByteView data, std::size_t maxOut);
// LZW codes only; the caller applies any predictor.
TBytes DecodeLZW(TByteView data, bool earlyChange, std::size_t maxOut);
TBytes DecodeASCII85(TByteView data, std::size_t maxOut);
TBytes DecodeRunLength(TByteView data, std::size_t maxOut);

// The same decoders read piece by piece (for OpenStreamReader), giving what the whole ones
// give. Inflate only data with a sound zlib header (null otherwise: the fallbacks for a
// damaged header need the whole data).
std::unique_ptr<TByteSource> InflateSource(TByteView data, std::size_t maxOut);
std::unique_ptr<TByteSource> LZWSource(TByteView data, bool earlyChange, std::size_t maxOut);
// `input` with the predictor undone row by row, as ApplyPredictor undoes it on whole data.
std::unique_ptr<TByteSource> PredictorSource(std::unique_ptr<TByteSource> input,
                                             const TPDFFlateParms& parms);

}  // namespace kestrel::filters_detail
