#include "engine/graphics/format_decimal.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace kestrel {

std::string FormatDecimal(int n, double x) {
  if (!std::isfinite(x)) return "0";
  n = std::clamp(n, 0, 15);
  const double scale = std::pow(10.0, n);
  double scaled = x * scale;
  // Beyond 2^53 every double is an integer already: there are no decimals to round.
  if (std::isfinite(scaled) && std::fabs(scaled) < 9007199254740992.0) {
    scaled = std::nearbyint(scaled);  // the default rounding mode is to nearest, ties to even
    x = scaled / scale;
  } else {
    n = 0;
    x = std::nearbyint(x);
  }
  if (x == 0) return "0";  // also turns -0 into 0

  char buf[400];
  // to_chars is locale-independent; with a fixed precision it prints the nearest decimal.
  const auto res = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::fixed, n);
  if (res.ec != std::errc{}) return "0";
  std::string text(buf, res.ptr);
  if (text.find('.') != std::string::npos) {
    while (!text.empty() && text.back() == '0') text.pop_back();
    if (!text.empty() && text.back() == '.') text.pop_back();
  }
  if (text == "-0") return "0";
  return text;
}

}  // namespace kestrel
