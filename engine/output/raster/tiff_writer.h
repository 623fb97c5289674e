#pragma once
// TIFF output through libtiff, written to memory: one image, 8-bit RGB or gray (with alpha
// when the page has it) or 1-bit for mono pages.
#include "engine/graphics/raster_image.h"
#include "engine/output/byte_sink.h"
#include "engine/output/output_options.h"
#include "engine/output/raster/page_picture.h"
#include "engine/syntax/bytes.h"

namespace kestrel {

struct TTIFFOptions {
  // Deflate at level 1 with the horizontal differencing predictor: on A4 pages at 96 dpi it is
  // as small as LZW with the predictor (text pages 9% smaller) and a little faster; higher
  // levels cost about twice the time for a few percent.
  TTIFFCompression Compression = TTIFFCompression::kDeflate;
  int DeflateLevel = 1;  // 1-9
};

// Resolution tags carry `dpi` (pixels per inch) when it is positive. Empty on any libtiff error.
TBytes EncodeTIFF(const TPixelView& pixels, double dpi, const TTIFFOptions& options = {});
TBytes EncodeTIFF(const TRasterImage& image, const TTIFFOptions& options = {});
// Mono pages without alpha are 1 bit a pixel (0 white); G4 takes only those and is empty
// for any other picture.
TBytes EncodeTIFF(const TPagePicture& picture, const TTIFFOptions& options = {});
// The same written to `out` strip by strip as the rows are read; false on any libtiff error
// (the sink may hold part of a file then).
bool EncodeTIFF(const TPixelView& pixels, double dpi, const TTIFFOptions& options, TByteSink& out);
bool EncodeTIFF(const TPagePicture& picture, const TTIFFOptions& options, TByteSink& out);

}  // namespace kestrel
