#include "engine/render/colour/colour_manager.h"

#include <algorithm>
#include <cmath>

namespace kestrel {

std::uint8_t ComponentToByte(double v) {
  if (!(v > 0)) return 0;  // also NaN
  if (v >= 1) return 255;
  return static_cast<std::uint8_t>(std::nearbyint(v * 255));
}

TRGB TPDFSimpleColorManager::CMYKToRGB(double c, double m, double y, double k) const {
  // A fixed polynomial fitted to a press profile: every product of the four inks.
  const double cm = c * m, ck = c * k, mk = m * k, yk = y * k, my = m * y, cy = c * y;
  const double cmk = cm * k, cyk = cy * k, cmy = cm * y, myk = my * k, cmyk = cmy * k;
  TRGB out;
  out.r = 1 - c - 0.8627 * k - 0.0745 * m + 0.2549 * cm + 0.8627 * ck + 0.0784 * mk -
          0.0275 * yk + 0.0039 * my - 0.2588 * cmk + 0.0275 * cyk + 0.0275 * cmy +
          0.0157 * myk - 0.0471 * cmyk;
  out.g = 1 - m - 0.8784 * k - 0.051 * y - 0.3216 * c + 0.2588 * ck + 0.5138 * cm +
          0.8784 * mk + 0.0236 * cy + 0.0314 * yk + 0.1608 * my - 0.451 * cmk + 0.0117 * cyk -
          0.1137 * cmy - 0.1412 * myk + 0.0784 * cmyk;
  out.b = 1 - y - 0.8745 * k - 0.451 * m - 0.0627 * c + 0.0784 * ck + 0.0862 * cm +
          0.3255 * mk + 0.5176 * cy + 0.8745 * yk + 0.451 * my - 0.0941 * cmk - 0.5333 * cyk -
          0.3176 * cmy - 0.3255 * myk + 0.3255 * cmyk;
  return out;
}

TPackedColor TPDFSimpleColorManager::RGBToColor(double r, double g, double b) const {
  return PackRGB(ComponentToByte(r), ComponentToByte(g), ComponentToByte(b));
}

namespace {

double LabF(double t) {
  constexpr double kEdge = 6.0 / 29.0;
  return t >= kEdge ? t * t * t : (t - 4.0 / 29.0) * 108.0 / 841.0;
}

using TMatrix3 = double[3][3];

void Multiply(const TMatrix3& a, const TMatrix3& b, TMatrix3& out) {
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      out[i][j] = a[i][0] * b[0][j] + a[i][1] * b[1][j] + a[i][2] * b[2][j];
}

// Bradford cone response and its inverse; XYZ (D65) to linear sRGB.
constexpr TMatrix3 kBradford = {{0.8951, 0.2664, -0.1614},
                                {-0.7502, 1.7135, 0.0367},
                                {0.0389, -0.0685, 1.0296}};
constexpr TMatrix3 kBradfordInverse = {{0.9869929, -0.1470543, 0.1599627},
                                       {0.4323053, 0.5183603, 0.0492912},
                                       {-0.0085287, 0.0400428, 0.9684867}};
constexpr TMatrix3 kXYZToSRGB = {{3.2406, -1.5372, -0.4986},
                                 {-0.9689, 1.8758, 0.0415},
                                 {0.0557, -0.2040, 1.0570}};

double Gamma(double v) {
  v = v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
  if (!(v > 0)) return 0;
  return std::min(v, 1.0);
}

double ClampTo(double v, double lo, double hi) {
  if (std::isnan(v)) return lo;
  if (lo > hi) return lo;
  return std::clamp(v, lo, hi);
}

}  // namespace

TRGB TPDFSimpleColorManager::LabToRGB(double l, double a, double b) const {
  l = ClampTo(l, 0, 100);
  a = ClampTo(a, aMin_, aMax_);
  b = ClampTo(b, bMin_, bMax_);
  const double fy = (l + 16) / 116;
  const double fx = fy + a / 500;
  const double fz = fy - b / 200;
  const double x = whiteX_ * LabF(fx), y = whiteY_ * LabF(fy), z = whiteZ_ * LabF(fz);
  const auto& m = toRGB_;
  TRGB out;
  out.r = Gamma(m[0][0] * x + m[0][1] * y + m[0][2] * z);
  out.g = Gamma(m[1][0] * x + m[1][1] * y + m[1][2] * z);
  out.b = Gamma(m[2][0] * x + m[2][1] * y + m[2][2] * z);
  return out;
}

void TPDFSimpleColorManager::UpdateMatrix() {
  // Von Kries scaling in the Bradford cone space, from the white point to D65.
  const double white[3] = {whiteX_, whiteY_, whiteZ_};
  const double d65[3] = {kDefaultWhiteX, kDefaultWhiteY, kDefaultWhiteZ};
  TMatrix3 scale = {};
  for (int i = 0; i < 3; ++i) {
    const double src = kBradford[i][0] * white[0] + kBradford[i][1] * white[1] + kBradford[i][2] * white[2];
    const double dst = kBradford[i][0] * d65[0] + kBradford[i][1] * d65[1] + kBradford[i][2] * d65[2];
    scale[i][i] = src != 0 ? dst / src : 1;
  }
  TMatrix3 t1, adapt;
  Multiply(scale, kBradford, t1);
  Multiply(kBradfordInverse, t1, adapt);
  Multiply(kXYZToSRGB, adapt, toRGB_);
}

bool TPDFSimpleColorManager::SetWhitePoint(double x, double y, double z) {
  if (x > 0 && y == 1 && z > 0 && std::isfinite(x) && std::isfinite(z)) {
    whiteX_ = x;
    whiteY_ = y;
    whiteZ_ = z;
    UpdateMatrix();
    return true;
  }
  ResetWhitePoint();
  return false;
}

void TPDFSimpleColorManager::ResetWhitePoint() {
  whiteX_ = kDefaultWhiteX;
  whiteY_ = kDefaultWhiteY;
  whiteZ_ = kDefaultWhiteZ;
  UpdateMatrix();
}

void TPDFSimpleColorManager::SetLabRange(double aMin, double aMax, double bMin, double bMax) {
  aMin_ = aMin;
  aMax_ = aMax;
  bMin_ = bMin;
  bMax_ = bMax;
}

TRenderingIntent RenderingIntentOf(TByteView name) {
  if (name == "Perceptual") return TRenderingIntent::Perceptual;
  if (name == "Saturation") return TRenderingIntent::Saturation;
  if (name == "AbsoluteColorimetric") return TRenderingIntent::AbsoluteColorimetric;
  return TRenderingIntent::RelativeColorimetric;
}

}  // namespace kestrel
