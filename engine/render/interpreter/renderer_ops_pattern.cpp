// Shadings (sh) and pattern fills: the shading is painted into a bitmap that is drawn through
// the clip; a tiling pattern's cell is interpreted once for every tile the area needs.
#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "engine/render/interpreter/renderer_interpreter.h"
#include "engine/render/renderer_limits.h"
#include "engine/render/shading/shading.h"

namespace kestrel {

TDeviceBox TContentInterpreter::TargetBox() const {
  return TDeviceBox{0, 0, r_.TargetWidth, r_.TargetHeight};
}

TDeviceBox TContentInterpreter::PathBox(const std::vector<TPathOp>& ops) const {
  TDeviceBox box{1e300, 1e300, -1e300, -1e300};
  for (const TPathOp& op : ops) {
    const int n = op.kind == TPathOpKind::Curve ? 3 : op.kind == TPathOpKind::Close ? 0 : 1;
    for (int i = 0; i < n; ++i) {
      box.MinX = std::min(box.MinX, op.p[i].x), box.MaxX = std::max(box.MaxX, op.p[i].x);
      box.MinY = std::min(box.MinY, op.p[i].y), box.MaxY = std::max(box.MaxY, op.p[i].y);
    }
  }
  return box;
}

TDeviceBox TransformedBox(const TPDFMatrix& m, double x0, double y0, double x1, double y1) {
  TDeviceBox box{1e300, 1e300, -1e300, -1e300};
  for (const TPDFPoint& p : {TransformPoint(m, x0, y0), TransformPoint(m, x1, y0),
                             TransformPoint(m, x1, y1), TransformPoint(m, x0, y1)}) {
    box.MinX = std::min(box.MinX, p.x), box.MaxX = std::max(box.MaxX, p.x);
    box.MinY = std::min(box.MinY, p.y), box.MaxY = std::max(box.MaxY, p.y);
  }
  return box;
}

void TContentInterpreter::NoteClip(const TDeviceBox& box) {
  // The EPS target keeps the clip's bounds in the page's default space: the box is in the
  // user space of the cm lines in force.
  if (eps_) {
    if (box.Empty()) {
      gs_.ClipBox.Intersect(box);
      return;
    }
    gs_.ClipBox.Intersect(TransformedBox(gs_.EPSMatrix, box.MinX, box.MinY, box.MaxX, box.MaxY));
    return;
  }
  gs_.ClipBox.Intersect(box);
}

void TContentInterpreter::DrawShadingInBox(TPDFShading& shading, const TPDFMatrix& toDevice,
                                           TDeviceBox box) {
  TShadingPicture picture;
  if (!RasterizeShadingBox(shading, toDevice, box, gs_.FillAlpha, picture)) return;
  canvas_.DrawBitmap(picture.Bitmap, picture.Left, picture.Top, picture.Right, picture.Top,
                     picture.Left, picture.Bottom,
                     picture.Scaled ? TImageSampling::Smooth : TImageSampling::Nearest);
}

bool TContentInterpreter::RasterizeShadingBox(TPDFShading& shading, const TPDFMatrix& toDevice,
                                              TDeviceBox box, double alpha,
                                              TShadingPicture& picture) {
  if (shading.BBox) {
    const auto& b = *shading.BBox;
    box.Intersect(TransformedBox(toDevice, b[0], b[1], b[2], b[3]));
  }
  if (r_.TargetWidth > 0) box.Intersect(TargetBox());
  // Device coordinates beyond any target (the largest is 32767 pixels a side) are not painted.
  constexpr double kFar = 1e6;
  if (box.Empty() || !(box.MinX > -kFar && box.MaxX < kFar && box.MinY > -kFar && box.MaxY < kFar))
    return false;
  // Whole pixels; a large area is painted at a coarser step and scaled up.
  const double x0 = std::floor(box.MinX), y0 = std::floor(box.MinY);
  const double w = std::ceil(box.MaxX) - x0, h = std::ceil(box.MaxY) - y0;
  const double step = std::max(1.0, std::ceil(std::sqrt(w * h / limits::kMaxShadingPixels)));
  TPDFMatrix scaled;
  MatrixMultiply(scaled, toDevice, TPDFMatrix{1 / step, 0, 0, 1 / step, 0, 0});
  const int bw = static_cast<int>(std::ceil(w / step)), bh = static_cast<int>(std::ceil(h / step));
  // The page's budgets for shading work.
  const double pixels = static_cast<double>(bw) * bh;
  const double evaluations = static_cast<double>(ShadingEvaluations(shading, bw, bh));
  if (pixels > r_.ShadingPixelBudget || evaluations > r_.EvaluationBudget)
    throw std::length_error("the page needs too many operations");
  r_.ShadingPixelBudget -= pixels;
  r_.EvaluationBudget -= evaluations;
  RasterizeShading(shading, r_.ColorSpaces(), scaled, static_cast<int>(x0 / step),
                   static_cast<int>(y0 / step), bw, bh, alpha, picture.Bitmap);
  const double left = std::floor(x0 / step) * step, top = std::floor(y0 / step) * step;
  picture.Left = left;
  picture.Top = top;
  picture.Right = left + bw * step;
  picture.Bottom = top + bh * step;
  picture.Scaled = step > 1;
  return true;
}

void TContentInterpreter::PaintShading() {
  const TByteView name = operands_.PopText();
  if (!Shows() || !resources_ || name.size() < 2 || name.front() != '/') return;
  auto* shadings = As<TPDFDictionary>(r_.ResolveObject(resources_->GetValue("Shading", false)));
  if (!shadings) return;
  std::unique_ptr<TPDFShading> shading =
      TPDFShading::Load(shadings->GetValue(name.substr(1), false), r_);
  if (!shading) return;
  // sh fills the whole clip; without one, the target (the page box for EPS, where the shading
  // space is the user space of the cm lines in force).
  if (eps_) {
    PaintShadingEPS(*shading, gs_.EPSMatrix, gs_.ClipBox, 0);
    return;
  }
  DrawShadingInBox(*shading, r_.CTM, gs_.ClipBox);
}

TPDFObject* TContentInterpreter::LookupPattern(TByteView name) {
  if (!resources_ || name.size() < 2 || name.front() != '/') return nullptr;
  auto* patterns = As<TPDFDictionary>(r_.ResolveObject(resources_->GetValue("Pattern", false)));
  if (!patterns) return nullptr;
  TPDFObject* pattern = r_.ResolveObject(patterns->GetValue(name.substr(1), false));
  return As<TPDFDictionary>(pattern) || As<TPDFStream>(pattern) ? pattern : nullptr;
}

void TContentInterpreter::FillWithPattern(int fillRule) {
  TPDFObject* pattern = gs_.FillPattern;
  TPDFDictionary* dict = As<TPDFDictionary>(pattern);
  auto* cell = As<TPDFStream>(pattern);
  if (cell) dict = cell->Dictionary();
  if (!dict) return;
  TDeviceBox box = PathBox(path_);
  box.Intersect(gs_.ClipBox);
  if (box.Empty()) return;

  TPDFMatrix toDevice = baseMatrix_;
  if (const std::optional<TPDFMatrix> matrix = PatternMatrix(*dict))
    MatrixMultiply(toDevice, *matrix, baseMatrix_);
  if (!IsFiniteMatrix(toDevice)) return;
  auto* type = As<TPDFNumeric>(r_.ResolveObject(dict->GetValue("PatternType", false)));
  const int patternType = type ? type->AsInteger() : 0;

  // The fill area becomes the clip for the pattern's painting.
  const TClipHandle saved = canvas_.SaveClip();
  EmitPath(path_);
  canvas_.SetClip(fillRule);
  canvas_.EndPath();
  if (patternType == 2) {
    if (auto shading = TPDFShading::Load(dict->GetValue("Shading", false), r_))
      DrawShadingInBox(*shading, toDevice, box);
  } else if (patternType == 1 && cell) {
    PaintTiling(*cell, nullptr, toDevice, box);
  }
  canvas_.RestoreClip(saved);
}

void TContentInterpreter::PaintTiling(TPDFStream& cell, TPDFIndRef* ref, const TPDFMatrix& toDevice,
                                      const TDeviceBox& box) {
  TPDFDictionary* dict = cell.Dictionary();
  double bbox[4] = {0, 0, 0, 0};
  auto* b = As<TPDFArray>(r_.ResolveObject(dict->GetValue("BBox", false)));
  if (!b || b->Count() != 4) return;
  for (int i = 0; i < 4; ++i) {
    auto* n = As<TPDFNumeric>(r_.ResolveObject(b->Item(i)));
    if (!n) return;
    bbox[i] = n->Value;
  }
  auto* xs = As<TPDFNumeric>(r_.ResolveObject(dict->GetValue("XStep", false)));
  auto* ys = As<TPDFNumeric>(r_.ResolveObject(dict->GetValue("YStep", false)));
  if (!xs || !ys || xs->Value == 0 || ys->Value == 0) return;
  const double xstep = std::fabs(xs->Value), ystep = std::fabs(ys->Value);
  const std::optional<TPDFMatrix> inverse = InvertMatrix(toDevice);
  if (!inverse) return;
  // The area in pattern space, and the tiles whose box reaches into it.
  const TDeviceBox area = TransformedBox(*inverse, box.MinX, box.MinY, box.MaxX, box.MaxY);
  const double bx0 = std::min(bbox[0], bbox[2]), bx1 = std::max(bbox[0], bbox[2]);
  const double by0 = std::min(bbox[1], bbox[3]), by1 = std::max(bbox[1], bbox[3]);
  const double i0 = std::floor((area.MinX - bx1) / xstep), i1 = std::ceil((area.MaxX - bx0) / xstep);
  const double j0 = std::floor((area.MinY - by1) / ystep), j1 = std::ceil((area.MaxY - by0) / ystep);
  if (!std::isfinite(i0) || !std::isfinite(i1) || !std::isfinite(j0) || !std::isfinite(j1) ||
      (i1 - i0 + 1) * (j1 - j0 + 1) > limits::kMaxPatternTiles) {
    r_.AddPageNote("a tiling pattern of more than " + std::to_string(static_cast<long>(limits::kMaxPatternTiles)) +
                   " cells in one fill was left out");
    return;
  }
  auto* paintType = As<TPDFNumeric>(r_.ResolveObject(dict->GetValue("PaintType", false)));
  const bool uncoloured = paintType && paintType->AsInteger() == 2;
  if (std::find(r_.ActiveForms.begin(), r_.ActiveForms.end(), &cell) != r_.ActiveForms.end() ||
      !r_.MayDrawForm()) {
    return;
  }

  const TPDFMatrix outer = r_.CTM;
  TPDFDictionary* outerResources = r_.InheritedResources;
  r_.InheritedResources = resources_;
  r_.ActiveForms.push_back(&cell);
  ++r_.NestingDepth;
  for (double j = j0; j <= j1; ++j) {
    for (double i = i0; i <= i1; ++i) {
      if (!r_.MayDrawForm()) break;
      ++r_.FormInvocations;
      MatrixMultiply(r_.CTM, TPDFMatrix{1, 0, 0, 1, i * xstep, j * ystep}, toDevice);
      // A cell starts from a fresh state; an uncoloured one paints in the pattern's colour.
      TPDFGraphicsState state;
      state.ClipBox = gs_.ClipBox;
      if (uncoloured) {
        state.FillColor = state.StrokeColor = gs_.FillColor;
        r_.StartUncoloured = true;
      }
      r_.SavedState = std::move(state);
      r_.Interpret(canvas_, &cell, nullptr, ref);
    }
  }
  --r_.NestingDepth;
  r_.ActiveForms.pop_back();
  r_.InheritedResources = outerResources;
  r_.CTM = outer;
}

}  // namespace kestrel
