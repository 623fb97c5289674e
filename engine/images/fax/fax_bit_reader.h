#pragma once
// Reads fax data most significant bit first. Bits past the end read as zero, which no code
// starts with, so a decoder running off the end fails instead of reading outside the data.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/syntax/bytes.h"

namespace kestrel::fax {

class TFaxBitReader {
 public:
  // Keeps a copy of the data followed by zero bytes, so that a peek is one 8-byte load.
  explicit TFaxBitReader(TByteView data) : bytes_(data.size() + 8, 0), size_(data.size()) {
    if (!data.empty()) std::memcpy(bytes_.data(), data.data(), data.size());
  }

  // The next `n` bits (1 to 32) without consuming them.
  std::uint32_t Peek(int n) const {
    const std::size_t byte = pos_ >> 3;
    if (byte >= size_) return 0;
    std::uint64_t word;
    std::memcpy(&word, bytes_.data() + byte, 8);
    if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap64(word);
    return std::uint32_t((word << (pos_ & 7)) >> (64 - n));
  }
  void Skip(std::size_t n) { pos_ += n; }
  void Align() { pos_ = (pos_ + 7) & ~std::size_t{7}; }
  bool AtEnd() const { return pos_ >= size_ * 8; }
  std::size_t Position() const { return pos_; }
  void Seek(std::size_t pos) { pos_ = pos; }
  // Whole bytes read so far (a partly read byte counts), at most the data's size.
  std::size_t BytesUsed() const {
    const std::size_t bytes = (pos_ + 7) / 8;
    return bytes < size_ ? bytes : size_;
  }

 private:
  std::vector<std::uint8_t> bytes_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

}  // namespace kestrel::fax
