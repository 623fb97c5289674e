#pragma once
// Byte and bit reading over a JBIG2 segment's data, the error every JBIG2 procedure throws and
// the pixel budget that bounds the work one image may cost.
#include <cstdint>
#include <span>
#include <stdexcept>

#include "engine/images/image_limits.h"

namespace kestrel::jbig2 {

using TByteSpan = std::span<const std::uint8_t>;

// Damaged or hostile data; decoding stops and keeps the page as far as it got.
class TJBIG2Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

[[noreturn]] inline void Fail(const char* why) { throw TJBIG2Error(why); }

// Every decoded bitmap, symbol and text instance is charged here, so a few bytes that ask for
// millions of empty symbols cost no more than a large page.
class TPixelBudget {
 public:
  explicit TPixelBudget(std::uint64_t pixels = limits::kMaxJBIG2DecodedPixels) : left_(pixels) {}
  void Charge(std::uint64_t pixels) {
    pixels += 1;  // an empty item still costs a step
    if (pixels > left_) {
      left_ = 0;
      exhausted_ = true;
      Fail("JBIG2 image asks for too much decoding");
    }
    left_ -= pixels;
  }
  // A w × h bitmap, counting its rows and columns too, so that one of no pixels but millions
  // of rows is not free.
  void ChargeArea(std::uint64_t w, std::uint64_t h) { Charge((w + 1) * (h + 1)); }
  bool Exhausted() const { return exhausted_; }

 private:
  std::uint64_t left_;
  bool exhausted_ = false;
};

// Width × height within the bitmap limit; both positive (or zero height when allowed).
inline bool BitmapSizeFits(std::int64_t width, std::int64_t height) {
  if (width < 0 || height < 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF) return false;
  return std::uint64_t(width) * std::uint64_t(height) <= limits::kMaxJBIG2Pixels;
}

class TStreamReader {
 public:
  TStreamReader() = default;
  explicit TStreamReader(TByteSpan data) : data_(data) {}

  std::size_t Position() const { return pos_; }
  std::size_t BitPosition() const { return pos_ * 8 + std::size_t(bit_); }
  std::size_t Size() const { return data_.size(); }
  std::size_t Left() const { return data_.size() - pos_; }
  bool AtEnd() const { return pos_ >= data_.size(); }
  TByteSpan Data() const { return data_; }
  TByteSpan Rest() const { return data_.subspan(pos_); }

  void Seek(std::size_t pos) {
    if (pos > data_.size()) Fail("JBIG2 data ends early");
    pos_ = pos;
    bit_ = 0;
  }
  void Skip(std::size_t n) {
    if (n > Left()) Fail("JBIG2 data ends early");
    pos_ += n;
    bit_ = 0;
  }
  // The next n bytes as a span; the reader moves past them.
  TByteSpan Take(std::size_t n) {
    if (n > Left()) Fail("JBIG2 data ends early");
    TByteSpan part = data_.subspan(pos_, n);
    pos_ += n;
    bit_ = 0;
    return part;
  }

  std::uint8_t U8() {
    AlignByte();
    if (pos_ >= data_.size()) Fail("JBIG2 data ends early");
    return data_[pos_++];
  }
  std::int8_t S8() { return std::int8_t(U8()); }
  std::uint16_t U16() { return std::uint16_t((U8() << 8) | U8()); }
  std::uint32_t U32() {
    const std::uint32_t hi = U16();
    return (hi << 16) | U16();
  }
  std::int32_t S32() { return std::int32_t(U32()); }

  // Bits, most significant first; a byte read starts at the next whole byte.
  int Bit() {
    if (pos_ >= data_.size()) Fail("JBIG2 data ends early");
    const int b = (data_[pos_] >> (7 - bit_)) & 1;
    if (++bit_ == 8) {
      bit_ = 0;
      ++pos_;
    }
    return b;
  }
  std::uint32_t Bits(int n) {
    std::uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = (v << 1) | std::uint32_t(Bit());
    return v;
  }
  void AlignByte() {
    if (bit_ != 0) {
      bit_ = 0;
      ++pos_;
    }
  }

 private:
  TByteSpan data_;
  std::size_t pos_ = 0;
  int bit_ = 0;
};

}  // namespace kestrel::jbig2
