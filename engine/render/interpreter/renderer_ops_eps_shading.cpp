// Shadings on the EPS target: the shading is painted into a picture over the area it must
// cover and the picture is embedded, placed in the page's default space. Pixels the shading
// does not reach are masked out, so what lies below shows through.
#include <algorithm>
#include <cmath>
#include <string>

#include "engine/graphics/graphics_limits.h"
#include "engine/graphics/format_decimal.h"
#include "engine/render/interpreter/renderer_interpreter.h"
#include "engine/render/shading/shading.h"

namespace kestrel {

namespace {

// Picture pixels per point: the page's resolution, at least 72 dpi.
constexpr double kMinPictureResolution = limits::kPointsPerInch;
constexpr double kMaxPictureResolution = 4800;
// The picture's device area stays well inside the coordinates the shading painter takes.
constexpr double kMaxPictureSide = 65536;

// A cm line with more decimals than path lines get: the placement goes through the inverse
// of the user space matrix, where four decimals would shift or shrink the picture visibly.
std::string PlacementLine(const TPDFMatrix& m) {
  std::string line = "[ ";
  for (const double v : {m.a, m.b, m.c, m.d, m.e, m.f}) {
    line += FormatDecimal(8, std::clamp(v, -1e9, 1e9));
    line += ' ';
  }
  return line + "] cm";
}

bool AnyPainted(const TCanvasBitmap& bitmap) {
  return std::any_of(bitmap.Pixels.begin(), bitmap.Pixels.end(),
                     [](std::uint32_t p) { return (p >> 24) != 0; });
}

}  // namespace

std::optional<TPDFMatrix> TContentInterpreter::PatternMatrix(TPDFDictionary& dict) {
  auto* matrix = As<TPDFArray>(r_.ResolveObject(dict.GetValue("Matrix", false)));
  if (!matrix || matrix->Count() != 6) return std::nullopt;
  double m[6];
  for (int i = 0; i < 6; ++i) {
    auto* n = As<TPDFNumeric>(r_.ResolveObject(matrix->Item(i)));
    m[i] = n ? n->Value : 0;
  }
  return TPDFMatrix{m[0], m[1], m[2], m[3], m[4], m[5]};
}

void TContentInterpreter::PaintShadingEPS(TPDFShading& shading, const TPDFMatrix& toPage,
                                          TDeviceBox area, int clipRule) {
  area.Intersect(r_.EPSPageBox);
  if (area.Empty() || !IsFiniteMatrix(toPage)) return;
  // The picture is placed through the inverse of the cm lines in force; a user space without
  // one shows nothing.
  const std::optional<TPDFMatrix> fromPage = InvertMatrix(gs_.EPSMatrix);
  if (!fromPage) return;
  const double width = area.MaxX - area.MinX, height = area.MaxY - area.MinY;
  double scale = std::clamp(std::isfinite(r_.Resolution) ? r_.Resolution : 0.0,
                            kMinPictureResolution, kMaxPictureResolution) / limits::kPointsPerInch;
  scale = std::min(scale, kMaxPictureSide / std::max(width, height));
  if (!(scale > 0)) return;

  // Picture pixels: y down from the area's top left corner.
  const TPDFMatrix toPicture{scale, 0, 0, -scale, -scale * area.MinX, scale * area.MaxY};
  TPDFMatrix toDevice;
  MatrixMultiply(toDevice, toPage, toPicture);
  TShadingPicture picture;
  // Transparency has no form in the file: the picture is painted opaque.
  if (!RasterizeShadingBox(shading, toDevice, TDeviceBox{0, 0, width * scale, height * scale}, 1,
                           picture) ||
      !AnyPainted(picture.Bitmap)) {
    return;
  }

  // The unit square onto the picture's rectangle in the page's space, then into user space.
  const double x0 = area.MinX + picture.Left / scale, x1 = area.MinX + picture.Right / scale;
  const double top = area.MaxY - picture.Top / scale, bottom = area.MaxY - picture.Bottom / scale;
  TPDFMatrix placement;
  MatrixMultiply(placement, TPDFMatrix{x1 - x0, 0, 0, top - bottom, x0, bottom}, *fromPage);
  if (!IsFiniteMatrix(placement)) return;

  eps_->SaveState();
  if (clipRule != 0) {
    // The path written last is the area to fill.
    eps_->AddLine(clipRule == kFillRuleEvenOdd ? "W*" : "W");
    eps_->AddLine("n");
  }
  eps_->AddLine(PlacementLine(placement));
  // Every painting is a picture of its own. DrawImage masks by the picture's alpha.
  eps_->DrawImage(picture.Bitmap, nullptr, "KestrelShading" + std::to_string(++r_.EPSPictures));
  eps_->RestoreState();
}

bool TContentInterpreter::FillWithShadingPatternEPS(int fillRule) {
  TPDFDictionary* dict = As<TPDFDictionary>(gs_.FillPattern);
  if (auto* stream = As<TPDFStream>(gs_.FillPattern)) dict = stream->Dictionary();
  if (!dict) return false;
  auto* type = As<TPDFNumeric>(r_.ResolveObject(dict->GetValue("PatternType", false)));
  if (!type || type->AsInteger() != 2) return false;
  std::unique_ptr<TPDFShading> shading = TPDFShading::Load(dict->GetValue("Shading", false), r_);
  if (!shading) return false;
  // The pattern's space is the one this content started in.
  TPDFMatrix toPage = epsBaseMatrix_;
  if (const std::optional<TPDFMatrix> matrix = PatternMatrix(*dict))
    MatrixMultiply(toPage, *matrix, epsBaseMatrix_);
  const TDeviceBox box = PathBox(path_);
  TDeviceBox area = box.Empty() ? box
                                : TransformedBox(gs_.EPSMatrix, box.MinX, box.MinY, box.MaxX, box.MaxY);
  area.Intersect(gs_.ClipBox);
  PaintShadingEPS(*shading, toPage, area, fillRule);
  return true;
}

}  // namespace kestrel
