#pragma once
// Encoding of the page bitmap by output format.
#include "engine/graphics/raster_image.h"
#include "engine/output/byte_sink.h"
#include "engine/output/output_format.h"
#include "engine/output/output_options.h"
#include "engine/output/raster/page_picture.h"
#include "engine/syntax/bytes.h"

namespace kestrel {

// Whether `format` is produced from the page bitmap by EncodeRaster.
bool IsRasterFormat(TOutputFormat format);
// Whether pages in `format` keep a transparent background (PNG, TIFF but G4, WebP, PAM).
bool CarriesAlpha(TOutputFormat format, const TOutputOptions& options);
// The colours a page takes in `format`: those asked for, except that PGM is at least gray,
// PBM and G4-compressed TIFF are mono.
TColourMode PictureColour(TOutputFormat format, const TOutputOptions& options);

// The file bytes of `image` in BMP (0), JPEG (1, at jpegQuality), PNG (5, at the bitmap's
// resolution rounded half to even), GIF (6) or TIFF (7). Empty for every other format and
// when the encoder fails (for example a JPEG side above 65500 pixels); a real file is never
// empty.
TBytes EncodeRaster(const TRasterImage& image, TOutputFormat format, int jpegQuality = 75);
// The same for a page picture in any raster format, with the options' encoder choices. JPEG
// and GIF write gray and mono pages as gray colour pictures.
TBytes EncodeRaster(const TPagePicture& picture, TOutputFormat format, int jpegQuality,
                    const TOutputOptions& options);
// The same written to `out`: BMP, TIFF and the PNM family as the file is made, the others once
// it is. A picture made as it is read (a page drawn in bands) is read once, row after row.
// False when the encoder failed (the sink may hold part of a file then).
bool EncodeRaster(const TPagePicture& picture, TOutputFormat format, int jpegQuality, const TOutputOptions& options,
                  TByteSink& out);

}  // namespace kestrel
