#include "support/png_decoder.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <span>
#include <vector>

#include "support/png_reader.h"

namespace kestrel {

namespace {

struct TPass {
  int X0, Y0, DX, DY;
};
constexpr TPass kWhole[] = {{0, 0, 1, 1}};
constexpr TPass kAdam7[] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                            {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};

int ChannelCount(int colorType) {
  switch (colorType) {
    case 0:
      return 1;
    case 2:
      return 3;
    case 3:
      return 1;
    case 4:
      return 2;
    case 6:
      return 4;
    default:
      return 0;
  }
}

bool DepthAllowed(int colorType, int depth) {
  switch (colorType) {
    case 0:
      return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case 3:
      return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    case 2:
    case 4:
    case 6:
      return depth == 8 || depth == 16;
    default:
      return false;
  }
}

std::uint8_t PaethPredictor(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return static_cast<std::uint8_t>(a);
  return static_cast<std::uint8_t>(pb <= pc ? b : c);
}

// Undoes the row filter in place; `prior` is the previous unfiltered row (zeros for the first).
// An unknown filter type is taken as None.
void Unfilter(int type, std::uint8_t* row, const std::uint8_t* prior, std::size_t n, int bpp) {
  switch (type) {
    case 1:
      for (std::size_t i = bpp; i < n; ++i) row[i] += row[i - bpp];
      break;
    case 2:
      for (std::size_t i = 0; i < n; ++i) row[i] += prior[i];
      break;
    case 3:
      for (std::size_t i = 0; i < n; ++i) {
        const int left = i >= std::size_t(bpp) ? row[i - bpp] : 0;
        row[i] += static_cast<std::uint8_t>((left + prior[i]) >> 1);
      }
      break;
    case 4:
      for (std::size_t i = 0; i < n; ++i) {
        const bool hasLeft = i >= std::size_t(bpp);
        row[i] +=
            PaethPredictor(hasLeft ? row[i - bpp] : 0, prior[i], hasLeft ? prior[i - bpp] : 0);
      }
      break;
    default:
      break;
  }
}

// Bytes of one filtered row of `width` pixels (without the filter byte); 0 on overflow.
std::uint64_t RowBytes(std::uint64_t width, int channels, int depth) {
  const std::uint64_t bits = width * std::uint64_t(channels) * std::uint64_t(depth);
  return (bits + 7) / 8;
}

// Inflates as much of `data` as fits in `out`; returns the number of bytes produced.
std::size_t InflateInto(TByteView data, std::vector<std::uint8_t>& out) {
  z_stream z;
  std::memset(&z, 0, sizeof z);
  if (inflateInit(&z) != Z_OK) return 0;
  std::size_t produced = 0;
  std::size_t consumed = 0;
  while (produced < out.size()) {
    const std::size_t inChunk = std::min<std::size_t>(data.size() - consumed, 1u << 30);
    const std::size_t outChunk = std::min<std::size_t>(out.size() - produced, 1u << 30);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data() + consumed));
    z.avail_in = static_cast<uInt>(inChunk);
    z.next_out = out.data() + produced;
    z.avail_out = static_cast<uInt>(outChunk);
    const int rc = inflate(&z, Z_NO_FLUSH);
    consumed += inChunk - z.avail_in;
    produced += outChunk - z.avail_out;
    if (rc == Z_STREAM_END || (rc != Z_OK && rc != Z_BUF_ERROR)) break;
    if (rc == Z_BUF_ERROR && z.avail_in == 0 && consumed >= data.size()) break;  // input ran out
  }
  inflateEnd(&z);
  return produced;
}

