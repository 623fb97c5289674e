#pragma once
// Private to the raster canvas: its state and the operations behind TPDFPicasso. Included
// only by picasso*.cpp.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "engine/graphics/canvas_path.h"
#include "engine/output/raster/raster_canvas.h"
#include "engine/output/raster/raster_canvas_backend.h"

namespace kestrel {

struct TPDFPicasso::Impl {
  TMode mode = TMode::NotAttached;
  TGDIPlusSettings settings;
  int maxTile = picasso::kLibraryTileLimit;
  picasso::TTileSet tiles;
  std::size_t backendErrors = 0;

  // Pen, brush and path state pushed by the renderer.
  TPDFPoint current{};
  TPackedColor fillColor = 0;
  TPackedColor strokeColor = 0;
  double fillAlpha = 1;
  double strokeAlpha = 1;
  double lineWidth = 1;
  TLineCap lineCap = TLineCap::Butt;
  TLineJoin lineJoin = TLineJoin::Miter;
  double miterLimit = 10;
  TGPDashArray dashes;
  double dashPhase = 0;
  int fillRule = 0;
  // The blend mode's operator, used for every element painted.
  cairo_operator_t paintOp = CAIRO_OPERATOR_OVER;
  // Opacities are shape (see TPDFGenericCanvas::SetAlphaIsShape).
  bool alphaIsShape = false;

  TCanvasPath path;
  bool hasPath = false;
  bool pathEvenOdd = true;

  // Clipping: every applied clip path is kept as a node whose parent is the clip it narrowed;
  // a snapshot names a node (-1 for the unclipped surface).
  bool clipPending = false;
  bool clipChanged = true;
  TClipHandle currentSnapshot = 0;
  int currentClip = -1;
  std::vector<picasso::TClipNode> clipNodes;
  std::size_t clipOpsStored = 0;
  std::vector<int> snapshots;
  // The clip nodes applied to every tile, root first; each sits on its own Cairo save level so
  // that going back to an ancestor is a matter of restores.
  std::vector<int> appliedClips;
  std::vector<TPathOp> fillScratch;

  // Soft-mask layers: each holds the tiles it stands in for (restored when it ends) and the
  // mask it is put down through (one A8 surface per tile, or none).
  struct TLayer {
    std::vector<picasso::TTile> below;
    std::vector<cairo_surface_t*> mask;
    std::size_t clipSaves = 0;  // clip levels applied to the tiles below when it began
    // A group that starts with a copy of what lies below (put back by interpolation).
    bool copiesBelow = false;
    // Knockout groups: each element first restores the group's starting backdrop where it
    // lies (a copy per tile; none when the group starts transparent).
    bool knockout = false;
    std::vector<cairo_surface_t*> knockoutBase;
    // A group that starts with a copy of what lies below and is put down with a blend mode:
    // its shape (A8 per tile, drawn before by EndLayerAsShape), by which what lies below is
    // taken out of it again.
    std::vector<cairo_surface_t*> shape;
  };
  enum class TLayerStart { Transparent, Colour, CopyBelow };
  std::vector<TLayer> layers;
  std::vector<cairo_surface_t*> pendingMask;
  std::vector<cairo_surface_t*> pendingShape;

  Impl() = default;
  ~Impl();
  Impl(const Impl&) = delete;
  Impl& operator=(const Impl&) = delete;

  bool Attach(const TPixelBuffer& target, bool library);
  bool BeginLayer(TLayerStart start, TPackedColor colour, bool knockout);
  void EndGroup(double alpha, TBlendMode mode);
  // Paints one element on a tile (draw(cr, a) sets the source at opacity a and paints): with
  // the blend mode's operator and, inside a knockout group, over the group's starting backdrop
  // wherever the element's shape lies (its shape counts even at opacity 0). `box` bounds the
  // element in page space.
  template <class Draw>
  void PaintElement(picasso::TTile& tile, const TBox& box, double alpha, Draw&& draw) {
    if (!layers.empty() && layers.back().knockout) {
      PaintKnockout(tile, box, alpha, paintOp, draw);
      return;
    }
    cairo_set_operator(tile.cr, paintOp);
    draw(tile.cr, alpha);
    cairo_set_operator(tile.cr, CAIRO_OPERATOR_OVER);
  }
  void EndLayerAsMask(bool luminosity, const std::vector<std::uint8_t>& transfer);
  // Ends the layer; its opacity becomes the shape of the next layer that copies what lies
  // below.
  void EndLayerAsShape();
  void EndLayer();
  void DropLayers();
  bool PathAntialias() const { return mode == TMode::Library && settings.AntiAlias; }

  void BeginPath();
  void MoveTo(double x, double y);
  void LineTo(double x, double y);
  void CurveTo(double x1, double y1, double x2, double y2, double x3, double y3);
  void ClosePath();
  void SetFillRule(int rule);
  void Paint(bool fill, bool stroke);
  void EndPath();
  TClipHandle SaveClip();
  void RestoreClip(TClipHandle handle);
  void DrawBitmap(const TCanvasBitmap& bitmap, TPDFPoint p1, TPDFPoint p2, TPDFPoint p3,
                  TImageSampling sampling);
  // Blends the glyph's cached mask (made first when missing); false when the glyph is to be
  // filled as a path instead. `self` is the canvas the outline is recorded through.
  bool FillGlyph(const TGlyphKey& key, const TGlyphOutlineSource& outline,
                 TPDFGenericCanvas& self);

 private:
  // Ends the innermost layer: its tiles are handed back, the ones below are current again.
  std::vector<picasso::TTile> PopLayer(std::vector<cairo_surface_t*>& mask);
  void PaintKnockout(picasso::TTile& tile, const TBox& box, double alpha, cairo_operator_t op,
                     const std::function<void(cairo_t*, double)>& draw);
  TPDFPoint Device(double x, double y) const;
  void PreparePath();
  void DiscardPath();
  TBox SurfaceBox(double margin) const;
  const std::vector<TPathOp>& FillGeometry();
  void Fill(const std::vector<TPathOp>& ops);
  void Stroke();
  void ApplyPendingClip(const std::vector<TPathOp>& ops);
  void PushClip(picasso::TTile& tile, int node);
  void MoveClipTo(int node);
  void ReapplyClip(picasso::TTile& tile);
  void Check(picasso::TTile& tile);
};

}  // namespace kestrel
