#pragma once
// Colour-space identities as the renderer's graphics state holds them, the colour value a
// conversion yields, and the base class of the spaces that need an object of their own.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "engine/graphics/canvas.h"

namespace kestrel {

class TPDFObject;
class TPDFSimpleColorManager;

enum class TColorFamily : std::uint8_t {
  DeviceGray,
  DeviceRGB,
  DeviceCMYK,
  Separation,
  DeviceN,
  Lab,
  Indexed,
  Pattern,
  CIEBased,  // ICCBased, CalGray, CalRGB
};

// A device family, or a family with the handle of its object in the renderer's registry.
struct TColorSpaceId {
  TColorFamily Family = TColorFamily::DeviceGray;
  std::uint32_t Handle = 0;  // 1-based for object families, 0 for device families

  friend bool operator==(const TColorSpaceId&, const TColorSpaceId&) = default;
};

inline constexpr TColorSpaceId kDeviceGray{TColorFamily::DeviceGray, 0};
inline constexpr TColorSpaceId kDeviceRGB{TColorFamily::DeviceRGB, 0};
inline constexpr TColorSpaceId kDeviceCMYK{TColorFamily::DeviceCMYK, 0};

// The space's name as text: "DeviceGray", "DeviceRGB", "DeviceCMYK", or the family followed by
// the decimal handle ("Separation3", "Lab1").
std::string ColorSpaceText(TColorSpaceId id);

// A colour ready for the canvas, with its PostScript form when that was asked for.
struct TColorValue {
  TPackedColor Packed = 0;
  std::string PostScript;
};

// Device colours. Components outside 0..1 are clamped when packed.
TColorValue DeviceGrayColor(const TPDFSimpleColorManager& cm, double g, bool wantText);
TColorValue DeviceRGBColor(const TPDFSimpleColorManager& cm, double r, double g, double b,
                           bool wantText);
TColorValue DeviceCMYKColor(const TPDFSimpleColorManager& cm, double c, double m, double y,
                            double k, bool wantText);

// Numbers as the PostScript colour texts write them: three decimals, each followed by a space.
void AppendColorNumber(std::string& out, double v);

// A space that needs more than a formula: Separation, DeviceN, Lab, Indexed and Pattern.
class TPDFSpecialColorSpace {
 public:
  explicit TPDFSpecialColorSpace(const TPDFObject* source) : source_(source) {}
  virtual ~TPDFSpecialColorSpace() = default;
  TPDFSpecialColorSpace(const TPDFSpecialColorSpace&) = delete;
  TPDFSpecialColorSpace& operator=(const TPDFSpecialColorSpace&) = delete;

  virtual TColorFamily Family() const = 0;
  // Operands a colour-setting operator takes in this space.
  virtual int ComponentCount() const = 0;
  // The colour a space starts with when cs or CS selects it.
  virtual void InitialComponents(std::vector<double>& out) const;
  // `values` holds exactly ComponentCount() numbers.
  virtual TColorValue Convert(std::span<const double> values, bool wantText) = 0;

  // The PDF object the space was read from (a reused definition maps to the same space).
  const TPDFObject* Source() const { return source_; }

 private:
  const TPDFObject* source_;
};

}  // namespace kestrel
