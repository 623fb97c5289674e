#pragma once
// Bounds on the images of a page. Width × Height × components × bits come from the file and
// can ask for any amount of memory; past these an image is skipped and the page goes on.
#include <cstdint>

namespace kestrel::limits {

// Decoded bytes one image may take (8-bit samples, colour plus mask): a 600-dpi A3 colour
// scan (about 210 MB) still fits.
inline constexpr std::uint64_t kMaxImageBytes = std::uint64_t{512} << 20;

// Decoded bytes all images of one page may take together, counting every decode (a cached
// image drawn again costs nothing). Keeps a page of thousands of large images bounded in time.
inline constexpr std::uint64_t kMaxPageImageBytes = std::uint64_t{4} << 30;

// Pixels from which an image drawn at half its area or less is read a row at a time into the
// size it is drawn at instead of being decoded whole: a 300-dpi A4 scan has 8.7 million.
inline constexpr std::uint64_t kReducedImagePixels = 4'000'000;

// The per-page image cache is emptied before a new image is added once it holds more than
// this many decoded bytes.
inline constexpr std::uint64_t kImageCacheBytes = 100'000'000;

// Decoded size of one codec image (JPEG, JPEG 2000, PNG) in bytes of 8-bit samples, checked
// from the header before decoding starts.
inline constexpr std::uint64_t kMaxDecodedImageBytes = std::uint64_t{512} << 20;  // 512 MiB

// Scans of one progressive JPEG: each scan walks the whole coefficient buffer, so a file of
// thousands of tiny scans costs minutes. Real encoders write about ten.
inline constexpr int kMaxJpegScans = 500;

// Pixels of one JBIG2 bitmap (page, region, symbol or collective bitmap): a 600-dpi A3 page
// (about 70 million) fits. All bitmaps one JBIG2 image decodes together may take four times
// this, which bounds the time a hostile stream of tiny symbols or instances can cost.
inline constexpr std::uint64_t kMaxJBIG2Pixels = std::uint64_t{1} << 28;
inline constexpr std::uint64_t kMaxJBIG2DecodedPixels = kMaxJBIG2Pixels * 4;

}  // namespace kestrel::limits
