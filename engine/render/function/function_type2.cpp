#include "engine/render/function/function_type2.h"

#include "engine/render/renderer_limits.h"
#include "engine/render/function/function_support.h"

namespace kestrel {

using namespace function_detail;

std::unique_ptr<TPDFType2Function> TPDFType2Function::Create(const TPDFDictionary* dict) {
  std::unique_ptr<TPDFType2Function> f(new TPDFType2Function());
  ReadNumbers(dict, "Domain", f->Domain);
  const bool hasRange = ReadNumbers(dict, "Range", f->Range);
  if (!ReadNumbers(dict, "C0", f->C0)) f->C0 = {0.0};
  if (!ReadNumbers(dict, "C1", f->C1)) f->C1 = {1.0};
  f->N = dict->GetNumber("N", 1);
  const std::size_t n = hasRange ? f->Range.size() / 2 : f->C0.size();
  if (f->Domain.size() / 2 > limits::kMaxFunctionDimensions ||
      n > limits::kMaxFunctionDimensions)
    return nullptr;
  f->outputCount_ = static_cast<int>(n);
  return f;
}

void TPDFType2Function::Evaluate(std::span<const double> inputs, std::vector<double>& outputs) {
  // The input is clamped to the domain and outputs to the range (ISO 32000 7.10.1): a tint
  // slightly below 0 with a fractional N is not an error.
  double x = InputAt(inputs, 0);
  if (Domain.size() >= 2) x = Clamp(x, Domain[0], Domain[1]);
  const double p = Power(x, N);
  outputs.assign(static_cast<std::size_t>(outputCount_), 0.0);
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    // Coefficients missing from a short C0 or C1 take the defaults' values, 0 and 1.
    const double c0 = ElementOr(C0, i, 0.0);
    const double c1 = ElementOr(C1, i, 1.0);
    double y = Finite(c0 + p * (c1 - c0));
    if (2 * i + 1 < Range.size()) y = Clamp(y, Range[2 * i], Range[2 * i + 1]);
    outputs[i] = y;
  }
}

}  // namespace kestrel
