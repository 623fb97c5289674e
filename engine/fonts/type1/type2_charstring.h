#pragma once
// The Type 2 charstring interpreter of CFF fonts: draws one glyph into an outline.
#include "engine/fonts/type1/cff_program.h"
#include "engine/fonts/type1/glyph_outline.h"

namespace kestrel {

// Draws glyph `gid` of `program`; accents of endchar's seac form come along. Returns whether
// the charstring reached endchar (or its end) without a fault; after a fault (stack overflow,
// too deep or too many calls, reading past the charstring) what was drawn before it stands.
bool DrawType2Glyph(const TCFFProgram& program, int gid, TGlyphOutline& out);

}  // namespace kestrel
