#include "engine/render/function/function_type3.h"

#include <algorithm>

#include "engine/render/function/function_build.h"
#include "engine/render/renderer_limits.h"
#include "engine/render/function/function_support.h"

namespace kestrel {

using namespace function_detail;

std::unique_ptr<TPDFType3Function> TPDFType3Function::Create(const TPDFDictionary* dict,
                                                             TFunctionBuild& build) {
  std::unique_ptr<TPDFType3Function> f(new TPDFType3Function());
  ReadNumbers(dict, "Domain", f->Domain);
  const bool hasRange = ReadNumbers(dict, "Range", f->Range);
  if (f->Domain.size() / 2 > limits::kMaxFunctionDimensions ||
      f->Range.size() / 2 > limits::kMaxFunctionDimensions)
    return nullptr;
  ReadNumbers(dict, "Bounds", f->Bounds);
  TPDFDoubleArray encode;
  ReadNumbers(dict, "Encode", encode);

  if (const auto* list = As<TPDFArray>(dict->GetValue("Functions", true))) {
    for (int i = 0; i < list->Count(); ++i)
      f->Functions.push_back(BuildFunction(list->Item(i), build));
  }
  // Missing Encode pairs read as [0 1], the default for a single sub-function.
  for (std::size_t i = 0; i < 2 * f->Functions.size(); ++i)
    f->Encode.push_back(ElementOr(encode, i, i % 2 == 0 ? 0.0 : 1.0));

  std::size_t n = f->Range.size() / 2;
  if (!hasRange) {
    for (const auto& sub : f->Functions) {
      if (sub) {
        n = static_cast<std::size_t>(sub->OutputCount());
        break;
      }
    }
  }
  f->outputCount_ = static_cast<int>(n);
  return f;
}

double TPDFType3Function::Limit(std::size_t i) const {
  const double lo = ElementOr(Domain, 0, 0.0);
  const double hi = ElementOr(Domain, 1, 0.0);
  if (i == 0) return lo;
  if (i >= Functions.size()) return hi;
  return ElementOr(Bounds, i - 1, hi);  // a missing bound closes at the domain's end
}

void TPDFType3Function::Evaluate(std::span<const double> inputs, std::vector<double>& outputs) {
  const std::size_t k = Functions.size();
  const double lo = ElementOr(Domain, 0, 0.0);
  const double hi = ElementOr(Domain, 1, 0.0);
  const double x = Clamp(InputAt(inputs, 0), lo, hi);
  outputs.assign(static_cast<std::size_t>(outputCount_), 0.0);
  if (k == 0) return;

  // The first subdomain [limit_i, limit_i+1) holding x; the last one also holds its upper
  // limit. Bounds out of order can leave x in none: the last sub-function takes it.
  std::size_t chosen = k - 1;
  for (std::size_t i = 0; i < k; ++i) {
    const double a = Limit(i), b = Limit(i + 1);
    if (x >= a && (x < b || (i == k - 1 && x <= b))) {
      chosen = i;
      break;
    }
  }
  const double xe = Interpolate(x, Limit(chosen), Limit(chosen + 1), Encode[2 * chosen],
                                Encode[2 * chosen + 1]);
  TPDFFunction* sub = Functions[chosen].get();
  if (!sub) return;
  sub->Evaluate(std::span<const double>(&xe, 1), scratch_);
  std::copy_n(scratch_.begin(), std::min(scratch_.size(), outputs.size()), outputs.begin());
  CheckOutputs(outputs);
}

}  // namespace kestrel
