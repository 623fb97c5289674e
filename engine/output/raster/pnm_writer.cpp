#include "engine/output/raster/pnm_writer.h"

#include <algorithm>
#include <string>
#include <vector>

namespace kestrel {

namespace {

std::string PAMHeader(const TPagePicture& p, int depth, int maxval, const char* tupleType) {
  return "P7\nWIDTH " + std::to_string(p.Width()) + "\nHEIGHT " + std::to_string(p.Height()) +
         "\nDEPTH " + std::to_string(depth) + "\nMAXVAL " + std::to_string(maxval) +
         "\nTUPLTYPE " + tupleType + "\nENDHDR\n";
}

}  // namespace

bool EncodePNM(const TPagePicture& picture, TPNMKind kind, TByteSink& out) {
  const int w = picture.Width(), h = picture.Height();
  if (w <= 0 || h <= 0) return false;
  const std::string size = std::to_string(w) + " " + std::to_string(h) + "\n";
  const bool alpha = kind == TPNMKind::kPAM && picture.HasAlpha();
  const bool gray = kind == TPNMKind::kPGM ||
                    (kind == TPNMKind::kPAM && picture.Colour() != TColourMode::kRGB);
  const bool blackAndWhite = kind == TPNMKind::kPAM && !alpha && picture.Colour() == TColourMode::kMono;
  std::string header;
  std::size_t rowBytes = std::size_t(w) * (gray ? 1 : 3);
  switch (kind) {
    case TPNMKind::kPPM: header = "P6\n" + size + "255\n"; break;
    case TPNMKind::kPGM: header = "P5\n" + size + "255\n"; break;
    case TPNMKind::kPBM:
      header = "P4\n" + size;
      rowBytes = (std::size_t(w) + 7) / 8;
      break;
    case TPNMKind::kPAM:
      if (alpha) rowBytes += std::size_t(w);
      header = PAMHeader(picture, (gray ? 1 : 3) + (alpha ? 1 : 0), blackAndWhite ? 1 : 255,
                         blackAndWhite ? "BLACKANDWHITE"
                         : gray        ? (alpha ? "GRAYSCALE_ALPHA" : "GRAYSCALE")
                                       : (alpha ? "RGB_ALPHA" : "RGB"));
      break;
  }
  out.Expect(header.size() + rowBytes * std::uint64_t(h));
  if (!out.Write(header)) return false;
  const TPixelView view = picture.View();
  const TPixelView alphaView = picture.AlphaView();
  std::vector<std::uint8_t> samples(std::size_t(w) * 3), row(rowBytes);
  for (int y = 0; y < h; ++y) {
    std::uint8_t* o = row.data();
    if (kind == TPNMKind::kPBM) {
      std::fill(row.begin(), row.end(), 0);
      picture.RowToGray(y, samples.data());
      for (int x = 0; x < w; ++x)
        if (samples[x] < 128) o[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    } else {
      const int channels = gray ? 1 : 3;
      if (gray) picture.RowToGray(y, samples.data());
      else RowToRGB(view, y, samples.data());
      const std::uint8_t* a = alpha ? alphaView.Row(y) : nullptr;
      for (int x = 0; x < w; ++x) {
        for (int c = 0; c < channels; ++c) {
          const std::uint8_t v = samples[std::size_t(x) * channels + c];
          *o++ = blackAndWhite ? (v >= 128 ? 1 : 0) : v;
        }
        if (a) *o++ = a[x];
      }
    }
    if (!out.Write({reinterpret_cast<const char*>(row.data()), row.size()})) return false;
  }
  return true;
}

TBytes EncodePNM(const TPagePicture& picture, TPNMKind kind) {
  TBytes bytes;
  TBytesSink sink(bytes);
  if (!EncodePNM(picture, kind, sink)) return {};
  return bytes;
}

}  // namespace kestrel
