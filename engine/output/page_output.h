#pragma once
// Renders one page of a document into the bytes of an output format.
#include <string>

#include "engine/render/render_settings.h"
#include "engine/syntax/bytes.h"

namespace kestrel {

class TSmartPDFDocument;
class TPDFIndRef;
class TPDFFontCollection;

enum TOutputFormat : int32_t {
  kFormatBMP = 0,
  kFormatJPEG = 1,
  kFormatWMF = 2,
  kFormatEMF = 3,
  kFormatEPS = 4,
  kFormatPNG = 5,
  kFormatGIF = 6,
  kFormatTIFF = 7,
  kFormatEMFPlus = 8,
};

// Appends the page's image to `out`. `problem` receives a text when rendering stopped early
// or could not start (the bytes drawn so far are still encoded when there are any).
void RenderPageToStream(TSmartPDFDocument& doc, const TPDFIndRef& page, int32_t format, std::string& problem,
                        TBytes& out, const TGDIPlusSettings& settings, int32_t jpegQuality, double dpi,
                        TPDFFontCollection* fonts = nullptr);

}  // namespace kestrel
