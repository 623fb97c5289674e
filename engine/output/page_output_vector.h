#pragma once
// The page outputs that are not encoded from the page bitmap: metafiles, EPS and SVG. Each renders
// the page with the renderer prepared by RenderPageToStream (page, resolution, settings and
// resolver set) and appends the file's bytes to `out`. `problem` receives the renderer's error
// text, or why nothing could be written; false when nothing was written.
#include <cstdint>
#include <string>

#include "engine/output/page_output.h"
#include "engine/syntax/bytes.h"

namespace kestrel {

class TPDFRenderer;

// Formats 2 (placeable Windows metafile) and 3 (enhanced metafile).
bool RenderMetafilePage(TPDFRenderer& renderer, TOutputFormat format, TBytes& out,
                        std::string& problem);
// Format 8: an enhanced metafile of EMF+ records only.
bool RenderEmfPlusPage(TPDFRenderer& renderer, TBytes& out, std::string& problem);
// Format 9: SVG 1.1, white or (options.Transparent) transparent where nothing is drawn.
bool RenderSVGPage(TPDFRenderer& renderer, const TOutputOptions& options, TBytes& out,
                   std::string& problem);
// Format 4: Encapsulated PostScript.
bool RenderEPSPage(TPDFRenderer& renderer, TBytes& out, std::string& problem);

}  // namespace kestrel
