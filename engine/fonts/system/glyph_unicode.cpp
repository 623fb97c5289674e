#include "engine/fonts/system/glyph_unicode.h"

#include <charconv>

namespace kestrel {

std::uint32_t GlyphNameUnicode(std::string_view name) {
  std::string_view hex;
  if (name.size() == 7 && name.substr(0, 3) == "uni")
    hex = name.substr(3);
  else if ((name.size() >= 5 && name.size() <= 7) && name[0] == 'u')
    hex = name.substr(1);
  else
    return 0;
  std::uint32_t value = 0;
  const char* end = hex.data() + hex.size();
  auto [ptr, ec] = std::from_chars(hex.data(), end, value, 16);
  if (ec != std::errc() || ptr != end || value > 0x10FFFF) return 0;
  return value;
}

}  // namespace kestrel
