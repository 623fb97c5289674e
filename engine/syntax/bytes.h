#pragma once
// Byte strings: PDF data is handled as std::string (owning) and std::string_view (borrowed).
#include <string>
#include <string_view>

namespace kestrel {

using TBytes = std::string;
using TByteView = std::string_view;

inline bool IsPDFWhitespace(unsigned char c) {
  return c == 0 || c == 9 || c == 10 || c == 12 || c == 13 || c == 32;
}

inline bool IsPDFDelimiter(unsigned char c) {
  switch (c) {
    case '(': case ')': case '<': case '>': case '[': case ']':
    case '{': case '}': case '/': case '%':
      return true;
    default:
      return false;
  }
}

inline bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

inline int HexValue(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace kestrel
