#include "engine/output/raster/tiff_writer.h"

#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace kestrel {

namespace {

// libtiff's client procedures on a byte sink. A new file is only written: nothing is read.
TByteSink& SinkOf(thandle_t h) { return *static_cast<TByteSink*>(h); }

tmsize_t ReadProc(thandle_t, void*, tmsize_t) { return 0; }

tmsize_t WriteProc(thandle_t h, void* buf, tmsize_t size) {
  if (size < 0) return -1;
  try {
    if (!SinkOf(h).Write({static_cast<const char*>(buf), static_cast<std::size_t>(size)})) return -1;
  } catch (const std::bad_alloc&) {
    return -1;  // libtiff reports the failed write
  }
  return size;
}

toff_t SeekProc(thandle_t h, toff_t offset, int whence) {
  TByteSink& sink = SinkOf(h);
  std::uint64_t base = 0;
  if (whence == SEEK_CUR)
    base = sink.Position();
  else if (whence == SEEK_END)
    base = sink.Size();
  // Seeking past the end is allowed; the gap is filled by the next write.
  if (!sink.Seek(base + offset)) return static_cast<toff_t>(-1);
  return sink.Position();
}

int CloseProc(thandle_t) { return 0; }
toff_t SizeProc(thandle_t h) { return SinkOf(h).Size(); }
int MapProc(thandle_t, void**, toff_t*) { return 0; }
void UnmapProc(thandle_t, void*, toff_t) {}

// libtiff's messages are not shown; a failure shows up as an empty result.
int QuietHandler(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct TOptionsDeleter {
  void operator()(TIFFOpenOptions* o) const { TIFFOpenOptionsFree(o); }
};
struct TTIFFCloser {
  void operator()(TIFF* t) const { TIFFClose(t); }
};

}  // namespace

namespace {

// What a TIFF row holds: samples a pixel and bits a sample; `fill` writes row y.
struct TTIFFRows {
  int Width = 0;
  int Height = 0;
  int Samples = 3;
  int Bits = 8;
  std::uint16_t Photometric = PHOTOMETRIC_RGB;
  bool Alpha = false;  // the last sample is unassociated alpha
  std::function<void(int y, std::uint8_t* row)> Fill;
};

bool WriteTIFF(const TTIFFRows& rows, double dpi, const TTIFFOptions& options, TByteSink& out) {
  if (rows.Width <= 0 || rows.Height <= 0) return false;
  std::unique_ptr<TIFFOpenOptions, TOptionsDeleter> opts(TIFFOpenOptionsAlloc());
  if (!opts) return false;
  TIFFOpenOptionsSetErrorHandlerExtR(opts.get(), QuietHandler, nullptr);
  TIFFOpenOptionsSetWarningHandlerExtR(opts.get(), QuietHandler, nullptr);

  std::unique_ptr<TIFF, TTIFFCloser> tif(TIFFClientOpenExt("page", "w", &out, ReadProc, WriteProc,
                                                           SeekProc, CloseProc, SizeProc, MapProc,
                                                           UnmapProc, opts.get()));
  if (!tif) return false;
  TIFF* t = tif.get();
  const std::size_t rowBytes = (std::size_t(rows.Width) * rows.Samples * rows.Bits + 7) / 8;
  // Strips of about 256 KiB keep the compressor's window busy without large buffers; G4
  // pages are one strip, as fax readers expect.
  const std::uint32_t rowsPerStrip =
      options.Compression == TTIFFCompression::kG4
          ? std::uint32_t(rows.Height)
          : static_cast<std::uint32_t>(std::max<std::size_t>(1, (256 * 1024) / rowBytes));

  bool ok = TIFFSetField(t, TIFFTAG_IMAGEWIDTH, std::uint32_t(rows.Width)) &&
            TIFFSetField(t, TIFFTAG_IMAGELENGTH, std::uint32_t(rows.Height)) &&
            TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, rows.Bits) &&
            TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, rows.Samples) &&
            TIFFSetField(t, TIFFTAG_PHOTOMETRIC, rows.Photometric) &&
            TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
            TIFFSetField(t, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT) &&
            TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
  if (ok && rows.Alpha) {
    const std::uint16_t extra[] = {EXTRASAMPLE_UNASSALPHA};
    ok = TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, extra);
  }
  // The predictor works on whole bytes only.
  const bool predictor = rows.Bits == 8;
  switch (options.Compression) {
    case TTIFFCompression::kNone:
      ok = ok && TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
      break;
    case TTIFFCompression::kLZW:
      ok = ok && TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_LZW) &&
           (!predictor || TIFFSetField(t, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL));
      break;
    case TTIFFCompression::kDeflate:
      ok = ok && TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE) &&
           (!predictor || TIFFSetField(t, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL)) &&
           TIFFSetField(t, TIFFTAG_ZIPQUALITY, std::clamp(options.DeflateLevel, 1, 9));
      break;
    case TTIFFCompression::kPackBits:
      ok = ok && TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_PACKBITS);
      break;
    case TTIFFCompression::kG4:
      ok = ok && rows.Bits == 1 && rows.Samples == 1 &&
           TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
      break;
  }
  if (ok && dpi > 0 && dpi < 1e6) {
    ok = TIFFSetField(t, TIFFTAG_XRESOLUTION, float(dpi)) &&
         TIFFSetField(t, TIFFTAG_YRESOLUTION, float(dpi)) &&
         TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
  }
  if (!ok) return false;

  // libtiff may change the row in place (predictor), so each row is rebuilt.
  std::vector<std::uint8_t> row(rowBytes);
  for (int y = 0; y < rows.Height; ++y) {
    rows.Fill(y, row.data());
    if (TIFFWriteScanline(t, row.data(), static_cast<std::uint32_t>(y), 0) < 0) return false;
  }
  return TIFFWriteDirectory(t) != 0;
}

}  // namespace

