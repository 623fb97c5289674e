#pragma once
// Private to the raster canvas: the Cairo side. Included only by picasso*.cpp.
#include <cairo.h>

#include <cstddef>
#include <vector>

#include "engine/graphics/canvas_geometry.h"
#include "engine/graphics/graphics_limits.h"
#include "engine/output/raster/raster_canvas.h"

namespace kestrel::picasso {

// Cairo keeps device coordinates in 24.8 fixed point (about +-8.3 million). Paths whose points
// all lie within kDirectCoordLimit go to Cairo as they are; larger ones are cut to a guard box
// first. Stroke widths and miter reach are capped so that nothing drawn leaves that range.
inline constexpr double kDirectCoordLimit = 1e6;
inline constexpr double kMaxStrokeReach = 2e6;
// Clip path operations kept for snapshots (see limits::kMaxClipPaths).
inline constexpr std::size_t kMaxClipOps = 2'000'000;
// Cairo's largest image surface side.
inline constexpr int kLibraryTileLimit = 32767;
// Pixels resampled per temporary image block when drawing a bitmap: a block and the mask
// Cairo fills it through take 1 MB each, however large the picture.
inline constexpr std::size_t kImageBlockPixels = std::size_t{1} << 18;

// One Cairo surface over a rectangle of the page raster; user space is page device space.
struct TTile {
  cairo_surface_t* surface = nullptr;
  cairo_t* cr = nullptr;
  int x0 = 0, y0 = 0, width = 0, height = 0;
};

struct TClipNode {
  std::vector<TPathOp> ops;
  bool evenOdd = false;
  bool antialias = true;
  int parent = -1;  // -1: the whole surface
  int depth = 1;    // clips in force with this one, itself included
};

// The page raster split into tiles of at most maxTile pixels a side.
class TTileSet {
 public:
  TTileSet() = default;
  ~TTileSet();
  TTileSet(const TTileSet&) = delete;
  TTileSet& operator=(const TTileSet&) = delete;

  bool Create(const TPixelBuffer& target, int maxTile, bool antialias);
  void Destroy();
  std::vector<TTile>& Tiles() { return m_tiles; }
  int Width() const { return m_width; }
  int Height() const { return m_height; }
  // Replaces a tile's context after Cairo put it into an error state.
  void Reset(TTile& tile, bool antialias);

 private:
  std::vector<TTile> m_tiles;
  int m_width = 0;
  int m_height = 0;
};

bool ValidPixelBuffer(const TPixelBuffer& target);
void EmitOps(cairo_t* cr, const std::vector<TPathOp>& ops);
// Replaces the cairo path with a clip path. Cairo 1.16 keeps a clip made of several
// axis-aligned boxes as boxes only, and a later fill that needs a clip mask then fails an
// assertion (get_clip_surface: clip->path) when a box edge lies between pixels. Such paths get
// an extra zero-area diagonal subpath, so that cairo keeps the clip as a path.
void EmitClipOps(cairo_t* cr, const std::vector<TPathOp>& ops);
void SetAntialias(cairo_t* cr, bool on);
void SetSourceColor(cairo_t* cr, TPackedColor color, double alpha);
// Cairo's operator for a blend mode (each of the sixteen has one).
cairo_operator_t BlendOperator(TBlendMode mode);
// Whether the box (in page space) can touch the tile.
bool TouchesTile(const TTile& tile, const TBox& box);

}  // namespace kestrel::picasso
