#include "engine/fonts/cmap/cmap_unicode.h"

#include "engine/fonts/font_limits.h"
#include "engine/fonts/type1/ps_tokenizer.h"
#include "engine/syntax/bytes.h"

namespace kestrel {
namespace {

// The value of a "<hex>" token, or false when it is not one (codes up to four bytes).
bool HexCode(std::string_view token, std::uint32_t& code, int& digits) {
  if (token.size() < 3 || token.front() != '<' || token.back() != '>') return false;
  code = 0;
  digits = 0;
  for (const char c : token.substr(1, token.size() - 2)) {
    const int v = HexValue(static_cast<unsigned char>(c));
    if (v < 0) {
      if (IsPDFWhitespace(static_cast<unsigned char>(c))) continue;
      return false;
    }
    if (++digits > 8) return false;
    code = code * 16 + static_cast<std::uint32_t>(v);
  }
  return digits > 0;
}

// A destination: "<hex>" as UTF-16 units (four digits each), or a "/name" (kept as nothing).
bool HexUnits(std::string_view token, std::u16string& units) {
  units.clear();
  if (token.size() < 2 || token.front() != '<' || token.back() != '>') return false;
  std::uint32_t unit = 0;
  int digits = 0;
  for (const char c : token.substr(1, token.size() - 2)) {
    const int v = HexValue(static_cast<unsigned char>(c));
    if (v < 0) {
      if (IsPDFWhitespace(static_cast<unsigned char>(c))) continue;
      return false;
    }
    unit = unit * 16 + static_cast<std::uint32_t>(v);
    if (++digits == 4) {
      units += static_cast<char16_t>(unit);
      unit = 0;
      digits = 0;
    }
  }
  if (units.empty() && digits > 0) units += static_cast<char16_t>(unit);
  return !units.empty();
}

}  // namespace

std::u16string TPDFCMap::TextOfCode(std::uint32_t code) const {
  for (const TPDFCMapEntry& e : Entries) {
    if (code < e.First || code > e.Last) continue;
    std::u16string text = e.Destination;
    if (!text.empty()) text.back() = static_cast<char16_t>(text.back() + (code - e.First));
    return text;
  }
  return {};
}

TBfCMapResult ParseBfCMap(std::string_view text) {
  TBfCMapResult result;
  TPSTokenizer tok(text);
  bool haveCodespace = false;
  std::u16string dest;
  for (std::string_view t = tok.Next(); !t.empty(); t = tok.Next()) {
    if (result.Map.Entries.size() >= limits::kMaxCMapRanges) break;
    if (t == "begincodespacerange") {
      std::uint32_t lo = 0, hi = 0;
      int loDigits = 0, hiDigits = 0;
      if (HexCode(tok.Next(), lo, loDigits) && HexCode(tok.Next(), hi, hiDigits) && !haveCodespace) {
        haveCodespace = true;
        result.OneByte = loDigits <= 2;
      }
    } else if (t == "beginbfchar" && haveCodespace) {
      for (;;) {
        std::uint32_t code = 0;
        int digits = 0;
        if (!HexCode(tok.Next(), code, digits)) break;
        if (HexUnits(tok.Next(), dest)) result.Map.Entries.push_back({code, code, dest});
      }
    } else if (t == "beginbfrange" && haveCodespace) {
      for (;;) {
        std::uint32_t first = 0, last = 0;
        int digits = 0;
        if (!HexCode(tok.Next(), first, digits) || !HexCode(tok.Next(), last, digits)) break;
        const std::string_view d = tok.Next();
        if (d == "[") {  // one destination per code
          std::uint32_t code = first;
          for (std::string_view u = tok.Next(); !u.empty() && u != "]"; u = tok.Next(), ++code) {
            if (code <= last && HexUnits(u, dest) && result.Map.Entries.size() < limits::kMaxCMapRanges)
              result.Map.Entries.push_back({code, code, dest});
          }
        } else if (HexUnits(d, dest) && first <= last) {
          result.Map.Entries.push_back({first, last, dest});
        } else if (d.empty()) {
          break;
        }
      }
    }
  }
  if (!haveCodespace) result.Map.Entries.clear();
  return result;
}

}  // namespace kestrel