bool EncodeTIFF(const TPixelView& pixels, double dpi, const TTIFFOptions& options, TByteSink& out) {
  if (pixels.Data == nullptr) return false;
  TTIFFRows rows;
  rows.Width = pixels.Width;
  rows.Height = pixels.Height;
  rows.Fill = [&pixels](int y, std::uint8_t* row) { RowToRGB(pixels, y, row); };
  return WriteTIFF(rows, dpi, options, out);
}

bool EncodeTIFF(const TPagePicture& picture, const TTIFFOptions& options, TByteSink& out) {
  const TPixelView view = picture.View();
  const TPixelView alpha = picture.AlphaView();
  if (view.Data == nullptr) return false;
  TTIFFRows rows;
  rows.Width = view.Width;
  rows.Height = view.Height;
  const bool gray = picture.Colour() != TColourMode::kRGB;
  if (picture.Colour() == TColourMode::kMono && !picture.HasAlpha()) {
    // Fax convention: 0 is white, 1 black.
    rows.Samples = 1;
    rows.Bits = 1;
    rows.Photometric = PHOTOMETRIC_MINISWHITE;
    rows.Fill = [&view](int y, std::uint8_t* row) {
      const std::uint8_t* in = view.Row(y);
      std::fill_n(row, (std::size_t(view.Width) + 7) / 8, 0);
      for (int x = 0; x < view.Width; ++x)
        if (in[x] < 128) row[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    };
    return WriteTIFF(rows, picture.Dpi(), options, out);
  }
  rows.Samples = (gray ? 1 : 3) + (alpha.Data ? 1 : 0);
  rows.Photometric = gray ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB;
  rows.Alpha = alpha.Data != nullptr;
  std::vector<std::uint8_t> rgb(std::size_t(view.Width) * 3);
  rows.Fill = [&](int y, std::uint8_t* row) {
    const std::uint8_t* a = alpha.Data ? alpha.Row(y) : nullptr;
    if (gray && !a) {
      std::copy_n(view.Row(y), view.Width, row);
      return;
    }
    RowToRGB(view, y, rgb.data());
    for (int x = 0; x < view.Width; ++x) {
      if (gray) *row++ = rgb[std::size_t(x) * 3];
      else row = std::copy_n(rgb.data() + std::size_t(x) * 3, 3, row);
      if (a) *row++ = a[x];
    }
  };
  return WriteTIFF(rows, picture.Dpi(), options, out);
}

TBytes EncodeTIFF(const TPixelView& pixels, double dpi, const TTIFFOptions& options) {
  TBytes bytes;
  TBytesSink sink(bytes);
  if (!EncodeTIFF(pixels, dpi, options, sink)) return {};
  return bytes;
}

TBytes EncodeTIFF(const TRasterImage& image, const TTIFFOptions& options) {
  return EncodeTIFF(image.View(), image.Dpi(), options);
}

TBytes EncodeTIFF(const TPagePicture& picture, const TTIFFOptions& options) {
  TBytes bytes;
  TBytesSink sink(bytes);
  if (!EncodeTIFF(picture, options, sink)) return {};
  return bytes;
}

}  // namespace kestrel
