// Formats 2 and 3: the page recorded through the metafile canvas and written as a placeable
// Windows metafile or an enhanced metafile.
#include <cmath>
#include <string>

#include "engine/graphics/graphics_limits.h"
#include "engine/output/metafile/metafile.h"
#include "engine/output/page_output.h"
#include "engine/output/page_output_vector.h"
#include "engine/output/metafile/metafile_canvas.h"
#include "engine/render/renderer.h"

namespace kestrel {

namespace {

// Round(points × dpi / 72), half to even, without the bitmap's rounding up.
std::int64_t MetafileExtent(double points, double dpi) {
  const double exact = points * dpi / limits::kPointsPerInch;
  if (!(exact < 1e15)) return metafile_limits::kMaxSide;
  if (!(exact > 0)) return 1;
  return static_cast<std::int64_t>(std::nearbyint(exact));
}

}  // namespace

bool RenderMetafilePage(TPDFRenderer& renderer, TOutputFormat format, TBytes& out,
                        std::string& problem) {
  const bool enhanced = format == kFormatEMF;
  renderer.TargetKind =
      enhanced ? TRenderTargetKind::EnhancedMetafile : TRenderTargetKind::WindowsMetafile;
  const TPageGeometry g = renderer.PageGeometry();
  const double dpi = renderer.Resolution == 0 ? 1 : renderer.Resolution;

  TKestrelMetafile metafile;
  metafile.Reset(enhanced, MetafileExtent(g.Width, dpi), MetafileExtent(g.Height, dpi));
  {
    TMetafileCanvas canvas(metafile);
    // The whole target starts opaque white.
    const double w = static_cast<double>(metafile.Width());
    const double h = static_cast<double>(metafile.Height());
    canvas.SetFillColor(0xFFFFFF);
    canvas.SetFillRule(kFillRuleNonZero);
    canvas.BeginPath();
    canvas.MoveTo(0, 0);
    canvas.LineTo(w, 0);
    canvas.LineTo(w, h);
    canvas.LineTo(0, h);
    canvas.ClosePath();
    canvas.FillPath();
    canvas.SetFillRule(0);
    renderer.RenderPageOn(canvas);
  }
  problem = renderer.ErrorText();
  if (metafile.Dropped() > 0) {
    if (!problem.empty()) problem += "\r\n";
    problem += "the page has more drawing than a metafile holds: " +
               std::to_string(metafile.Dropped()) + " drawing steps left out";
  }
  out += metafile.Write();
  return true;
}

}  // namespace kestrel
