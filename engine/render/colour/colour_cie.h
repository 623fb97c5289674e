#pragma once
// Colour spaces defined against CIE XYZ: ICCBased through its embedded profile, CalGray and
// CalRGB through a profile made from their white point, gamma and matrix. Little CMS converts
// them to sRGB, with the rendering intent the colour manager holds. Each space owns its transforms, so a space (and the registry of one rendering
// that holds it) is used by one thread at a time.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "engine/render/colour/colour_space.h"
#include "engine/syntax/bytes.h"

namespace kestrel {

class TPDFDictionary;
class TPDFSimpleColorManager;

class TPDFCIEColorSpace final : public TPDFSpecialColorSpace {
 public:
  // Resolves the numbers of a Cal dictionary's arrays.
  using TResolver = std::function<TPDFObject*(TPDFObject*)>;

  ~TPDFCIEColorSpace() override;

  // Null when the profile cannot be read or does not have `components` (1, 3 or 4) colour
  // components of a gray, RGB or CMYK kind.
  static std::unique_ptr<TPDFCIEColorSpace> FromProfile(const TPDFObject* source,
                                                        TByteView profile, int components,
                                                        TPDFSimpleColorManager& manager);
  // CalGray (components 1) or CalRGB (3) from its dictionary; null without a usable
  // WhitePoint.
  static std::unique_ptr<TPDFCIEColorSpace> FromCalibrated(const TPDFObject* source,
                                                           const TPDFDictionary& dict,
                                                           int components, const TResolver& resolve,
                                                           TPDFSimpleColorManager& manager);

  TColorFamily Family() const override { return TColorFamily::CIEBased; }
  int ComponentCount() const override { return components_; }
  void InitialComponents(std::vector<double>& out) const override;
  TColorValue Convert(std::span<const double> values, bool wantText) override;
  // `count` pixels of 8-bit samples (ComponentCount() a pixel, 0..255 meaning 0..1) to RGB
  // bytes. False when the space cannot convert samples this way.
  bool ConvertRow8(const std::uint8_t* samples, std::size_t count, std::uint8_t* rgb);

 private:
  struct Transforms;
  TPDFCIEColorSpace(const TPDFObject* source, int components, TPDFSimpleColorManager& manager,
                    std::unique_ptr<Transforms> transforms);

  int components_;
  TPDFSimpleColorManager& manager_;
  std::unique_ptr<Transforms> transforms_;
  // The last colour converted, as colour operators repeat.
  std::vector<double> lastIn_;
  TColorValue lastOut_;
  bool lastText_ = false;
  int lastIntent_ = -1;
};

}  // namespace kestrel