class TPNGPixels {
 public:
  TPNGPixels(const TPNGReader& header, TDecodedImage& out) : H_(header), Out_(out) {
    Channels_ = ChannelCount(H_.ColorType);
    Depth_ = H_.BitDepth;
    const TBytes& t = H_.Transparency;
    if (H_.ColorType == 0 && t.size() >= 2) {
      HasKey_ = true;
      Key_[0] = Sample16(t, 0);
    } else if (H_.ColorType == 2 && t.size() >= 6) {
      HasKey_ = true;
      for (int c = 0; c < 3; ++c) Key_[c] = Sample16(t, std::size_t(c) * 2);
    }
  }

  // Writes pixel `x` of a raw (unfiltered) row to output pixel (outX, outY).
  void Put(const std::uint8_t* row, std::uint64_t x, int outX, int outY) {
    std::uint8_t* dst = reinterpret_cast<std::uint8_t*>(Out_.Pixels.data()) +
                        Out_.RowBytes() * std::size_t(outY) + std::size_t(outX) * Out_.Components;
    unsigned raw[4];
    unsigned scaled[4];
    for (int c = 0; c < Channels_; ++c) {
      raw[c] = Sample(row, x * Channels_ + c);
      scaled[c] = Scale(raw[c]);
    }
    switch (H_.ColorType) {
      case 0:
        if (Out_.Components == 1) {
          dst[0] = std::uint8_t(scaled[0]);
        } else {
          dst[0] = dst[1] = dst[2] = std::uint8_t(scaled[0]);
          dst[3] = HasKey_ && raw[0] == Key_[0] ? 0 : 255;
        }
        break;
      case 2:
        for (int c = 0; c < 3; ++c) dst[c] = std::uint8_t(scaled[c]);
        if (Out_.Components == 4) {
          dst[3] = HasKey_ && raw[0] == Key_[0] && raw[1] == Key_[1] && raw[2] == Key_[2] ? 0 : 255;
        }
        break;
      case 3: {
        const std::size_t index = raw[0];
        // Indices past the palette draw black, as most decoders do.
        for (int c = 0; c < 3; ++c) {
          dst[c] = index < H_.PaletteCount ? std::uint8_t(H_.Palette[index * 3 + c]) : 0;
        }
        if (Out_.Components == 4) {
          dst[3] = index < H_.Transparency.size() ? std::uint8_t(H_.Transparency[index]) : 255;
        }
        break;
      }
      case 4:
        dst[0] = dst[1] = dst[2] = std::uint8_t(scaled[0]);
        dst[3] = std::uint8_t(scaled[1]);
        break;
      case 6:
        for (int c = 0; c < 4; ++c) dst[c] = std::uint8_t(scaled[c]);
        break;
    }
  }

  int Channels() const { return Channels_; }

 private:
  static unsigned Sample16(const TBytes& b, std::size_t at) {
    return (unsigned(std::uint8_t(b[at])) << 8) | std::uint8_t(b[at + 1]);
  }

  // The i-th sample of a row, at the file's bit depth.
  unsigned Sample(const std::uint8_t* row, std::uint64_t i) const {
    switch (Depth_) {
      case 8:
        return row[i];
      case 16:
        return (unsigned(row[i * 2]) << 8) | row[i * 2 + 1];
      default: {
        const std::uint64_t bit = i * Depth_;
        const unsigned shift = 8 - Depth_ - unsigned(bit % 8);
        return (row[bit / 8] >> shift) & ((1u << Depth_) - 1);
      }
    }
  }

  // A sample as 8 bits; palette indices are not samples and stay as they are.
  unsigned Scale(unsigned v) const {
    if (H_.ColorType == 3 || Depth_ == 8) return v;
    if (Depth_ == 16) return v >> 8;
    return v * 255 / ((1u << Depth_) - 1);
  }

  const TPNGReader& H_;
  TDecodedImage& Out_;
  int Channels_ = 0;
  int Depth_ = 8;
  bool HasKey_ = false;
  unsigned Key_[3] = {0, 0, 0};
};

TDecodedImage Failure(const char* why) {
  TDecodedImage image;
  image.Error = why;
  return image;
}

}  // namespace

