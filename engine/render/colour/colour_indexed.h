#pragma once
// Indexed (palette) and Pattern colour spaces.
#include <optional>
#include <vector>

#include "engine/render/colour/colour_space.h"
#include "engine/syntax/bytes.h"

namespace kestrel {

class TPDFArray;
class TPDFColorSpaces;

class TPDFIndexedColorSpace final : public TPDFSpecialColorSpace {
 public:
  TPDFIndexedColorSpace(const TPDFObject* source, TPDFColorSpaces& registry)
      : TPDFSpecialColorSpace(source), registry_(registry) {}

  // [/Indexed base hival lookup]; false when the base is unusable.
  bool Init(const TPDFArray& array, int depth);

  TColorFamily Family() const override { return TColorFamily::Indexed; }
  int ComponentCount() const override { return 1; }
  TColorValue Convert(std::span<const double> values, bool wantText) override;

  TColorSpaceId Base;
  int HighestIndex = 0;
  // (HighestIndex + 1) × base components bytes; a short table is padded with zeros.
  TBytes Lookup;

  // The base space's components of palette entry `index` (clamped to the palette).
  void EntryComponents(int index, std::vector<double>& out) const;

 private:
  TPDFColorSpaces& registry_;
  int baseComponents_ = 1;
  std::vector<std::optional<TColorValue>> cache_;
};

// [/Pattern] or [/Pattern base]: the components (for uncoloured patterns) are in the base.
class TPDFPatternColorSpace final : public TPDFSpecialColorSpace {
 public:
  TPDFPatternColorSpace(const TPDFObject* source, TPDFColorSpaces& registry)
      : TPDFSpecialColorSpace(source), registry_(registry) {}

  void Init(const TPDFArray* array, int depth);

  TColorFamily Family() const override { return TColorFamily::Pattern; }
  // The pattern name is handled by the renderer; these are the base's components.
  int ComponentCount() const override;
  void InitialComponents(std::vector<double>& out) const override;
  TColorValue Convert(std::span<const double> values, bool wantText) override;

  std::optional<TColorSpaceId> Base;

 private:
  TPDFColorSpaces& registry_;
};

}  // namespace kestrel
