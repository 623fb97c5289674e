// Do: form XObjects are interpreted in place; image XObjects are the image decoder's.
#include <algorithm>
#include <cmath>

#include "engine/render/interpreter/renderer_interpreter.h"
#include "engine/render/renderer_limits.h"
#include "engine/syntax/string_decode.h"

namespace kestrel {

namespace {

// Exactly `count` numbers of an array (references resolved).
bool ReadNumbers(TPDFRenderer& r, TPDFObject* obj, int count, double* out) {
  auto* array = As<TPDFArray>(r.ResolveObject(obj));
  if (!array || array->Count() != count) return false;
  for (int i = 0; i < count; ++i) {
    auto* n = As<TPDFNumeric>(r.ResolveObject(array->Item(i)));
    if (!n) return false;
    out[i] = n->Value;
  }
  return true;
}

// Whether a blend-mode entry names a mode other than Normal.
bool BlendsAtAll(TPDFRenderer& r, TPDFObject* bm) {
  TPDFObject* mode = r.ResolveObject(bm);
  if (auto* array = As<TPDFArray>(mode)) return array->Count() > 0;
  auto* name = As<TPDFName>(mode);
  return name && name->Value != "Normal" && name->Value != "Compatible";
}

bool ResourcesBlend(TPDFRenderer& r, TPDFDictionary* resources, int formDepth, int& budget) {
  if (!resources || --budget < 0) return false;
  if (auto* states = As<TPDFDictionary>(r.ResolveObject(resources->GetValue("ExtGState", false)))) {
    for (int i = 0; i < states->Count(); ++i) {
      auto* state = As<TPDFDictionary>(r.ResolveObject(states->EntryAt(i).second));
      if (state && BlendsAtAll(r, state->GetValue("BM", false))) return true;
    }
  }
  if (formDepth <= 0) return false;
  auto* xobjects = As<TPDFDictionary>(r.ResolveObject(resources->GetValue("XObject", false)));
  for (int i = 0; xobjects && i < xobjects->Count() && budget > 0; ++i) {
    auto* form = As<TPDFStream>(r.ResolveObject(xobjects->EntryAt(i).second));
    if (!form || form->Dictionary()->GetNameValue("Subtype") != "Form") continue;
    auto* own = As<TPDFDictionary>(r.ResolveObject(form->Dictionary()->GetValue("Resources", false)));
    if (own != resources && ResourcesBlend(r, own, formDepth - 1, budget)) return true;
  }
  return false;
}

bool BooleanEntry(TPDFRenderer& r, TPDFDictionary& dict, TByteView key) {
  auto* b = As<TPDFBoolean>(r.ResolveObject(dict.GetValue(key, false)));
  return b && b->Value;
}

}  // namespace

bool UsesBlendModes(TPDFRenderer& r, TPDFDictionary* resources, int formDepth) {
  // Resources shared by many forms are looked at a bounded number of times.
  int budget = 256;
  return ResourcesBlend(r, resources, formDepth, budget);
}

TContentInterpreter::TGroupStart TContentInterpreter::BeginGroup(TPDFDictionary& form,
                                                                TGroupPutDown& putDown) {
  auto* group = As<TPDFDictionary>(r_.ResolveObject(form.GetValue("Group", false)));
  if (eps_ || !group || group->GetNameValue("S") != "Transparency") return TGroupStart::None;
  const bool isolated = BooleanEntry(r_, *group, "I");
  const bool knockout = BooleanEntry(r_, *group, "K");
  // A layer of its own only where it changes the result: an opacity or blend mode that applies
  // to the group as a whole, a knockout group, or an isolated group whose elements blend.
  auto* own = As<TPDFDictionary>(r_.ResolveObject(form.GetValue("Resources", false)));
  const bool needed = gs_.FillAlpha < 1 || gs_.BlendMode != TBlendMode::Normal || knockout ||
                      (isolated && UsesBlendModes(r_, own ? own : resources_, 0));
  if (!needed || stack_.size() + 2 >= limits::kMaxStateDepth) return TGroupStart::None;
  // A non-isolated group with a blend mode of its own whose elements blend too is drawn twice:
  // first alone, for its shape, then over what lies below (what its elements blend with),
  // which is taken out again before the group is blended onto it.
  const bool twoPass = !isolated && !knockout && gs_.BlendMode != TBlendMode::Normal &&
                       UsesBlendModes(r_, own ? own : resources_, 0) && canvas_.BeginGroupShape();
  if (!twoPass && !canvas_.BeginGroup(isolated || gs_.BlendMode != TBlendMode::Normal, knockout))
    return TGroupStart::Refused;
  putDown = {gs_.FillAlpha, gs_.BlendMode, gs_.MaskLayers, twoPass};
  ++r_.OpenLayers;
  gs_.MaskLayers = r_.OpenLayers;
  gs_.FillAlpha = gs_.StrokeAlpha = 1;
  gs_.BlendMode = TBlendMode::Normal;
  canvas_.SetBlendMode(gs_.BlendMode);
  return TGroupStart::Layer;
}

bool TContentInterpreter::DrawAsPagePicture(const double* box) {
  return DrawPagePicture(TransformedBox(r_.CTM, box[0], box[1], box[2], box[3]));
}

bool TContentInterpreter::DrawPagePicture(TDeviceBox area) {
  if (eps_ || !r_.PagePicture) return false;
  const TRasterImage* page = r_.PagePicture();
  if (!page) return false;
  area.Intersect(gs_.ClipBox);
  area.Intersect(TDeviceBox{0, 0, double(page->Width()), double(page->Height())});
  if (area.Empty()) return true;  // nothing of it shows
  const int left = static_cast<int>(std::floor(area.MinX));
  const int top = static_cast<int>(std::floor(area.MinY));
  const int right = static_cast<int>(std::ceil(area.MaxX));
  const int bottom = static_cast<int>(std::ceil(area.MaxY));
  TCanvasBitmap piece;
  piece.Width = right - left;
  piece.Height = bottom - top;
  piece.Pixels.reserve(std::size_t(piece.Width) * std::size_t(piece.Height));
  for (int y = top; y < bottom; ++y)
    for (int x = left; x < right; ++x) piece.Pixels.push_back(0xFF000000u | page->Pixel(x, y));
  canvas_.DrawBitmap(piece, left, top, right, top, left, bottom, TImageSampling::Nearest);
  return true;
}

TDeviceBox TContentInterpreter::MaskArea(TPDFStream& group,
                                         const std::optional<TPackedColor>& backdrop,
                                         const std::vector<std::uint8_t>& transfer) {
  // Outside the group's box the mask is the backdrop's value (0 for alpha masks) through TR.
  const bool outsideShows = (backdrop && (*backdrop & 0xFFFFFFu) != 0) ||
                            (!transfer.empty() && transfer[0] != 0);
  double box[4];
  if (outsideShows || !ReadNumbers(r_, group.Dictionary()->GetValue("BBox", false), 4, box))
    return gs_.ClipBox;
  TPDFMatrix toDevice = r_.CTM;
  double m[6];
  if (ReadNumbers(r_, group.Dictionary()->GetValue("Matrix", false), 6, m)) {
    const TPDFMatrix formMatrix{m[0], m[1], m[2], m[3], m[4], m[5]};
    if (IsFiniteMatrix(formMatrix)) MatrixMultiply(toDevice, formMatrix, r_.CTM);
  }
  return TransformedBox(toDevice, box[0], box[1], box[2], box[3]);
}

void TContentInterpreter::EndGroup(const TGroupPutDown& putDown) {
  if (putDown.Open) canvas_.EndGroup(putDown.Alpha, putDown.Mode);
  --r_.OpenLayers;
  gs_.MaskLayers = putDown.MaskLayers;
}

void TContentInterpreter::DoXObject() {
  const TByteView operand = operands_.PopText();
  if (!Shows() || !resources_ || operand.size() < 2 || operand.front() != '/') return;
  auto* xobjects = As<TPDFDictionary>(r_.ResolveObject(resources_->GetValue("XObject", false)));
  if (!xobjects) return;
  TPDFObject* entry = xobjects->GetValue(DecodeNameOperand(operand), false);
  auto* ref = As<TPDFIndRef>(entry);
  auto* stream = As<TPDFStream>(r_.ResolveObject(entry));
  if (!stream) return;
  auto* subtype = As<TPDFName>(r_.ResolveObject(stream->Dictionary()->GetValue("Subtype", false)));
  if (!subtype || !r_.ContentVisible(stream->Dictionary()->GetValue("OC", false))) return;
  if (subtype->Value == "Form") {
    SaveState();
    DrawForm(*stream, ref);
    RestoreState();
  } else if (subtype->Value == "Image") {
    SaveState();
    DrawImageXObject(*stream, ref);
    RestoreState();
  }
}

void TContentInterpreter::ClipToBox(const double* box) {
  const double x0 = std::min(box[0], box[2]), x1 = std::max(box[0], box[2]);
  const double y0 = std::min(box[1], box[3]), y1 = std::max(box[1], box[3]);
  const TPDFPoint p[4] = {T(x0, y0), T(x1, y0), T(x1, y1), T(x0, y1)};
  double minX = p[0].x, maxX = p[0].x, minY = p[0].y, maxY = p[0].y;
  for (const TPDFPoint& q : p) {
    if (!std::isfinite(q.x) || !std::isfinite(q.y)) return;
    minX = std::min(minX, q.x), maxX = std::max(maxX, q.x);
    minY = std::min(minY, q.y), maxY = std::max(maxY, q.y);
  }
  // A box that holds the whole target clips nothing: skip the clip and its cost.
  if (minX <= 0 && minY <= 0 && maxX >= r_.TargetWidth && maxY >= r_.TargetHeight &&
      r_.TargetWidth > 0) {
    const bool axisAligned = (p[0].x == p[3].x && p[1].x == p[2].x) ||
                             (p[0].y == p[3].y && p[1].y == p[2].y);
    if (axisAligned) return;
  }
  // The interpreter's own path (if one is under construction) is untouched: it reaches the
  // canvas only when painted.
  const std::vector<TPathOp> box4 = {{TPathOpKind::Move, {p[0]}}, {TPathOpKind::Line, {p[1]}},
                                     {TPathOpKind::Line, {p[2]}}, {TPathOpKind::Line, {p[3]}},
                                     {TPathOpKind::Close, {}}};
  EmitPath(box4);
  canvas_.SetClip(kFillRuleNonZero);
  canvas_.EndPath();
  NoteClip(TDeviceBox{minX, minY, maxX, maxY});
}

void TContentInterpreter::DrawForm(TPDFStream& form, TPDFIndRef* ref) {
  // A form inside itself, too deep a nesting, or too many forms for one page draw nothing.
  if (std::find(r_.ActiveForms.begin(), r_.ActiveForms.end(), &form) != r_.ActiveForms.end() ||
      !r_.MayDrawForm()) {
    return;
  }
  ++r_.FormInvocations;
  TPDFDictionary* dict = form.Dictionary();
  double m[6];
  if (eps_) {
    // The form's matrix becomes a cm line, local to the q … Q written around the Do.
    if (ReadNumbers(r_, dict->GetValue("Matrix", false), 6, m)) {
      const TPDFMatrix matrix{m[0], m[1], m[2], m[3], m[4], m[5]};
      if (!IsFiniteMatrix(matrix)) return;
      WriteMatrixEPS(matrix);
    }
  } else if (ReadNumbers(r_, dict->GetValue("Matrix", false), 6, m)) {
    TPDFMatrix product;
    MatrixMultiply(product, TPDFMatrix{m[0], m[1], m[2], m[3], m[4], m[5]}, r_.CTM);
    if (!IsFiniteMatrix(product)) return;
    r_.CTM = product;
    gs_.CTM = product;
  }
  // The form's box bounds what it draws.
  double box[4];
  const bool boxed = ReadNumbers(r_, dict->GetValue("BBox", false), 4, box);
  if (boxed) ClipToBox(box);

  TGroupPutDown putDown;
  const TGroupStart group = BeginGroup(*dict, putDown);
  const bool grouped = group == TGroupStart::Layer;
  // Transparency the canvas cannot draw is taken from the page picture.
  if ((group == TGroupStart::Refused || gs_.SoftMaskDropped) && boxed && DrawAsPagePicture(box))
    return;
  TPDFDictionary* outerInherited = r_.InheritedResources;
  r_.InheritedResources = resources_;
  auto interpret = [&] {
    SaveState();
    r_.SavedState = gs_;
    r_.ActiveForms.push_back(&form);
    ++r_.NestingDepth;
    r_.Interpret(canvas_, &form, nullptr, ref);
    --r_.NestingDepth;
    r_.ActiveForms.pop_back();
    r_.SavedState.reset();
    RestoreState();
  };
  interpret();
  if (grouped && putDown.TwoPass) {
    // The first drawing was the group's shape; the second is over what lies below.
    canvas_.EndGroupShape();
    putDown.Open = canvas_.BeginGroup(false, false);
    if (putDown.Open) interpret();
  }
  r_.InheritedResources = outerInherited;
  if (grouped) EndGroup(putDown);
}

}  // namespace kestrel
