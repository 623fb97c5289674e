#pragma once
// Stitching functions (FunctionType 3): one input split into subdomains, each mapped onto a
// sub-function.
#include <memory>
#include <vector>

#include "engine/render/function/function.h"

namespace kestrel {

namespace function_detail {
struct TFunctionBuild;
}

class TPDFType3Function final : public TPDFFunction {
 public:
  // Null when Domain or Range asks for more than 32 inputs or outputs. Sub-functions are built
  // within `build`, which bounds the depth and size of the tree.
  static std::unique_ptr<TPDFType3Function> Create(const TPDFDictionary* dict,
                                                   function_detail::TFunctionBuild& build);

  // The chosen sub-function's outputs, padded with 0 or cut to OutputCount(); an empty
  // sub-function entry gives zeros.
  void Evaluate(std::span<const double> inputs, std::vector<double>& outputs) override;

  TPDFDoubleArray Bounds;
  TPDFDoubleArray Encode;
  std::vector<std::unique_ptr<TPDFFunction>> Functions;  // empty entries stay null

 private:
  TPDFType3Function() = default;
  // Lower limit of subdomain i (Domain_0, the Bounds, Domain_1 for i = k).
  double Limit(std::size_t i) const;

  std::vector<double> scratch_;
};

}  // namespace kestrel
