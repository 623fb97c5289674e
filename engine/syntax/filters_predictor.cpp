// PNG (Predictor >= 10) and TIFF (Predictor 2) predictors, undone in place.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/syntax/filters.h"
#include "engine/syntax/filters_internal.h"

namespace kestrel {
namespace {

using Byte = std::uint8_t;

struct TRowLayout {
  std::size_t RowSize = 0;       // bytes per row, without a PNG type byte
  std::size_t BytesPerPixel = 1;  // PNG filter distance, at least 1
};

// Row geometry from the parameters, or false when they cannot describe any image (a
// non-positive value, or a row size that overflows).
bool ComputeLayout(const TPDFFlateParms& parms, TRowLayout& layout) {
  if (parms.Colors < 1 || parms.BitsPerComponent < 1 || parms.Columns < 1) return false;
  // Both factors are below 2^31, so the pixel size cannot overflow 64 bits.
  const std::uint64_t pixelBits =
      static_cast<std::uint64_t>(parms.Colors) * static_cast<std::uint64_t>(parms.BitsPerComponent);
  std::uint64_t rowBits = 0;
  if (__builtin_mul_overflow(pixelBits, static_cast<std::uint64_t>(parms.Columns), &rowBits)) {
    return false;
  }
  const std::uint64_t rowSize = rowBits / 8 + (rowBits % 8 != 0 ? 1 : 0);
  if (rowSize > SIZE_MAX - 1) return false;
  layout.RowSize = static_cast<std::size_t>(rowSize);
  layout.BytesPerPixel = static_cast<std::size_t>(pixelBits / 8 + (pixelBits % 8 != 0 ? 1 : 0));
  return true;
}

Byte Paeth(int left, int above, int upperLeft) {
  const int p = left + above - upperLeft;
  const int pa = std::abs(p - left);
  const int pb = std::abs(p - above);
  const int pc = std::abs(p - upperLeft);
  if (pa <= pb && pa <= pc) return static_cast<Byte>(left);
  if (pb <= pc) return static_cast<Byte>(above);
  return static_cast<Byte>(upperLeft);
}

// Undo one PNG-filtered row. `above` is null for the first row (treated as zeros).
void UndoPngRow(Byte type, Byte* row, const Byte* above, std::size_t size, std::size_t bpp) {
  switch (type) {
    case 1:  // Sub
      for (std::size_t i = bpp; i < size; ++i) row[i] = static_cast<Byte>(row[i] + row[i - bpp]);
      break;
    case 2:  // Up
      if (above == nullptr) break;
      for (std::size_t i = 0; i < size; ++i) row[i] = static_cast<Byte>(row[i] + above[i]);
      break;
    case 3:  // Average
      if (above == nullptr) {
        for (std::size_t i = bpp; i < size; ++i) {
          row[i] = static_cast<Byte>(row[i] + (row[i - bpp] >> 1));
        }
        break;
      }
      for (std::size_t i = 0; i < size && i < bpp; ++i) {
        row[i] = static_cast<Byte>(row[i] + (above[i] >> 1));
      }
      for (std::size_t i = bpp; i < size; ++i) {
        row[i] = static_cast<Byte>(row[i] + ((row[i - bpp] + above[i]) >> 1));
      }
      break;
    case 4:  // Paeth; with a zero row above it reduces to Sub
      if (above == nullptr) {
        for (std::size_t i = bpp; i < size; ++i) row[i] = static_cast<Byte>(row[i] + row[i - bpp]);
        break;
      }
      for (std::size_t i = 0; i < size && i < bpp; ++i) {
        row[i] = static_cast<Byte>(row[i] + above[i]);  // Paeth(0, b, 0) is b
      }
      for (std::size_t i = bpp; i < size; ++i) {
        row[i] = static_cast<Byte>(row[i] + Paeth(row[i - bpp], above[i], above[i - bpp]));
      }
      break;
    default:  // 0 None, and unknown types leave the row as it is
      break;
  }
}

TBytes UndoPng(TBytes data, const TRowLayout& layout) {
  const std::size_t rowSize = layout.RowSize;
  if (rowSize >= data.size()) return {};  // not even one whole row
  const std::size_t stride = rowSize + 1;
  const std::size_t rows = data.size() / stride;
  Byte* base = reinterpret_cast<Byte*>(data.data());
  // Rows are compacted towards the front as they are decoded: each destination starts
  // before its source, so a forward memmove never clobbers unread input.
  for (std::size_t r = 0; r < rows; ++r) {
    const Byte type = base[r * stride];
    Byte* row = base + r * rowSize;
    std::memmove(row, base + r * stride + 1, rowSize);
    UndoPngRow(type, row, r == 0 ? nullptr : row - rowSize, rowSize, layout.BytesPerPixel);
  }
  data.resize(rows * rowSize);
  return data;
}

// Sample access for packed depths below 16 bits (MSB first, as PDF packs them).
unsigned GetSample(const Byte* row, std::size_t index, unsigned bits) {
  const std::size_t bit = index * bits;
  const Byte* p = row + bit / 8;
  const unsigned shift = static_cast<unsigned>(bit % 8);
  // Up to 15 bits starting anywhere in a byte span at most three bytes; read them as
  // they exist (the row always holds every bit of every sample).
  const std::size_t spanBits = shift + bits;
  std::uint32_t window = 0;
  const std::size_t spanBytes = (spanBits + 7) / 8;
  for (std::size_t i = 0; i < spanBytes; ++i) window = (window << 8) | p[i];
  const unsigned drop = static_cast<unsigned>(spanBytes * 8 - spanBits);
  return (window >> drop) & ((1u << bits) - 1);
}

void SetSample(Byte* row, std::size_t index, unsigned bits, unsigned value) {
  const std::size_t bit = index * bits;
  Byte* p = row + bit / 8;
  const unsigned shift = static_cast<unsigned>(bit % 8);
  const std::size_t spanBits = shift + bits;
  const std::size_t spanBytes = (spanBits + 7) / 8;
  const unsigned drop = static_cast<unsigned>(spanBytes * 8 - spanBits);
  std::uint32_t window = 0;
  for (std::size_t i = 0; i < spanBytes; ++i) window = (window << 8) | p[i];
  const std::uint32_t mask = ((1u << bits) - 1) << drop;
  window = (window & ~mask) | ((static_cast<std::uint32_t>(value) << drop) & mask);
  for (std::size_t i = spanBytes; i-- > 0;) {
    p[i] = static_cast<Byte>(window);
    window >>= 8;
  }
}

// TIFF horizontal differencing works on samples: each sample adds the same component of
// the pixel to its left, modulo 2^BitsPerComponent.
void UndoTiffRow(Byte* row, const TPDFFlateParms& parms, const TRowLayout& layout) {
  const std::size_t colors = static_cast<std::size_t>(parms.Colors);
  const int bpc = parms.BitsPerComponent;
  if (bpc == 8) {
    for (std::size_t i = colors; i < layout.RowSize; ++i) {
      row[i] = static_cast<Byte>(row[i] + row[i - colors]);
    }
    return;
  }
  const std::size_t samples = colors * static_cast<std::size_t>(parms.Columns);
  if (bpc == 16) {
    for (std::size_t s = colors; s < samples; ++s) {
      const unsigned left = (row[2 * (s - colors)] << 8) | row[2 * (s - colors) + 1];
      const unsigned here = (row[2 * s] << 8) | row[2 * s + 1];
      const unsigned sum = (here + left) & 0xffff;
      row[2 * s] = static_cast<Byte>(sum >> 8);
      row[2 * s + 1] = static_cast<Byte>(sum);
    }
    return;
  }
  if (bpc < 16) {
    const unsigned bits = static_cast<unsigned>(bpc);
    const unsigned mask = (1u << bits) - 1;
    for (std::size_t s = colors; s < samples; ++s) {
      SetSample(row, s, bits, (GetSample(row, s, bits) + GetSample(row, s - colors, bits)) & mask);
    }
    return;
  }
  // Wider samples have no defined meaning here; fall back to byte-wise differencing.
  const std::size_t bpp = layout.BytesPerPixel;
  for (std::size_t i = bpp; i < layout.RowSize; ++i) {
    row[i] = static_cast<Byte>(row[i] + row[i - bpp]);
  }
}

TBytes UndoTiff(TBytes data, const TPDFFlateParms& parms, const TRowLayout& layout) {
  const std::size_t rows = data.size() / layout.RowSize;
  data.resize(rows * layout.RowSize);
  Byte* base = reinterpret_cast<Byte*>(data.data());
  for (std::size_t r = 0; r < rows; ++r) UndoTiffRow(base + r * layout.RowSize, parms, layout);
  return data;
}

// The predictor undone a row at a time over a source; rows the data does not complete are
// dropped, as UndoPng and UndoTiff drop them.
class TPredictorSource final : public TByteSource {
 public:
  TPredictorSource(std::unique_ptr<TByteSource> input, const TPDFFlateParms& parms,
                   const TRowLayout& layout)
      : input_(std::move(input)), parms_(parms), layout_(layout) {}

