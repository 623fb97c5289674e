// The annotation pass: after a page's content, every visible annotation's normal appearance
// is drawn into its rectangle, clipped to it.
#include <algorithm>
#include <cmath>

#include "engine/render/annotation_appearance.h"
#include "engine/render/renderer.h"
#include "engine/render/renderer_limits.h"
#include "engine/syntax/structure.h"

namespace kestrel {

namespace {

constexpr int kAnnotationHidden = 2;
constexpr int kAnnotationNoView = 32;

bool ReadNumbers(TPDFRenderer& r, TPDFObject* obj, int count, double* out) {
  auto* array = As<TPDFArray>(r.ResolveObject(obj));
  if (!array || array->Count() != count) return false;
  for (int i = 0; i < count; ++i) {
    auto* n = As<TPDFNumeric>(r.ResolveObject(array->Item(i)));
    if (!n || !std::isfinite(n->Value)) return false;
    out[i] = n->Value;
  }
  return true;
}

// The normal appearance stream and the reference it was reached by.
TPDFStream* NormalAppearance(TPDFRenderer& r, TPDFDictionary& annot, TPDFIndRef*& ref) {
  auto* ap = As<TPDFDictionary>(r.ResolveObject(annot.GetValue("AP", false)));
  if (!ap) return nullptr;
  TPDFObject* n = ap->GetValue("N", false);
  ref = nullptr;
  if (auto* states = As<TPDFDictionary>(r.ResolveObject(n))) {
    // Appearance states: the annotation's AS picks one.
    TPDFObject* as = annot.GetValue("AS", false);
    if (auto* asRef = As<TPDFIndRef>(as)) {
      ref = asRef;
    } else if (auto* name = As<TPDFName>(r.ResolveObject(as))) {
      ref = As<TPDFIndRef>(states->GetValue(name->Value, false));
    }
  } else {
    ref = As<TPDFIndRef>(n);
  }
  return ref ? As<TPDFStream>(r.ResolveObject(ref)) : nullptr;
}

}  // namespace

void TPDFRenderer::DrawAnnotations(TPDFGenericCanvas& canvas, TPDFDictionary& page,
                                   TPDFDictionary* resources) {
  if (View.HideAnnotations) return;
  auto* annots = As<TPDFArray>(ResolveObject(page.GetValue("Annots", false)));
  if (!annots) return;
  for (int i = 0; i < annots->Count(); ++i) {
    // Annotations written straight into the array are drawn too, as other readers do.
    auto* annot = As<TPDFDictionary>(ResolveObject(annots->Item(i)));
    if (!annot) continue;
    const auto* flags = As<TPDFNumeric>(ResolveObject(annot->GetValue("F", false)));
    const int f = flags ? flags->AsInteger() : 0;
    if (f & (kAnnotationHidden | kAnnotationNoView) || !ContentVisible(annot->GetValue("OC", false))) continue;
    CTM = BasePageMatrix;
    EPSMatrix = EPSBaseMatrix;
    DrawAnnotation(canvas, *annot, resources);
    // A link's border is drawn over whatever its appearance shows.
    auto* subtype = As<TPDFName>(ResolveObject(annot->GetValue("Subtype", false)));
    if (subtype && subtype->Value == "Link" && As<TPDFDictionary>(ResolveObject(annot->GetValue("AP", false))))
      DrawGeneratedAppearance(canvas, *annot);
  }
  CTM = BasePageMatrix;
  EPSMatrix = EPSBaseMatrix;
}

void TPDFRenderer::DrawAnnotation(TPDFGenericCanvas& canvas, TPDFDictionary& annot,
                                  TPDFDictionary* resources) {
  double rect[4], bbox[4];
  if (!ReadNumbers(*this, annot.GetValue("Rect", false), 4, rect)) return;
  // Annotations without appearances get one made, as do fields whose form asks for new ones.
  if (!As<TPDFDictionary>(ResolveObject(annot.GetValue("AP", false))) ||
      RegeneratesAppearance(*this, annot, AcroForm)) {
    DrawGeneratedAppearance(canvas, annot);
    return;
  }
  TPDFIndRef* ref = nullptr;
  TPDFStream* appearance = NormalAppearance(*this, annot, ref);
  if (!appearance || !ReadNumbers(*this, appearance->Dictionary()->GetValue("BBox", false), 4, bbox))
    return;
  if (std::find(ActiveForms.begin(), ActiveForms.end(), appearance) != ActiveForms.end() || !MayDrawForm()) {
    return;
  }
  const double left = std::min(rect[0], rect[2]), right = std::max(rect[0], rect[2]);
  const double bottom = std::min(rect[1], rect[3]), top = std::max(rect[1], rect[3]);

  // The appearance's Matrix maps its BBox; the box that results is fitted to the rectangle.
  TPDFMatrix matrix;
  double m[6];
  if (ReadNumbers(*this, appearance->Dictionary()->GetValue("Matrix", false), 6, m))
    matrix = TPDFMatrix{m[0], m[1], m[2], m[3], m[4], m[5]};
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  for (int corner = 0; corner < 4; ++corner) {
    const TPDFPoint p = TransformPoint(matrix, bbox[corner % 2 == 0 ? 0 : 2], bbox[corner < 2 ? 1 : 3]);
    x1 = corner == 0 ? p.x : std::min(x1, p.x), x2 = corner == 0 ? p.x : std::max(x2, p.x);
    y1 = corner == 0 ? p.y : std::min(y1, p.y), y2 = corner == 0 ? p.y : std::max(y2, p.y);
  }
  const double sx = x2 - x1 != 0 ? (right - left) / (x2 - x1) : 1;
  const double sy = y2 - y1 != 0 ? (top - bottom) / (y2 - y1) : 1;

  const TClipHandle saved = canvas.SaveClip();
  const TPDFPoint c[4] = {TransformPoint(CTM, left, bottom), TransformPoint(CTM, left, top),
                          TransformPoint(CTM, right, top), TransformPoint(CTM, right, bottom)};
  canvas.BeginPath();
  canvas.MoveTo(c[0].x, c[0].y);
  for (int k = 1; k < 4; ++k) canvas.LineTo(c[k].x, c[k].y);
  canvas.ClosePath();
  canvas.SetClip(2);
  canvas.EndPath();

  const TPDFMatrix before = CTM;
  TPDFMatrix fit{sx, 0, 0, sy, left - sx * x1, bottom - sy * y1};
  TPDFMatrix full;
  MatrixMultiply(full, matrix, fit);
  bool drawable = false;
  if (TPDFPostScriptCanvas* eps = EPSTarget()) {
    // PostScript applies the fitting matrix; the renderer's stays the identity.
    drawable = IsFiniteMatrix(full);
    if (drawable) {
      eps->AddLine("[ " + EPSLine({full.a, full.b, full.c, full.d, full.e, full.f}, "] cm"));
      MatrixMultiply(EPSMatrix, EPSWrittenMatrix(full), EPSBaseMatrix);
    }
  } else {
    MatrixMultiply(CTM, full, CTM);
    drawable = IsFiniteMatrix(CTM);
  }
  if (drawable) {
    // The appearance's own Matrix is in the CTM now: the form drawing must not apply it again.
    TPDFDictionary* outer = InheritedResources;
    InheritedResources = resources;
    ++FormInvocations;
    ++NestingDepth;
    ActiveForms.push_back(appearance);
    Interpret(canvas, appearance, nullptr, ref);
    ActiveForms.pop_back();
    --NestingDepth;
    InheritedResources = outer;
  }
  CTM = before;
  EPSMatrix = EPSBaseMatrix;
  canvas.RestoreClip(saved);
}

void TPDFRenderer::DrawGeneratedAppearance(TPDFGenericCanvas& canvas, TPDFDictionary& annot) {
  TGeneratedAppearance made;
  if (FormInvocations >= limits::kMaxFormInvocations ||
      !GenerateAppearance(*this, annot, AcroForm, made)) {
    return;
  }
  // The made resources live as long as the content that names them is drawn.
  TPDFStructure scratch;
  auto* resources = As<TPDFDictionary>(scratch.ParseObject(made.Resources));
  if (!resources) return;
  TPDFDictionary* outer = InheritedResources;
  InheritedResources = resources;
  ++FormInvocations;
  ++NestingDepth;
  const TByteView content(made.Content);
  Interpret(canvas, &annot, &content, nullptr);
  --NestingDepth;
  InheritedResources = outer;
  CTM = BasePageMatrix;
  EPSMatrix = EPSBaseMatrix;
}

}  // namespace kestrel
