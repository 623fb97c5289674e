// Colour operators: g rg k G RG K, cs CS, sc scn SC SCN.
#include "engine/render/interpreter/renderer_interpreter.h"
#include "engine/render/renderer_limits.h"
#include "engine/render/shading/shading.h"

namespace kestrel {

void TContentInterpreter::StoreColor(bool stroke, const TColorValue& value) {
  (stroke ? gs_.StrokePattern : gs_.FillPattern) = nullptr;
  if (stroke) {
    gs_.StrokeColor = value.Packed;
    if (r_.WantsPostScript()) gs_.StrokeText = value.PostScript;
  } else {
    gs_.FillColor = value.Packed;
    if (r_.WantsPostScript()) gs_.FillText = value.PostScript;
  }
}

void TContentInterpreter::SetDeviceColor(bool stroke, TColorSpaceId space) {
  (stroke ? gs_.StrokeSpace : gs_.FillSpace) = r_.ColorSpaces().WithDefault(space);
  if (glyphUncoloured_) return;
  SetColor(stroke);
}

void TContentInterpreter::SetColorSpace(bool stroke) {
  const TByteView operand = operands_.PopText();
  TPDFColorSpaces& spaces = r_.ColorSpaces();
  const TColorSpaceId id = spaces.ResolveColorSpace(operand, resources_);
  (stroke ? gs_.StrokeSpace : gs_.FillSpace) = id;
  if (glyphUncoloured_) return;
  // Selecting a space also selects its initial colour (black, index 0, full tint). A coloured
  // pattern has no colour of its own here: the colour stays as it was.
  spaces.InitialComponents(id, components_);
  if (id.Family == TColorFamily::Pattern && components_.empty()) return;
  StoreColor(stroke, spaces.Convert(id, components_, r_.WantsPostScript()));
}

void TContentInterpreter::SetColor(bool stroke) {
  if (glyphUncoloured_) return;
  TPDFColorSpaces& spaces = r_.ColorSpaces();
  const TColorSpaceId id = stroke ? gs_.StrokeSpace : gs_.FillSpace;
  if (id.Family == TColorFamily::Pattern) {
    // The pattern's name is on top; an uncoloured pattern's colour lies below it.
    TPDFObject* pattern = LookupPattern(operands_.PopText());
    const int n = spaces.ComponentCount(id);
    if (n > 0) {
      components_.assign(static_cast<std::size_t>(n), 0.0);
      for (int i = n - 1; i >= 0; --i) components_[static_cast<std::size_t>(i)] = operands_.PopNumber();
      StoreColor(stroke, spaces.Convert(id, components_, r_.WantsPostScript()));
    } else if (pattern) {
      // What cannot paint the pattern itself (strokes) takes a colour from its middle.
      TPDFDictionary* dict = As<TPDFDictionary>(pattern);
      if (auto* s = As<TPDFStream>(pattern)) dict = s->Dictionary();
      if (auto shading = TPDFShading::Load(dict->GetValue("Shading", false), r_))
        StoreColor(stroke, TColorValue{shading->MiddleColor(spaces), {}});
    }
    (stroke ? gs_.StrokePattern : gs_.FillPattern) = pattern;
    return;
  }
  const int n = spaces.ComponentCount(id);
  if (n <= 0) return;  // an identity that names nothing: nothing is popped
  components_.assign(static_cast<std::size_t>(n), 0.0);
  for (int i = n - 1; i >= 0; --i) components_[static_cast<std::size_t>(i)] = operands_.PopNumber();
  StoreColor(stroke, spaces.Convert(id, components_, r_.WantsPostScript()));
}

}  // namespace kestrel