  std::size_t Read(std::span<char> out) override {
    std::size_t got = 0;
    while (got < out.size()) {
      if (pos_ == row_.size() && !NextRow()) break;
      const std::size_t n = std::min(out.size() - got, row_.size() - pos_);
      std::memcpy(out.data() + got, row_.data() + pos_, n);
      got += n;
      pos_ += n;
    }
    return got;
  }

 private:
  // The next row's bytes as they come, with a PNG type byte; grown as they arrive, so a
  // row length from a hostile file costs no more than the data there is.
  bool ReadRaw() {
    const std::size_t need = layout_.RowSize + (parms_.Predictor >= 10 ? 1 : 0);
    raw_.clear();
    while (raw_.size() < need) {
      const std::size_t had = raw_.size(), piece = std::min<std::size_t>(need - had, 1 << 16);
      raw_.resize(had + piece);
      if (input_->Read({raw_.data() + had, piece}) < piece) return false;
    }
    return true;
  }

  bool NextRow() {
    if (ended_ || !ReadRaw()) {
      ended_ = true;
      return false;
    }
    const bool first = row_.empty();
    if (parms_.Predictor >= 10) {
      above_.swap(row_);
      row_.assign(raw_.begin() + 1, raw_.end());
      UndoPngRow(static_cast<Byte>(raw_[0]), row_.data(), first ? nullptr : above_.data(),
                 layout_.RowSize, layout_.BytesPerPixel);
    } else {
      row_.assign(raw_.begin(), raw_.end());
      if (parms_.Predictor == 2) UndoTiffRow(row_.data(), parms_, layout_);
    }
    pos_ = 0;
    return true;
  }

