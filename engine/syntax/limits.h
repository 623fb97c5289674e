#pragma once
// Every bound the engine places on sizes and depths taken from untrusted files lives here,
// so fuzzing can tighten them in one place.
#include <cstddef>
#include <cstdint>

namespace kestrel::limits {

// Nesting of arrays and dictionaries the parser follows before it stops reading.
inline constexpr int kMaxParseDepth = 256;

// Largest decoded size of one stream (every filter stage is capped at this). A stream that
// would decode to more is cut here: callers get partial data rather than an exhausted machine.
inline constexpr std::size_t kMaxDecodedStreamBytes = std::size_t{512} << 20;  // 512 MiB

// Bytes decoded for one page, all filter stages of all its streams counted (content streams,
// forms, images, shading data): a small file cannot make one page decode gigabytes, nor a
// chain of expanding filters spend seconds. A page that reaches it is drawn from what fit,
// and its render problem says so. A stream decoded outside a page (object streams, the
// cross-reference data) has kMaxDecodedStreamBytes for all the stages of its chain.
inline constexpr std::size_t kMaxDecodedBytesPerPage = std::size_t{512} << 20;  // 512 MiB

// Nested object loads (a stream "Length" or an object stream that needs another object).
inline constexpr int kMaxLoadDepth = 16;

// Sections of cross-reference data followed through "Prev".
inline constexpr int kMaxXRefSections = 4096;

// Largest object number a cross-reference section may declare; bigger tables are refused
// because the table is a dense array indexed by object number.
inline constexpr std::int64_t kMaxObjectNumber = 8'388'607;

// Page-tree levels walked before a lookup gives up (a deeper tree is a cycle or an attack).
inline constexpr int kMaxPageTreeDepth = 64;

// Pixels of one page bitmap. A 200-inch page at 480 dpi would need 9 gigapixels; such a page
// is refused before anything is allocated. 100 million pixels (400 MB at 4 bytes a pixel)
// still holds an A1 sheet at 300 dpi or A0 at 200 dpi.
inline constexpr std::int64_t kMaxPagePixels = 100'000'000;

// Width or height of one page bitmap: Cairo image surfaces stop at 32767 pixels a side.
inline constexpr std::int64_t kMaxPageSide = 32767;

// Decoded size of one codec image (JPEG, JPEG 2000, PNG) in bytes of 8-bit samples, checked
// from the header before decoding starts.
inline constexpr std::uint64_t kMaxDecodedImageBytes = std::uint64_t{512} << 20;  // 512 MiB

// Scans of one progressive JPEG: each scan walks the whole coefficient buffer, so a file of
// thousands of tiny scans costs minutes. Real encoders write about ten.
inline constexpr int kMaxJpegScans = 500;

}  // namespace kestrel::limits
