#pragma once
// Sampled functions (FunctionType 0): the nearest sample of a table, no interpolation.
#include <cstdint>
#include <memory>

#include "engine/render/function/function.h"

namespace kestrel {

class TPDFType0Function final : public TPDFFunction {
 public:
  // Null when the dictionary describes no usable table: a BitsPerSample other than 1, 2, 4,
  // 8, 12, 16, 24 or 32, a Size missing or below 1 for an input, more than 32 inputs or
  // outputs, or a table larger than the sample-table limit.
  static std::unique_ptr<TPDFType0Function> Create(const TPDFDictionary* dict, TBytes samples);

  void Evaluate(std::span<const double> inputs, std::vector<double>& outputs) override;

  TPDFDoubleArray Size;
  int BitsPerSample = 0;
  int Order = 1;  // read, not used: lookups take the nearest sample
  TPDFDoubleArray Encode;
  TPDFDoubleArray Decode;

 private:
  TPDFType0Function() = default;

  TBytes samples_;
  std::vector<std::uint32_t> sizes_;    // Size rounded
  std::vector<std::uint64_t> strides_;  // bits from one sample to the next along each input
  double sampleMax_ = 0;                // 2^BitsPerSample - 1
};

}  // namespace kestrel
