#include "engine/images/image_samples.h"

#include <algorithm>
#include <array>
#include <cmath>

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
  const int comps = layout.Components, bits = layout.Bits, maxv = MaxValue(bits);
  const auto width = static_cast<std::size_t>(layout.Width);
  const auto height = static_cast<std::size_t>(layout.Height);
  const std::size_t rows = std::min<std::size_t>(height, samples.size() / row);
  const TImageColorKind kind = colors.Kind();
  const bool gray = kind == TImageColorKind::Gray && comps == 1;
  const bool rgb = kind == TImageColorKind::RGB && comps == 3;
  const bool keyed = colorKey && colorKey->size() >= 2 * static_cast<std::size_t>(comps);

  plane.Width = layout.Width;
  plane.Height = layout.Height;
  plane.Channels = gray ? 1 : 3;
  const std::size_t outRow = width * static_cast<std::size_t>(plane.Channels);

  // Eight-bit gray or RGB as they are: the samples become the plane without a copy.
  if ((gray || rgb) && bits == 8 && !keyed && IsIdentity(decode)) {
    samples.resize(outRow * height, static_cast<char>(0xFF));
    if (rows < height) std::fill(samples.begin() + static_cast<std::ptrdiff_t>(rows * outRow),
                                 samples.end(), static_cast<char>(0xFF));
    plane.Data = std::move(samples);
    return plane;
  }
  plane.Data.assign(outRow * height, static_cast<char>(0xFF));
  if (kind == TImageColorKind::Other && bits == 8 && !keyed && IsIdentity(decode)) {
    // Spaces that convert a row at a time (colour-managed ones).
    const auto* in = reinterpret_cast<const std::uint8_t*>(samples.data());
    auto* out = reinterpret_cast<std::uint8_t*>(plane.Data.data());
    std::size_t y = 0;
    while (y < rows && colors.SamplesToRGB(in + y * row, width, out + y * outRow)) ++y;
    if (y == rows) return plane;
  }
  if (keyed && keyAlpha) {
    keyAlpha->Width = layout.Width;
    keyAlpha->Height = layout.Height;
    keyAlpha->Channels = 1;
    keyAlpha->Data.assign(width * height, static_cast<char>(0xFF));
  }

  // Per component: the value each raw sample stands for.
  const auto levels = static_cast<std::size_t>(maxv) + 1;
  std::vector<double> values(levels * static_cast<std::size_t>(comps));
  for (int c = 0; c < comps; ++c) {
    const auto r = RangeOf(decode, c, &colors, bits);
    for (std::size_t v = 0; v < levels; ++v)
      values[static_cast<std::size_t>(c) * levels + v] = r[0] + double(v) * (r[1] - r[0]) / maxv;
  }
  // One-component spaces (and gray, RGB) go through tables of every possible sample.
  std::vector<std::uint8_t> table;
  if (gray || rgb) {
    table.resize(levels * static_cast<std::size_t>(comps));
    for (std::size_t i = 0; i < table.size(); ++i) table[i] = ToByte(values[i]);
  } else if (comps == 1) {
    table.resize(levels * 3);
    for (std::size_t v = 0; v < levels; ++v) {
      double value = values[v];
      if (kind == TImageColorKind::Indexed) value = std::nearbyint(value);
      colors.ToRGB(std::span<const double>(&value, 1), &table[3 * v]);
    }
  }

  std::vector<std::uint8_t> raw(width * static_cast<std::size_t>(comps));
  std::vector<double> pixel(static_cast<std::size_t>(comps));
  TColorCache cache;
  const bool cacheable = comps <= 8;
  for (std::size_t y = 0; y < rows; ++y) {
    UnpackRow(reinterpret_cast<const std::uint8_t*>(samples.data()) + y * row, raw.size(), bits,
              raw.data());
    auto* out = reinterpret_cast<std::uint8_t*>(plane.Data.data()) + y * outRow;
    if (gray) {
      for (std::size_t x = 0; x < width; ++x) out[x] = table[raw[x]];
    } else if (rgb) {
      for (std::size_t x = 0; x < 3 * width; x += 3) {
        out[x] = table[raw[x]];
        out[x + 1] = table[levels + raw[x + 1]];
        out[x + 2] = table[2 * levels + raw[x + 2]];
      }
    } else if (comps == 1) {
      for (std::size_t x = 0; x < width; ++x) std::copy_n(&table[3 * raw[x]], 3, out + 3 * x);
    } else {
      for (std::size_t x = 0; x < width; ++x) {
        const std::uint8_t* s = &raw[x * static_cast<std::size_t>(comps)];
        TColorCache::TEntry* slot = nullptr;
        if (cacheable) {
          std::uint64_t key = 0;
          for (int c = 0; c < comps; ++c) key = (key << 8) | s[c];
          slot = &cache.Slot(key);
          if (slot->Key == key) {
            std::copy_n(slot->Rgb, 3, out + 3 * x);
            continue;
          }
          slot->Key = key;
        }
        for (int c = 0; c < comps; ++c)
          pixel[static_cast<std::size_t>(c)] = values[static_cast<std::size_t>(c) * levels + s[c]];
        colors.ToRGB(pixel, out + 3 * x);
        if (slot) std::copy_n(out + 3 * x, 3, slot->Rgb);
      }
    }
    if (keyed && keyAlpha) {
      auto* a = reinterpret_cast<std::uint8_t*>(keyAlpha->Data.data()) + y * width;
      const int shift = bits == 16 ? 8 : 0;
      for (std::size_t x = 0; x < width; ++x) {
        bool match = true;
        for (int c = 0; c < comps && match; ++c) {
          const int v = raw[x * static_cast<std::size_t>(comps) + static_cast<std::size_t>(c)];
          match = v >= ((*colorKey)[2 * c] >> shift) && v <= ((*colorKey)[2 * c + 1] >> shift);
        }
        if (match) a[x] = 0;
      }
    }
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
  const int maxv = MaxValue(layout.Bits);
  std::vector<std::uint8_t> table(static_cast<std::size_t>(maxv) + 1);
  const std::array<double, 2> r = decode.empty() ? std::array<double, 2>{0, 1} : decode[0];
  for (int v = 0; v <= maxv; ++v) {
    const double value = r[0] + double(v) * (r[1] - r[0]) / maxv;
    // A stencil paints where its value is 0.
    table[static_cast<std::size_t>(v)] = stencil ? (value < 0.5 ? 255 : 0) : ToByte(value);
  }
  std::vector<std::uint8_t> raw(width);
  for (std::size_t y = 0; y < rows; ++y) {
    UnpackRow(reinterpret_cast<const std::uint8_t*>(samples.data()) + y * row, width,
              layout.Bits, raw.data());
    auto* out = reinterpret_cast<std::uint8_t*>(plane.Data.data()) + y * width;
    for (std::size_t x = 0; x < width; ++x) out[x] = table[raw[x]];
  }
  return plane;
}

}  // namespace kestrel
