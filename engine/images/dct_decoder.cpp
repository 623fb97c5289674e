#include "engine/images/dct_decoder.h"

#include <cstring>
#include <new>

#include "engine/images/dct_libjpeg.h"

namespace kestrel {

namespace {

struct TDecodeState {
  jpeg_decompress_struct Info;
  dct::TErrorManager Error;
  jpeg_progress_mgr Progress;
  int MaxScans = 0;
  TByteView Data;
  const TDCTDecodeOptions* Options = nullptr;
  TDecodedImage* Image = nullptr;
  bool TooLarge = false;
  bool AdobeMarker = false;
};

void Progress(j_common_ptr cinfo) {
  // A progressive file made of thousands of tiny scans would take minutes; stop it.
  auto* state = reinterpret_cast<TDecodeState*>(cinfo->client_data);
  if (cinfo->is_decompressor &&
      reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > state->MaxScans) {
    dct::Fail(cinfo);
  }
}

// Everything that may longjmp happens here; locals are trivially destructible and all state
// lives in *s, which outlives the jump.
bool HeaderAndColour(TDecodeState* s) {
  if (setjmp(s->Error.Jump)) return false;
  jpeg_create_decompress(&s->Info);
  s->Info.client_data = s;
  s->Progress.progress_monitor = Progress;
  s->Info.progress = &s->Progress;
  // Bounds libjpeg's own buffers (the whole-image coefficient array of progressive files).
  s->Info.mem->max_memory_to_use = static_cast<long>(s->Options->Limits.MaxBytes * 2);
  jpeg_mem_src(&s->Info, reinterpret_cast<const unsigned char*>(s->Data.data()),
               static_cast<unsigned long>(s->Data.size()));
  jpeg_read_header(&s->Info, TRUE);
  s->AdobeMarker = s->Info.saw_Adobe_marker;

  switch (s->Info.jpeg_color_space) {
    case JCS_GRAYSCALE:
      s->Info.out_color_space = JCS_GRAYSCALE;
      break;
    case JCS_CMYK:
    case JCS_YCCK:
      s->Info.out_color_space = JCS_CMYK;
      break;
    case JCS_UNKNOWN:
      // Components without a known colour transform are passed through untouched.
      if (s->Info.num_components != 1 && s->Info.num_components != 3 &&
          s->Info.num_components != 4) {
        return false;
      }
      s->Info.out_color_space = JCS_UNKNOWN;
      break;
    default:
      s->Info.out_color_space = JCS_RGB;
      break;
  }
  const int denominator = s->Options->ScaleDenominator;
  if (denominator == 2 || denominator == 4 || denominator == 8) {
    s->Info.scale_num = 1;
    s->Info.scale_denom = static_cast<unsigned>(denominator);
  }
  jpeg_calc_output_dimensions(&s->Info);
  return true;
}

bool Scanlines(TDecodeState* s) {
  if (setjmp(s->Error.Jump)) return false;
  jpeg_start_decompress(&s->Info);
  TDecodedImage& image = *s->Image;
  // The output size can only equal the one checked before, but a mismatch must never write
  // outside the buffer.
  if (int(s->Info.output_width) != image.Width || int(s->Info.output_height) != image.Height ||
      s->Info.output_components != image.Components) {
    return false;
  }
  const std::size_t rowBytes = image.RowBytes();
  while (s->Info.output_scanline < s->Info.output_height) {
    JSAMPROW row =
        reinterpret_cast<JSAMPROW>(image.Pixels.data()) + rowBytes * s->Info.output_scanline;
    if (jpeg_read_scanlines(&s->Info, &row, 1) != 1) return false;
  }
  return true;
}

struct TDecompressDestroyer {
  jpeg_decompress_struct* Info;
  ~TDecompressDestroyer() { jpeg_destroy_decompress(Info); }
};

}  // namespace

TDecodedImage DecodeDCT(TByteView jpeg, const TDCTDecodeOptions& options) {
  TDecodedImage image;
  if (jpeg.empty()) {
    image.Error = "empty JPEG data";
    return image;
  }
  TDecodeState s;
  std::memset(&s.Info, 0, sizeof s.Info);
  std::memset(&s.Progress, 0, sizeof s.Progress);
  s.Info.err = dct::InstallErrorManager(s.Error);
  s.MaxScans = options.Limits.MaxJpegScans;
  s.Data = jpeg;
  s.Options = &options;
  s.Image = &image;
  TDecompressDestroyer destroyer{&s.Info};

  if (!HeaderAndColour(&s)) {
    image.Error = "JPEG header could not be read";
    return image;
  }
  const int components = s.Info.out_color_components;
  if (!DecodedSizeFits(s.Info.output_width, s.Info.output_height, components,
                       options.Limits.MaxBytes)) {
    image.Error = "JPEG image too large";
    return image;
  }
  image.Width = static_cast<int>(s.Info.output_width);
  image.Height = static_cast<int>(s.Info.output_height);
  image.Components = components;
  try {
    image.Pixels.resize(image.RowBytes() * std::size_t(image.Height));
  } catch (const std::bad_alloc&) {
    image = TDecodedImage{};
    image.Error = "out of memory for JPEG image";
    return image;
  }
  if (!Scanlines(&s)) {
    image = TDecodedImage{};
    image.Error = "JPEG image decoding failed";
    return image;
  }
  if (components == 4 && !options.KeepCmyk) {
    for (char& c : image.Pixels) c = static_cast<char>(255 - static_cast<unsigned char>(c));
  }
  return image;
}

bool DCTHasAdobeMarker(TByteView jpeg) {
  if (jpeg.empty()) return false;
  TDCTDecodeOptions options;
  TDecodedImage unused;
  TDecodeState s;
  std::memset(&s.Info, 0, sizeof s.Info);
  std::memset(&s.Progress, 0, sizeof s.Progress);
  s.Info.err = dct::InstallErrorManager(s.Error);
  s.MaxScans = options.Limits.MaxJpegScans;
  s.Data = jpeg;
  s.Options = &options;
  s.Image = &unused;
  TDecompressDestroyer destroyer{&s.Info};
  return HeaderAndColour(&s) && s.AdobeMarker;
}

}  // namespace kestrel
