#pragma once
// Bounds every canvas places on what one page may ask of it, and the page raster's size.
#include <cstddef>
#include <cstdint>

namespace kestrel::limits {

// PDF user space has 72 units to the inch.
inline constexpr double kPointsPerInch = 72;

// Pixels of one page bitmap. A 200-inch page at 480 dpi would need 9 gigapixels; such a page
// is refused before anything is allocated. 100 million pixels (400 MB at 4 bytes a pixel)
// still holds an A1 sheet at 300 dpi or A0 at 200 dpi.
inline constexpr std::int64_t kMaxPagePixels = 100'000'000;

// A page past kMaxPagePixels is drawn in horizontal bands of at most this many pixels (64 MB),
// each straight into the file's encoder, when the format can take rows as they come.
inline constexpr std::int64_t kMaxBandPixels = 16'000'000;

// Width or height of one page bitmap: Cairo image surfaces stop at 32767 pixels a side.
inline constexpr std::int64_t kMaxPageSide = 32767;

// Curves are flattened to this chord error (device pixels).
inline constexpr double kFlattenTolerance = 0.1;
// Widest stroke a canvas draws (device pixels).
inline constexpr double kMaxLineWidth = 1e5;
// Entries of a dash array; longer arrays are cut (to an even count).
inline constexpr std::size_t kMaxDashEntries = 1024;
// Dash boundaries walked for one stroke before the pattern is given up for a solid line.
inline constexpr std::size_t kMaxDashSteps = 1'000'000;
// Clip paths kept for snapshots, and the nesting of clips in force at once. Clips beyond these
// bounds are ignored rather than let memory or the cost of every later drawing grow unbounded.
inline constexpr std::size_t kMaxClipPaths = 65'536;
inline constexpr int kMaxClipDepth = 512;

}  // namespace kestrel::limits
