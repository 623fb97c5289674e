#pragma once
// Private to the raster canvas: the keys of glyph coverage masks and the byte-bounded cache
// that keeps them. A glyph's mask is kept per font, glyph, device matrix and sub-pixel origin,
// so that its outline is scanned once and later copies are blended from the mask. Least
// recently used masks leave first once the cache holds more bytes than its budget.
#include <array>
#include <cstddef>
#include <cstdint>
#include <list>
#include <unordered_map>
#include <utility>

#include "engine/graphics/canvas.h"

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

// The key of a glyph drawn with `key.Matrix`, whose origin falls `phaseX`, `phaseY` steps
// into its pixel. False when the glyph is not to be kept (too large, long name, not finite).
bool MakeGlyphMaskKey(const TGlyphKey& key, int phaseX, int phaseY, bool antialias,
                      TGlyphMaskKey& out);

// Values by key, least recently used first to leave once their charged bytes pass the budget.
template <typename Key, typename Value, typename Hash>
class TByteBoundedCache {
 public:
  explicit TByteBoundedCache(std::size_t budget) : budget_(budget) {}

  // The value kept for the key (now the most recently used), or null.
  const Value* Find(const Key& key) {
    const auto it = index_.find(key);
    if (it == index_.end()) return nullptr;
    entries_.splice(entries_.begin(), entries_, it->second);
    return &it->second->value;
  }

  // Keeps the value, charged `bytes`, dropping least recently used ones past the budget (a
  // value larger than the whole budget stays alone until the next insert).
  const Value& Insert(const Key& key, Value value, std::size_t bytes) {
    if (const auto it = index_.find(key); it != index_.end()) {
      bytes_ -= it->second->bytes;
      entries_.erase(it->second);
      index_.erase(it);
    }
    while (!entries_.empty() && bytes_ + bytes > budget_) {
      bytes_ -= entries_.back().bytes;
      index_.erase(entries_.back().key);
      entries_.pop_back();
    }
    entries_.push_front(TEntry{key, std::move(value), bytes});
    index_.emplace(key, entries_.begin());
    bytes_ += bytes;
    return entries_.front().value;
  }

  std::size_t Bytes() const { return bytes_; }
  std::size_t Count() const { return entries_.size(); }

 private:
  struct TEntry {
    Key key;
    Value value;
    std::size_t bytes = 0;
  };
  std::size_t budget_;
  std::size_t bytes_ = 0;
  std::list<TEntry> entries_;  // most recently used first
  std::unordered_map<Key, typename std::list<TEntry>::iterator, Hash> index_;
};

}  // namespace kestrel::picasso
