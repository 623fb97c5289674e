#pragma once
// TKesJBIG2Decoder: the data of a JBIG2Decode image (with its JBIG2Globals) into page 1's
// bitmap.
#include <cstdint>
#include <span>
#include <string>

#include "engine/images/image_limits.h"
#include "engine/images/jbig2/jbig2_bitmap.h"
#include "engine/syntax/bytes.h"

namespace kestrel {

class TKesJBIG2Decoder {
 public:
  // True when a page of positive width and height came out. Damaged data keeps what was
  // decoded before the damage (Error() says why decoding stopped early).
  // `maxPixels` bounds the pixels of all bitmaps decoded on the way (symbols, regions, page).
  bool DecodePage(TByteView data, TByteView globals = {},
                  std::uint64_t maxPixels = limits::kMaxJBIG2DecodedPixels);

  int Width() const { return page_.Width(); }
  int Height() const { return page_.Height(); }
  // Row `row` as Width() bytes of 0 (white) or 1 (black); rows outside the page give zeros
  // and false.
  bool PageRow(int row, std::span<std::uint8_t> out) const;
  // The page as packed bits (1 = black), ceil(Width / 8) bytes a row.
  const jbig2::TJBIG2Bitmap& Page() const { return page_; }
  const std::string& Error() const { return error_; }

 private:
  jbig2::TJBIG2Bitmap page_;
  std::string error_;
};

// The samples a JBIG2Decode filter gives: 1-bit, 0 = black, rows of whole bytes, `width` ×
// `height` of them (the page cut or padded with white; sizes of 0 or less take the page's).
// Empty when nothing was decoded, with `error` saying why.
TBytes DecodeJBIG2Samples(TByteView data, TByteView globals, int& width, int& height,
                          std::string& error,
                          std::uint64_t maxPixels = limits::kMaxJBIG2DecodedPixels);

}  // namespace kestrel
