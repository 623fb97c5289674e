#include "engine/output/raster/png_writer.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace kestrel {

namespace {

constexpr char kSignature[] = "\x89PNG\r\n\x1a\n";
// PNG chunk lengths are at most 2^31 - 1; image data above this goes into further IDATs.
constexpr std::size_t kMaxChunkData = std::size_t{1} << 30;

void AppendBE32(TBytes& out, std::uint32_t v) {
  const char b[4] = {static_cast<char>(v >> 24), static_cast<char>(v >> 16),
                     static_cast<char>(v >> 8), static_cast<char>(v)};
  out.append(b, 4);
}

void PutBE32(TBytes& out, std::size_t at, std::uint32_t v) {
  out[at] = static_cast<char>(v >> 24);
  out[at + 1] = static_cast<char>(v >> 16);
  out[at + 2] = static_cast<char>(v >> 8);
  out[at + 3] = static_cast<char>(v);
}

// Opens a chunk: returns the offset of its length field, to be completed by EndChunk.
std::size_t BeginChunk(TBytes& out, const char type[4]) {
  const std::size_t at = out.size();
  AppendBE32(out, 0);
  out.append(type, 4);
  return at;
}

void EndChunk(TBytes& out, std::size_t at) {
  const std::size_t dataLength = out.size() - at - 8;
  PutBE32(out, at, static_cast<std::uint32_t>(dataLength));
  AppendBE32(out, PNGChunkCRC(TByteView(out).substr(at + 4, dataLength + 4)));
}

void WriteChunk(TBytes& out, const char type[4], TByteView data) {
  const std::size_t at = BeginChunk(out, type);
  out.append(data);
  EndChunk(out, at);
}

std::uint8_t Paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a);
  const int pb = std::abs(p - b);
  const int pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return static_cast<std::uint8_t>(a);
  if (pb <= pc) return static_cast<std::uint8_t>(b);
  return static_cast<std::uint8_t>(c);
}

// Writes filter byte and filtered bytes of `raw` (previous row `prior`, zero for the first).
void FilterRow(TPNGFilter filter, const std::uint8_t* raw, const std::uint8_t* prior, std::size_t n,
               int bpp, std::uint8_t* out) {
  out[0] = static_cast<std::uint8_t>(filter);
  std::uint8_t* d = out + 1;
  switch (filter) {
    case TPNGFilter::kNone:
    case TPNGFilter::kAdaptive:
      out[0] = 0;
      std::memcpy(d, raw, n);
      return;
    case TPNGFilter::kSub:
      for (std::size_t i = 0; i < n; ++i)
        d[i] = raw[i] - (i >= std::size_t(bpp) ? raw[i - bpp] : 0);
      return;
    case TPNGFilter::kUp:
      for (std::size_t i = 0; i < n; ++i) d[i] = raw[i] - prior[i];
      return;
    case TPNGFilter::kAverage:
      for (std::size_t i = 0; i < n; ++i) {
        const int left = i >= std::size_t(bpp) ? raw[i - bpp] : 0;
        d[i] = static_cast<std::uint8_t>(raw[i] - ((left + prior[i]) >> 1));
      }
      return;
    case TPNGFilter::kPaeth:
      for (std::size_t i = 0; i < n; ++i) {
        const bool hasLeft = i >= std::size_t(bpp);
        d[i] = static_cast<std::uint8_t>(
            raw[i] - Paeth(hasLeft ? raw[i - bpp] : 0, prior[i], hasLeft ? prior[i - bpp] : 0));
      }
      return;
  }
}

std::uint64_t Cost(const std::uint8_t* filtered, std::size_t n) {
  std::uint64_t sum = 0;
  for (std::size_t i = 0; i < n; ++i)
    sum += std::abs(static_cast<int>(static_cast<std::int8_t>(filtered[i])));
  return sum;
}

// Deflates rows straight into IDAT chunks of `out`, opening a further chunk past
// kMaxChunkData. On a zlib failure the chunk being written is left empty.
class TIDATStream {
 public:
  TIDATStream(TBytes& out, int level) : Out_(out) {
    std::memset(&Z_, 0, sizeof Z_);
    Ok_ = deflateInit(&Z_, level) == Z_OK;
    Chunk_ = BeginChunk(Out_, "IDAT");
  }
  ~TIDATStream() { deflateEnd(&Z_); }
  TIDATStream(const TIDATStream&) = delete;
  TIDATStream& operator=(const TIDATStream&) = delete;

  void Write(const std::uint8_t* data, std::size_t n) { Run(data, n, Z_NO_FLUSH); }

  void Finish() {
    Run(nullptr, 0, Z_FINISH);
    if (!Ok_) Out_.resize(Chunk_ + 8);
    EndChunk(Out_, Chunk_);
  }

