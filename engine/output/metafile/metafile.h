#pragma once
// A recorded page drawing in device-independent form, written out as a placeable Windows
// metafile or as an enhanced metafile. The canvas (engine/render/metafile_canvas.h) records
// into it; the writers turn every record into the records of the chosen format.
//
// Coordinates are device pixels (the page is 0..Width x 0..Height, y down) kept as floats: the
// canvas has already cut geometry to a guard box around the page, so every stored point is
// finite and close to the page.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/graphics/canvas.h"
#include "engine/syntax/bytes.h"

namespace kestrel {

struct TMetafilePoint {
  float x = 0, y = 0;
};

// One subpath: Count points of the shared point list starting at First.
struct TMetafileFigure {
  std::uint32_t First = 0;
  std::uint32_t Count = 0;
  bool Closed = false;
};

struct TMetafilePen {
  TPackedColor Color = 0;
  double Width = 1;  // device pixels, at least 1
  int Cap = 0;       // 0 butt, 1 round, 2 square
  int Join = 0;      // 0 miter, 1 round, 2 bevel
  double MiterLimit = 10;
};

// A picture placed into an axis-aligned device rectangle. Pixels are blue, green, red, rows
// top-down without padding; Mask is empty (all opaque) or one byte a pixel (0 transparent).
struct TMetafileImage {
  int Width = 0;
  int Height = 0;
  std::vector<std::uint8_t> Bgr;
  std::vector<std::uint8_t> Mask;
  double X = 0, Y = 0, W = 0, H = 0;
  bool Smooth = false;
};

enum class TMetafileOp : std::uint8_t {
  Fill,      // figures filled (all taken as closed) with Color by the fill rule
  Stroke,    // figures outlined with Pen
  PushClip,  // saves the drawing state and narrows the clip to the figures (none: clip all);
             // with Replace the figures are the whole new clip (they lie inside the old one)
  PopClip,   // returns to the state saved by the matching PushClip
  Image,     // Images[Image]
};

struct TMetafileRecord {
  TMetafileOp Op = TMetafileOp::Fill;
  std::uint32_t FirstFigure = 0;
  std::uint32_t FigureCount = 0;
  TPackedColor Color = 0;
  bool EvenOdd = false;
  // PushClip: the figures already hold every clip in force, so a writer may set them as the
  // clip instead of intersecting (either gives the same area).
  bool Replace = false;
  TMetafilePen Pen;
  std::uint32_t Image = 0;
};

// Bounds on what one page may record, so that a pathological page cannot produce a file of
// gigabytes: points of all figures, pixel bytes of all pictures, and records.
namespace metafile_limits {
inline constexpr std::size_t kMaxPoints = 4'000'000;
inline constexpr std::size_t kMaxImageBytes = std::size_t{256} << 20;
inline constexpr std::size_t kMaxRecords = 1'000'000;
// Largest side (pixels) a metafile is given; larger requests are clamped to it.
inline constexpr std::int64_t kMaxSide = 1'000'000'000;
}  // namespace metafile_limits

class TKestrelMetafile {
 public:
  // Clears the drawing and sets the kind and size (each side clamped to 1..kMaxSide).
  void Reset(bool enhanced, std::int64_t width, std::int64_t height);

  bool Enhanced() const { return m_enhanced; }
  std::int64_t Width() const { return m_width; }
  std::int64_t Height() const { return m_height; }

  // Recording. Each returns false, recording nothing, when the drawing would pass one of the
  // bounds above; Dropped() then counts it. PushClip always records (a clip whose figures do
  // not fit becomes their bounding box, counted too) until the record bound is reached; from then on
  // nothing at all is recorded, so pushes and pops stay balanced. `replace` marks figures that
  // already lie inside the clip in force (TMetafileRecord::Replace); when they fall back to
  // their bounding box the mark is dropped, since the box may reach outside.
  bool AddFill(const std::vector<std::vector<TMetafilePoint>>& figures, TPackedColor color,
               bool evenOdd);
  bool AddStroke(const std::vector<std::vector<TMetafilePoint>>& figures,
                 const std::vector<bool>& closed, const TMetafilePen& pen);
  bool AddPushClip(const std::vector<std::vector<TMetafilePoint>>& figures, bool evenOdd,
                   bool replace = false);
  bool AddPopClip();
  bool AddImage(TMetafileImage image);

  const std::vector<TMetafileRecord>& Records() const { return m_records; }
  const std::vector<TMetafileFigure>& Figures() const { return m_figures; }
  const std::vector<TMetafilePoint>& Points() const { return m_points; }
  const std::vector<TMetafileImage>& Images() const { return m_images; }
  std::size_t Dropped() const { return m_dropped; }
  // Counts a step the recorder could not draw as asked (e.g. it fell back to a simpler clip).
  void NoteDropped() { ++m_dropped; }
  // Clip levels pushed and not yet popped. A pop matches a recorded push, so pops never
  // outnumber the (bounded) pushes.
  std::size_t ClipDepth() const { return m_clipDepth; }

  // The file: a placeable Windows metafile, or an enhanced metafile when Enhanced().
  TBytes Write() const;

 private:
  bool Full() const { return m_records.size() >= metafile_limits::kMaxRecords; }
  void AddFigures(const std::vector<std::vector<TMetafilePoint>>& figures,
                  const std::vector<bool>* closed, TMetafileRecord& record);

  bool m_enhanced = false;
  std::int64_t m_width = 1;
  std::int64_t m_height = 1;
  std::vector<TMetafileRecord> m_records;
  std::vector<TMetafileFigure> m_figures;
  std::vector<TMetafilePoint> m_points;
  std::vector<TMetafileImage> m_images;
  std::size_t m_imageBytes = 0;
  std::size_t m_dropped = 0;
  std::size_t m_clipDepth = 0;
};

// How far outside the page (pixels) drawing is kept. Geometry beyond it is cut away by the
// canvas; the margin is chosen so that the page and this margin still fit the 16-bit
// coordinates of a Windows metafile after its scaling (metafile_wmf.cpp), so nothing that can
// show on the page is ever clamped.
double GuardMargin(const TKestrelMetafile& metafile);

// The two serialisations (metafile_wmf.cpp, metafile_emf.cpp).
TBytes WriteWindowsMetafile(const TKestrelMetafile& metafile);
TBytes WriteEnhancedMetafile(const TKestrelMetafile& metafile);

}  // namespace kestrel
