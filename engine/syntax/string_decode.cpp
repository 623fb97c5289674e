#include "engine/syntax/string_decode.h"

namespace kestrel {

TBytes DecodeNameBody(TByteView raw) {
  TBytes value;
  value.reserve(raw.size());
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '#' && i + 2 < raw.size()) {
      const int hi = HexValue(static_cast<unsigned char>(raw[i + 1]));
      const int lo = HexValue(static_cast<unsigned char>(raw[i + 2]));
      if (hi >= 0 && lo >= 0) {
        value += static_cast<char>((hi << 4) | lo);
        i += 2;
        continue;
      }
    }
    value += raw[i];
  }
  return value;
}

TBytes DecodeLiteralBody(TByteView s, bool normalizeLineEnds) {
  TBytes out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (c == '\r' && normalizeLineEnds) {
      out += '\n';
      if (i + 1 < s.size() && s[i + 1] == '\n') ++i;
      continue;
    }
    if (c != '\\' || i + 1 >= s.size()) {
      if (c != '\\') out += c;
      continue;
    }
    char e = s[++i];
    if (e >= '0' && e <= '7') {
      int v = 0;
      int n = 0;
      while (n < 3 && i < s.size() && s[i] >= '0' && s[i] <= '7') {
        v = v * 8 + (s[i] - '0');
        ++i;
        ++n;
      }
      --i;
      out += static_cast<char>(v & 0xFF);
      continue;
    }
    switch (e) {
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      case 'b': out += '\b'; break;
      case 'f': out += '\f'; break;
      case '\n': break;
      case '\r':
        if (i + 1 < s.size() && s[i + 1] == '\n') ++i;
        break;
      default: out += e;  // "(", ")", "\" and unknown escapes keep the character
    }
  }
  return out;
}

}  // namespace kestrel
