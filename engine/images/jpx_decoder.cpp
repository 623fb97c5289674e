#include "engine/images/jpx_decoder.h"

#include <openjpeg.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace kestrel {

namespace {

constexpr unsigned char kJP2Signature[8] = {0x00, 0x00, 0x00, 0x0C, 0x6A, 0x50, 0x20, 0x20};
constexpr unsigned char kCodestreamStart[4] = {0xFF, 0x4F, 0xFF, 0x51};

// OpenJPEG reads from this through the callbacks below.
struct TMemoryStream {
  const unsigned char* Data = nullptr;
  std::size_t Size = 0;
  std::size_t Pos = 0;
};

OPJ_SIZE_T ReadCallback(void* buffer, OPJ_SIZE_T n, void* user) {
  auto* m = static_cast<TMemoryStream*>(user);
  if (m->Pos >= m->Size) return static_cast<OPJ_SIZE_T>(-1);
  const std::size_t take = std::min<std::size_t>(n, m->Size - m->Pos);
  std::memcpy(buffer, m->Data + m->Pos, take);
  m->Pos += take;
  return take;
}

OPJ_OFF_T SkipCallback(OPJ_OFF_T n, void* user) {
  auto* m = static_cast<TMemoryStream*>(user);
  if (n < 0) {
    const std::size_t back = std::min<std::size_t>(static_cast<std::size_t>(-n), m->Pos);
    m->Pos -= back;
    return -static_cast<OPJ_OFF_T>(back);
  }
  const std::size_t ahead = std::min<std::size_t>(static_cast<std::size_t>(n), m->Size - m->Pos);
  m->Pos += ahead;
  return static_cast<OPJ_OFF_T>(ahead);
}

OPJ_BOOL SeekCallback(OPJ_OFF_T pos, void* user) {
  auto* m = static_cast<TMemoryStream*>(user);
  if (pos < 0 || static_cast<std::uint64_t>(pos) > m->Size) return OPJ_FALSE;
  m->Pos = static_cast<std::size_t>(pos);
  return OPJ_TRUE;
}

void QuietCallback(const char*, void*) {}

struct TCodecDeleter {
  void operator()(opj_codec_t* c) const { opj_destroy_codec(c); }
};
struct TStreamDeleter {
  void operator()(opj_stream_t* s) const { opj_stream_destroy(s); }
};
struct TImageDeleter {
  void operator()(opj_image_t* i) const { opj_image_destroy(i); }
};

TDecodedImage Failure(const char* why) {
  TDecodedImage image;
  image.Error = why;
  return image;
}

// Scales one sample to 8 bits: signed samples are shifted up, other precisions scaled.
struct TSampleScale {
  std::int64_t Max = 255;  // 2^prec - 1
  std::int64_t Shift = 0;  // added to signed samples
  bool Exact = true;       // 8-bit precision: stored as is

  std::uint8_t operator()(OPJ_INT32 sample) const {
    const std::int64_t v = std::clamp<std::int64_t>(std::int64_t(sample) + Shift, 0, Max);
    return static_cast<std::uint8_t>(Exact ? v : v * 255 / Max);
  }
};

// Writes component `comp` into channel `channel` of every pixel. A component's grid starts at
// ceil(x0 / dx); each sample covers dx × dy image pixels, so subsampled ones are replicated.
void PlaceComponent(const opj_image_t& image, const opj_image_comp_t& comp, int channel,
                    TDecodedImage& out) {
  TSampleScale scale;
  scale.Max = (std::int64_t{1} << comp.prec) - 1;
  scale.Shift = comp.sgnd ? std::int64_t{1} << (comp.prec - 1) : 0;
  scale.Exact = comp.prec == 8;
  const std::int64_t compX0 = (std::int64_t(image.x0) + comp.dx - 1) / comp.dx;
  const std::int64_t compY0 = (std::int64_t(image.y0) + comp.dy - 1) / comp.dy;
  std::vector<std::size_t> column(static_cast<std::size_t>(out.Width));
  for (int x = 0; x < out.Width; ++x) {
    column[x] = static_cast<std::size_t>(std::clamp<std::int64_t>(
        (std::int64_t(image.x0) + x) / comp.dx - compX0, 0, std::int64_t(comp.w) - 1));
  }
  auto* pixels = reinterpret_cast<std::uint8_t*>(out.Pixels.data());
  const int step = out.Components;
  for (int y = 0; y < out.Height; ++y) {
    const std::int64_t sy = std::clamp<std::int64_t>(
        (std::int64_t(image.y0) + y) / comp.dy - compY0, 0, std::int64_t(comp.h) - 1);
    const OPJ_INT32* row = comp.data + static_cast<std::size_t>(sy) * comp.w;
    std::uint8_t* dst = pixels + out.RowBytes() * std::size_t(y) + channel;
    for (int x = 0; x < out.Width; ++x, dst += step) *dst = scale(row[column[x]]);
  }
}

std::uint8_t ClampByte(double v) {
  return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L));
}

void ConvertSYCC(TDecodedImage& image) {
  auto* p = reinterpret_cast<std::uint8_t*>(image.Pixels.data());
  const std::size_t pixels = std::size_t(image.Width) * std::size_t(image.Height);
  for (std::size_t i = 0; i < pixels; ++i, p += image.Components) {
    const double y = p[0], cb = p[1] - 128.0, cr = p[2] - 128.0;
    p[0] = ClampByte(y + 1.402 * cr);
    p[1] = ClampByte(y - 0.34414 * cb - 0.71414 * cr);
    p[2] = ClampByte(y + 1.772 * cb);
  }
}

}  // namespace

