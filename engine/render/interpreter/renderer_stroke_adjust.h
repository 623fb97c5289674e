#pragma once
// Stroke adjustment: thin horizontal and vertical lines and axis-aligned rectangles snapped to
// whole device pixels, so that rules and boxes come out crisp instead of smeared over two rows
// of half-covered pixels. The rules follow what poppler and Acrobat do: a filled rectangle
// (one subpath, four corners) gets its edges rounded to pixel boundaries; a stroked path made
// only of horizontal and vertical lines gets each line's two sides rounded, at least one
// pixel apart. Curves, slanted lines, clips and shapes with several subpaths stay as they are.
#include <optional>
#include <vector>

#include "engine/graphics/canvas_path.h"

namespace kestrel {

// Rounds half up, as pixel edges are counted.
double PixelRound(double v);

// When `ops` (device coordinates) are a single axis-aligned rectangle: true, with the snapped
// rectangle in `out`. False otherwise (`out` is then left alone).
bool AdjustFillRectangle(const std::vector<TPathOp>& ops, std::vector<TPathOp>& out);

// When every segment of `ops` is a horizontal or vertical line: the snapped path in `out` and
// the device line width to stroke it with. Nothing otherwise (`out` is then left alone).
std::optional<double> AdjustStrokeLines(const std::vector<TPathOp>& ops, double width,
                                        std::vector<TPathOp>& out);

}  // namespace kestrel
