#include "engine/output/raster/tiff_writer.h"

#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

namespace kestrel {

namespace {

// A growable file in memory behind libtiff's client procedures.
struct TMemoryFile {
  TBytes Data;
  std::uint64_t Pos = 0;
};

TMemoryFile& FileOf(thandle_t h) { return *static_cast<TMemoryFile*>(h); }

tmsize_t ReadProc(thandle_t h, void* buf, tmsize_t size) {
  TMemoryFile& f = FileOf(h);
  if (size <= 0 || f.Pos >= f.Data.size()) return 0;
  const std::uint64_t n = std::min<std::uint64_t>(std::uint64_t(size), f.Data.size() - f.Pos);
  std::memcpy(buf, f.Data.data() + f.Pos, n);
  f.Pos += n;
  return static_cast<tmsize_t>(n);
}

tmsize_t WriteProc(thandle_t h, void* buf, tmsize_t size) {
  TMemoryFile& f = FileOf(h);
  if (size < 0) return -1;
  const std::uint64_t end = f.Pos + std::uint64_t(size);
  try {
    if (end > f.Data.size()) f.Data.resize(end);
  } catch (const std::bad_alloc&) {
    return -1;  // libtiff reports the failed write
  }
  std::memcpy(f.Data.data() + f.Pos, buf, static_cast<std::size_t>(size));
  f.Pos = end;
  return size;
}

toff_t SeekProc(thandle_t h, toff_t offset, int whence) {
  TMemoryFile& f = FileOf(h);
  std::uint64_t base = 0;
  if (whence == SEEK_CUR)
    base = f.Pos;
  else if (whence == SEEK_END)
    base = f.Data.size();
  // Seeking past the end is allowed; the gap is filled by the next write.
  f.Pos = base + offset;
  return f.Pos;
}

int CloseProc(thandle_t) { return 0; }
toff_t SizeProc(thandle_t h) { return FileOf(h).Data.size(); }
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

TBytes EncodeTIFF(const TPixelView& pixels, double dpi, const TTIFFOptions& options) {
  if (pixels.Data == nullptr || pixels.Width <= 0 || pixels.Height <= 0) return {};
  std::unique_ptr<TIFFOpenOptions, TOptionsDeleter> opts(TIFFOpenOptionsAlloc());
  if (!opts) return {};
  TIFFOpenOptionsSetErrorHandlerExtR(opts.get(), QuietHandler, nullptr);
  TIFFOpenOptionsSetWarningHandlerExtR(opts.get(), QuietHandler, nullptr);

  TMemoryFile file;
  std::unique_ptr<TIFF, TTIFFCloser> tif(TIFFClientOpenExt("page", "w", &file, ReadProc, WriteProc,
                                                           SeekProc, CloseProc, SizeProc, MapProc,
                                                           UnmapProc, opts.get()));
  if (!tif) return {};
  TIFF* t = tif.get();
  const std::size_t rowBytes = std::size_t(pixels.Width) * 3;
  // Strips of about 256 KiB keep the compressor's window busy without large buffers.
  const std::uint32_t rowsPerStrip =
      static_cast<std::uint32_t>(std::max<std::size_t>(1, (256 * 1024) / rowBytes));

  bool ok = TIFFSetField(t, TIFFTAG_IMAGEWIDTH, std::uint32_t(pixels.Width)) &&
            TIFFSetField(t, TIFFTAG_IMAGELENGTH, std::uint32_t(pixels.Height)) &&
            TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8) &&
            TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3) &&
            TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB) &&
            TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
            TIFFSetField(t, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT) &&
            TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
  switch (options.Compression) {
    case TTIFFCompression::kNone:
      ok = ok && TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
      break;
    case TTIFFCompression::kLZW:
      ok = ok && TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_LZW) &&
           TIFFSetField(t, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
      break;
    case TTIFFCompression::kDeflate:
      ok = ok && TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE) &&
           TIFFSetField(t, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL) &&
           TIFFSetField(t, TIFFTAG_ZIPQUALITY, std::clamp(options.DeflateLevel, 1, 9));
      break;
  }
  if (ok && dpi > 0 && dpi < 1e6) {
    ok = TIFFSetField(t, TIFFTAG_XRESOLUTION, float(dpi)) &&
         TIFFSetField(t, TIFFTAG_YRESOLUTION, float(dpi)) &&
         TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
  }
  if (!ok) return {};

  // libtiff may change the row in place (predictor), so each row is rebuilt.
  std::vector<std::uint8_t> row(rowBytes);
  for (int y = 0; y < pixels.Height; ++y) {
    RowToRGB(pixels, y, row.data());
    if (TIFFWriteScanline(t, row.data(), static_cast<std::uint32_t>(y), 0) < 0) return {};
  }
  if (!TIFFWriteDirectory(t)) return {};
  tif.reset();  // TIFFClose flushes; it must run before the bytes are taken
  return std::move(file.Data);
}

TBytes EncodeTIFF(const TRasterImage& image, const TTIFFOptions& options) {
  return EncodeTIFF(image.View(), image.Dpi(), options);
}

}  // namespace kestrel
