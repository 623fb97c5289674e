#pragma once
// A CFF INDEX: a count, an offset size and count + 1 offsets into the data that follows.
// Items are found in constant time by reading their two offsets; nothing is copied.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kestrel {

class TCFFIndex {
 public:
  TCFFIndex() = default;

  // Reads the INDEX starting at `pos` of `data`. On success `end` is the offset just past it.
  // A truncated or inconsistent INDEX reads as empty and `end` stays at `pos`.
  static TCFFIndex Read(std::string_view data, std::size_t pos, std::size_t& end);

  std::size_t Count() const { return m_count; }
  // Item i, empty when i is out of range or its offsets point outside the data.
  std::string_view Item(std::size_t i) const;

 private:
  std::uint32_t Offset(std::size_t i) const;

  std::string_view m_offsets;  // (count + 1) * offSize bytes
  std::string_view m_items;    // the data the offsets point into (offset 1 = first byte)
  std::size_t m_count = 0;
  int m_offSize = 0;
};

}  // namespace kestrel
