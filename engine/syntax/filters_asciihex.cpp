// ASCII hexadecimal decoding.
#include <cstdint>

#include "engine/syntax/filters.h"

namespace kestrel {

// Letters and digits form the pairs (a pair holding a letter beyond F gives 0); every other
// byte is skipped; ">" ends the data; an odd final digit is padded with 0.
TBytes DecodeASCIIHex(TByteView data) {
  TBytes out;
  out.reserve(data.size() / 2 + 1);
  int high = -1;  // pending first digit of a pair; -2 when it was not a hex letter
  for (const char ch : data) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '>') break;
    const bool alnum = IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!alnum) continue;
    const int digit = HexValue(c);  // -1 for G..Z
    if (high == -1) {
      high = digit < 0 ? -2 : digit;
      continue;
    }
    out.push_back(static_cast<char>(high < 0 || digit < 0 ? 0 : high * 16 + digit));
    high = -1;
  }
  if (high != -1) out.push_back(static_cast<char>(high < 0 ? 0 : high * 16));
  return out;
}

}  // namespace kestrel
