#pragma once
// The Unicode value a glyph name spells out by convention: "uniXXXX" or "uXXXX[XX]".
#include <cstdint>
#include <string_view>

namespace kestrel {

// 0 when the name is not of that form.
std::uint32_t GlyphNameUnicode(std::string_view name);

}  // namespace kestrel
