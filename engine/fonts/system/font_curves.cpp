#include "engine/fonts/system/font_curves.h"

namespace kestrel {

void TFontCurveCollection::AppendTo(TPDFGenericShape& shape) const {
  for (std::size_t c = 0; c < StartPoints.size() && c < Parts.size(); ++c) {
    shape.AddMoveTo(StartPoints[c].X, StartPoints[c].Y);
    for (const TFontSegment& segment : Parts[c]) {
      if (const auto* line = std::get_if<TFontLine>(&segment))
        shape.AddLineTo(line->X, line->Y);
      else if (const auto* s = std::get_if<TFontSpline>(&segment))
        shape.AddCurveTo(s->X1, s->Y1, s->X2, s->Y2, s->X3, s->Y3);
    }
    shape.AddClosePath();
  }
}

}  // namespace kestrel
