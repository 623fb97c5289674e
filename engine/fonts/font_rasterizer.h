#pragma once
// The contract every glyph source meets: TrueType, Type 1/CFF, installed system fonts and
// Type 3 fonts all add glyph outlines to the canvas's current path and never paint; the
// renderer paints the accumulated path once per text-showing operator.
#include <cstddef>
#include <string_view>

#include "engine/graphics/canvas.h"
#include "engine/graphics/matrix.h"

namespace kestrel {

class TPDFFontRasterizer {
 public:
  virtual ~TPDFFontRasterizer() = default;

  // Adds the outline of the named glyph to the current path of `canvas`. Every outline point
  // p goes to ((p + (x, y)) * GlyphScale()) * matrix. x is the advance accumulated so far and
  // y the text rise, both in outline units. Names are PDF glyph names ("A", "uni0041"),
  // "GID:17" for a glyph index, or "CID:65" for a code of a symbolic font. Returns whether a
  // glyph was found.
  virtual bool DrawGlyph(TPDFGenericCanvas& canvas, const TPDFMatrix& matrix, double x,
                         double y, std::string_view name) = 0;

  // Outline units per text-space unit divided by 1000: 1.0 for rasterisers that emit
  // thousandths of an em, the font-matrix scale for those that emit the font's own units.
  virtual double GlyphScale() const { return 1.0; }

  // Bytes the rasteriser keeps (font program, decoded tables, cached outlines): the font
  // cache bounds the sum over its fonts.
  virtual std::size_t MemorySize() const { return 0; }
};

}  // namespace kestrel