  std::unique_ptr<TByteSource> input_;
  TPDFFlateParms parms_;
  TRowLayout layout_;
  std::vector<char> raw_;  // one row as it comes, with its PNG type byte
  std::vector<Byte> row_, above_;
  std::size_t pos_ = 0;  // bytes of row_ already read
  bool ended_ = false;
};

}  // namespace

namespace filters_detail {

std::unique_ptr<TByteSource> PredictorSource(std::unique_ptr<TByteSource> input,
                                             const TPDFFlateParms& parms) {
  TRowLayout layout;
  if (parms.Predictor < 2 || !ComputeLayout(parms, layout)) return input;
  return std::make_unique<TPredictorSource>(std::move(input), parms, layout);
}

}  // namespace filters_detail

TBytes ApplyPredictor(TBytes data, const TPDFFlateParms& parms) {
  if (parms.Predictor < 2) return data;
  TRowLayout layout;
  if (!ComputeLayout(parms, layout)) return data;  // parameters describe no image: ignore them
  if (parms.Predictor >= 10) return UndoPng(std::move(data), layout);
  if (layout.RowSize > data.size()) return {};
  if (parms.Predictor == 2) return UndoTiff(std::move(data), parms, layout);
  // Unknown predictors below 10 only cut the data to whole rows.
  data.resize(data.size() / layout.RowSize * layout.RowSize);
  return data;
}

}  // namespace kestrel
