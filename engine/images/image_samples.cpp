#include "engine/images/image_samples.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <optional>
#include <span>

namespace kestrel {

namespace {

bool UsableBits(int bits) { return bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16; }

// The samples of every byte value at 1, 2 and 4 bits a sample, first sample first.
using TUnpackTable = std::array<std::array<std::uint8_t, 8>, 256>;
constexpr TUnpackTable MakeUnpackTable(int bits) {
  TUnpackTable t{};
  const int perByte = 8 / bits;
  for (int b = 0; b < 256; ++b)
    for (int i = 0; i < perByte; ++i)
      t[b][i] = static_cast<std::uint8_t>((b >> (8 - bits * (i + 1))) & ((1 << bits) - 1));
  return t;
}
constexpr TUnpackTable kUnpacked1 = MakeUnpackTable(1);
constexpr TUnpackTable kUnpacked2 = MakeUnpackTable(2);
constexpr TUnpackTable kUnpacked4 = MakeUnpackTable(4);

// `count` samples of a row as values 0 .. 2^bits - 1; 16-bit samples keep their high byte.
void UnpackRow(const std::uint8_t* src, std::size_t count, int bits, std::uint8_t* out) {
  switch (bits) {
    case 8: std::copy_n(src, count, out); return;
    case 16:
      for (std::size_t i = 0; i < count; ++i) out[i] = src[2 * i];
      return;
    default: {
      // Whole bytes through a table of their samples, the last partial byte by hand.
      const auto perByte = static_cast<std::size_t>(8 / bits);
      const auto& table = bits == 1 ? kUnpacked1 : bits == 2 ? kUnpacked2 : kUnpacked4;
      const std::size_t whole = count / perByte;
      for (std::size_t i = 0; i < whole; ++i)
        std::copy_n(table[src[i]].data(), perByte, out + i * perByte);
      const unsigned mask = (1u << bits) - 1;
      for (std::size_t i = whole * perByte; i < count; ++i) {
        const int shift = 8 - bits * (static_cast<int>(i % perByte) + 1);
        out[i] = static_cast<std::uint8_t>((src[i / perByte] >> shift) & mask);
      }
    }
  }
}

int MaxValue(int bits) { return bits >= 8 ? 255 : (1 << bits) - 1; }

std::uint8_t ToByte(double v) {
  if (!(v > 0)) return 0;
  if (v >= 1) return 255;
  return static_cast<std::uint8_t>(std::nearbyint(v * 255));
}

std::array<double, 2> RangeOf(const TDecodeRanges& decode, int i, TImageColorConverter* colors,
                              int bits) {
  if (static_cast<std::size_t>(i) < decode.size()) return decode[static_cast<std::size_t>(i)];
  if (colors && colors->Kind() == TImageColorKind::Indexed) return {0, double(MaxValue(bits))};
  double lo = 0, hi = 1;
  if (colors) colors->DefaultRange(i, lo, hi);
  return {lo, hi};
}

bool IsIdentity(const TDecodeRanges& decode) {
  return std::all_of(decode.begin(), decode.end(),
                     [](const std::array<double, 2>& r) { return r[0] == 0 && r[1] == 1; });
}

// Converted colours of sample tuples seen recently, so a photo's colours are not all
// converted one by one through the colour space.
class TColorCache {
 public:
  static constexpr std::size_t kSize = 1 << 14;
  struct TEntry {
    std::uint64_t Key = ~std::uint64_t{0};
    std::uint8_t Rgb[3] = {};
  };
  TEntry& Slot(std::uint64_t key) {
    const std::uint64_t h = (key * 0x9E3779B97F4A7C15ull) >> 50;
    return entries_[static_cast<std::size_t>(h) & (kSize - 1)];
  }

