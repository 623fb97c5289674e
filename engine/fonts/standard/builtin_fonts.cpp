#include "engine/fonts/standard/builtin_fonts.h"

#include <zlib.h>

#include <cstddef>

namespace kestrel {
namespace {

#include "engine/fonts/standard/dingbats_font_data.inc"

}  // namespace

std::span<const std::uint8_t> DingbatsFontData() {
  return DingbatsFontAsSystemFont()->Bytes();
}

std::shared_ptr<const TSystemFontData> DingbatsFontAsSystemFont() {
  static const std::shared_ptr<const TSystemFontData> font = [] {
    auto data = std::make_shared<TSystemFontData>();
    data->Path = "OspDingbats";
    data->File.resize(kDingbatsFontSize);
    uLongf size = kDingbatsFontSize;
    if (uncompress(data->File.data(), &size, kDingbatsFontZ, sizeof(kDingbatsFontZ)) != Z_OK ||
        size != kDingbatsFontSize) {
      data->File.clear();
    }
    data->Sfnt = !data->File.empty();
    return data;
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
