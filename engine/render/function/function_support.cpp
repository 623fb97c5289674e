#include "engine/render/function/function_support.h"

#include <algorithm>
#include <cmath>

namespace kestrel::function_detail {

void Fail(const char* message) { throw TPDFFunctionError{message}; }

double Finite(double v) {
  if (!std::isfinite(v)) Fail("function result out of range");
  return v;
}

double Interpolate(double x, double x0, double x1, double y0, double y1) {
  const double width = x1 - x0;
  if (width == 0) Fail("division by zero in function interval");
  return Finite(y1 + (x - x1) * (y1 - y0) / width);
}

double Clamp(double v, double lo, double hi) { return std::min(std::max(v, lo), hi); }

double RoundHalfEven(double v) { return std::nearbyint(v); }

double InputAt(std::span<const double> inputs, std::size_t i) {
  if (i >= inputs.size()) return 0;
  if (!std::isfinite(inputs[i])) Fail("function input is not a number");
  return inputs[i];
}

double Power(double base, double exponent) {
  if (exponent == 0) return 1;
  if (base == 0) {
    if (exponent > 0) return 0;
    Fail("division by zero: 0 to a negative power");
  }
  if (base < 0 && std::trunc(exponent) != exponent)
    Fail("negative base with a fractional exponent");
  return Finite(std::pow(base, exponent));
}

void CheckOutputs(const std::vector<double>& outputs) {
  for (double v : outputs) Finite(v);
}

bool ReadNumbers(const TPDFDictionary* dict, TByteView key, TPDFDoubleArray& out) {
  out.clear();
  const auto* array = As<TPDFArray>(dict->GetValue(key, true));
  if (!array) return false;
  out.reserve(static_cast<std::size_t>(array->Count()));
  for (int i = 0; i < array->Count(); ++i) {
    const auto* n = As<TPDFNumeric>(array->ItemResolved(i));
    out.push_back(n ? n->Value : 0.0);
  }
  return true;
}

}  // namespace kestrel::function_detail
