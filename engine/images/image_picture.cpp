#include "engine/images/image_picture.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace kestrel {

int TDecodedPicture::Width() const { return std::max(Color.Width, Alpha.Width); }
int TDecodedPicture::Height() const { return std::max(Color.Height, Alpha.Height); }

namespace {

// Largest bitmap made by repeating a picture's pixels (64 MB at 4 bytes a pixel).
constexpr double kMaxEnlargedPixels = 16'000'000;

using TSpan = TPlaneResizer::TSpan;

// Weights sum to 65536 for every target coordinate.
void BuildSpans(int source, int target, std::vector<TSpan>& spans, std::vector<int>& weights) {
  spans.resize(static_cast<std::size_t>(target));
  weights.clear();
  const double step = static_cast<double>(source) / target;
  if (step <= 1) {
    // Enlarging: source pixel j covers whole target pixels from j·p + ⌊j·q / source⌋ on
    // (p, q: quotient and remainder of target / source), the spread pdftoppm uses.
    const std::int64_t p = target / source, q = target % source;
    std::int64_t j = 0;
    for (int t = 0; t < target; ++t) {
      while (j + 1 < source && (j + 1) * p + ((j + 1) * q) / source <= t) ++j;
      spans[static_cast<std::size_t>(t)].First = static_cast<int>(j);
    }
  }
  for (int t = 0; t < target; ++t) {
    TSpan& s = spans[static_cast<std::size_t>(t)];
    s.Weights = static_cast<int>(weights.size());
    if (step <= 1) {
      s.Count = 1;
      weights.push_back(65536);
      continue;
    }
    const double a = t * step, b = std::min<double>(source, (t + 1) * step);
    s.First = std::clamp(static_cast<int>(a), 0, source - 1);
    const int last = std::clamp(static_cast<int>(std::ceil(b)) - 1, s.First, source - 1);
    s.Count = last - s.First + 1;
    int total = 0;
    for (int i = s.First; i <= last; ++i) {
      const double cover = std::min<double>(i + 1, b) - std::max<double>(i, a);
      const int w = static_cast<int>(std::lround(std::max(0.0, cover) / (b - a) * 65536));
      weights.push_back(w);
      total += w;
    }
    // Rounding is settled on the largest weight, which cannot go negative.
    const auto first = weights.begin() + s.Weights;
    *std::max_element(first, weights.end()) += 65536 - total;
  }
}

}  // namespace

TPlaneResizer::TPlaneResizer(int sourceWidth, int sourceHeight, int channels, int width,
                             int height)
    : sourceWidth_(sourceWidth), sourceHeight_(sourceHeight) {
  if (sourceWidth <= 0 || sourceHeight <= 0 || channels <= 0 || width <= 0 || height <= 0) return;
  out_.Width = width;
  out_.Height = height;
  out_.Channels = channels;
  rowBytes_ = static_cast<std::size_t>(width) * static_cast<std::size_t>(channels);
  out_.Data.resize(rowBytes_ * static_cast<std::size_t>(height));
  BuildSpans(sourceWidth, width, xs_, xw_);
  BuildSpans(sourceHeight, height, ys_, yw_);
  hrow_.resize(rowBytes_);
  for (auto& acc : acc_) acc.assign(rowBytes_, 0);
}

