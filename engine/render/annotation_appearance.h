#pragma once
// Appearances for annotations that come without one, drawn as viewers draw them: the common
// markup annotations (Square, Circle, Line, Polygon, PolyLine, Ink, Highlight, Underline,
// StrikeOut, Squiggly, FreeText, Text as its icon), link borders, and form fields (text, check
// box, radio button, push button, combo and list box) from their value, /DA, /MK and /BS.
#include <string>

namespace kestrel {

class TPDFDictionary;
class TPDFRenderer;

struct TGeneratedAppearance {
  std::string Content;    // operators in the page's default user space
  std::string Resources;  // the resources dictionary the content names, as PDF text
};

// Whether the AcroForm asks viewers to make field appearances anew (NeedAppearances true).
bool NeedsFieldAppearances(TPDFRenderer& r, TPDFDictionary* acroForm);

// Whether a field's appearance is made even though it has one (text, choice and button fields
// when the AcroForm sets NeedAppearances).
bool RegeneratesAppearance(TPDFRenderer& r, TPDFDictionary& annot, TPDFDictionary* acroForm);

// Fills `out` for an annotation of a kind listed above; false for other kinds and for
// annotations without a usable rectangle or geometry.
bool GenerateAppearance(TPDFRenderer& r, TPDFDictionary& annot, TPDFDictionary* acroForm,
                        TGeneratedAppearance& out);

}  // namespace kestrel
