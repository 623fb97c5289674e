#include "engine/output/raster/raster_encoder.h"

#include "engine/images/dct_encoder.h"
#include "engine/output/gif/gif_writer.h"
#include "engine/output/page_output.h"
#include "engine/output/raster/bmp_writer.h"
#include "engine/output/raster/png_writer.h"
#include "engine/output/raster/pnm_writer.h"
#include "engine/output/raster/tiff_writer.h"
#include "engine/output/raster/webp_writer.h"

namespace kestrel {

bool IsRasterFormat(TOutputFormat format) {
  switch (format) {
    case kFormatBMP:
    case kFormatJPEG:
    case kFormatPNG:
    case kFormatGIF:
    case kFormatTIFF:
    case kFormatWebP:
    case kFormatPPM:
    case kFormatPGM:
    case kFormatPBM:
    case kFormatPAM:
      return true;
    default:
      return false;
  }
}

bool CarriesAlpha(TOutputFormat format, const TOutputOptions& options) {
  if (format == kFormatTIFF) return options.TIFFCompression != TTIFFCompression::kG4;
  return format == kFormatPNG || format == kFormatWebP || format == kFormatPAM;
}

TColourMode PictureColour(TOutputFormat format, const TOutputOptions& options) {
  if (format == kFormatPBM) return TColourMode::kMono;
  if (format == kFormatTIFF && options.TIFFCompression == TTIFFCompression::kG4)
    return TColourMode::kMono;
  if (format == kFormatPGM && options.Colour == TColourMode::kRGB) return TColourMode::kGray;
  return options.Colour;
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

bool EncodeRaster(const TPagePicture& picture, TOutputFormat format, int jpegQuality, const TOutputOptions& options,
                  TByteSink& out) {
  TBytes bytes;
  switch (format) {
    case kFormatBMP:
      return EncodeBMP(picture, out);
    case kFormatTIFF: {
      TTIFFOptions tiff;
      tiff.Compression = options.TIFFCompression;
      return EncodeTIFF(picture, tiff, out);
    }
    case kFormatJPEG:
      bytes = EncodeJPEG(picture.View(), jpegQuality, picture.Dpi());
      break;
    case kFormatPNG:
      bytes = EncodePNG(picture);
      break;
    case kFormatGIF: {
      TPDFGIFWriter writer;
      writer.SetFrom(picture.View());
      bytes = writer.WriteTo();
      break;
    }
    case kFormatWebP:
      bytes = EncodeWebP(picture, options.WebPQuality);
      break;
    case kFormatPPM:
      return EncodePNM(picture, TPNMKind::kPPM, out);
    case kFormatPGM:
      return EncodePNM(picture, TPNMKind::kPGM, out);
    case kFormatPBM:
      return EncodePNM(picture, TPNMKind::kPBM, out);
    case kFormatPAM:
      return EncodePNM(picture, TPNMKind::kPAM, out);
    default:
      break;
  }
  return !bytes.empty() && out.Write(bytes);
}

TBytes EncodeRaster(const TPagePicture& picture, TOutputFormat format, int jpegQuality,
                    const TOutputOptions& options) {
  TBytes bytes;
  TBytesSink sink(bytes);
  if (!EncodeRaster(picture, format, jpegQuality, options, sink)) return {};
  return bytes;
}

}  // namespace kestrel
