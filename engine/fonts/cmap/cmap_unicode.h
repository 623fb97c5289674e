#pragma once
// ToUnicode CMaps: code ranges mapped to UTF-16 text, with the byte width of their first
// codespace range.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrel {

struct TPDFCMapEntry {
  std::uint32_t First = 0;
  std::uint32_t Last = 0;
  std::u16string Destination;  // UTF-16 code units; the last one counts up along the range
};

struct TPDFCMap {
  std::vector<TPDFCMapEntry> Entries;

  // The text of the first entry holding `code`: its destination with the last unit raised
  // by code - First. Empty when no entry holds it.
  std::u16string TextOfCode(std::uint32_t code) const;
};

struct TBfCMapResult {
  TPDFCMap Map;
  bool OneByte = false;  // the first codespace range is one byte wide
};

// Reads the codespace, bfrange and bfchar sections of a CMap. Malformed text ends the current
// section; what was read stands. Without a codespace range the map is empty.
TBfCMapResult ParseBfCMap(std::string_view text);

}  // namespace kestrel
