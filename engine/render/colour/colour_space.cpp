#include "engine/render/colour/colour_space.h"

#include "engine/render/colour/colour_manager.h"
#include "engine/graphics/format_decimal.h"

namespace kestrel {

std::string ColorSpaceText(TColorSpaceId id) {
  switch (id.Family) {
    case TColorFamily::DeviceGray: return "DeviceGray";
    case TColorFamily::DeviceRGB: return "DeviceRGB";
    case TColorFamily::DeviceCMYK: return "DeviceCMYK";
    case TColorFamily::Separation: return "Separation" + std::to_string(id.Handle);
    case TColorFamily::DeviceN: return "DeviceN" + std::to_string(id.Handle);
    case TColorFamily::Lab: return "Lab" + std::to_string(id.Handle);
    case TColorFamily::Indexed: return "Indexed" + std::to_string(id.Handle);
    case TColorFamily::Pattern: return "Pattern" + std::to_string(id.Handle);
    case TColorFamily::CIEBased: return "CIEBased" + std::to_string(id.Handle);
  }
  return "DeviceGray";
}

void AppendColorNumber(std::string& out, double v) {
  out += FormatDecimal(3, v);
  out += ' ';
}

TColorValue DeviceGrayColor(const TPDFSimpleColorManager& cm, double g, bool wantText) {
  // Gray levels are clamped like every other component: unclamped, 2 would spill into the
  // neighbouring channels of the packed value.
  TColorValue v{cm.RGBToColor(g, g, g), {}};
  if (wantText) {
    AppendColorNumber(v.PostScript, g);
    v.PostScript += "setgray";
  }
  return v;
}

TColorValue DeviceRGBColor(const TPDFSimpleColorManager& cm, double r, double g, double b,
                           bool wantText) {
  TColorValue v{cm.RGBToColor(r, g, b), {}};
  if (wantText) {
    AppendColorNumber(v.PostScript, r);
    AppendColorNumber(v.PostScript, g);
    AppendColorNumber(v.PostScript, b);
    v.PostScript += "setrgbcolor";
  }
  return v;
}

TColorValue DeviceCMYKColor(const TPDFSimpleColorManager& cm, double c, double m, double y,
                            double k, bool wantText) {
  TColorValue v{cm.RGBToColor(cm.CMYKToRGB(c, m, y, k)), {}};
  if (wantText) {
    AppendColorNumber(v.PostScript, c);
    AppendColorNumber(v.PostScript, m);
    AppendColorNumber(v.PostScript, y);
    AppendColorNumber(v.PostScript, k);
    v.PostScript += "setcmykcolor";
  }
  return v;
}

void TPDFSpecialColorSpace::InitialComponents(std::vector<double>& out) const {
  out.assign(static_cast<std::size_t>(ComponentCount()), 0.0);
}

}  // namespace kestrel
