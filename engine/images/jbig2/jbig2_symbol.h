#pragma once
// Symbol dictionary segments: new symbols by height class (generic, refinement/aggregate or a
// Huffman collective bitmap) and the exported list.
#include "engine/images/jbig2/jbig2_segments.h"

namespace kestrel::jbig2 {

void ReadSymbolDictionary(TStreamReader& in, const TSegmentInputs& inputs, TPixelBudget& budget,
                          TSymbolDictionarySegment& out);

}  // namespace kestrel::jbig2