 private:
  void Run(const std::uint8_t* data, std::size_t n, int flush) {
    if (!Ok_) return;
    Z_.next_in = const_cast<Bytef*>(data);
    Z_.avail_in = static_cast<uInt>(n);  // one row, far below 4 GiB
    for (;;) {
      Z_.next_out = Buffer_;
      Z_.avail_out = sizeof Buffer_;
      const int rc = deflate(&Z_, flush);
      if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) {
        Ok_ = false;
        return;
      }
      Append(sizeof Buffer_ - Z_.avail_out);
      if (rc == Z_STREAM_END) return;
      if (flush == Z_NO_FLUSH && Z_.avail_in == 0 && Z_.avail_out != 0) return;
    }
  }

  void Append(std::size_t n) {
    const char* p = reinterpret_cast<const char*>(Buffer_);
    while (n > 0) {
      const std::size_t used = Out_.size() - Chunk_ - 8;
      if (used >= kMaxChunkData) {
        EndChunk(Out_, Chunk_);
        Chunk_ = BeginChunk(Out_, "IDAT");
        continue;
      }
      const std::size_t take = std::min(n, kMaxChunkData - used);
      Out_.append(p, take);
      p += take;
      n -= take;
    }
  }

  std::uint8_t Buffer_[65536];
  TBytes& Out_;
  z_stream Z_;
  bool Ok_ = false;
  std::size_t Chunk_ = 0;
};

// Mask index for image index i of an image whose last index is `last`; the mask's is `maskLast`.
std::size_t MaskIndex(int i, int last, int maskLast) {
  if (last == 0) return 0;
  return static_cast<std::size_t>(std::int64_t(i) * maskLast / last);
}

int RoundHalfEven(double v) {
  const double floor = std::floor(v);
  const double diff = v - floor;
  double r = floor;
  if (diff > 0.5 || (diff == 0.5 && std::fmod(floor, 2.0) != 0.0)) r = floor + 1;
  return static_cast<int>(r);
}

}  // namespace

std::uint32_t PNGChunkCRC(TByteView typeAndData) {
  uLong crc = crc32(0L, Z_NULL, 0);
  std::size_t pos = 0;
  while (pos < typeAndData.size()) {
    const std::size_t n = std::min<std::size_t>(typeAndData.size() - pos, 1u << 30);
    crc =
        crc32(crc, reinterpret_cast<const Bytef*>(typeAndData.data() + pos), static_cast<uInt>(n));
    pos += n;
  }
  return static_cast<std::uint32_t>(crc);
}

TPNGWriter::TPNGWriter(const TPixelView& source) : Source_(source) {}

void TPNGWriter::SetCompression(int level, TPNGFilter filter) {
  Level_ = std::clamp(level, -1, 9);
  Filter_ = filter;
}

void TPNGWriter::SetAlphaMask(const TPixelView& mask, bool invert) {
  if (mask.Data == nullptr || mask.Width <= 0 || mask.Height <= 0) return;
  if (mask.Rows && !invert && mask.Layout == TPixelLayout::kGray8 && mask.Width == Source_.Width &&
      mask.Height == Source_.Height) {
    // Made as it is read (a page drawn in bands): each row is read with the picture's.
    RowMask_ = mask;
    HasAlpha_ = true;
    return;
  }
  MaskWidth_ = mask.Width;
  MaskHeight_ = mask.Height;
  Alpha_.resize(std::size_t(MaskWidth_) * std::size_t(MaskHeight_));
  for (int y = 0; y < MaskHeight_; ++y) {
    const std::uint8_t* row = mask.Row(y);
    for (int x = 0; x < MaskWidth_; ++x) {
      std::uint8_t rgb[3];
      mask.ReadRGB(row, x, rgb);
      Alpha_[std::size_t(y) * MaskWidth_ + x] = invert ? 255 - rgb[2] : rgb[2];
    }
  }
  HasAlpha_ = true;
}

void TPNGWriter::SetICCProfile(TByteView profile) {
  CompressedProfile_.clear();
  uLongf size = compressBound(static_cast<uLong>(profile.size()));
  TBytes packed(size, '\0');
  if (compress2(reinterpret_cast<Bytef*>(packed.data()), &size,
                reinterpret_cast<const Bytef*>(profile.data()), static_cast<uLong>(profile.size()),
                Z_DEFAULT_COMPRESSION) == Z_OK) {
    packed.resize(size);
    CompressedProfile_ = std::move(packed);
  }
}

