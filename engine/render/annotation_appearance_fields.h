#pragma once
// Made appearances of form fields, and the text of FreeText annotations.
#include "engine/render/annotation_appearance_kit.h"

namespace kestrel::appearance {

// A widget's appearance from its field's type, flags, value, /DA, /MK and /BS; false for
// fields of other types (signatures).
bool Widget(TBuilder& b, TPDFDictionary* acroForm, const TBox& box);

// A FreeText annotation's /Contents set in its /DA inside the box less its border `bw`.
void FreeTextContents(TBuilder& b, TPDFDictionary* acroForm, const TBox& box, double bw);

}  // namespace kestrel::appearance
