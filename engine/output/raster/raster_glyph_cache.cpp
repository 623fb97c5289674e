#include "engine/output/raster/raster_glyph_cache.h"

#include <algorithm>
#include <cmath>

#include "engine/output/raster/raster_canvas_backend.h"

namespace kestrel::picasso {

namespace {

// Matrix entries are kept in steps of 2^-24: an em (1000 outline units) moves by less than
// a thousandth of a pixel between two matrices taken as the same.
constexpr double kMatrixSteps = 16777216.0;

std::uint64_t Mix(std::uint64_t h, std::uint64_t v) {
  h ^= v + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
  return h;
}

// What an entry costs besides its pixels: the surface, the list node and the index slot.
constexpr std::size_t kEntryOverhead = 512;

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

bool RasterizeGlyphMask(const std::vector<TPathOp>& ops, const TPathBounds& bounds,
                        bool antialias, TGlyphMask& out) {
  out = TGlyphMask{};
  if (ops.empty() || bounds.empty) return true;
  // Bounds near the origin's pixel: the outline is no more than a few hundred pixels across.
  if (!(std::fabs(bounds.minX) < 1e4 && std::fabs(bounds.maxX) < 1e4 &&
        std::fabs(bounds.minY) < 1e4 && std::fabs(bounds.maxY) < 1e4))
    return false;
  const int left = static_cast<int>(std::floor(bounds.minX)) - 1;
  const int top = static_cast<int>(std::floor(bounds.minY)) - 1;
  const int width = static_cast<int>(std::ceil(bounds.maxX)) + 1 - left;
  const int height = static_cast<int>(std::ceil(bounds.maxY)) + 1 - top;
  if (width <= 0 || height <= 0 || width > kMaxGlyphMaskPixels / height) return false;
  TSurfacePtr surface(cairo_image_surface_create(CAIRO_FORMAT_A8, width, height));
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return false;
  cairo_t* cr = cairo_create(surface.get());
  SetAntialias(cr, antialias);
  cairo_translate(cr, -left, -top);
  EmitOps(cr, ops);
  cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
  cairo_set_source_rgba(cr, 0, 0, 0, 1);
  cairo_fill(cr);
  const bool ok = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
  cairo_destroy(cr);
  if (!ok) return false;
  cairo_surface_flush(surface.get());
  out.surface = std::move(surface);
  out.left = left;
  out.top = top;
  out.width = width;
  out.height = height;
  return true;
}

const TGlyphMask* TGlyphMaskCache::Find(const TGlyphMaskKey& key) {
  const auto it = index_.find(key);
  if (it == index_.end()) return nullptr;
  entries_.splice(entries_.begin(), entries_, it->second);
  return &it->second->mask;
}

const TGlyphMask& TGlyphMaskCache::Insert(const TGlyphMaskKey& key, TGlyphMask mask) {
  if (const auto it = index_.find(key); it != index_.end()) {
    bytes_ -= it->second->bytes;
    entries_.erase(it->second);
    index_.erase(it);
  }
  const std::size_t stride =
      mask.surface ? static_cast<std::size_t>(cairo_image_surface_get_stride(mask.surface.get())) : 0;
  const std::size_t bytes = kEntryOverhead + stride * static_cast<std::size_t>(mask.height);
  while (!entries_.empty() && bytes_ + bytes > budget_) {
    bytes_ -= entries_.back().bytes;
    index_.erase(entries_.back().key);
    entries_.pop_back();
  }
  entries_.push_front(TEntry{key, std::move(mask), bytes});
  index_.emplace(key, entries_.begin());
  bytes_ += bytes;
  return entries_.front().mask;
}

TGlyphMaskCache& ThreadGlyphMasks() {
  thread_local TGlyphMaskCache cache(kGlyphCacheBudget);
  return cache;
}

}  // namespace kestrel::picasso
