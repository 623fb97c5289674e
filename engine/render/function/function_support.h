#pragma once
// Arithmetic and dictionary reading shared by the function types.
#include <cstdint>
#include <span>
#include <vector>

#include "engine/render/function/function.h"

namespace kestrel::function_detail {

[[noreturn]] void Fail(const char* message);

// v unchanged when finite; otherwise the evaluation fails.
double Finite(double v);

// y1 + (x - x1) * (y1 - y0) / (x1 - x0); a zero-width interval fails.
double Interpolate(double x, double x0, double x1, double y0, double y1);

// v limited to [lo, hi] (hi wins when the bounds are crossed).
double Clamp(double v, double lo, double hi);

double RoundHalfEven(double v);

// Input i of an evaluation, 0 when not given; a NaN or infinite input fails.
double InputAt(std::span<const double> inputs, std::size_t i);

// base^exponent: x^0 = 1, 0^N = 0 for N > 0; 0 to a negative power, a negative base with
// a fractional exponent and overflow fail.
double Power(double base, double exponent);

// Fails when any output is NaN or infinite.
void CheckOutputs(const std::vector<double>& outputs);

// Element i, or `fallback` past the end.
inline double ElementOr(const TPDFDoubleArray& a, std::size_t i, double fallback) {
  return i < a.size() ? a[i] : fallback;
}

// The numbers of an array entry (references resolved, non-numbers read as 0); false when the
// entry is absent or not an array.
bool ReadNumbers(const TPDFDictionary* dict, TByteView key, TPDFDoubleArray& out);

}  // namespace kestrel::function_detail
