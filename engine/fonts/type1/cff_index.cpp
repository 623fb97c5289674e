#include "engine/fonts/type1/cff_index.h"

#include <algorithm>

namespace kestrel {
namespace {

std::uint32_t ReadBE(std::string_view data, std::size_t pos, int size) {
  std::uint32_t v = 0;
  for (int k = 0; k < size; ++k) v = (v << 8) | static_cast<unsigned char>(data[pos + k]);
  return v;
}

}  // namespace

TCFFIndex TCFFIndex::Read(std::string_view data, std::size_t pos, std::size_t& end) {
  end = pos;
  TCFFIndex index;
  if (pos > data.size() || data.size() - pos < 2) return index;
  const std::size_t count = ReadBE(data, pos, 2);
  if (count == 0) {
    end = pos + 2;
    return index;
  }
  if (data.size() - pos < 3) return index;
  const int offSize = static_cast<unsigned char>(data[pos + 2]);
  if (offSize < 1 || offSize > 4) return index;
  const std::size_t offsetsStart = pos + 3;
  const std::size_t offsetsBytes = (count + 1) * static_cast<std::size_t>(offSize);
  if (data.size() - offsetsStart < offsetsBytes) return index;
  index.m_offsets = data.substr(offsetsStart, offsetsBytes);
  index.m_offSize = offSize;
  index.m_count = count;
  const std::size_t itemsStart = offsetsStart + offsetsBytes;
  const std::uint32_t last = index.Offset(count);
  if (last < 1) return TCFFIndex{};
  // Offsets beyond the data are kept: items inside it stay readable, the rest read empty.
  const std::size_t available = data.size() - itemsStart;
  const std::size_t itemsBytes = std::min<std::size_t>(last - 1, available);
  index.m_items = data.substr(itemsStart, itemsBytes);
  end = itemsStart + itemsBytes;
  return index;
}

std::uint32_t TCFFIndex::Offset(std::size_t i) const {
  return ReadBE(m_offsets, i * static_cast<std::size_t>(m_offSize), m_offSize);
}

std::string_view TCFFIndex::Item(std::size_t i) const {
  if (i >= m_count) return {};
  const std::uint32_t from = Offset(i), to = Offset(i + 1);
  if (from < 1 || to < from || to - 1 > m_items.size()) return {};
  return m_items.substr(from - 1, to - from);
}

}  // namespace kestrel
