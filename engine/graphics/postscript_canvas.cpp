#include "engine/graphics/postscript_canvas.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "engine/graphics/format_decimal.h"

namespace kestrel {

namespace {

// Coordinates and matrix entries beyond this mean nothing on a page, and larger numbers risk
// PostScript's limits.
constexpr double kLargestNumber = 1e9;

}  // namespace

std::string EPSNumber(double value) {
  if (!std::isfinite(value)) value = std::isnan(value) ? 0 : value > 0 ? kLargestNumber : -kLargestNumber;
  return FormatDecimal(4, std::clamp(value, -kLargestNumber, kLargestNumber));
}

std::string EPSLine(std::initializer_list<double> numbers, std::string_view op) {
  std::string line;
  for (const double v : numbers) {
    line += EPSNumber(v);
    line += ' ';
  }
  line += op;
  return line;
}

TPDFMatrix EPSWrittenMatrix(const TPDFMatrix& m) {
  auto written = [](double v) {
    const std::string text = EPSNumber(v);
    double out = 0;
    std::from_chars(text.data(), text.data() + text.size(), out);
    return out;
  };
  return TPDFMatrix{written(m.a), written(m.b), written(m.c), written(m.d), written(m.e), written(m.f)};
}

}  // namespace kestrel
