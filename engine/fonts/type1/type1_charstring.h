#pragma once
// The Type 1 charstring interpreter: draws one glyph of a Type 1 program into an outline.
#include "engine/fonts/type1/glyph_outline.h"
#include "engine/fonts/type1/type1_program.h"

namespace kestrel {

// Draws glyph `index`, with seac accents and flex. Returns whether endchar was reached
// without a fault; after a fault what was drawn before it stands.
bool DrawType1Glyph(const TType1Program& program, int index, TGlyphOutline& out);

}  // namespace kestrel
