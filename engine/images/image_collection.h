#pragma once
// TPDFImageCollection: the decoded images of one page, keyed by the image stream's object and
// generation number, so an image drawn several times (by the page, its forms and annotation
// appearances) is decoded once.
#include <cstdint>
#include <memory>
#include <unordered_map>

#include "engine/images/image_decoder.h"
#include "engine/images/image_limits.h"

namespace kestrel {

class TPDFImageCollection {
 public:
  // The decoder cached for (object, generation), or null.
  std::shared_ptr<TPDFImageDecoder> Find(std::int32_t object, std::int32_t generation) const;
  // Caches a decoder (replacing one cached under the same numbers). When the cache already holds more than `limit` decoded bytes it is
  // emptied first, so the newest image always stays.
  void Add(std::int32_t object, std::int32_t generation, std::shared_ptr<TPDFImageDecoder> decoder,
           std::uint64_t limit = limits::kImageCacheBytes);

  std::uint64_t TotalBytes() const { return total_; }
  std::size_t Count() const { return entries_.size(); }
  void Clear();

 private:
  static std::uint64_t Key(std::int32_t object, std::int32_t generation) {
    return (std::uint64_t(std::uint32_t(object)) << 32) | std::uint32_t(generation);
  }
  std::unordered_map<std::uint64_t, std::shared_ptr<TPDFImageDecoder>> entries_;
  std::uint64_t total_ = 0;
};

}  // namespace kestrel