TDecodedImage DecodePNG(TByteView png, const TImageDecodeLimits& limits) {
  TPNGReader header;
  header.Scan(png);
  if (!header.Usable() || header.Width > 0x7FFFFFFFu || header.Height > 0x7FFFFFFFu ||
      !DepthAllowed(header.ColorType, header.BitDepth) || header.InterlaceMethod > 1) {
    return Failure("PNG header not usable");
  }
  if (header.ColorType == 3 && header.PaletteCount == 0) return Failure("PNG palette missing");

  const bool transparency = header.ColorType == 4 || header.ColorType == 6 ||
                            (header.ColorType == 0 && header.Transparency.size() >= 2) ||
                            (header.ColorType == 2 && header.Transparency.size() >= 6) ||
                            (header.ColorType == 3 && !header.Transparency.empty());
  const int components = transparency ? 4 : (header.ColorType == 0 ? 1 : 3);
  const std::uint64_t width = header.Width, height = header.Height;
  if (!DecodedSizeFits(width, height, components, limits.MaxBytes)) {
    return Failure("PNG image too large");
  }

  const int channels = ChannelCount(header.ColorType);
  const int bpp = std::max(1, channels * header.BitDepth / 8);
  const auto passes =
      header.InterlaceMethod == 1 ? std::span<const TPass>(kAdam7) : std::span<const TPass>(kWhole);
  // Filtered data size: each pass's rows with their filter bytes. Both factors are below 2^31,
  // and 16-bit RGBA needs 8 bytes a pixel: no overflow in 64 bits.
  std::uint64_t filteredSize = 0;
  for (const TPass& p : passes) {
    if (width <= std::uint64_t(p.X0) || height <= std::uint64_t(p.Y0)) continue;
    const std::uint64_t pw = (width - p.X0 + p.DX - 1) / p.DX;
    const std::uint64_t ph = (height - p.Y0 + p.DY - 1) / p.DY;
    filteredSize += ph * (1 + RowBytes(pw, channels, header.BitDepth));
  }
  if (filteredSize > limits.MaxBytes * 2) return Failure("PNG image too large");

  TDecodedImage image;
  std::vector<std::uint8_t> filtered;
  try {
    filtered.resize(static_cast<std::size_t>(filteredSize));
    image.Pixels.resize(static_cast<std::size_t>(width * height * components));
  } catch (const std::bad_alloc&) {
    return Failure("PNG image too large");
  }
  if (InflateInto(header.ImageData, filtered) == 0) return Failure("PNG image data unreadable");

  image.Width = static_cast<int>(width);
  image.Height = static_cast<int>(height);
  image.Components = components;
  image.HasAlpha = components == 4;
  TPNGPixels pixels(header, image);
  std::size_t pos = 0;
  for (const TPass& p : passes) {
    if (width <= std::uint64_t(p.X0) || height <= std::uint64_t(p.Y0)) continue;
    const std::uint64_t pw = (width - p.X0 + p.DX - 1) / p.DX;
    const std::uint64_t ph = (height - p.Y0 + p.DY - 1) / p.DY;
    const std::size_t rowBytes = static_cast<std::size_t>(RowBytes(pw, channels, header.BitDepth));
    std::vector<std::uint8_t> prior(rowBytes, 0);
    for (std::uint64_t y = 0; y < ph; ++y) {
      const int type = filtered[pos];
      std::uint8_t* row = filtered.data() + pos + 1;
      Unfilter(type, row, prior.data(), rowBytes, bpp);
      for (std::uint64_t x = 0; x < pw; ++x) {
        pixels.Put(row, x, static_cast<int>(p.X0 + x * p.DX), static_cast<int>(p.Y0 + y * p.DY));
      }
      std::memcpy(prior.data(), row, rowBytes);
      pos += rowBytes + 1;
    }
  }
  return image;
}

}  // namespace kestrel
