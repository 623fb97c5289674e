#include "engine/images/jbig2/jbig2_decoder.h"

#include <algorithm>

#include "engine/images/jbig2/jbig2_reader.h"
#include "engine/images/jbig2/jbig2_stream.h"

namespace kestrel {

namespace {

jbig2::TByteSpan Bytes(TByteView v) {
  return {reinterpret_cast<const std::uint8_t*>(v.data()), v.size()};
}

}  // namespace

bool TKesJBIG2Decoder::DecodePage(TByteView data, TByteView globals, std::uint64_t maxPixels) {
  page_ = {};
  error_.clear();
  if (data.empty()) {
    error_ = "JBIG2 data empty";
    return false;
  }
  try {
    jbig2::TJBIG2StreamDecoder decoder(maxPixels);
    if (!globals.empty()) decoder.Read(Bytes(globals));
    decoder.Read(Bytes(data));
    error_ = decoder.Error();
    if (const jbig2::TJBIG2Bitmap* page = decoder.Page()) page_ = *page;
  } catch (const std::bad_alloc&) {
    error_ = "JBIG2 image needs more memory than is available";
  }
  if (page_.Empty() && error_.empty()) error_ = "JBIG2 data has no page";
  return !page_.Empty();
}

bool TKesJBIG2Decoder::PageRow(int row, std::span<std::uint8_t> out) const {
  const std::size_t n = std::min(out.size(), std::size_t(std::max(page_.Width(), 0)));
  if (row < 0 || row >= page_.Height()) {
    std::fill(out.begin(), out.end(), 0);
    return false;
  }
  for (std::size_t x = 0; x < n; ++x) out[x] = std::uint8_t(page_.Get(int(x), row));
  return true;
}

TBytes DecodeJBIG2Samples(TByteView data, TByteView globals, int& width, int& height,
                          std::string& error, std::uint64_t maxPixels) {
  TKesJBIG2Decoder decoder;
  const bool ok = decoder.DecodePage(data, globals, maxPixels);
  error = decoder.Error();
  if (!ok) return {};
  const jbig2::TJBIG2Bitmap& page = decoder.Page();
  if (width <= 0) width = page.Width();
  if (height <= 0) height = page.Height();
  if (!jbig2::BitmapSizeFits(width, height)) {
    error = "JBIG2 image too large";
    return {};
  }
  const std::size_t stride = (std::size_t(width) + 7) / 8;
  TBytes out(stride * std::size_t(height), char(0xFF));
  const std::size_t copy = std::min(stride, std::size_t(page.Stride()));
  for (int y = 0; y < std::min(height, page.Height()); ++y) {
    const std::uint8_t* src = page.Row(y);
    char* dst = out.data() + std::size_t(y) * stride;
    // The page's padding bits are 0, so columns past its width come out white.
    for (std::size_t i = 0; i < copy; ++i) dst[i] = char(~src[i]);
  }
  return out;
}

}  // namespace kestrel
