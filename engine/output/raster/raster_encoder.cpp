#include "engine/output/raster/raster_encoder.h"

#include "engine/images/dct_encoder.h"
#include "engine/output/raster/bmp_writer.h"
#include "engine/output/gif/gif_writer.h"
#include "engine/output/page_output.h"
#include "engine/output/raster/png_writer.h"
#include "engine/output/raster/tiff_writer.h"

namespace kestrel {

bool IsRasterFormat(TOutputFormat format) {
  return format == kFormatBMP || format == kFormatJPEG || format == kFormatPNG ||
         format == kFormatGIF || format == kFormatTIFF;
}

TBytes EncodeRaster(const TRasterImage& image, TOutputFormat format, int jpegQuality) {
  switch (format) {
    case kFormatBMP:
      return EncodeBMP(image);
    case kFormatJPEG:
      return EncodeJPEG(image, jpegQuality);
    case kFormatPNG:
      return EncodePNG(image);
    case kFormatGIF:
      return EncodeGIF(image);
    case kFormatTIFF:
      return EncodeTIFF(image);
    default:
      return {};
  }
}

}  // namespace kestrel