 private:
  std::vector<TEntry> entries_ = std::vector<TEntry>(kSize);
};

// Rows of raw samples to rows of the colour plane (and of the colour key's opacity).
class TSampleRowConverter {
 public:
  TSampleRowConverter(const TSampleLayout& layout, const TDecodeRanges& decode,
                      TImageColorConverter& colors, const std::vector<int>* colorKey)
      : colors_(colors), colorKey_(colorKey), layout_(layout) {
    const int comps = layout.Components, bits = layout.Bits, maxv = MaxValue(bits);
    const TImageColorKind kind = colors.Kind();
    gray_ = kind == TImageColorKind::Gray && comps == 1;
    rgb_ = kind == TImageColorKind::RGB && comps == 3;
    keyed_ = colorKey && colorKey->size() >= 2 * static_cast<std::size_t>(comps);
    identity_ = (gray_ || rgb_) && bits == 8 && !keyed_ && IsIdentity(decode);
    rows8_ = kind == TImageColorKind::Other && bits == 8 && !keyed_ && IsIdentity(decode);
    const auto width = static_cast<std::size_t>(layout.Width);
    out_.resize(width * static_cast<std::size_t>(Channels()));
    raw_.resize(width * static_cast<std::size_t>(comps));
    if (keyed_) key_.resize(width);
    if (identity_) return;

    // Per component: the value each raw sample stands for.
    levels_ = static_cast<std::size_t>(maxv) + 1;
    values_.resize(levels_ * static_cast<std::size_t>(comps));
    for (int c = 0; c < comps; ++c) {
      const auto r = RangeOf(decode, c, &colors, bits);
      for (std::size_t v = 0; v < levels_; ++v)
        values_[static_cast<std::size_t>(c) * levels_ + v] = r[0] + double(v) * (r[1] - r[0]) / maxv;
    }
    // One-component spaces (and gray, RGB) go through tables of every possible sample.
    if (gray_ || rgb_) {
      table_.resize(levels_ * static_cast<std::size_t>(comps));
      for (std::size_t i = 0; i < table_.size(); ++i) table_[i] = ToByte(values_[i]);
    } else if (comps == 1) {
      table_.resize(levels_ * 3);
      for (std::size_t v = 0; v < levels_; ++v) {
        double value = values_[v];
        if (kind == TImageColorKind::Indexed) value = std::nearbyint(value);
        colors.ToRGB(std::span<const double>(&value, 1), &table_[3 * v]);
      }
    } else {
      pixel_.resize(static_cast<std::size_t>(comps));
      cache_ = std::make_unique<TColorCache>();
    }
  }

  int Channels() const { return gray_ ? 1 : 3; }
  bool Identity() const { return identity_; }
  bool Keyed() const { return keyed_; }

  // One row of samples as a row of the plane: the samples themselves when they need no
  // conversion, else a row held here until the next call.
  const std::uint8_t* Convert(const std::uint8_t* samples) {
    if (identity_) return samples;
    const auto width = static_cast<std::size_t>(layout_.Width);
    std::uint8_t* out = out_.data();
    // Spaces that convert a row at a time (colour-managed ones) until one says it cannot.
    if (rows8_ && colors_.SamplesToRGB(samples, width, out)) return out;
    rows8_ = false;
    const int comps = layout_.Components;
    UnpackRow(samples, raw_.size(), layout_.Bits, raw_.data());
    const std::uint8_t* raw = raw_.data();
    if (gray_) {
      for (std::size_t x = 0; x < width; ++x) out[x] = table_[raw[x]];
    } else if (rgb_) {
      for (std::size_t x = 0; x < 3 * width; x += 3) {
        out[x] = table_[raw[x]];
        out[x + 1] = table_[levels_ + raw[x + 1]];
        out[x + 2] = table_[2 * levels_ + raw[x + 2]];
      }
    } else if (comps == 1) {
      for (std::size_t x = 0; x < width; ++x) std::copy_n(&table_[3 * raw[x]], 3, out + 3 * x);
    } else {
      const bool cacheable = comps <= 8;
      for (std::size_t x = 0; x < width; ++x) {
        const std::uint8_t* s = &raw[x * static_cast<std::size_t>(comps)];
        TColorCache::TEntry* slot = nullptr;
        if (cacheable) {
          std::uint64_t key = 0;
          for (int c = 0; c < comps; ++c) key = (key << 8) | s[c];
          slot = &cache_->Slot(key);
          if (slot->Key == key) {
            std::copy_n(slot->Rgb, 3, out + 3 * x);
            continue;
          }
          slot->Key = key;
        }
        for (int c = 0; c < comps; ++c)
          pixel_[static_cast<std::size_t>(c)] = values_[static_cast<std::size_t>(c) * levels_ + s[c]];
        colors_.ToRGB(pixel_, out + 3 * x);
        if (slot) std::copy_n(out + 3 * x, 3, slot->Rgb);
      }
    }
    if (keyed_) {
      const int shift = layout_.Bits == 16 ? 8 : 0;
      for (std::size_t x = 0; x < width; ++x) {
        bool match = true;
        for (int c = 0; c < comps && match; ++c) {
          const int v = raw[x * static_cast<std::size_t>(comps) + static_cast<std::size_t>(c)];
          match = v >= ((*colorKey_)[2 * c] >> shift) && v <= ((*colorKey_)[2 * c + 1] >> shift);
        }
        key_[x] = match ? 0 : 255;
      }
    }
    return out;
  }
  // The colour key's opacity of the row last converted (0 where a pixel matches the key).
  const std::uint8_t* KeyAlpha() const { return key_.data(); }

