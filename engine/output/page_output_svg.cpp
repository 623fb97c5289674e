#include <string>

#include "engine/graphics/graphics_limits.h"
#include "engine/output/page_output_vector.h"
#include "engine/output/svg/svg_canvas.h"
#include "engine/render/renderer.h"

namespace kestrel {

bool RenderSVGPage(TPDFRenderer& renderer, const TOutputOptions& options, TBytes& out,
                   std::string& problem) {
  // Drawing is kept in the renderer's device pixels, at the resolution asked for (pictures of
  // shadings are made at it), and shown at the page's size in points.
  renderer.StrokeAdjust = false;
  renderer.SnapGlyphOrigins = false;
  const TPageGeometry g = renderer.PageGeometry();
  const double dpi = renderer.Resolution > 0 ? renderer.Resolution : limits::kPointsPerInch;
  TSVGCanvas canvas(g.Width * dpi / limits::kPointsPerInch, g.Height * dpi / limits::kPointsPerInch,
                    g.Width, g.Height, options.Transparent);
  renderer.RenderPageOn(canvas);
  problem = renderer.ErrorText();
  if (canvas.Dropped() > 0) {
    if (!problem.empty()) problem += "\r\n";
    problem += "the page has more drawing than an SVG file holds: " + std::to_string(canvas.Dropped()) +
               " drawing steps left out";
  }
  out += canvas.Finish();
  return true;
}

}  // namespace kestrel
