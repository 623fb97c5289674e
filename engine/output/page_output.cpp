#include "engine/output/page_output.h"

#include <algorithm>

#include "engine/access/document.h"
#include "engine/access/interactive/form_fields.h"
#include "engine/graphics/graphics_limits.h"
#include "engine/output/page_bands.h"
#include "engine/output/page_output_vector.h"
#include "engine/output/page_targets.h"
#include "engine/output/raster/raster_encoder.h"
#include "engine/render/renderer.h"

namespace kestrel {

namespace {

bool PrepareRenderer(TPDFRenderer& renderer, TSmartPDFDocument& doc, const TPDFIndRef& page,
                     const TGDIPlusSettings& settings, double dpi, TPDFFontCollection* fonts,
                     const TPageView& view, std::string& problem) {
  renderer.Settings = settings;
  renderer.Resolution = dpi;
  renderer.View = view;
  renderer.TargetKind = TRenderTargetKind::Bitmap;
  renderer.PageDictionary = doc.PageDictionary(&page);
  renderer.Resolver = [&doc](TPDFIndRef* ref) { return doc.ResolveForRender(ref); };
  renderer.Fonts = fonts;
  renderer.OptionalContent = &doc.OptionalContent();
  renderer.AcroForm = doc.Form() ? &doc.Form()->Dictionary() : nullptr;
  renderer.DocumentBudget = &doc.Budget();
  renderer.OutputIntents = doc.Catalogue() ? doc.Catalogue()->GetValue("OutputIntents", false) : nullptr;
  if (!renderer.PageDictionary) {
    problem = "the page object could not be read";
    return false;
  }
  renderer.Resolution = renderer.FittedResolution();
  return true;
}

}  // namespace

std::optional<TRasterImage> RenderPageImage(TSmartPDFDocument& doc, const TPDFIndRef& page, std::string& problem,
                                            const TGDIPlusSettings& settings, double dpi,
                                            TPDFFontCollection* fonts, const TPageView& view,
                                            TRgbPixel background) {
  problem.clear();
  TPDFRenderer renderer;
  if (!PrepareRenderer(renderer, doc, page, settings, dpi, fonts, view, problem)) return std::nullopt;
  std::optional<TRasterImage> bitmap;
  RenderPageBitmap(renderer, bitmap, background);
  problem = renderer.ErrorText();
  return bitmap;
}

void RenderPageInBands(TSmartPDFDocument& doc, const TPDFIndRef& page, TOutputFormat format, int bandRows,
                       std::string& problem, TByteSink& out, const TGDIPlusSettings& settings, int32_t jpegQuality,
                       double dpi, TPDFFontCollection* fonts, const TPageView& view, const TOutputOptions& options) {
  problem.clear();
  TPDFRenderer renderer;
  if (!PrepareRenderer(renderer, doc, page, settings, dpi, fonts, view, problem)) return;
  const TPageGeometry g = renderer.PageGeometry();
  auto prepare = [&](TPDFRenderer& band) {
    std::string unused;  // the page was read above
    return PrepareRenderer(band, doc, page, settings, dpi, fonts, view, unused);
  };
  EncodePageInBands(prepare, g.PixelWidth, g.PixelHeight, bandRows, renderer.Resolution, format, jpegQuality, options,
                    out, problem);
}

void RenderPageInBands(TSmartPDFDocument& doc, const TPDFIndRef& page, TOutputFormat format, int bandRows,
                       std::string& problem, TBytes& out, const TGDIPlusSettings& settings, int32_t jpegQuality,
                       double dpi, TPDFFontCollection* fonts, const TPageView& view, const TOutputOptions& options) {
  TBytesSink sink(out);
  RenderPageInBands(doc, page, format, bandRows, problem, sink, settings, jpegQuality, dpi, fonts, view, options);
}

void RenderPageToStream(TSmartPDFDocument& doc, const TPDFIndRef& page, TOutputFormat format,
                        std::string& problem, TByteSink& out, const TGDIPlusSettings& settings,
                        int32_t jpegQuality, double dpi, TPDFFontCollection* fonts, const TPageView& view,
                        const TOutputOptions& options) {
  problem.clear();
  const bool vector = format == kFormatWMF || format == kFormatEMF || format == kFormatEPS ||
                      format == kFormatEMFPlus || format == kFormatSVG;
  if (!vector && !IsRasterFormat(format)) {
    problem = "output format " + std::to_string(static_cast<int>(format)) + " is not available";
    return;
  }
  if (vector) {
    TPDFRenderer renderer;
    if (!PrepareRenderer(renderer, doc, page, settings, dpi, fonts, view, problem)) return;
    // Metafiles and EPS take transparency they cannot draw from the page drawn as pixels (with
    // a font cache of its own: it is drawn in the middle of the other drawing).
    std::optional<TRasterImage> picture;
    bool pictureTried = false;
    if (format == kFormatWMF || format == kFormatEMF || format == kFormatEMFPlus ||
        format == kFormatEPS) {
      renderer.PagePicture = [&]() -> const TRasterImage* {
        if (!pictureTried) {
          pictureTried = true;
          std::string ignored;  // the page's problems are the vector drawing's too
          picture = RenderPageImage(doc, page, ignored, settings, dpi, nullptr, view);
        }
        return picture ? &*picture : nullptr;
      };
    }
    TBytes bytes;
    if (format == kFormatEPS) {
      RenderEPSPage(renderer, bytes, problem);
    } else if (format == kFormatEMFPlus) {
      RenderEmfPlusPage(renderer, bytes, problem);
    } else if (format == kFormatSVG) {
      RenderSVGPage(renderer, options, bytes, problem);
    } else {
      RenderMetafilePage(renderer, format, bytes, problem);
    }
    if (!bytes.empty()) out.Write(bytes);
    return;
  }
  std::string whyNotInBands;
  {
    // A page past the pixel limit is drawn in bands, each straight into the encoder.
    TPDFRenderer renderer;
    if (!PrepareRenderer(renderer, doc, page, settings, dpi, fonts, view, problem)) return;
    const TPageGeometry g = renderer.PageGeometry();
    if (DrawsInBands(g.PixelWidth, g.PixelHeight, format, options)) {
      const auto rows = static_cast<int>(std::max<std::int64_t>(1, limits::kMaxBandPixels / g.PixelWidth));
      RenderPageInBands(doc, page, format, rows, problem, out, settings, jpegQuality, dpi, fonts, view, options);
      return;
    }
    whyNotInBands = WhyNotInBands(g.PixelWidth, g.PixelHeight, format, options);
  }
  // A refused page (a bitmap past the pixel limit) yields its reason and no bytes; content
  // errors are reported, and what was drawn before them is still encoded.
  std::optional<TRasterImage> bitmap = RenderPageImage(doc, page, problem, settings, dpi, fonts, view);
  if (!bitmap) {
    problem += whyNotInBands;
    return;
  }
  // A transparent background is found by drawing the page a second time, on black: what
  // shows the background differs between the two.
  std::optional<TRasterImage> onBlack;
  if (options.Transparent && CarriesAlpha(format, options)) {
    std::string again;  // the same problems as the first drawing
    onBlack = RenderPageImage(doc, page, again, settings, dpi, fonts, view, 0x000000);
  }
  const TPagePicture picture(std::move(*bitmap), onBlack ? &*onBlack : nullptr,
                             PictureColour(format, options));
  onBlack.reset();
  if (!EncodeRaster(picture, format, jpegQuality, options, out)) {
    out.Discard();
    if (!problem.empty()) problem += "\r\n";
    problem += "the page bitmap could not be encoded";
  }
}

void RenderPageToStream(TSmartPDFDocument& doc, const TPDFIndRef& page, TOutputFormat format, std::string& problem,
                        TBytes& out, const TGDIPlusSettings& settings, int32_t jpegQuality, double dpi,
                        TPDFFontCollection* fonts, const TPageView& view, const TOutputOptions& options) {
  TBytesSink sink(out);
  RenderPageToStream(doc, page, format, problem, sink, settings, jpegQuality, dpi, fonts, view, options);
}

}  // namespace kestrel