void TPlaneResizer::Horizontal(const std::uint8_t* src) {
  const int width = out_.Width, ch = out_.Channels;
  const auto srcRowBytes = static_cast<std::size_t>(sourceWidth_) * static_cast<std::size_t>(ch);
  if (ch == 1) {  // gray and opacity planes, the common case, without the channel loop
    // A row of one value (a scan's blank lines) stays that value: each span's weights sum
    // to 65536.
    if (srcRowBytes > 1 && std::memcmp(src, src + 1, srcRowBytes - 1) == 0) {
      std::fill(hrow_.begin(), hrow_.end(), std::uint32_t{src[0]} << 16);
      return;
    }
    for (int x = 0; x < width; ++x) {
      const TSpan& s = xs_[static_cast<std::size_t>(x)];
      const std::uint8_t* from = src + s.First;
      const int* w = xw_.data() + s.Weights;
      std::uint32_t sum = 0;
      for (int i = 0; i < s.Count; ++i) sum += from[i] * static_cast<std::uint32_t>(w[i]);
      hrow_[static_cast<std::size_t>(x)] = sum;
    }
    return;
  }
  for (int x = 0; x < width; ++x) {
    const TSpan& s = xs_[static_cast<std::size_t>(x)];
    for (int c = 0; c < ch; ++c) {
      std::uint32_t sum = 0;
      for (int i = 0; i < s.Count; ++i)
        sum += src[static_cast<std::size_t>(s.First + i) * ch + c] *
               static_cast<std::uint32_t>(xw_[static_cast<std::size_t>(s.Weights + i)]);
      hrow_[static_cast<std::size_t>(x) * ch + c] = sum;  // scaled by 65536
    }
  }
}

void TPlaneResizer::AddRow(const std::uint8_t* row) {
  if (out_.Data.empty() || added_ >= sourceHeight_) return;
  const int sy = added_++;
  Horizontal(row);
  // Target rows are finished in order. A source row shared by two target rows (when the
  // plane shrinks) ends the first and starts the second; when it grows, each target row
  // takes one source row and ends with it.
  for (int y = next_; y < out_.Height; ++y) {
    const TSpan& s = ys_[static_cast<std::size_t>(y)];
    if (s.First > sy) break;
    std::vector<std::uint64_t>& acc = acc_[static_cast<std::size_t>(y & 1)];
    const auto w = static_cast<std::uint64_t>(yw_[static_cast<std::size_t>(s.Weights + sy - s.First)]);
    for (std::size_t k = 0; k < rowBytes_; ++k) acc[k] += hrow_[k] * w;
    if (s.First + s.Count - 1 > sy) break;
    auto* dst = reinterpret_cast<std::uint8_t*>(out_.Data.data()) +
                static_cast<std::size_t>(y) * rowBytes_;
    for (std::size_t k = 0; k < rowBytes_; ++k) {
      dst[k] = static_cast<std::uint8_t>(
          std::min<std::uint64_t>(255, (acc[k] + (std::uint64_t{1} << 31)) >> 32));
      acc[k] = 0;
    }
    next_ = y + 1;
  }
}

TImagePlane TPlaneResizer::Finish(std::uint8_t fill) {
  if (added_ < sourceHeight_ && !out_.Data.empty()) {
    const std::vector<std::uint8_t> blank(
        static_cast<std::size_t>(sourceWidth_) * static_cast<std::size_t>(out_.Channels), fill);
    while (added_ < sourceHeight_) AddRow(blank.data());
  }
  return std::move(out_);
}

TImagePlane ResizePlane(const TImagePlane& plane, int width, int height) {
  if (plane.Width == width && plane.Height == height) return plane;
  if (plane.Empty() || width <= 0 || height <= 0) return {};
  TPlaneResizer resizer(plane.Width, plane.Height, plane.Channels, width, height);
  const auto srcRowBytes = static_cast<std::size_t>(plane.Width) * static_cast<std::size_t>(plane.Channels);
  for (int y = 0; y < plane.Height; ++y)
    resizer.AddRow(reinterpret_cast<const std::uint8_t*>(plane.Data.data()) +
                   static_cast<std::size_t>(y) * srcRowBytes);
  return resizer.Finish(0);
}

