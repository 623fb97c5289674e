#pragma once
// Generic and refinement region segments: their flags, adaptive pixels and data.
#include "engine/images/jbig2/jbig2_segments.h"

namespace kestrel::jbig2 {

// `in` starts after the region information. With `unknownLength` the data ends with the end
// sequence and a row count (which gives the height when the region information does not).
void ReadGenericRegion(TStreamReader& in, TRegionInfo& info, bool unknownLength,
                       TPixelBudget& budget, TJBIG2Bitmap& out);

// Refines `reference` (the referred intermediate region, or the page's area under the region).
void ReadRefinementRegion(TStreamReader& in, const TRegionInfo& info,
                          const TJBIG2Bitmap& reference, TPixelBudget& budget, TJBIG2Bitmap& out);

// The length of an immediate generic region's data of unknown length: up to and including its
// end sequence and row count, from `data`, which starts at the segment's data.
std::size_t FindGenericRegionEnd(TByteSpan data);

}  // namespace kestrel::jbig2
