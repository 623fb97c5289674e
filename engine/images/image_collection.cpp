#include "engine/images/image_collection.h"

#include <algorithm>

namespace kestrel {

std::shared_ptr<TPDFImageDecoder> TPDFImageCollection::Find(std::int32_t object,
                                                            std::int32_t generation) const {
  auto it = entries_.find(Key(object, generation));
  return it == entries_.end() ? nullptr : it->second;
}

void TPDFImageCollection::Add(std::int32_t object, std::int32_t generation,
                              std::shared_ptr<TPDFImageDecoder> decoder, std::uint64_t limit) {
  if (!decoder) return;
  if (total_ > limit) Clear();
  const std::uint64_t size = decoder->EncodedSize();
  auto [it, added] = entries_.try_emplace(Key(object, generation), decoder);
  if (!added) {
    // A decoder made again (at a larger scale) replaces the one cached.
    total_ -= std::min(total_, it->second->EncodedSize());
    it->second = std::move(decoder);
  }
  total_ += size;
}

void TPDFImageCollection::Clear() {
  entries_.clear();
  total_ = 0;
}

}  // namespace kestrel
