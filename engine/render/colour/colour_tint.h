#pragma once
// Separation and DeviceN colour spaces: tints turned into an alternate space's colour by a
// tint transform (a PDF function, or an array of one-output functions).
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/render/colour/colour_space.h"
#include "engine/render/function/function.h"

namespace kestrel {

class TPDFArray;
class TPDFColorSpaces;

class TTintTransform {
 public:
  void Load(TPDFObject* obj, const TPDFColorSpaces& registry);
  bool Usable() const { return !functions_.empty(); }
  // Inputs the transform declares (the first function's).
  int InputCount() const;
  // Throws TPDFFunctionError on an arithmetic fault.
  void Evaluate(std::span<const double> inputs, std::vector<double>& outputs);

 private:
  std::vector<std::unique_ptr<TPDFFunction>> functions_;
  std::vector<double> scratch_;
};

// What Separation and DeviceN share: the alternate space and the transform into it.
class TPDFTintColorSpace : public TPDFSpecialColorSpace {
 public:
  TPDFTintColorSpace(const TPDFObject* source, TPDFColorSpaces& registry)
      : TPDFSpecialColorSpace(source), registry_(registry) {}

  void InitialComponents(std::vector<double>& out) const override;

  std::optional<TColorSpaceId> Alternate;
  TTintTransform Transform;

 protected:
  // Reads the alternate (element 2) and the tint transform (element 3).
  void ReadAlternateAndTransform(const TPDFArray& array, int depth);
  // The colour of the tints through the transform, or black when there is no usable one.
  TColorValue Tint(std::span<const double> tints, bool wantText, const std::string& names);

  TPDFColorSpaces& registry_;

 private:
  std::vector<double> outputs_;
};

class TPDFSeparationColorSpace final : public TPDFTintColorSpace {
 public:
  using TPDFTintColorSpace::TPDFTintColorSpace;

  // [/Separation name alternate tintTransform]
  void Init(const TPDFArray& array, int depth);

  TColorFamily Family() const override { return TColorFamily::Separation; }
  int ComponentCount() const override { return 1; }
  TColorValue Convert(std::span<const double> values, bool wantText) override;

  // Makes `t` the current tint: Current() is then its colour.
  const TColorValue& SetTint(double t, bool wantText);
  const TColorValue& Current() const { return current_; }

  std::string Colorant;
  // Tint conversions done so far (a tint transform is costly to evaluate).
  std::size_t Evaluations() const { return evaluations_; }

 private:
  std::vector<std::pair<double, TColorValue>> cache_;
  std::size_t evaluations_ = 0;
  TColorValue current_;
};

class TPDFDeviceNColorSpace final : public TPDFTintColorSpace {
 public:
  using TPDFTintColorSpace::TPDFTintColorSpace;

  // [/DeviceN [names] alternate tintTransform attributes?]
  void Init(const TPDFArray& array, int depth);

  TColorFamily Family() const override { return TColorFamily::DeviceN; }
  int ComponentCount() const override { return colorants_; }
  TColorValue Convert(std::span<const double> values, bool wantText) override;

  // Makes `values` (one per colorant) the current colour: Current() is then its colour.
  const TColorValue& SetComponents(std::span<const double> values, bool wantText);
  const TColorValue& Current() const { return current_; }

  // "[" + the colorant names joined by "," + "]".
  std::string Names;

 private:
  int colorants_ = 1;
  std::map<std::vector<double>, TColorValue> cache_;
  TColorValue current_;
};

}  // namespace kestrel
