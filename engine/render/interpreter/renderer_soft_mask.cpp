// Soft masks set by gs: the mask's group is drawn into a layer of its own, whose luminosity
// (or opacity) becomes the mask of a second layer that takes what is drawn while the mask is
// in force; that layer is put down when the state that set the mask ends.
#include <algorithm>
#include <cmath>

#include "engine/render/function/function.h"
#include "engine/render/interpreter/renderer_interpreter.h"
#include "engine/render/renderer_limits.h"

namespace kestrel {

namespace {

std::uint8_t ToByte(double v) {
  return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0));
}

// The backdrop (BC) in the colour space of the mask's group (its /Group /CS); without one, by
// its number of components: gray, RGB or CMYK. Black when absent.
TPackedColor BackdropColour(TPDFRenderer& r, TPDFDictionary& mask, TPDFStream& group) {
  auto* bc = As<TPDFArray>(r.ResolveObject(mask.GetValue("BC", false)));
  std::vector<double> v;
  for (int i = 0; bc && i < bc->Count() && i < limits::kMaxColorComponents; ++i) {
    auto* n = As<TPDFNumeric>(r.ResolveObject(bc->Item(i)));
    v.push_back(n && std::isfinite(n->Value) ? n->Value : 0.0);
  }
  if (v.empty()) return PackRGB(0, 0, 0);
  auto* attributes = As<TPDFDictionary>(r.ResolveObject(group.Dictionary()->GetValue("Group", false)));
  TPDFObject* space = attributes ? r.ResolveObject(attributes->GetValue("CS", false)) : nullptr;
  // A group's colour space is taken as it stands: Default spaces do not replace it.
  if (const auto id = space ? r.ColorSpaces().FromObject(space, 1) : std::nullopt) {
    try {
      return r.ColorSpaces().Convert(*id, v, false).Packed;
    } catch (const TPDFFunctionError&) {
      return PackRGB(0, 0, 0);
    }
  }
  if (v.size() == 3) return PackRGB(ToByte(v[0]), ToByte(v[1]), ToByte(v[2]));
  if (v.size() >= 4) {
    const double k = 1 - v[3];
    return PackRGB(ToByte((1 - v[0]) * k), ToByte((1 - v[1]) * k), ToByte((1 - v[2]) * k));
  }
  const std::uint8_t g = ToByte(v[0]);
  return PackRGB(g, g, g);
}

// TR as a table over the 256 mask levels; empty for the identity or a function that fails.
std::vector<std::uint8_t> TransferTable(TPDFRenderer& r, TPDFDictionary& mask) {
  std::vector<std::uint8_t> table;
  TPDFObject* tr = r.ResolveObject(mask.GetValue("TR", false));
  if (!tr || As<TPDFName>(tr)) return table;
  std::unique_ptr<TPDFFunction> f = CreateFunction(tr);
  if (!f) return table;
  std::vector<double> out;
  try {
    for (int i = 0; i < 256; ++i) {
      const double in = i / 255.0;
      f->Evaluate(std::span<const double>(&in, 1), out);
      table.push_back(ToByte(out.empty() ? in : out[0]));
    }
  } catch (const TPDFFunctionError&) {
    table.clear();
  }
  return table;
}

}  // namespace

void TContentInterpreter::CloseMaskLayers(int keep) {
  for (; r_.OpenLayers > keep && r_.OpenLayers > 0; --r_.OpenLayers) canvas_.EndLayer();
}

void TContentInterpreter::SetSoftMask(TPDFObject* maskObject) {
  if (eps_) {
    if (As<TPDFDictionary>(maskObject)) r_.TransparencyLeftOut = true;
    return;
  }
  // A mask set before at this level is replaced; one inherited through q stays in force, as
  // its layer already holds what was drawn since.
  if (gs_.OwnsMaskLayer) {
    CloseMaskLayers(gs_.MaskLayers - 1);
    gs_.MaskLayers = r_.OpenLayers;
    gs_.OwnsMaskLayer = false;
  }
  gs_.SoftMaskDropped = gs_.SoftMaskPictured = false;
  auto* mask = As<TPDFDictionary>(maskObject);
  if (!mask) return;  // /None
  TPDFObject* groupEntry = mask->GetValue("G", false);
  auto* group = As<TPDFStream>(r_.ResolveObject(groupEntry));
  if (!group) return;
  const bool luminosity = mask->GetNameValue("S") != "Alpha";
  std::optional<TPackedColor> backdrop;
  if (luminosity) backdrop = BackdropColour(r_, *mask, *group);
  const std::vector<std::uint8_t> transfer = TransferTable(r_, *mask);

  if (stack_.size() + 2 >= limits::kMaxStateDepth) return;
  if (!canvas_.BeginLayer(backdrop)) {
    gs_.SoftMaskDropped = true;
    // The canvas cannot mask: the area the mask lets anything through is put down from the
    // page picture, which shows what is painted under the mask as masked.
    gs_.SoftMaskPictured = DrawPagePicture(MaskArea(*group, backdrop, transfer));
    return;
  }
  ++r_.OpenLayers;
  const int keep = gs_.MaskLayers;
  gs_.MaskLayers = r_.OpenLayers;  // the mask's own layer stays open through the Q below
  // The group is drawn as on a new page, at the matrix in force now.
  SaveState();
  TPDFGraphicsState fresh;
  fresh.CTM = gs_.CTM;
  fresh.EPSMatrix = gs_.EPSMatrix;
  fresh.Clip = gs_.Clip;
  fresh.ClipBox = gs_.ClipBox;
  fresh.MaskLayers = r_.OpenLayers;
  fresh.FontName = gs_.FontName;
  gs_ = std::move(fresh);
  DrawForm(*group, As<TPDFIndRef>(groupEntry));
  RestoreState();  // also closes whatever the group left open
  canvas_.EndLayerAsMask(luminosity, transfer);
  --r_.OpenLayers;
  gs_.MaskLayers = keep;

  if (!canvas_.BeginLayer(std::nullopt)) return;
  ++r_.OpenLayers;
  gs_.MaskLayers = r_.OpenLayers;
  gs_.OwnsMaskLayer = true;
}

}  // namespace kestrel
