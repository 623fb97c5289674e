#include "engine/output/page_output.h"

#include "engine/access/document.h"
#include "engine/images/dct_encoder.h"
#include "engine/output/bmp_writer.h"
#include "engine/output/png_writer.h"
#include "engine/output/tiff_writer.h"
#include "engine/render/renderer.h"

namespace kestrel {

namespace {

bool IsBitmapFormat(int32_t format) {
  return format == kFormatBMP || format == kFormatJPEG || format == kFormatPNG ||
         format == kFormatTIFF;
}

TBytes EncodePage(const TRasterImage& image, int32_t format, int32_t jpegQuality) {
  switch (format) {
    case kFormatBMP: return EncodeBMP(image);
    case kFormatJPEG: return EncodeJPEG(image, jpegQuality);
    case kFormatPNG: return EncodePNG(image);  // pHYs from the bitmap's resolution
    case kFormatTIFF: return EncodeTIFF(image);
    default: return {};
  }
}

}  // namespace

void RenderPageToStream(TSmartPDFDocument& doc, const TPDFIndRef& page, int32_t format,
                        std::string& problem, TBytes& out, const TGDIPlusSettings& settings,
                        int32_t jpegQuality, double dpi) {
  problem.clear();
  if (!IsBitmapFormat(format)) {
    problem = "output format " + std::to_string(format) + " is not available";
    return;
  }
  TPDFRenderer renderer;
  renderer.Settings = settings;
  renderer.Resolution = dpi;
  renderer.TargetKind = TRenderTargetKind::Bitmap;
  renderer.PageDictionary = doc.PageDictionary(&page);
  renderer.Resolver = [&doc](TPDFIndRef* ref) { return doc.ResolveForRender(ref); };
  if (!renderer.PageDictionary) {
    problem = "the page object could not be read";
    return;
  }
  // A refused page (a bitmap past the pixel limit) yields its reason and no bytes.
  if (!renderer.RenderPage()) {
    problem = renderer.ErrorText();
    return;
  }
  // Content errors are reported, and what was drawn before them is still encoded.
  problem = renderer.ErrorText();
  std::optional<TRasterImage> bitmap = renderer.TakeBitmap();
  if (!bitmap) {
    problem = "the page bitmap is missing";
    return;
  }
  TBytes bytes = EncodePage(*bitmap, format, jpegQuality);
  if (bytes.empty()) {
    if (!problem.empty()) problem += "\r\n";
    problem += "the page bitmap could not be encoded";
    return;
  }
  out += bytes;
}

}  // namespace kestrel
