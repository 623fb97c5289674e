// Graphics-state operators: q, Q, cm, d, gs and font selection.
#include <algorithm>
#include <cmath>

#include "engine/render/interpreter/renderer_interpreter.h"
#include "engine/graphics/graphics_limits.h"
#include "engine/render/renderer_limits.h"
#include "engine/syntax/string_decode.h"

namespace kestrel {

int RoundToInt(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0) return 2147483647;
  if (v <= -2147483648.0) return -2147483647 - 1;
  return static_cast<int>(std::nearbyint(v));
}

void TContentInterpreter::SaveState() {
  if (stack_.size() >= limits::kMaxStateDepth) {
    // Too deep: the q is counted so that its Q is ignored too.
    ++ignoredSaves_;
    return;
  }
  gs_.Clip = canvas_.SaveClip();
  stack_.push_back(gs_);
  gs_.OwnsMaskLayer = false;
}

void TContentInterpreter::RestoreState() {
  if (ignoredSaves_ > 0) {
    --ignoredSaves_;
    return;
  }
  if (stack_.empty()) return;
  gs_ = std::move(stack_.back());
  stack_.pop_back();
  canvas_.RestoreClip(gs_.Clip);
  CloseMaskLayers(gs_.MaskLayers);
  r_.CTM = gs_.CTM;
  r_.EPSMatrix = gs_.EPSMatrix;
  canvas_.SetBlendMode(gs_.BlendMode);
  canvas_.SetAlphaIsShape(gs_.AlphaIsShape);
  r_.ColorManager().Intent = gs_.Intent;
  SelectFont();
}

void TContentInterpreter::ConcatMatrix() {
  double m[6];
  for (int i = 5; i >= 0; --i) m[i] = operands_.PopNumber();
  if (eps_) {
    // PostScript keeps the matrix: the renderer's stays the identity.
    WriteMatrixEPS(TPDFMatrix{m[0], m[1], m[2], m[3], m[4], m[5]});
    return;
  }
  TPDFMatrix product;
  MatrixMultiply(product, TPDFMatrix{m[0], m[1], m[2], m[3], m[4], m[5]}, r_.CTM);
  // A matrix that overflows would put nothing but NaN and infinity on the canvas.
  if (!IsFiniteMatrix(product)) return;
  r_.CTM = product;
  gs_.CTM = product;
}

namespace {

void SetDashArray(TPDFGraphicsState& gs, std::vector<double> dashes, double phase) {
  if (dashes.size() > limits::kMaxDashEntries) dashes.resize(limits::kMaxDashEntries);
  // An odd count repeats once more, so the pattern alternates on and off.
  if (dashes.size() % 2 == 1) {
    const std::size_t n = dashes.size();
    dashes.reserve(2 * n);
    for (std::size_t i = 0; i < n; ++i) dashes.push_back(dashes[i]);
  }
  gs.DashArray = std::move(dashes);
  gs.DashPhase = phase;
}

// A name, or an array of names of which the first one known counts.
TBlendMode BlendModeOf(TPDFRenderer& r, TPDFObject* bm) {
  if (auto* name = As<TPDFName>(bm)) return BlendModeFrom(name->Value);
  if (auto* array = As<TPDFArray>(bm)) {
    for (int i = 0; i < array->Count(); ++i) {
      auto* name = As<TPDFName>(r.ResolveObject(array->Item(i)));
      if (!name) continue;
      const TBlendMode mode = BlendModeFrom(name->Value);
      if (mode != TBlendMode::Normal || name->Value == "Normal" || name->Value == "Compatible")
        return mode;
    }
  }
  return TBlendMode::Normal;
}

}  // namespace

void TContentInterpreter::SetDash() {
  const double phase = operands_.PopNumber();
  operands_.PopGroup(itemCount_, group_);
  itemCount_ = 0;
  std::vector<double> dashes;
  dashes.reserve(std::min(group_.size(), limits::kMaxDashEntries));
  for (std::size_t i = 0; i < group_.size() && i < limits::kMaxDashEntries; ++i)
    dashes.push_back(OperandNumber(group_[i]));
  SetDashArray(gs_, std::move(dashes), phase);
}

