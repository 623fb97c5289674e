#pragma once
// Reads fax data most significant bit first. Bits past the end read as zero, which no code
// starts with, so a decoder running off the end fails instead of reading outside the data.
#include <cstddef>
#include <cstdint>

#include "engine/syntax/bytes.h"

namespace kestrel::fax {

class TFaxBitReader {
 public:
  explicit TFaxBitReader(TByteView data)
      : data_(reinterpret_cast<const std::uint8_t*>(data.data())), size_(data.size()) {}

  // The next `n` bits (1 to 25) without consuming them.
  std::uint32_t Peek(int n) const {
    const std::size_t byte = pos_ >> 3;
    std::uint32_t word;
    if (byte + 4 <= size_) {
      word = std::uint32_t(data_[byte]) << 24 | std::uint32_t(data_[byte + 1]) << 16 |
             std::uint32_t(data_[byte + 2]) << 8 | data_[byte + 3];
    } else {
      word = 0;
      for (std::size_t i = 0; i < 4; ++i)
        word = word << 8 | (byte + i < size_ ? data_[byte + i] : 0u);
    }
    return (word << (pos_ & 7)) >> (32 - n);
  }
  void Skip(std::size_t n) { pos_ += n; }
  void Align() { pos_ = (pos_ + 7) & ~std::size_t{7}; }
  bool AtEnd() const { return pos_ >= size_ * 8; }
  std::size_t Position() const { return pos_; }
  void Seek(std::size_t pos) { pos_ = pos; }
  std::size_t SizeInBits() const { return size_ * 8; }
  // Whole bytes read so far (a partly read byte counts), at most the data's size.
  std::size_t BytesUsed() const {
    const std::size_t bytes = (pos_ + 7) / 8;
    return bytes < size_ ? bytes : size_;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

}  // namespace kestrel::fax
