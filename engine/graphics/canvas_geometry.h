#pragma once
// Path geometry done in doubles before anything reaches the 2D library: curve flattening,
// clipping to a guard box (so absurd coordinates cannot overflow the library's fixed-point
// arithmetic) and dashing (so a pattern far finer than a pixel cannot stall it).
#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include "engine/graphics/canvas_path.h"

namespace kestrel {

struct TPolyline {
  std::vector<TPDFPoint> points;
  bool closed = false;
};

struct TBox {
  double minX = 0, minY = 0, maxX = 0, maxY = 0;
};

// Upper bound on the line segments one curve becomes, whatever its size.
inline constexpr std::size_t kMaxCurveSegments = 2048;

// Lines stay as they are; curves become at most kMaxCurveSegments lines, fine enough that the
// chord error stays below the tolerance when that bound allows it.
std::vector<TPolyline> FlattenPath(const std::vector<TPathOp>& ops, double tolerance);

// Fill semantics: every polyline is taken as a closed polygon and cut to the box. Inside the
// box the winding numbers (and so both fill rules) are unchanged.
std::vector<TPolyline> ClipPolygons(const std::vector<TPolyline>& polygons, const TBox& box);

// Stroke semantics: the parts of the polylines that lie in the box. A closed polyline stays
// closed only when it lies wholly inside.
std::vector<TPolyline> ClipPolylines(const std::vector<TPolyline>& lines, const TBox& box);

// Splits the polylines into dashes, returned as path ops: a Move and Lines per dash (a closed
// outline that one dash covers entirely keeps its Close; a dash of zero length is a Move and a
// Line to the same point). `dashes` are on/off lengths in device units (an odd count repeats
// with the roles swapped, as PDF wants) and `phase` the distance into the pattern at which
// every subpath starts. Only dashes inside the box are produced; parts outside advance the
// pattern arithmetically. Returns nothing when the pattern is unusable (negative, non-finite,
// a period below kMinDashPeriod) or more than maxSteps dash boundaries would be walked.
inline constexpr double kMinDashPeriod = 0.5;

std::optional<std::vector<TPathOp>> DashPolylines(const std::vector<TPolyline>& lines,
                                                  std::span<const double> dashes, double phase,
                                                  const TBox& box, std::size_t maxSteps);

std::vector<TPathOp> PolylinesToOps(const std::vector<TPolyline>& lines);

bool BoundsInside(const TPathBounds& bounds, double limit);

}  // namespace kestrel
