#pragma once
// The metafile canvas: records the renderer's drawing into a TKestrelMetafile as
// device-independent vector records (polygons, outlines, clips and pictures), which the
// metafile then writes as a Windows metafile or an enhanced metafile.
//
// What the formats cannot say is settled here, the same way for both:
// - a non-zero fill or clip that covers an area twice is recorded as non-overlapping pieces
//   (metafile_nonzero.h), since not every reader honours the winding fill mode;
// - curves are flattened to lines (a Windows metafile has no curves);
// - dashes are cut into separate dash outlines, so caps fall on every dash as in PDF;
// - alpha: the formats have none. A colour with alpha a is drawn opaque, mixed with white by
//   a (right on white paper, the common case); alpha 0 draws nothing. Picture pixels below
//   half opacity (and colour-keyed ones) are left out, the others mixed with white likewise;
// - pictures in a rotated or skewed parallelogram are resampled to the page's pixel grid
//   (at most kMaxResamplePixels samples), and leave the pixels outside it untouched.
//
// A Windows metafile clips only to rectangles, so for it a clip path that is not an
// axis-aligned rectangle is applied here: fills are cut to it exactly, outlines are cut where
// they cross it (the pen's half width still shows beyond the cut), and picture pixels whose
// centre lies outside it are masked out. The metafile keeps the clip's bounding box as its
// clip rectangle. Past kMaxClipWork (or when one cut passes its own bounds) drawing falls back
// to that bounding box, and the metafile counts a dropped step.
//
// An enhanced metafile clips to paths itself, but LibreOffice loses a clip path narrowed by
// another one. So the first clip path in force is recorded as it is, and one inside it as a
// single path holding the whole clip: the intersection of the clip paths so far (the region
// cut for Windows metafiles) cut to the clip rectangles in force. Past kMaxNestedClipPoints or
// kMaxNestedClipFigures, or when the intersection cannot be made, the inner clip narrows the
// outer one by its bounding box instead, and the metafile counts a dropped step.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "engine/output/metafile/metafile.h"
#include "engine/graphics/canvas.h"
#include "engine/graphics/graphics_limits.h"
#include "engine/graphics/canvas_path.h"
#include "engine/output/metafile/metafile_clip.h"

namespace kestrel {

class TMetafileCanvas final : public TPDFGenericCanvas {
 public:
  // Points of the clip paths kept for snapshots (see limits::kMaxClipPaths); clips beyond
  // the bounds are ignored.
  static constexpr std::size_t kMaxClipPoints = 2'000'000;
  // Samples of one resampled picture.
  static constexpr std::size_t kMaxResamplePixels = std::size_t{1} << 22;
  // Largest side of a picture passed through at its own resolution.
  static constexpr int kMaxPictureSide = 16384;
  // Work spent cutting outlines and pictures to clip paths for one page (edge comparisons),
  // and points of the clip regions kept for it.
  static constexpr std::size_t kMaxClipWork = 400'000'000;
  static constexpr std::size_t kMaxRegionPoints = 4'000'000;
  // Size of one clip path standing for nested clip paths (enhanced metafile).
  static constexpr std::size_t kMaxNestedClipPoints = 200'000;
  static constexpr std::size_t kMaxNestedClipFigures = 10'000;

  // The metafile must already have its kind and size (TKestrelMetafile::Reset); it must
  // outlive the canvas.
  explicit TMetafileCanvas(TKestrelMetafile& target);

  void BeginPath() override;
  void MoveTo(double x, double y) override;
  void LineTo(double x, double y) override;
  void CurveTo(double x1, double y1, double x2, double y2, double x3, double y3) override;
  void QuadTo(double x1, double y1, double x2, double y2) override;
  void ClosePath() override;
  void StrokePath() override;
  void FillPath() override;
  void FillStrokePath() override;
  void DrawBitmap(const TCanvasBitmap& bitmap, double x1, double y1, double x2, double y2,
                  double x3, double y3, TImageSampling sampling) override;

