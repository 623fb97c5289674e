#pragma once
// Number text for content streams, PostScript and colour texts: "." as the separator whatever
// the locale, at most n decimals, trailing zeros and a trailing point dropped.
#include <string>

namespace kestrel {

// Rounds half to even at the last kept decimal. Non-finite values give "0"; n is clamped to
// 0..15 (a double carries no more).
std::string FormatDecimal(int n, double x);

}  // namespace kestrel
