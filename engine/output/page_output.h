#pragma once
// Renders one page of a document into the bytes of an output format.
#include <string>

#include "engine/output/output_format.h"
#include "engine/render/render_settings.h"
#include "engine/syntax/bytes.h"

namespace kestrel {

class TSmartPDFDocument;
class TPDFIndRef;
class TPDFFontCollection;

// Appends the page's image to `out`. `problem` receives a text when rendering stopped early
// or could not start (the bytes drawn so far are still encoded when there are any).
void RenderPageToStream(TSmartPDFDocument& doc, const TPDFIndRef& page, TOutputFormat format, std::string& problem,
                        TBytes& out, const TGDIPlusSettings& settings, int32_t jpegQuality, double dpi,
                        TPDFFontCollection* fonts = nullptr);

}  // namespace kestrel