void TContentInterpreter::ApplyExtGState() {
  const TByteView operand = operands_.PopText();
  if (!resources_ || operand.size() < 2 || operand.front() != '/') return;
  auto* states = As<TPDFDictionary>(r_.ResolveObject(resources_->GetValue("ExtGState", false)));
  if (!states) return;
  auto* dict = As<TPDFDictionary>(r_.ResolveObject(states->GetValue(operand.substr(1), false)));
  if (!dict) return;
  const TBytes type = dict->GetNameValue("Type");
  if (!type.empty() && type != "ExtGState") return;

  auto number = [&](TByteView key) -> const TPDFNumeric* {
    return As<TPDFNumeric>(r_.ResolveObject(dict->GetValue(key, false)));
  };
  if (auto* n = number("LW")) gs_.LineWidth = n->Value;
  if (auto* n = number("LC")) gs_.LineCap = n->AsInteger();
  if (auto* n = number("LJ")) gs_.LineJoin = n->AsInteger();
  if (auto* n = number("ML")) gs_.MiterLimit = n->Value;
  if (auto* n = number("CA")) gs_.StrokeAlpha = std::clamp(n->Value, 0.0, 1.0);
  if (auto* n = number("ca")) gs_.FillAlpha = std::clamp(n->Value, 0.0, 1.0);
  if (auto* d = As<TPDFArray>(r_.ResolveObject(dict->GetValue("D", false)))) {
    // [dashArray phase]
    auto* array = As<TPDFArray>(r_.ResolveObject(d->Item(0)));
    auto* phase = As<TPDFNumeric>(r_.ResolveObject(d->Item(1)));
    if (array && d->Count() == 2) {
      std::vector<double> dashes;
      for (int i = 0; i < array->Count() && i < static_cast<int>(limits::kMaxDashEntries); ++i) {
        auto* n = As<TPDFNumeric>(r_.ResolveObject(array->Item(i)));
        dashes.push_back(n ? n->Value : 0.0);
      }
      SetDashArray(gs_, std::move(dashes), phase ? phase->Value : 0.0);
    }
  }
  if (TPDFObject* bm = r_.ResolveObject(dict->GetValue("BM", false))) {
    gs_.BlendMode = BlendModeOf(r_, bm);
    canvas_.SetBlendMode(gs_.BlendMode);
  }
  if (auto* ais = As<TPDFBoolean>(r_.ResolveObject(dict->GetValue("AIS", false)))) {
    gs_.AlphaIsShape = ais->Value;
    canvas_.SetAlphaIsShape(gs_.AlphaIsShape);
  }
  if (eps_ && (gs_.FillAlpha < 1 || gs_.StrokeAlpha < 1 || gs_.BlendMode != TBlendMode::Normal))
    r_.TransparencyLeftOut = true;
  if (auto* intent = As<TPDFName>(r_.ResolveObject(dict->GetValue("RI", false))))
    SetIntent(intent->Value);
  if (TPDFObject* mask = r_.ResolveObject(dict->GetValue("SMask", false))) SetSoftMask(mask);
  if (auto* font = As<TPDFArray>(r_.ResolveObject(dict->GetValue("Font", false)))) {
    auto* ref = As<TPDFIndRef>(font->Item(0));
    auto* size = As<TPDFNumeric>(r_.ResolveObject(font->Item(1)));
    if (font->Count() == 2 && ref && size) {
      gs_.FontName = std::to_string(ref->RefObjNum) + " " + std::to_string(ref->RefGenNum) + " R";
      gs_.FontSize = size->Value;
    }
  }
}

void TContentInterpreter::SetIntent(TByteView name) {
  gs_.Intent = RenderingIntentOf(name);
  r_.ColorManager().Intent = gs_.Intent;
}

void TContentInterpreter::SelectFont() {
  // A reference written as text ("12 0 R", from an ExtGState), else a name in the resources.
  // When nothing is found the font selected before stays current.
  TPDFFontCollection& fonts = r_.FontCache();
  const std::string& name = gs_.FontName;
  if (name.size() > 2 && name.compare(name.size() - 2, 2, " R") == 0) {
    // Parsed by the pool of the content's resources, whose references resolve.
    TPDFStructure scratch;
    TPDFStructure& owner = resources_ && resources_->Owner() ? *resources_->Owner() : scratch;
    if (auto* ref = As<TPDFIndRef>(owner.ParseObject(name))) fonts.SelectFontByRef(*ref);
    return;
  }
  if (!resources_ || name.size() < 2 || name.front() != '/') return;
  auto* dict = As<TPDFDictionary>(r_.ResolveObject(resources_->GetValue("Font", false)));
  if (!dict) return;
  TPDFObject* entry = dict->GetValue(DecodeNameOperand(name), false);
  if (auto* ref = As<TPDFIndRef>(entry)) {
    fonts.SelectFontByRef(*ref);
  } else if (auto* direct = As<TPDFDictionary>(entry)) {
    fonts.LoadFontDict(*direct);
  }
}

}  // namespace kestrel
