#pragma once
// Turns a font dictionary into a font record: encodings, widths, the glyph program.
#include "engine/fonts/font_record.h"

namespace kestrel {

class TPDFFontCollection;
class TPDFObject;

// Fills `record` from the font object (a reference or a dictionary) resolved through the
// collection. It never fails: what is missing or malformed leaves the defaults (StandardEncoding
// names, widths of 750 or MissingWidth, no rasteriser).
void LoadFontRecord(TPDFFontCollection& fonts, TPDFObject* fontObject,
                    TPDFFontCollectionData& record);

}  // namespace kestrel
