#pragma once
// One level of the renderer's graphics state stack.
#include <string>
#include <vector>

#include "engine/graphics/canvas.h"
#include "engine/render/colour/colour_manager.h"
#include "engine/render/colour/colour_space.h"
#include "engine/graphics/matrix.h"

namespace kestrel {

class TPDFObject;

// A rectangle in device units.
struct TDeviceBox {
  double MinX = -1e300, MinY = -1e300, MaxX = 1e300, MaxY = 1e300;

  bool Empty() const { return !(MinX < MaxX && MinY < MaxY); }
  void Intersect(const TDeviceBox& o) {
    MinX = MinX > o.MinX ? MinX : o.MinX;
    MinY = MinY > o.MinY ? MinY : o.MinY;
    MaxX = MaxX < o.MaxX ? MaxX : o.MaxX;
    MaxY = MaxY < o.MaxY ? MaxY : o.MaxY;
  }
};

struct TPDFGraphicsState {
  // Current point in device units (the renderer keeps it for curves that start there).
  TPDFPoint Current{110, 700};

  TPackedColor FillColor = 0;
  std::string FillText;  // PostScript form, kept only for the EPS target
  TPackedColor StrokeColor = 0;
  std::string StrokeText;
  TColorSpaceId FillSpace = kDeviceGray;
  TColorSpaceId StrokeSpace = kDeviceGray;
  // The pattern dictionary or stream selected by scn / SCN (null for plain colours).
  TPDFObject* FillPattern = nullptr;
  TPDFObject* StrokePattern = nullptr;

  double LineWidth = 1;  // user units
  int LineCap = 0;
  int LineJoin = 0;
  double MiterLimit = 10;

  TPDFMatrix CTM;
  // EPS target: the product of the cm lines in force in the file (current user space to the
  // page's default space), as PostScript reads them back.
  TPDFMatrix EPSMatrix;
  TPDFMatrix Tm;
  TPDFMatrix Tlm;
  double HorizontalScaling = 100;  // percent
  double FontSize = 12;
  std::string FontName;  // "/F1", or a reference as "12 0 R"
  double Leading = 0;
  double CharSpacing = 0;
  double WordSpacing = 0;
  double Rise = 0;
  int RenderMode = 0;

  double StrokeAlpha = 1;
  double FillAlpha = 1;
  TBlendMode BlendMode = TBlendMode::Normal;
  // AIS: the opacities (ca, CA, the soft mask) are shape.
  bool AlphaIsShape = false;
  TRenderingIntent Intent = TRenderingIntent::RelativeColorimetric;
  TClipHandle Clip = 0;
  // Soft-mask layers open on the canvas for this state (see TPDFRenderer::OpenLayers), and
  // whether the innermost of them was opened at this level (by gs, not inherited through q).
  int MaskLayers = 0;
  bool OwnsMaskLayer = false;
  // A soft mask is in force that the canvas could not open a layer for.
  bool SoftMaskDropped = false;
  // ... and the area it governs was put down from the page picture: what is painted while it
  // is in force is left out (the picture shows it masked).
  bool SoftMaskPictured = false;
  // Bounds of the clip in force (device units; the page's default space for the EPS target):
  // what shadings and patterns need to cover.
  TDeviceBox ClipBox;

  double DashPhase = 0;
  std::vector<double> DashArray;  // user units; empty is a solid line
};

}  // namespace kestrel
