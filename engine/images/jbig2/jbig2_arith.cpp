#include "engine/images/jbig2/jbig2_arith.h"

#include <algorithm>

namespace kestrel::jbig2 {


void TArithmeticDecoder::Start(TByteSpan data) {
  data_ = data;
  pos_ = 0;
  c_ = std::uint32_t(ByteAt(0)) << 16;
  ByteIn();
  c_ <<= 7;
  ct_ -= 7;
  a_ = 0x8000;
}

void TArithmeticDecoder::ByteIn() {
  if (ByteAt(pos_) == 0xFF) {
    if (ByteAt(pos_ + 1) > 0x8F) {
      c_ += 0xFF00;  // a marker (or the end): feed 1s without moving
      ct_ = 8;
    } else {
      ++pos_;
      c_ += std::uint32_t(ByteAt(pos_)) << 9;
      ct_ = 7;
    }
  } else {
    ++pos_;
    c_ += std::uint32_t(ByteAt(pos_)) << 8;
    ct_ = 8;
  }
}

std::optional<std::int32_t> TIntegerDecoder::Decode(TArithmeticDecoder& ad) {
  unsigned prev = 1;
  auto bit = [&] {
    const int d = ad.Decode(cx_[prev]);
    prev = prev < 256 ? (prev << 1) | unsigned(d) : (((prev << 1) | unsigned(d)) & 511) | 256;
    return d;
  };
  auto bits = [&](int n) {
    std::uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = (v << 1) | std::uint32_t(bit());
    return v;
  };
  const int sign = bit();
  std::int64_t v;
  if (!bit()) v = bits(2);
  else if (!bit()) v = std::int64_t(bits(4)) + 4;
  else if (!bit()) v = std::int64_t(bits(6)) + 20;
  else if (!bit()) v = std::int64_t(bits(8)) + 84;
  else if (!bit()) v = std::int64_t(bits(12)) + 340;
  else v = std::int64_t(bits(32)) + 4436;
  if (sign && v == 0) return std::nullopt;
  if (v > 0x7FFFFFFF) Fail("JBIG2 integer out of range");
  return std::int32_t(sign ? -v : v);
}

TIdDecoder::TIdDecoder(int codeLength) : length_(codeLength) {
  if (codeLength < 0 || codeLength > 22) Fail("JBIG2 symbol code length out of range");
  cx_.assign(std::size_t{2} << codeLength, 0);
}

std::uint32_t TIdDecoder::Decode(TArithmeticDecoder& ad) {
  std::uint32_t prev = 1;
  for (int i = 0; i < length_; ++i) prev = (prev << 1) | std::uint32_t(ad.Decode(cx_[prev]));
  return prev - (std::uint32_t{1} << length_);
}

int CodeLength(std::uint64_t count) {
  int n = 0;
  while ((std::uint64_t{1} << n) < count) ++n;
  return n;
}

}  // namespace kestrel::jbig2
