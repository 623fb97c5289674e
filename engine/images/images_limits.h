#pragma once
// Bounds on image data taken from untrusted files.
#include <cstdint>

namespace kestrel::limits {

// Decoded size of one codec image (JPEG, JPEG 2000, PNG) in bytes of 8-bit samples, checked
// from the header before decoding starts.
inline constexpr std::uint64_t kMaxDecodedImageBytes = std::uint64_t{512} << 20;  // 512 MiB

// Scans of one progressive JPEG: each scan walks the whole coefficient buffer, so a file of
// thousands of tiny scans costs minutes. Real encoders write about ten.
inline constexpr int kMaxJpegScans = 500;

}  // namespace kestrel::limits
