#pragma once
// Private to the raster canvas: coverage pictures (8-bit alpha masks) of glyphs, kept per
// font, glyph, device matrix and sub-pixel origin, so that a glyph's outline is scanned once
// and later copies are blended from its mask. Least recently used pictures leave first once
// the cache holds more bytes than its budget.
#include <cairo.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <unordered_map>
#include <vector>

#include "engine/graphics/canvas.h"
#include "engine/graphics/canvas_path.h"

namespace kestrel::picasso {

// Sub-pixel origin positions per pixel, across and down.
inline constexpr int kGlyphPhases = 4;
// Glyphs larger than this many pixels per em are filled as paths, not kept.
inline constexpr double kMaxCachedGlyphPixels = 256;
// Masks of more pixels than this are not kept (a glyph reaching far beyond its em).
inline constexpr int kMaxGlyphMaskPixels = 512 * 512;
// Bytes the cache of one thread may hold.
inline constexpr std::size_t kGlyphCacheBudget = std::size_t{4} << 20;
// Glyph names longer than this are not kept.
inline constexpr std::size_t kMaxGlyphNameLength = 47;

struct TGlyphMaskKey {
  std::uint64_t font = 0;
  std::array<std::int64_t, 4> matrix{};  // a, b, c, d in steps of 2^-24
  std::uint8_t phaseX = 0, phaseY = 0;   // in kGlyphPhases steps of a pixel
  bool antialias = true;
  std::uint8_t nameLength = 0;
  std::array<char, kMaxGlyphNameLength> name{};

  friend bool operator==(const TGlyphMaskKey&, const TGlyphMaskKey&) = default;
};

struct TGlyphMaskKeyHash {
  std::size_t operator()(const TGlyphMaskKey& key) const;
};

struct TSurfaceRelease {
  void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
using TSurfacePtr = std::unique_ptr<cairo_surface_t, TSurfaceRelease>;

// A glyph's coverage: an A8 surface whose top-left pixel lies (left, top) pixels from the
// whole-pixel part of the glyph origin. No surface: the glyph covers nothing.
struct TGlyphMask {
  TSurfacePtr surface;
  int left = 0, top = 0, width = 0, height = 0;
};

// The key of a glyph drawn with `key.Matrix`, whose origin falls `phaseX`, `phaseY` steps
// into its pixel. False when the glyph is not to be kept (too large, long name, not finite).
bool MakeGlyphMaskKey(const TGlyphKey& key, int phaseX, int phaseY, bool antialias,
                      TGlyphMaskKey& out);

// Scans the outline (device coordinates around the origin's pixel) into a mask; false when
// the mask would be too large or could not be made.
bool RasterizeGlyphMask(const std::vector<TPathOp>& ops, const TPathBounds& bounds,
                        bool antialias, TGlyphMask& out);

class TGlyphMaskCache {
 public:
  explicit TGlyphMaskCache(std::size_t budget) : budget_(budget) {}

  // The mask kept for the key (now the most recently used), or null.
  const TGlyphMask* Find(const TGlyphMaskKey& key);
  // Keeps the mask, dropping least recently used ones past the budget.
  const TGlyphMask& Insert(const TGlyphMaskKey& key, TGlyphMask mask);
  std::size_t Bytes() const { return bytes_; }
  std::size_t Count() const { return entries_.size(); }

 private:
  struct TEntry {
    TGlyphMaskKey key;
    TGlyphMask mask;
    std::size_t bytes = 0;
  };
  std::size_t budget_;
  std::size_t bytes_ = 0;
  std::list<TEntry> entries_;  // most recently used first
  std::unordered_map<TGlyphMaskKey, std::list<TEntry>::iterator, TGlyphMaskKeyHash> index_;
};

// The cache of the calling thread, shared by the pages it renders.
TGlyphMaskCache& ThreadGlyphMasks();

}  // namespace kestrel::picasso
