#include "engine/output/gif/gif_writer.h"

#include <algorithm>

#include "engine/output/gif/gif_color_lookup.h"
#include "engine/output/gif/gif_lzw.h"
#include "engine/graphics/graphics_limits.h"

namespace kestrel {
namespace {

constexpr int kMaxGIFSide = 65535;

void PutWord(TBytes& out, int value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

}  // namespace

void TPDFGIFWriter::SetFrom(const TPixelView& source) {
  Width_ = Height_ = ColorCount_ = 0;
  Indices_.clear();
  Palette_.fill(TGIFColor{});
  if (!source.Data || source.Width <= 0 || source.Height <= 0 || source.Width > kMaxGIFSide ||
      source.Height > kMaxGIFSide ||
      std::int64_t{source.Width} * source.Height > limits::kMaxPagePixels) {
    return;
  }
  const std::size_t width = static_cast<std::size_t>(source.Width);
  std::vector<std::uint8_t> row(width * 3);

  std::vector<TGIFColor> colors;
  {
    TColorQuantizer quantizer(kPaletteSize, 8);
    for (int y = 0; y < source.Height; ++y) {
      RowToRGB(source, y, row.data());
      quantizer.AddRow(row);
    }
    colors = quantizer.BuildPalette();
  }
  ColorCount_ = static_cast<int>(colors.size());
  std::copy(colors.begin(), colors.end(), Palette_.begin());

  Indices_.resize(width * static_cast<std::size_t>(source.Height));
  TFastColorLookup lookup(colors);
  std::uint8_t* out = Indices_.data();
  for (int y = 0; y < source.Height; ++y) {
    RowToRGB(source, y, row.data());
    for (std::size_t x = 0; x < width; ++x) {
      *out++ = lookup.Lookup(row[3 * x], row[3 * x + 1], row[3 * x + 2]);
    }
  }
  Width_ = source.Width;
  Height_ = source.Height;
}

TBytes TPDFGIFWriter::WriteTo() const {
  if (Empty()) return {};
  TBytes out = "GIF87a";
  // Logical screen: no global colour table, 8 bits of colour resolution.
  PutWord(out, Width_);
  PutWord(out, Height_);
  out.push_back(static_cast<char>(0x70));
  out.push_back('\0');  // background colour index
  out.push_back('\0');  // pixel aspect ratio
  // Image descriptor with a local colour table of 256 entries, not interlaced.
  out.push_back(static_cast<char>(0x2C));
  PutWord(out, 0);
  PutWord(out, 0);
  PutWord(out, Width_);
  PutWord(out, Height_);
  out.push_back(static_cast<char>(0x87));
  for (const TGIFColor& c : Palette_) {
    out.push_back(static_cast<char>(c.Red));
    out.push_back(static_cast<char>(c.Green));
    out.push_back(static_cast<char>(c.Blue));
  }
  TGIFEncoder encoder;
  encoder.Compress(Indices_, out);
  out.push_back(static_cast<char>(0x3B));
  return out;
}

TBytes EncodeGIF(const TRasterImage& image) {
  TPDFGIFWriter writer;
  writer.SetFrom(image);
  return writer.WriteTo();
}

}  // namespace kestrel
