#pragma once
// Colour conversions shared by the renderer and the image side: CMYK and CIE L*a*b* to RGB,
// and RGB components to the packed 0x00BBGGRR colour the canvas takes.
#include "engine/graphics/canvas.h"
#include "engine/syntax/bytes.h"

namespace kestrel {

// How colours outside what the screen shows are brought into it (the order is Little CMS's).
enum class TRenderingIntent : std::uint8_t {
  Perceptual,
  RelativeColorimetric,
  Saturation,
  AbsoluteColorimetric,
};
// A PDF intent name (without the slash); unknown names are RelativeColorimetric.
TRenderingIntent RenderingIntentOf(TByteView name);

struct TRGB {
  double r = 0, g = 0, b = 0;
};

class TPDFColorManager {
 public:
  virtual ~TPDFColorManager() = default;
  // Results are not clamped; packing clamps them.
  virtual TRGB CMYKToRGB(double c, double m, double y, double k) const = 0;
  virtual TPackedColor RGBToColor(double r, double g, double b) const = 0;
  virtual TRGB LabToRGB(double l, double a, double b) const = 0;
};

class TPDFSimpleColorManager final : public TPDFColorManager {
 public:
  static constexpr double kDefaultWhiteX = 0.9505;
  static constexpr double kDefaultWhiteY = 1.0;
  static constexpr double kDefaultWhiteZ = 1.089;

  TRGB CMYKToRGB(double c, double m, double y, double k) const override;
  // Each component clamped to 0..1 (NaN reads as 0), scaled by 255 and rounded half to even.
  TPackedColor RGBToColor(double r, double g, double b) const override;
  TPackedColor RGBToColor(const TRGB& rgb) const { return RGBToColor(rgb.r, rgb.g, rgb.b); }
  // sRGB components (0..1) of an L*a*b* colour under the current white point and ranges: the
  // colour is taken to CIE XYZ under the white point, adapted to D65 (Bradford) and converted
  // with the sRGB primaries and transfer curve.
  TRGB LabToRGB(double l, double a, double b) const override;

  // Accepted when X > 0, Y = 1 and Z > 0; anything else restores the default white point.
  bool SetWhitePoint(double x, double y, double z);
  void ResetWhitePoint();
  void SetLabRange(double aMin, double aMax, double bMin, double bMax);

  // The intent colours are converted with now (set from the graphics state).
  TRenderingIntent Intent = TRenderingIntent::RelativeColorimetric;

  double WhiteX() const { return whiteX_; }
  double WhiteY() const { return whiteY_; }
  double WhiteZ() const { return whiteZ_; }

 private:
  double whiteX_ = kDefaultWhiteX;
  double whiteY_ = kDefaultWhiteY;
  double whiteZ_ = kDefaultWhiteZ;
  double aMin_ = -128, aMax_ = 127, bMin_ = -128, bMax_ = 127;
  // XYZ under the white point to linear sRGB (adaptation and primaries in one matrix).
  double toRGB_[3][3] = {};
  void UpdateMatrix();

 public:
  TPDFSimpleColorManager() { UpdateMatrix(); }
};

// One component (0..1, clamped, NaN as 0) as a byte, rounded half to even.
std::uint8_t ComponentToByte(double v);

}  // namespace kestrel