  void SetFillColor(TPackedColor color) override { m_fillColor = color & 0xFFFFFF; }
  void SetStrokeColor(TPackedColor color) override { m_strokeColor = color & 0xFFFFFF; }
  void SetFillAlpha(double alpha) override { m_fillAlpha = alpha; }
  void SetStrokeAlpha(double alpha) override { m_strokeAlpha = alpha; }
  void SetLineWidth(double width) override { m_lineWidth = width; }
  void SetLineCap(TLineCap cap) override { m_lineCap = cap; }
  void SetLineJoin(TLineJoin join) override { m_lineJoin = join; }
  void SetMiterLimit(double limit) override { m_miterLimit = limit; }
  void SetDash(const TGPDashArray& dashes, double phase) override;
  void SetFillRule(int rule) override;
  void SetClip(int rule) override;
  void EndPath() override;
  TClipHandle SaveClip() override;
  void RestoreClip(TClipHandle handle) override;

  // Clip levels currently applied (for tests).
  std::size_t AppliedClipDepth() const { return m_applied.size(); }

 private:
  using TFigures = std::vector<std::vector<TMetafilePoint>>;
  struct TClipNode {
    TFigures figures;
    bool evenOdd = false;
    int parent = -1;  // -1: the whole page
    int depth = 1;
    // Windows metafile only: the intersection of the clip paths up to here that are not
    // rectangles (none: only rectangles, which the metafile clips itself).
    bool regionKnown = false;
    std::shared_ptr<const TClipRegion> region;
    // Enhanced metafile only: how the clip is recorded (Unknown until first pushed).
    enum class TPush : std::uint8_t { Unknown, Own, Whole, Box };
    TPush push = TPush::Unknown;
    std::shared_ptr<const TFigures> pushFigures;  // Whole: the whole clip; Box: the box
  };

  void Paint(bool fill, bool stroke);
  std::vector<TPolyline> FillPolygons() const;
  TFigures FillFigures() const;
  void Fill(const TFigures& figures);
  void FillClipped(const TClipRegion& region);
  std::shared_ptr<const TClipRegion> RegionOf(int node);
  const TClipRegion* ActiveRegion();
  // Pixels of the picture whose centre lies outside the clip region become transparent;
  // false when none is left.
  bool MaskToClip(TMetafileImage& image);
  void Stroke();
  void ApplyPendingClip(const TFigures& figures);
  // Records the node's clip on the metafile (false when refused).
  bool PushNode(int node);
  void PlanEnhancedPush(int node);
  void MoveClipTo(int node);
  void DiscardPath();

  TKestrelMetafile& m_meta;
  double m_margin = 16;

  TPDFPoint m_current{};
  TPackedColor m_fillColor = 0;
  TPackedColor m_strokeColor = 0;
  double m_fillAlpha = 1;
  double m_strokeAlpha = 1;
  double m_lineWidth = 1;
  TLineCap m_lineCap = TLineCap::Butt;
  TLineJoin m_lineJoin = TLineJoin::Miter;
  double m_miterLimit = 10;
  TGPDashArray m_dashes;
  double m_dashPhase = 0;
  int m_fillRule = 0;

  TCanvasPath m_path;
  bool m_hasPath = false;
  bool m_pathEvenOdd = true;

  bool m_clipPending = false;
  bool m_clipChanged = true;
  TClipHandle m_currentSnapshot = 0;
  int m_currentClip = -1;
  std::vector<TClipNode> m_clipNodes;
  std::size_t m_clipPoints = 0;
  std::vector<int> m_snapshots;
  std::vector<int> m_applied;  // the nodes pushed on the metafile, root first
  std::size_t m_clipWork = 0;
  std::size_t m_regionPoints = 0;
};

// Packed colour drawn opaque in place of `color` at `alpha` over white; nothing for alpha 0.
std::optional<TPackedColor> OpaqueOverWhite(TPackedColor color, double alpha);

}  // namespace kestrel
