#include "engine/output/raster/webp_writer.h"

#include <webp/encode.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace kestrel {

namespace {

int CollectBytes(const std::uint8_t* data, std::size_t size, const WebPPicture* picture) {
  static_cast<TBytes*>(picture->custom_ptr)->append(reinterpret_cast<const char*>(data), size);
  return 1;
}

struct TPictureFree {
  void operator()(WebPPicture* p) const { WebPPictureFree(p); }
};

}  // namespace

TBytes EncodeWebP(const TPagePicture& picture, int quality) {
  const int w = picture.Width(), h = picture.Height();
  if (w <= 0 || h <= 0 || w > WEBP_MAX_DIMENSION || h > WEBP_MAX_DIMENSION) return {};
  WebPConfig config;
  if (!WebPConfigInit(&config)) return {};
  if (quality < 0) {
    // Level 6 of 9 (method 4, quality 75): within a few percent of the smallest files at a
    // fraction of the time on page pictures.
    if (!WebPConfigLosslessPreset(&config, 6)) return {};
  } else {
    config.quality = static_cast<float>(std::min(quality, 100));
  }
  config.exact = 0;  // colour under fully transparent pixels need not be kept

  WebPPicture pic;
  if (!WebPPictureInit(&pic)) return {};
  pic.use_argb = 1;
  pic.width = w;
  pic.height = h;
  if (!WebPPictureAlloc(&pic)) return {};
  const std::unique_ptr<WebPPicture, TPictureFree> owner(&pic);
  const TPixelView view = picture.View();
  const TPixelView alpha = picture.AlphaView();
  std::vector<std::uint8_t> rgb(std::size_t(w) * 3);
  for (int y = 0; y < h; ++y) {
    RowToRGB(view, y, rgb.data());
    std::uint32_t* out = pic.argb + std::size_t(y) * pic.argb_stride;
    const std::uint8_t* a = alpha.Data ? alpha.Row(y) : nullptr;
    for (int x = 0; x < w; ++x) {
      const std::uint8_t* p = rgb.data() + std::size_t(x) * 3;
      out[x] = (std::uint32_t(a ? a[x] : 255) << 24) | (std::uint32_t(p[0]) << 16) |
               (std::uint32_t(p[1]) << 8) | p[2];
    }
  }
  TBytes bytes;
  pic.writer = CollectBytes;
  pic.custom_ptr = &bytes;
  if (!WebPEncode(&config, &pic)) return {};
  return bytes;
}

}  // namespace kestrel
