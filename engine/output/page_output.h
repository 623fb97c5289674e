#pragma once
// Renders one page of a document into the bytes of an output format.
#include <optional>
#include <string>

#include "engine/graphics/raster_image.h"
#include "engine/output/byte_sink.h"
#include "engine/output/output_format.h"
#include "engine/output/output_options.h"
#include "engine/render/render_settings.h"
#include "engine/syntax/bytes.h"

namespace kestrel {

class TSmartPDFDocument;
class TPDFIndRef;
class TPDFFontCollection;

// Writes the page's file to `out` (nothing when there is none). `problem` receives a text when
// rendering stopped early or could not start (the bytes drawn so far are still encoded when
// there are any).
void RenderPageToStream(TSmartPDFDocument& doc, const TPDFIndRef& page, TOutputFormat format, std::string& problem,
                        TByteSink& out, const TGDIPlusSettings& settings, int32_t jpegQuality, double dpi,
                        TPDFFontCollection* fonts = nullptr, const TPageView& view = {},
                        const TOutputOptions& options = {});
// The same appended to a string.
void RenderPageToStream(TSmartPDFDocument& doc, const TPDFIndRef& page, TOutputFormat format, std::string& problem,
                        TBytes& out, const TGDIPlusSettings& settings, int32_t jpegQuality, double dpi,
                        TPDFFontCollection* fonts = nullptr, const TPageView& view = {},
                        const TOutputOptions& options = {});

// The same for BMP, JPEG, PNG and TIFF colour pages, drawn in horizontal bands of `bandRows`
// rows, each read by the encoder before the next is drawn: how RenderPageToStream draws a page
// past the pixel limit. The file is the one the whole page drawn at once would give.
void RenderPageInBands(TSmartPDFDocument& doc, const TPDFIndRef& page, TOutputFormat format, int bandRows,
                       std::string& problem, TByteSink& out, const TGDIPlusSettings& settings, int32_t jpegQuality,
                       double dpi, TPDFFontCollection* fonts = nullptr, const TPageView& view = {},
                       const TOutputOptions& options = {});
void RenderPageInBands(TSmartPDFDocument& doc, const TPDFIndRef& page, TOutputFormat format, int bandRows,
                       std::string& problem, TBytes& out, const TGDIPlusSettings& settings, int32_t jpegQuality,
                       double dpi, TPDFFontCollection* fonts = nullptr, const TPageView& view = {},
                       const TOutputOptions& options = {});

// The page drawn on a new bitmap, white or `background`, for callers that want pixels rather than a file. Empty
// when no bitmap can be made, with `problem` saying why; a content error still gives what was
// drawn before it, with `problem` naming the error.
std::optional<TRasterImage> RenderPageImage(TSmartPDFDocument& doc, const TPDFIndRef& page, std::string& problem,
                                            const TGDIPlusSettings& settings, double dpi,
                                            TPDFFontCollection* fonts = nullptr, const TPageView& view = {},
                                            TRgbPixel background = 0xFFFFFF);

}  // namespace kestrel