TDecodedImage DecodeJPX(TByteView data, const TImageDecodeLimits& limits) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
  OPJ_CODEC_FORMAT format;
  if (data.size() >= 8 && std::memcmp(bytes, kJP2Signature, 8) == 0) {
    format = OPJ_CODEC_JP2;
  } else if (data.size() >= 8 && std::memcmp(bytes, kCodestreamStart, 4) == 0) {
    format = OPJ_CODEC_J2K;
  } else {
    return Failure("Unknown JPEG 2000 file type");
  }

  TMemoryStream memory{bytes, data.size(), 0};
  std::unique_ptr<opj_stream_t, TStreamDeleter> stream(opj_stream_create(1 << 16, OPJ_TRUE));
  std::unique_ptr<opj_codec_t, TCodecDeleter> codec(opj_create_decompress(format));
  if (!stream || !codec) return Failure("JPEG 2000 image decoding failed");
  opj_stream_set_user_data(stream.get(), &memory, nullptr);
  opj_stream_set_user_data_length(stream.get(), data.size());
  opj_stream_set_read_function(stream.get(), ReadCallback);
  opj_stream_set_skip_function(stream.get(), SkipCallback);
  opj_stream_set_seek_function(stream.get(), SeekCallback);
  opj_set_info_handler(codec.get(), QuietCallback, nullptr);
  opj_set_warning_handler(codec.get(), QuietCallback, nullptr);
  opj_set_error_handler(codec.get(), QuietCallback, nullptr);

  opj_dparameters_t parameters;
  opj_set_default_decoder_parameters(&parameters);
  if (!opj_setup_decoder(codec.get(), &parameters)) {
    return Failure("JPEG 2000 image decoding failed");
  }
  opj_image_t* rawImage = nullptr;
  if (!opj_read_header(stream.get(), codec.get(), &rawImage)) {
    opj_image_destroy(rawImage);
    return Failure("JPEG 2000 image decoding failed");
  }
  std::unique_ptr<opj_image_t, TImageDeleter> header(rawImage);
  if (header->numcomps == 0 || header->comps == nullptr || header->x1 <= header->x0 ||
      header->y1 <= header->y0) {
    return Failure("JPEG 2000 image decoding failed");
  }
  const std::uint64_t width = header->x1 - header->x0;
  const std::uint64_t height = header->y1 - header->y0;
  const int outComponents =
      header->numcomps == 3 || header->numcomps == 4 ? int(header->numcomps) : 1;
  if (!DecodedSizeFits(width, height, outComponents, limits.MaxBytes)) {
    return Failure("JPEG 2000 image too large");
  }
  // OpenJPEG keeps every decoded sample as a 32-bit integer; bound that buffer too.
  std::uint64_t samples = 0;
  for (int c = 0; c < outComponents; ++c) {
    const opj_image_comp_t& comp = header->comps[c];
    if (comp.dx == 0 || comp.dy == 0 || comp.prec < 1 || comp.prec > 31) {
      return Failure("JPEG 2000 image decoding failed");
    }
    samples += std::uint64_t(comp.w) * comp.h;
  }
  if (samples > limits.MaxBytes / 2) return Failure("JPEG 2000 image too large");
  if (outComponents == 1 && header->numcomps > 1) {
    // Only the first component is shown: skip decoding the others.
    const OPJ_UINT32 first = 0;
    if (!opj_set_decoded_components(codec.get(), 1, &first, OPJ_FALSE)) {
      return Failure("JPEG 2000 image decoding failed");
    }
  }
  if (!opj_decode(codec.get(), stream.get(), header.get())) {
    return Failure("JPEG 2000 image decoding failed");
  }
  opj_end_decompress(codec.get(), stream.get());
  opj_image_t* image = header.get();

  // Colour channels in order, then opacity channels.
  std::vector<int> order;
  for (OPJ_UINT32 c = 0; c < image->numcomps && int(order.size()) < outComponents; ++c) {
    if (image->comps[c].alpha == 0) order.push_back(int(c));
  }
  bool hasAlpha = false;
  for (OPJ_UINT32 c = 0; c < image->numcomps && int(order.size()) < outComponents; ++c) {
    if (image->comps[c].alpha != 0) {
      order.push_back(int(c));
      hasAlpha = true;
    }
  }
  if (int(order.size()) != outComponents) return Failure("JPEG 2000 image decoding failed");

  for (int c : order) {
    const opj_image_comp_t& comp = image->comps[c];
    if (comp.data == nullptr || comp.w == 0 || comp.h == 0 || comp.dx == 0 || comp.dy == 0 ||
        comp.prec < 1 || comp.prec > 31) {
      return Failure("JPEG 2000 image decoding failed");
    }
  }

  TDecodedImage result;
  result.Width = static_cast<int>(width);
  result.Height = static_cast<int>(height);
  result.Components = outComponents;
  result.HasAlpha = hasAlpha && outComponents == 4;
  try {
    result.Pixels.resize(result.RowBytes() * std::size_t(height));
  } catch (const std::bad_alloc&) {
    return Failure("JPEG 2000 image too large");
  }
  for (int channel = 0; channel < outComponents; ++channel) {
    PlaceComponent(*image, image->comps[order[channel]], channel, result);
  }
  if (image->color_space == OPJ_CLRSPC_SYCC && outComponents >= 3) ConvertSYCC(result);
  return result;
}

}  // namespace kestrel
