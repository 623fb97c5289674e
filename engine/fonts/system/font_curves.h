#pragma once
// Outlines of installed-font glyphs as the system outline service returns them: contours of
// lines and cubic pieces, in thousandths of an em with y up.
#include <variant>
#include <vector>

#include "engine/graphics/canvas_shape.h"

namespace kestrel {

struct TFontLine {
  double X = 0, Y = 0;  // end point
};

struct TFontSpline {
  double X1 = 0, Y1 = 0, X2 = 0, Y2 = 0;  // control points
  double X3 = 0, Y3 = 0;                  // end point
};

using TFontSegment = std::variant<TFontLine, TFontSpline>;

struct TFontPoint {
  double X = 0, Y = 0;
};

struct TFontCurveCollection {
  std::vector<TFontPoint> StartPoints;           // one per contour
  std::vector<std::vector<TFontSegment>> Parts;  // the segments of each contour

  void Clear() {
    StartPoints.clear();
    Parts.clear();
  }
  // Records every contour as MoveTo, LineTo/CurveTo, ClosePath.
  void AppendTo(TPDFGenericShape& shape) const;
};

}  // namespace kestrel
