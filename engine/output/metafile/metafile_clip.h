#pragma once
// A Windows metafile clips only to rectangles. For it the canvas cuts drawing to the clip
// path itself: fills through IntersectAsDisjoint (metafile_nonzero.h), outlines and pictures
// with the helpers here, all against a clip region held as closed polygons and a fill rule.
#include <cstddef>
#include <optional>
#include <vector>

#include "engine/graphics/canvas_geometry.h"

namespace kestrel {

struct TClipRegion {
  std::vector<TPolyline> polygons;  // closed
  bool evenOdd = false;
  TBox bounds;  // of all points; meaningless when there are none
};

// Sets the bounds from the polygons.
void UpdateClipBounds(TClipRegion& region);

// Whether the point lies inside the region by its fill rule.
bool RegionContains(const TClipRegion& region, TPDFPoint p);

// The parts of the polylines inside the region (stroke semantics: a closed polyline stays
// closed only when it lies wholly inside). `work` is charged one unit per segment and region
// edge compared; nothing is returned once it would pass `maxWork`.
std::optional<std::vector<TPolyline>> ClipPolylinesToRegion(const std::vector<TPolyline>& lines,
                                                            const TClipRegion& region,
                                                            std::size_t& work,
                                                            std::size_t maxWork);

// The x intervals [from, to) of the horizontal line at height y that lie inside the region,
// left to right. `work` is charged per region edge; nothing once `maxWork` would be passed.
std::optional<std::vector<std::pair<double, double>>> RegionRowSpans(const TClipRegion& region,
                                                                     double y, std::size_t& work,
                                                                     std::size_t maxWork);

}  // namespace kestrel
