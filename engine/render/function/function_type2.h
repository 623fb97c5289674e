#pragma once
// Exponential interpolation functions (FunctionType 2): C0 + x^N * (C1 - C0).
#include <memory>

#include "engine/render/function/function.h"

namespace kestrel {

class TPDFType2Function final : public TPDFFunction {
 public:
  // Null when the function would have more than 32 inputs or outputs.
  static std::unique_ptr<TPDFType2Function> Create(const TPDFDictionary* dict);

  // Only the first input is used, as given (not limited to Domain); outputs are not limited
  // to Range.
  void Evaluate(std::span<const double> inputs, std::vector<double>& outputs) override;

  TPDFDoubleArray C0;
  TPDFDoubleArray C1;
  double N = 1;

 private:
  TPDFType2Function() = default;
};

}  // namespace kestrel
