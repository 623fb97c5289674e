#pragma once
// Fuzz harness bodies for the font programs and CMaps, shared by the libFuzzer targets and
// the seed-replay test. Every glyph drawn must stay finite and draw the same the second time
// (from the outline cache); glyphs are also filled on a small raster, twice, so that the
// second copy comes from the canvas's glyph masks.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/fonts/cmap/cmap_encoding.h"
#include "engine/fonts/cmap/cmap_unicode.h"
#include "engine/fonts/font_record.h"
#include "engine/fonts/type1/type1_decoder.h"
#include "engine/graphics/raster_image.h"
#include "engine/output/raster/raster_canvas.h"
#include "support/recording_canvas.h"

namespace fuzzharness {

class TDecoderOutline final : public kestrel::TGlyphOutlineSource {
 public:
  TDecoderOutline(kestrel::TPDFType1Decoder& decoder, std::string_view name)
      : decoder_(decoder), name_(name) {}
  void AddOutline(kestrel::TPDFGenericCanvas& canvas, const kestrel::TPDFMatrix& m) const override {
    decoder_.DrawGlyph(canvas, m, 0, 0, name_);
  }

 private:
  kestrel::TPDFType1Decoder& decoder_;
  std::string_view name_;
};

inline void FillSomeGlyphs(kestrel::TPDFType1Decoder& decoder, const std::vector<std::string>& names) {
  std::optional<kestrel::TRasterImage> raster = kestrel::TRasterImage::Create(48, 48, 72);
  kestrel::TPDFPicasso canvas;
  if (!raster || !canvas.AttachLibrary(*raster, kestrel::TGDIPlusSettings{})) __builtin_trap();
  const std::uint64_t font = kestrel::NextFontSerial();
  for (int pass = 0; pass < 2; ++pass) {
    for (const std::string& name : names) {
      for (const kestrel::TPDFMatrix& m : {kestrel::TPDFMatrix{0.02, 0, 0, -0.02, 5.25, 30},
                                           kestrel::TPDFMatrix{0.01, 0.005, -0.005, 0.01, 9.3, 9.9}}) {
        canvas.FillGlyph(kestrel::TGlyphKey{font, name, m}, TDecoderOutline(decoder, name));
      }
    }
  }
}

inline void DrawSomeGlyphs(kestrel::TPDFType1Decoder& decoder) {
  std::vector<std::string> names(decoder.BuiltInEncoding().begin(), decoder.BuiltInEncoding().end());
  for (int g = 0; g < 40; ++g) names.push_back("GID:" + std::to_string(g));
  FillSomeGlyphs(decoder, names);
  for (const std::string& name : names) {
    kestrel::TRecordingCanvas first(false), second(false);
    const bool a = decoder.DrawGlyph(first, kestrel::TPDFMatrix{0.01, 0, 0, 0.01, 0, 0}, 10, 0, name);
    const bool b = decoder.DrawGlyph(second, kestrel::TPDFMatrix{0.01, 0, 0, 0.01, 0, 0}, 10, 0, name);
    if (a != b || first.Text() != second.Text()) __builtin_trap();
  }
  if (!std::isfinite(decoder.GlyphScale()) || decoder.GlyphScale() <= 0) __builtin_trap();
}

// Type 1 programs; the first byte chooses Length1 as a share of the size.
inline void Type1Font(const uint8_t* data, size_t size) {
  if (size == 0) return;
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  kestrel::TPDFType1Decoder decoder;
  decoder.LoadType1Program(bytes, bytes.size() * data[0] / 256);
  DrawSomeGlyphs(decoder);
}

inline void CFFFont(const uint8_t* data, size_t size) {
  kestrel::TPDFType1Decoder decoder;
  decoder.LoadCFFProgram(std::string(reinterpret_cast<const char*>(data), size));
  DrawSomeGlyphs(decoder);
}

// The same text as a ToUnicode CMap and as an encoding CMap splitting itself.
inline void CMapText(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const kestrel::TBfCMapResult bf = kestrel::ParseBfCMap(text);
  for (std::uint32_t code : {0u, 0x41u, 0x3000u, 0xFFFFu}) bf.Map.TextOfCode(code);
  const auto cmap = kestrel::TPDFEncodingCMap::Parse(text);
  std::vector<kestrel::TCharCode> codes;
  cmap->Split(text.substr(0, 4096), codes);
  std::size_t taken = 0;
  for (const kestrel::TCharCode& c : codes) {
    if (c.Length < 1 || c.Length > 4) __builtin_trap();
    taken += c.Length;
  }
  if (taken > std::min<std::size_t>(text.size(), 4096)) __builtin_trap();
}

}  // namespace fuzzharness
