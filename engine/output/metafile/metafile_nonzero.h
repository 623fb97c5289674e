#pragma once
// Readers of metafiles do not all honour the winding fill mode (LibreOffice fills every
// poly-polygon even-odd). A non-zero fill whose areas are covered more than once is therefore
// rewritten as non-overlapping pieces, which every rule fills alike. The same sweep cuts a
// fill to a clip path, for the Windows metafile, which can only clip to rectangles.
#include <cstddef>
#include <optional>
#include <vector>

#include "engine/graphics/canvas_geometry.h"

namespace kestrel {

// Upper bounds on the work of one rewrite; past them the figures are left as they are.
inline constexpr std::size_t kMaxNonZeroEdges = 200'000;
inline constexpr std::size_t kMaxNonZeroWork = 20'000'000;

// The non-zero area of the closed polygons as polygons that do not overlap, or nothing when no
// area is covered twice (the polygons read the same under both rules) or the bounds are passed.
// The pieces follow the polygons exactly between their vertices' heights; where edges cross
// inside such a band the band is cut into slices at most `sliceHeight` high.
std::optional<std::vector<TPolyline>> NonZeroAsDisjoint(const std::vector<TPolyline>& polygons,
                                                       double sliceHeight = 1.0);

// The area covered both by `subject` (under its fill rule) and by `clip` (under its own) as
// non-overlapping pieces, empty when they do not meet; nothing when the bounds are passed.
// Pieces follow the edges exactly as above, slicing bands where edges cross.
std::optional<std::vector<TPolyline>> IntersectAsDisjoint(const std::vector<TPolyline>& subject,
                                                         bool subjectEvenOdd,
                                                         const std::vector<TPolyline>& clip,
                                                         bool clipEvenOdd,
                                                         double sliceHeight = 1.0);

}  // namespace kestrel
