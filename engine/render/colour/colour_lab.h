#pragma once
// CIE L*a*b* colour spaces ([/Lab << /WhitePoint [...] /Range [...] >>]).
#include "engine/render/colour/colour_space.h"

namespace kestrel {

class TPDFArray;
class TPDFColorSpaces;

class TPDFLabColorSpace final : public TPDFSpecialColorSpace {
 public:
  TPDFLabColorSpace(const TPDFObject* source, TPDFSimpleColorManager& manager)
      : TPDFSpecialColorSpace(source), manager_(manager) {}

  // Reads the dictionary at element 1 of the space's array. False when there is none.
  bool Parse(const TPDFArray& array, const TPDFColorSpaces& registry);

  TColorFamily Family() const override { return TColorFamily::Lab; }
  int ComponentCount() const override { return 3; }
  void InitialComponents(std::vector<double>& out) const override;
  TColorValue Convert(std::span<const double> values, bool wantText) override;

  double WhiteX = 0, WhiteY = 0, WhiteZ = 0;
  double AMin = -100, AMax = 100, BMin = -100, BMax = 100;

 private:
  TPDFSimpleColorManager& manager_;
};

}  // namespace kestrel
