#pragma once
// Fuzz harness bodies for the image decoder and the inline image reader, shared by the
// libFuzzer targets and the seed-replay test.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/images/image_decoder.h"
#include "engine/images/jbig2/jbig2_decoder.h"
#include "engine/render/colour/colour_registry.h"
#include "engine/render/function/function.h"
#include "engine/images/inline_image.h"
#include "engine/syntax/structure.h"

namespace fuzzharness {

// The page's colour spaces as the renderer hands them to the decoder.
class TImageColors final : public kestrel::TImageColorConverter {
 public:
  TImageColors(kestrel::TPDFColorSpaces& spaces, kestrel::TColorSpaceId id)
      : spaces_(spaces), id_(id) {}
  kestrel::TImageColorKind Kind() const override {
    using F = kestrel::TColorFamily;
    using K = kestrel::TImageColorKind;
    switch (id_.Family) {
      case F::DeviceGray: return K::Gray;
      case F::DeviceRGB: return K::RGB;
      case F::DeviceCMYK: return K::CMYK;
      case F::Indexed: return K::Indexed;
      default: return K::Other;
    }
  }
  int Components() const override { return spaces_.ComponentCount(id_); }
  void ToRGB(std::span<const double> v, std::uint8_t rgb[3]) override {
    const kestrel::TPackedColor c = spaces_.Convert(id_, v, false).Packed;
    rgb[0] = kestrel::PackedRed(c);
    rgb[1] = kestrel::PackedGreen(c);
    rgb[2] = kestrel::PackedBlue(c);
  }

 private:
  kestrel::TPDFColorSpaces& spaces_;
  kestrel::TColorSpaceId id_;
};

// Decodes the stream (small limits keep each input fast) and makes bitmaps at a few sizes.
inline void DecodeAndDraw(kestrel::TPDFStream& stream, double drawnWidth = 0, double drawnHeight = 0) {
  kestrel::TPDFSimpleColorManager manager;
  kestrel::TPDFColorSpaces spaces(manager, [](kestrel::TPDFObject* o) { return o; });
  kestrel::TImageDecodeContext context;
  context.MaxBytes = 4u << 20;
  context.Colors = [&](kestrel::TPDFObject* space) -> std::unique_ptr<kestrel::TImageColorConverter> {
    auto id = spaces.FromObject(space);
    if (!id || id->Family == kestrel::TColorFamily::Pattern) return nullptr;
    return std::make_unique<TImageColors>(spaces, *id);
  };
  // Drawn small, the image is read a row at a time into that size.
  context.DrawnWidth = drawnWidth;
  context.DrawnHeight = drawnHeight;
  context.ReducedFromPixels = 0;
  kestrel::TPDFImageDecoder decoder(context);
  try {
    if (!decoder.Load(stream)) {
      if (!decoder.Picture().Empty() || decoder.Error().empty()) __builtin_trap();
      return;
    }
  } catch (const kestrel::TPDFFunctionError&) {
    return;
  }
  if (decoder.EncodedSize() > context.MaxBytes) __builtin_trap();
  const int w = decoder.Picture().Width(), h = decoder.Picture().Height();
  for (const auto& [bw, bh] : {std::pair{w, h}, std::pair{(w + 2) / 3, (h + 1) / 2},
                               std::pair{std::min(w * 3, 2000), std::min(h * 2, 2000)}}) {
    const kestrel::TCanvasBitmap& b = decoder.Bitmap(bw, bh, 0x123456);
    if (b.Pixels.size() != static_cast<std::size_t>(b.Width) * static_cast<std::size_t>(b.Height))
      __builtin_trap();
  }
}

// An image stream: "<< dictionary >>" then "stream" then the data.
inline void ImageDecoder(const uint8_t* data, size_t size) {
  kestrel::TPDFStructure pool;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::size_t split = text.find("stream");
  auto* dict = kestrel::As<kestrel::TPDFDictionary>(pool.ParseObject(text.substr(0, split)));
  if (!dict) dict = pool.NewDictionary();
  const std::string_view body = split == std::string_view::npos ? std::string_view() : text.substr(split + 6);
  kestrel::TPDFStream& stream = *pool.NewStreamOf(dict, kestrel::TBytes(body));
  DecodeAndDraw(stream);
  DecodeAndDraw(stream, 5.5, 3);
}

// Content that starts just after BI: the reader, then the decoder on what it found.
inline void InlineImage(const uint8_t* data, size_t size) {
  kestrel::TPDFStructure pool;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  const kestrel::TInlineImage image =
      kestrel::ReadInlineImage(text, 0, pool, [](kestrel::TByteView) { return 3; });
  if (image.Next > size) __builtin_trap();
  if (image.Stream) DecodeAndDraw(*image.Stream);
}

// JBIG2 data: the first two bytes give the length of the globals that follow, the rest is
// the image data. Each input decodes at most 16 million pixels.
inline void JBIG2(const uint8_t* data, size_t size) {
  if (size < 2) return;
  const std::size_t globalsLength = std::min<std::size_t>(std::size_t(data[0]) << 8 | data[1], size - 2);
  const kestrel::TByteView bytes(reinterpret_cast<const char*>(data) + 2, size - 2);
  kestrel::TKesJBIG2Decoder decoder;
  const bool ok = decoder.DecodePage(bytes.substr(globalsLength), bytes.substr(0, globalsLength),
                                     16u << 20);
  if (ok != (decoder.Width() > 0 && decoder.Height() > 0)) __builtin_trap();
  if (!ok && decoder.Error().empty()) __builtin_trap();
  std::vector<std::uint8_t> row(std::size_t(decoder.Width()));
  if (ok && (!decoder.PageRow(decoder.Height() - 1, row) || decoder.PageRow(decoder.Height(), row)))
    __builtin_trap();
}

}  // namespace fuzzharness
