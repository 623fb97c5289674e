#pragma once
// Stream filters: whole-buffer decoders and the two encoders the engine needs.
// Every decoder is tolerant: bad input gives empty or partial output, never an exception,
// and no output grows beyond limits::kMaxDecodedStreamBytes.
#include <cstddef>
#include <cstdint>

#include "engine/syntax/bytes.h"

namespace kestrel {

struct TPDFFlateParms {
  int32_t Predictor = 1;
  int32_t Colors = 1;
  int32_t BitsPerComponent = 8;
  int32_t Columns = 1;
  uint8_t Flag = 0;
  TBytes ColorSpaceName;
};
using TPDFLZWParms = TPDFFlateParms;

// zlib inflate. Keeps whatever was decoded before an error (a bad Adler-32 trailer or a
// damaged block late in the stream does not throw away the page).
TBytes InflateBytes(TByteView data);
// Inflate that stops after `maxOut` bytes.
TBytes InflateBytes(TByteView data, std::size_t maxOut);
// Inflate, then undo a PNG (>= 10) or TIFF (2) predictor.
TBytes InflatePredicted(TByteView data, const TPDFFlateParms& parms);
// Undo a predictor on already decompressed data (shared by Flate and LZW).
TBytes ApplyPredictor(TBytes data, const TPDFFlateParms& parms);
// zlib deflate at the default level; empty on error.
TBytes DeflateBytes(TByteView data);
TBytes DecodeLZW(TByteView data, const TPDFLZWParms& parms, bool earlyChange);
TBytes DecodeASCII85(TByteView data);
TBytes EncodeASCII85(TByteView data);
TBytes DecodeASCIIHex(TByteView data);
TBytes DecodeRunLength(TByteView data);

}  // namespace kestrel
