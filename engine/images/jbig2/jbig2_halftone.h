#pragma once
// Pattern dictionaries (a collective bitmap cut into patterns) and halftone regions (a grid of
// patterns indexed by Gray-coded bit planes).
#include "engine/images/jbig2/jbig2_segments.h"

namespace kestrel::jbig2 {

void ReadPatternDictionary(TStreamReader& in, TPixelBudget& budget,
                           TPatternDictionarySegment& out);

// A halftone region segment's data after its region information, decoded into `out`.
void ReadHalftoneRegion(TStreamReader& in, const TRegionInfo& info, const TSegmentInputs& inputs,
                        TPixelBudget& budget, TJBIG2Bitmap& out);

}  // namespace kestrel::jbig2
