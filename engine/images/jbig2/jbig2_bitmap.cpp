#include "engine/images/jbig2/jbig2_bitmap.h"

#include <algorithm>
#include <cstring>

#include "engine/images/jbig2/jbig2_reader.h"

namespace kestrel::jbig2 {

namespace {

// Eight pixels of `row` starting at pixel x (which may lie left of the row); pixels outside
// [0, width) are 0 because the row's padding bits are kept clear.
inline unsigned Get8(const std::uint8_t* row, int stride, std::int64_t x) {
  const std::int64_t byte = x >> 3;
  const int shift = int(x & 7);
  auto at = [&](std::int64_t i) -> unsigned {
    return i >= 0 && i < stride ? row[i] : 0u;
  };
  if (shift == 0) return at(byte);
  return ((at(byte) << shift) | (at(byte + 1) >> (8 - shift))) & 0xFF;
}

inline std::uint8_t Apply(TCombineOp op, unsigned dst, unsigned src) {
  switch (op) {
    case TCombineOp::Or: return std::uint8_t(dst | src);
    case TCombineOp::And: return std::uint8_t(dst & src);
    case TCombineOp::Xor: return std::uint8_t(dst ^ src);
    case TCombineOp::Xnor: return std::uint8_t(~(dst ^ src));
    case TCombineOp::Replace: return std::uint8_t(src);
  }
  return std::uint8_t(dst);
}

}  // namespace

TJBIG2Bitmap::TJBIG2Bitmap(int width, int height, int fill) {
  if (!BitmapSizeFits(width, height)) Fail("JBIG2 bitmap too large");
  width_ = width;
  height_ = height;
  stride_ = (width + 7) / 8;
  bits_.assign(std::size_t(stride_) * std::size_t(height), 0);
  if (fill) Fill(1);
}

void TJBIG2Bitmap::Fill(int v) {
  std::fill(bits_.begin(), bits_.end(), v ? 0xFF : 0x00);
  if (v && (width_ & 7) && stride_ > 0) {
    const std::uint8_t last = std::uint8_t(0xFF << (8 - (width_ & 7)));
    for (int y = 0; y < height_; ++y) Row(y)[stride_ - 1] = last;
  }
}

void TJBIG2Bitmap::CopyRow(int from, int to) {
  if (from == to || stride_ == 0 || unsigned(from) >= unsigned(height_) ||
      unsigned(to) >= unsigned(height_))
    return;
  std::memcpy(Row(to), Row(from), std::size_t(stride_));
}

void TJBIG2Bitmap::Combine(const TJBIG2Bitmap& src, std::int64_t x, std::int64_t y,
                           TCombineOp op) {
  // The destination columns and rows the source covers.
  const std::int64_t x0 = std::max<std::int64_t>(x, 0);
  const std::int64_t x1 = std::min<std::int64_t>(x + src.width_, width_);
  const std::int64_t y0 = std::max<std::int64_t>(y, 0);
  const std::int64_t y1 = std::min<std::int64_t>(y + src.height_, height_);
  if (x0 >= x1 || y0 >= y1) return;
  const std::int64_t firstByte = x0 >> 3, lastByte = (x1 - 1) >> 3;
  for (std::int64_t dy = y0; dy < y1; ++dy) {
    std::uint8_t* d = Row(int(dy));
    const std::uint8_t* s = src.Row(int(dy - y));
    for (std::int64_t b = firstByte; b <= lastByte; ++b) {
      unsigned mask = 0xFF;
      if (b == firstByte) mask &= 0xFFu >> (x0 & 7);
      if (b == lastByte) mask &= (0xFF00u >> (((x1 - 1) & 7) + 1)) & 0xFF;
      const unsigned bits = Get8(s, src.stride_, b * 8 - x);
      const std::uint8_t out = Apply(op, d[b], bits);
      d[b] = std::uint8_t((d[b] & ~mask) | (out & mask));
    }
  }
}

void TJBIG2Bitmap::GrowTo(int height, int fill) {
  if (height <= height_) return;
  if (!BitmapSizeFits(width_, height)) Fail("JBIG2 page grows too large");
  const int old = height_;
  bits_.resize(std::size_t(stride_) * std::size_t(height), 0);
  height_ = height;
  if (fill) {
    std::fill(bits_.begin() + std::ptrdiff_t(std::size_t(old) * std::size_t(stride_)),
              bits_.end(), 0xFF);
    if ((width_ & 7) && stride_ > 0) {
      const std::uint8_t last = std::uint8_t(0xFF << (8 - (width_ & 7)));
      for (int r = old; r < height_; ++r) Row(r)[stride_ - 1] = last;
    }
  }
}

TJBIG2Bitmap TJBIG2Bitmap::Crop(int x, int y, int w, int h) const {
  TJBIG2Bitmap out(w, h);
  TJBIG2Bitmap& o = out;
  o.Combine(*this, -std::int64_t(x), -std::int64_t(y), TCombineOp::Replace);
  return out;
}

}  // namespace kestrel::jbig2
