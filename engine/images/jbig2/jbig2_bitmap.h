#pragma once
// A packed 1-bit JBIG2 bitmap (1 = black), rows of whole bytes, most significant bit first.
// The bits past the width in each row's last byte stay 0.
#include <cstdint>
#include <vector>

namespace kestrel::jbig2 {

enum class TCombineOp { Or = 0, And = 1, Xor = 2, Xnor = 3, Replace = 4 };

class TJBIG2Bitmap {
 public:
  TJBIG2Bitmap() = default;
  // Throws TJBIG2Error past the bitmap pixel limit.
  TJBIG2Bitmap(int width, int height, int fill = 0);

  int Width() const { return width_; }
  int Height() const { return height_; }
  int Stride() const { return stride_; }
  bool Empty() const { return width_ == 0 || height_ == 0; }

  std::uint8_t* Row(int y) { return bits_.data() + std::size_t(y) * std::size_t(stride_); }
  const std::uint8_t* Row(int y) const {
    return bits_.data() + std::size_t(y) * std::size_t(stride_);
  }

  // Pixels outside the bitmap read as 0.
  int Get(int x, int y) const {
    if (unsigned(x) >= unsigned(width_) || unsigned(y) >= unsigned(height_)) return 0;
    return (Row(y)[x >> 3] >> (7 - (x & 7))) & 1;
  }
  void Set(int x, int y, int v) {
    if (unsigned(x) >= unsigned(width_) || unsigned(y) >= unsigned(height_)) return;
    std::uint8_t& b = Row(y)[x >> 3];
    const std::uint8_t m = std::uint8_t(0x80 >> (x & 7));
    b = v ? std::uint8_t(b | m) : std::uint8_t(b & ~m);
  }

  void Fill(int v);
  void CopyRow(int from, int to);
  // Draws `src` with its top-left corner at (x, y), clipped to this bitmap.
  void Combine(const TJBIG2Bitmap& src, std::int64_t x, std::int64_t y, TCombineOp op);
  // Adds rows of `fill` at the bottom until the bitmap is `height` rows high.
  void GrowTo(int height, int fill);
  // The w × h part at (x, y); pixels outside this bitmap are 0.
  TJBIG2Bitmap Crop(int x, int y, int w, int h) const;

 private:
  int width_ = 0, height_ = 0, stride_ = 0;
  std::vector<std::uint8_t> bits_;
};

}  // namespace kestrel::jbig2
