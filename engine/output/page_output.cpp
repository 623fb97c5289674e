#include "engine/output/page_output.h"

#include "engine/access/document.h"
#include "engine/access/interactive/form_fields.h"
#include "engine/output/page_output_vector.h"
#include "engine/output/page_targets.h"
#include "engine/output/raster/raster_encoder.h"
#include "engine/render/renderer.h"

namespace kestrel {

void RenderPageToStream(TSmartPDFDocument& doc, const TPDFIndRef& page, TOutputFormat format,
                        std::string& problem, TBytes& out, const TGDIPlusSettings& settings,
                        int32_t jpegQuality, double dpi, TPDFFontCollection* fonts) {
  problem.clear();
  const bool vector = format == kFormatWMF || format == kFormatEMF || format == kFormatEPS ||
                      format == kFormatEMFPlus;
  if (!vector && !IsRasterFormat(format)) {
    problem = "output format " + std::to_string(static_cast<int>(format)) + " is not available";
    return;
  }
  TPDFRenderer renderer;
  renderer.Settings = settings;
  renderer.Resolution = dpi;
  renderer.TargetKind = TRenderTargetKind::Bitmap;
  renderer.PageDictionary = doc.PageDictionary(&page);
  renderer.Resolver = [&doc](TPDFIndRef* ref) { return doc.ResolveForRender(ref); };
  renderer.Fonts = fonts;
  renderer.OptionalContent = &doc.OptionalContent();
  renderer.AcroForm = doc.Form() ? &doc.Form()->Dictionary() : nullptr;
  if (!renderer.PageDictionary) {
    problem = "the page object could not be read";
    return;
  }
  if (vector) {
    if (format == kFormatEPS) {
      RenderEPSPage(renderer, out, problem);
    } else if (format == kFormatEMFPlus) {
      RenderEmfPlusPage(renderer, out, problem);
    } else {
      RenderMetafilePage(renderer, format, out, problem);
    }
    return;
  }
  // A refused page (a bitmap past the pixel limit) yields its reason and no bytes.
  std::optional<TRasterImage> bitmap;
  if (!RenderPageBitmap(renderer, bitmap)) {
    problem = renderer.ErrorText();
    return;
  }
  // Content errors are reported, and what was drawn before them is still encoded.
  problem = renderer.ErrorText();
  if (!bitmap) {
    problem = "the page bitmap is missing";
    return;
  }
  TBytes bytes = EncodeRaster(*bitmap, format, jpegQuality);
  if (bytes.empty()) {
    if (!problem.empty()) problem += "\r\n";
    problem += "the page bitmap could not be encoded";
    return;
  }
  out += bytes;
}

}  // namespace kestrel
