#pragma once
// TKesCCITTDecoder: CCITT fax data (T.4 one- and two-dimensional, T.6 "Group 4") decoded into
// a packed 1-bit raster, 1 = black, most significant bit first, ceil(width / 8) bytes a row.
//
// A damaged row does not lose the image: the rows before it stay, and in data with EOLs
// decoding resumes at the next EOL (whatever DamagedRowsBeforeError says, as other readers
// do). Rows the data does not reach stay white.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "engine/syntax/bytes.h"

namespace kestrel {

// The CCITTFaxDecode parameters that shape the data (Columns, Rows and BlackIs1 are the
// caller's business: the decoder is given the size and writes 1 for black).
struct TCCITTParams {
  int K = 0;  // < 0: T.6; 0: T.4 one-dimensional; > 0: T.4 mixed one- and two-dimensional
  bool EncodedByteAlign = false;
  bool EndOfLine = false;
  bool EndOfBlock = true;
};

struct TCCITTResult {
  int Rows = 0;               // rows decoded intact from the top
  std::size_t BytesUsed = 0;  // data consumed, up to the next whole byte
  std::string Error;          // why decoding stopped before Height rows, or empty
};

class TKesCCITTDecoder {
 public:
  TKesCCITTDecoder(int width, int height, TCCITTParams params);

  // Decodes into `out` (at least RowBytes() × height bytes; cleared first). Never reads
  // outside `data`; stops at the end of the data, at an end-of-block code or at a fault.
  TCCITTResult Decode(TByteView data, std::span<std::uint8_t> out);

  std::size_t RowBytes() const { return (std::size_t(width_) + 7) / 8; }

 private:
  int width_, height_;
  TCCITTParams params_;
};

// T.6 (MMR) data of `width` × `height` into `out` (ceil(width / 8) bytes a row, 1 = black,
// most significant bit first), without an EOFB needed. JBIG2 decodes its MMR-coded regions
// with it (generic regions, symbol dictionary collective bitmaps, halftone gray-scale planes)
// and continues reading at `BytesUsed`, which includes an EOFB (000000000001 twice) that ends
// the data and is rounded up to a whole byte. A fault keeps the rows decoded before it.
TCCITTResult DecodeGroup4(TByteView data, int width, int height, std::span<std::uint8_t> out);

}  // namespace kestrel