 private:
  TImageColorConverter& colors_;
  const std::vector<int>* colorKey_;
  TSampleLayout layout_;
  bool gray_ = false, rgb_ = false, keyed_ = false, identity_ = false, rows8_ = false;
  std::size_t levels_ = 0;
  std::vector<double> values_, pixel_;
  std::vector<std::uint8_t> table_, raw_, out_, key_;
  std::unique_ptr<TColorCache> cache_;
};

// A mask's rows of samples to rows of opacity.
class TMaskRowConverter {
 public:
  TMaskRowConverter(const TSampleLayout& layout, bool stencil, const TDecodeRanges& decode)
      : width_(static_cast<std::size_t>(layout.Width)), bits_(layout.Bits) {
    const int maxv = MaxValue(layout.Bits);
    table_.resize(static_cast<std::size_t>(maxv) + 1);
    const std::array<double, 2> r = decode.empty() ? std::array<double, 2>{0, 1} : decode[0];
    for (int v = 0; v <= maxv; ++v) {
      const double value = r[0] + double(v) * (r[1] - r[0]) / maxv;
      // A stencil paints where its value is 0.
      table_[static_cast<std::size_t>(v)] = stencil ? (value < 0.5 ? 255 : 0) : ToByte(value);
    }
    raw_.resize(width_);
  }
  void Convert(const std::uint8_t* samples, std::uint8_t* out) {
    UnpackRow(samples, width_, bits_, raw_.data());
    for (std::size_t x = 0; x < width_; ++x) out[x] = table_[raw_[x]];
  }

