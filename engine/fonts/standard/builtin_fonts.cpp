#include "engine/fonts/standard/builtin_fonts.h"

#include <zlib.h>

#include <cstddef>
#include <vector>

namespace kestrel {
namespace {

#include "engine/fonts/standard/dingbats_font_data.inc"

}  // namespace

std::span<const std::uint8_t> DingbatsFontData() {
  static const std::vector<std::uint8_t> font = [] {
    std::vector<std::uint8_t> bytes(kDingbatsFontSize);
    uLongf size = kDingbatsFontSize;
    if (uncompress(bytes.data(), &size, kDingbatsFontZ, sizeof(kDingbatsFontZ)) != Z_OK ||
        size != kDingbatsFontSize) {
      bytes.clear();
    }
    return bytes;
  }();
  return font;
}

const std::map<int, int>& HeiseiKakuGoWidths() {
  // Adobe-Japan1 draws CIDs 231-389 (half-width Latin and katakana) and 631 at half an em.
  static const std::map<int, int> widths = [] {
    std::map<int, int> map;
    for (int cid = 231; cid <= 389; ++cid) map[cid] = 500;
    map[631] = 500;
    return map;
  }();
  return widths;
}

}  // namespace kestrel