TCanvasBitmap MakeCanvasBitmap(const TDecodedPicture& picture, int width, int height,
                               TPackedColor fill) {
  TCanvasBitmap bitmap;
  if (picture.Empty() || width <= 0 || height <= 0) return bitmap;
  const TImagePlane color = ResizePlane(picture.Color, width, height);
  const TImagePlane alpha = ResizePlane(picture.Alpha, width, height);
  bitmap.Width = width;
  bitmap.Height = height;
  const auto count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  const std::uint32_t fillRGB = (std::uint32_t{PackedRed(fill)} << 16) |
                                (std::uint32_t{PackedGreen(fill)} << 8) | PackedBlue(fill);
  bitmap.Pixels.assign(count, 0xFF000000u | (picture.Stencil ? fillRGB : 0xFFFFFFu));
  const auto* c = reinterpret_cast<const std::uint8_t*>(color.Data.data());
  if (!color.Empty() && color.Channels == 3) {
    for (std::size_t i = 0; i < count; ++i)
      bitmap.Pixels[i] = 0xFF000000u | (std::uint32_t{c[3 * i]} << 16) |
                         (std::uint32_t{c[3 * i + 1]} << 8) | c[3 * i + 2];
  } else if (!color.Empty()) {
    for (std::size_t i = 0; i < count; ++i) bitmap.Pixels[i] = 0xFF000000u | (0x010101u * c[i]);
  }
  if (!alpha.Empty()) {
    const auto* a = reinterpret_cast<const std::uint8_t*>(alpha.Data.data());
    for (std::size_t i = 0; i < count; ++i)
      bitmap.Pixels[i] = (bitmap.Pixels[i] & 0xFFFFFFu) | (std::uint32_t{a[i]} << 24);
  }
  return bitmap;
}

int DrawnSide(int pixels, double device) {
  if (!(device < pixels)) return pixels;  // also NaN
  return std::clamp(static_cast<int>(std::ceil(device)), 1, pixels);
}

TImageDrawPlan PlanImageDraw(const TDecodedPicture& picture, double deviceWidth,
                             double deviceHeight) {
  TImageDrawPlan plan;
  const int w = picture.Width(), h = picture.Height();
  if (w <= 0 || h <= 0) return plan;
  plan.Width = DrawnSide(w, deviceWidth);
  plan.Height = DrawnSide(h, deviceHeight);
  const bool enlarged = deviceWidth > w || deviceHeight > h;
  if (enlarged && !picture.Interpolate &&
      (picture.Bilevel || deviceWidth / w >= 4 || deviceHeight / h >= 4)) {
    plan.Sampling = TImageSampling::Nearest;
    // Pixels are repeated here, at the device size, so each source pixel covers whole device
    // pixels; a picture that would be too big for that is left to the canvas.
    const double ww = std::max<double>(plan.Width, std::round(deviceWidth));
    const double hh = std::max<double>(plan.Height, std::round(deviceHeight));
    if (ww * hh <= kMaxEnlargedPixels) {
      plan.Width = static_cast<int>(ww);
      plan.Height = static_cast<int>(hh);
    }
  }
  return plan;
}

void RemoveMatte(TDecodedPicture& picture, const std::uint8_t matte[3]) {
  TImagePlane& colour = picture.Color;
  const TImagePlane& alpha = picture.Alpha;
  if (colour.Empty() || alpha.Channels != 1 || colour.Width != alpha.Width ||
      colour.Height != alpha.Height || (colour.Channels != 1 && colour.Channels != 3)) {
    return;
  }
  const std::size_t pixels = std::size_t(colour.Width) * std::size_t(colour.Height);
  if (alpha.Data.size() < pixels || colour.Data.size() < pixels * colour.Channels) return;
  auto* c = reinterpret_cast<std::uint8_t*>(colour.Data.data());
  const auto* a = reinterpret_cast<const std::uint8_t*>(alpha.Data.data());
  for (std::size_t i = 0; i < pixels; ++i) {
    if (a[i] == 0) continue;
    for (int k = 0; k < colour.Channels; ++k) {
      const int m = matte[colour.Channels == 1 ? 0 : k];
      std::uint8_t& v = c[i * colour.Channels + k];
      v = static_cast<std::uint8_t>(std::clamp(m + (int(v) - m) * 255 / int(a[i]), 0, 255));
    }
  }
}

}  // namespace kestrel