void TPNGWriter::FillRow(int y, std::uint8_t* out) const {
  const bool gray = Source_.Layout == TPixelLayout::kGray8;
  if (!HasAlpha_) {
    if (!gray) {
      RowToRGB(Source_, y, out);
    } else if (!OneBit_) {
      std::copy_n(Source_.Row(y), Source_.Width, out);
    } else {
      const std::uint8_t* row = Source_.Row(y);
      std::fill_n(out, (std::size_t(Source_.Width) + 7) / 8, 0);
      for (int x = 0; x < Source_.Width; ++x)
        if (row[x] >= 128) out[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    }
    return;
  }
  const std::uint8_t* row = Source_.Row(y);
  const std::uint8_t* rowMask = RowMask_.Data ? RowMask_.Row(y) : nullptr;
  const std::uint8_t* alphaRow =
      rowMask ? nullptr : Alpha_.data() + MaskIndex(y, Source_.Height - 1, MaskHeight_ - 1) * MaskWidth_;
  for (int x = 0; x < Source_.Width; ++x) {
    if (gray) {
      *out++ = row[x];
    } else {
      Source_.ReadRGB(row, x, out);
      out += 3;
    }
    *out++ = rowMask ? rowMask[x] : alphaRow[MaskIndex(x, Source_.Width - 1, MaskWidth_ - 1)];
  }
}

TBytes TPNGWriter::WriteTo() const {
  if (Source_.Data == nullptr || Source_.Width <= 0 || Source_.Height <= 0) return {};
  TBytes out(kSignature, 8);

  TBytes header;
  AppendBE32(header, static_cast<std::uint32_t>(Source_.Width));
  AppendBE32(header, static_cast<std::uint32_t>(Source_.Height));
  // Colour types: 0 gray, 2 RGB, 4 gray and alpha, 6 RGB and alpha.
  const bool gray = Source_.Layout == TPixelLayout::kGray8;
  const bool oneBit = gray && OneBit_ && !HasAlpha_;
  header += static_cast<char>(oneBit ? 1 : 8);
  header += static_cast<char>((gray ? 0 : 2) + (HasAlpha_ ? 4 : 0));
  header.append(3, '\0');  // compression, filter, interlace
  WriteChunk(out, "IHDR", header);

  TBytes phys;
  const std::uint32_t perMetre =
      Resolution_ > 0 ? static_cast<std::uint32_t>(std::int64_t(Resolution_) * 10000 / 254 + 1) : 1;
  AppendBE32(phys, perMetre);
  AppendBE32(phys, perMetre);
  phys += static_cast<char>(1);
  WriteChunk(out, "pHYs", phys);

  if (!CompressedProfile_.empty()) {
    TBytes iccp("KesProfile", 10);
    iccp.append(2, '\0');  // name terminator, compression method 0
    iccp += CompressedProfile_;
    WriteChunk(out, "iCCP", iccp);
  }

  // Filters look back one pixel, and at least one byte.
  const int bpp = (gray ? 1 : 3) + (HasAlpha_ ? 1 : 0);
  const std::size_t rowBytes =
      oneBit ? (std::size_t(Source_.Width) + 7) / 8 : std::size_t(Source_.Width) * bpp;
  std::vector<std::uint8_t> raw(rowBytes), prior(rowBytes, 0), filtered(rowBytes + 1), best;
  if (Filter_ == TPNGFilter::kAdaptive) best.resize(rowBytes + 1);
  TIDATStream idat(out, Level_);
  for (int y = 0; y < Source_.Height; ++y) {
    FillRow(y, raw.data());
    if (Filter_ == TPNGFilter::kAdaptive) {
      std::uint64_t bestCost = UINT64_MAX;
      for (TPNGFilter f : {TPNGFilter::kNone, TPNGFilter::kSub, TPNGFilter::kUp}) {
        FilterRow(f, raw.data(), prior.data(), rowBytes, bpp, filtered.data());
        const std::uint64_t cost = Cost(filtered.data() + 1, rowBytes);
        if (cost < bestCost) {
          bestCost = cost;
          best.swap(filtered);
        }
      }
      idat.Write(best.data(), best.size());
    } else {
      FilterRow(Filter_, raw.data(), prior.data(), rowBytes, bpp, filtered.data());
      idat.Write(filtered.data(), filtered.size());
    }
    raw.swap(prior);
  }
  idat.Finish();
  WriteChunk(out, "IEND", {});
  return out;
}

TBytes EncodePNG(const TPagePicture& picture) {
  TPNGWriter writer(picture.View());
  const double dpi = picture.Dpi();
  writer.SetResolution(dpi > 0 && dpi < 1e6 ? RoundHalfEven(dpi) : 0);
  writer.SetOneBit(picture.Colour() == TColourMode::kMono);
  if (picture.HasAlpha()) writer.SetAlphaMask(picture.AlphaView(), false);
  return writer.WriteTo();
}

TBytes EncodePNG(const TRasterImage& image) { return EncodePNG(image.View(), image.Dpi()); }

TBytes EncodePNG(const TPixelView& pixels, double dpi) {
  TPNGWriter writer(pixels);
  writer.SetResolution(dpi > 0 && dpi < 1e6 ? RoundHalfEven(dpi) : 0);
  return writer.WriteTo();
}

}  // namespace kestrel
