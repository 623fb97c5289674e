#pragma once
// Made appearances of form fields, and the text of FreeText annotations.
#include "engine/render/annotation_appearance_kit.h"

namespace kestrel::appearance {

// A widget's appearance from its field's type, flags, value, /DA, /MK and /BS; false for
// fields of other types (signatures).
bool Widget(TBuilder& b, TPDFDictionary* acroForm, const TBox& box);

// A FreeText annotation: its /Contents set in its /DA, on its /C background, in a border of
// the text's colour.
bool FreeText(TBuilder& b, TPDFDictionary* acroForm, const TBox& box);

}  // namespace kestrel::appearance