 private:
  std::size_t width_;
  int bits_;
  std::vector<std::uint8_t> table_, raw_;
};

}  // namespace

std::uint64_t TSampleLayout::RowBytes(std::uint64_t maxBytes) const {
  if (Width <= 0 || Height <= 0 || Components <= 0 || Components > 32 || !UsableBits(Bits))
    return 0;
  const std::uint64_t bitsPerRow =
      std::uint64_t(Width) * std::uint64_t(Components) * std::uint64_t(Bits);
  const std::uint64_t row = (bitsPerRow + 7) / 8;
  std::uint64_t pixels = 0, input = 0, output = 0;
  if (__builtin_mul_overflow(std::uint64_t(Width), std::uint64_t(Height), &pixels) ||
      __builtin_mul_overflow(row, std::uint64_t(Height), &input) ||
      __builtin_mul_overflow(pixels, std::uint64_t(3), &output) || input > maxBytes ||
      output > maxBytes) {
    return 0;
  }
  return row;
}

TImagePlane ConvertSamples(TBytes samples, const TSampleLayout& layout, const TDecodeRanges& decode,
                           TImageColorConverter& colors, const std::vector<int>* colorKey,
                           TImagePlane* keyAlpha) {
  TImagePlane plane;
  const std::uint64_t row = layout.RowBytes(~std::uint64_t{0});
  if (row == 0) return plane;
  const auto width = static_cast<std::size_t>(layout.Width);
  const auto height = static_cast<std::size_t>(layout.Height);
  const std::size_t rows = std::min<std::size_t>(height, samples.size() / row);
  TSampleRowConverter converter(layout, decode, colors, colorKey);
  plane.Width = layout.Width;
  plane.Height = layout.Height;
  plane.Channels = converter.Channels();
  const std::size_t outRow = width * static_cast<std::size_t>(plane.Channels);

  // Eight-bit gray or RGB as they are: the samples become the plane without a copy.
  if (converter.Identity()) {
    samples.resize(outRow * height, static_cast<char>(0xFF));
    if (rows < height) std::fill(samples.begin() + static_cast<std::ptrdiff_t>(rows * outRow),
                                 samples.end(), static_cast<char>(0xFF));
    plane.Data = std::move(samples);
    return plane;
  }
  plane.Data.assign(outRow * height, static_cast<char>(0xFF));
  const bool keyed = converter.Keyed() && keyAlpha;
  if (keyed) {
    keyAlpha->Width = layout.Width;
    keyAlpha->Height = layout.Height;
    keyAlpha->Channels = 1;
    keyAlpha->Data.assign(width * height, static_cast<char>(0xFF));
  }
  for (std::size_t y = 0; y < rows; ++y) {
    const std::uint8_t* out =
        converter.Convert(reinterpret_cast<const std::uint8_t*>(samples.data()) + y * row);
    std::copy_n(out, outRow, plane.Data.data() + y * outRow);
    if (keyed) std::copy_n(converter.KeyAlpha(), width, keyAlpha->Data.data() + y * width);
  }
  // A palette of grays needs one byte a pixel.
  if (plane.Channels == 3) {
    const auto* d = reinterpret_cast<const std::uint8_t*>(plane.Data.data());
    bool allGray = true;
    for (std::size_t i = 0; i < plane.Data.size() && allGray; i += 3)
      allGray = d[i] == d[i + 1] && d[i] == d[i + 2];
    if (allGray) {
      TBytes g(width * height, '\0');
      for (std::size_t i = 0; i < g.size(); ++i) g[i] = static_cast<char>(d[3 * i]);
      plane.Data = std::move(g);
      plane.Channels = 1;
    }
  }
  return plane;
}

TImagePlane ConvertSampleRows(const TSampleRows& next, const TSampleLayout& layout,
                              const TDecodeRanges& decode, TImageColorConverter& colors,
                              const std::vector<int>* colorKey, TImagePlane* keyAlpha, int width,
                              int height) {
  const std::uint64_t row = layout.RowBytes(~std::uint64_t{0});
  if (row == 0) return {};
  TSampleRowConverter converter(layout, decode, colors, colorKey);
  TPlaneResizer color(layout.Width, layout.Height, converter.Channels(), width, height);
  std::optional<TPlaneResizer> key;
  if (converter.Keyed() && keyAlpha) key.emplace(layout.Width, layout.Height, 1, width, height);
  std::vector<std::uint8_t> samples(static_cast<std::size_t>(row));
  for (int y = 0; y < layout.Height && next(samples.data()); ++y) {
    color.AddRow(converter.Convert(samples.data()));
    if (key) key->AddRow(converter.KeyAlpha());
  }
  // Rows the data does not reach stay white and opaque.
  if (key) *keyAlpha = key->Finish(255);
  return color.Finish(255);
}

TImagePlane MaskSamples(const TBytes& samples, const TSampleLayout& layout, bool stencil,
                        const TDecodeRanges& decode) {
  TImagePlane plane;
  TSampleLayout one = layout;
  one.Components = 1;
  const std::uint64_t row = one.RowBytes(~std::uint64_t{0});
  if (row == 0) return plane;
  const auto width = static_cast<std::size_t>(layout.Width);
  const auto height = static_cast<std::size_t>(layout.Height);
  const std::size_t rows = std::min<std::size_t>(height, samples.size() / row);
  plane.Width = layout.Width;
  plane.Height = layout.Height;
  plane.Channels = 1;
  plane.Data.assign(width * height, '\0');
  TMaskRowConverter converter(one, stencil, decode);
  for (std::size_t y = 0; y < rows; ++y)
    converter.Convert(reinterpret_cast<const std::uint8_t*>(samples.data()) + y * row,
                      reinterpret_cast<std::uint8_t*>(plane.Data.data()) + y * width);
  return plane;
}

TImagePlane MaskSampleRows(const TSampleRows& next, const TSampleLayout& layout, bool stencil,
                           const TDecodeRanges& decode, int width, int height) {
  TSampleLayout one = layout;
  one.Components = 1;
  const std::uint64_t row = one.RowBytes(~std::uint64_t{0});
  if (row == 0) return {};
  TMaskRowConverter converter(one, stencil, decode);
  TPlaneResizer alpha(layout.Width, layout.Height, 1, width, height);
  std::vector<std::uint8_t> samples(static_cast<std::size_t>(row));
  std::vector<std::uint8_t> out(static_cast<std::size_t>(layout.Width));
  for (int y = 0; y < layout.Height && next(samples.data()); ++y) {
    converter.Convert(samples.data(), out.data());
    alpha.AddRow(out.data());
  }
  // Rows the data does not reach are transparent.
  return alpha.Finish(0);
}

}  // namespace kestrel
