#include "engine/output/raster/raster_glyph_cache.h"

#include <algorithm>
#include <cmath>

namespace kestrel::picasso {

namespace {

// Matrix entries are kept in steps of 2^-24: an em (1000 outline units) moves by less than
// a thousandth of a pixel between two matrices taken as the same.
constexpr double kMatrixSteps = 16777216.0;

std::uint64_t Mix(std::uint64_t h, std::uint64_t v) {
  h ^= v + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
  return h;
}

}  // namespace

std::size_t TGlyphMaskKeyHash::operator()(const TGlyphMaskKey& key) const {
  std::uint64_t h = key.font;
  for (const std::int64_t v : key.matrix) h = Mix(h, static_cast<std::uint64_t>(v));
  h = Mix(h, (std::uint64_t{key.phaseX} << 16) | (std::uint64_t{key.phaseY} << 8) |
                 (key.antialias ? 1u : 0u));
  for (std::size_t i = 0; i < key.nameLength; ++i)
    h = Mix(h, static_cast<unsigned char>(key.name[i]));
  return static_cast<std::size_t>(h);
}

bool MakeGlyphMaskKey(const TGlyphKey& key, int phaseX, int phaseY, bool antialias,
                      TGlyphMaskKey& out) {
  const TPDFMatrix& m = key.Matrix;
  if (key.Font == 0 || key.Glyph.size() > kMaxGlyphNameLength || !IsFiniteMatrix(m)) return false;
  const double em = 1000 * std::max(std::hypot(m.a, m.b), std::hypot(m.c, m.d));
  if (!(em <= kMaxCachedGlyphPixels)) return false;
  out.font = key.Font;
  const double entries[4] = {m.a, m.b, m.c, m.d};
  for (int i = 0; i < 4; ++i) out.matrix[i] = std::llround(entries[i] * kMatrixSteps);
  out.phaseX = static_cast<std::uint8_t>(phaseX);
  out.phaseY = static_cast<std::uint8_t>(phaseY);
  out.antialias = antialias;
  out.nameLength = static_cast<std::uint8_t>(key.Glyph.size());
  out.name = {};
  std::copy(key.Glyph.begin(), key.Glyph.end(), out.name.begin());
  return true;
}

}  // namespace kestrel::picasso
