#pragma once
// The raster canvas: draws the renderer's paths and pictures into an RGB page raster with
// Cairo. No Cairo type appears here; the backend lives behind a private implementation.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "engine/graphics/canvas.h"
#include "engine/render/render_settings.h"

namespace kestrel {

// A page raster owned elsewhere: 32 bits per pixel, native-endian 0x00RRGGBB (the top byte is
// unused), rows top-down, Stride bytes apart (a multiple of 4, at least 4 * Width).
struct TPixelBuffer {
  std::uint8_t* Data = nullptr;
  std::size_t Size = 0;  // bytes available at Data
  int Width = 0;
  int Height = 0;
  int Stride = 0;
};

class TRasterImage;

class TPDFPicasso final : public TPDFGenericCanvas {
 public:
  enum class TMode { NotAttached = 0, GDI = 1, Library = 2 };

  TPDFPicasso();
  ~TPDFPicasso() override;
  TPDFPicasso(const TPDFPicasso&) = delete;
  TPDFPicasso& operator=(const TPDFPicasso&) = delete;

  // Plain mode: integer coordinates, no anti-aliasing, alpha, dashes or clipping, even-odd
  // fills, round caps and joins, whole-pixel pen widths; images are not drawn. Returns false (and stays unattached) when the buffer is unusable.
  bool AttachGDI(const TPixelBuffer& target);
  // Full mode. Settings with UseLibrary false give plain mode. Returns false (and stays
  // unattached) when the buffer is unusable.
  bool AttachLibrary(const TPixelBuffer& target, const TGDIPlusSettings& settings);
  // The same on a page raster, which must outlive the canvas.
  bool AttachGDI(TRasterImage& raster);
  bool AttachLibrary(TRasterImage& raster, const TGDIPlusSettings& settings);
  TMode Mode() const;

  // Rasters wider or taller than this are drawn in tiles (the library's limit is 32767).
  // Must be called before attaching; meant for tests.
  void SetMaxTileSize(int pixels);

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

  void SetFillColor(TPackedColor color) override;
  void SetStrokeColor(TPackedColor color) override;
  void SetFillAlpha(double alpha) override;
  void SetStrokeAlpha(double alpha) override;
  void SetLineWidth(double width) override;
  void SetLineCap(TLineCap cap) override;
  void SetLineJoin(TLineJoin join) override;
  void SetMiterLimit(double limit) override;
  void SetDash(const TGPDashArray& dashes, double phase) override;
  void SetFillRule(int rule) override;
  void SetClip(int rule) override;
  void EndPath() override;
  TClipHandle SaveClip() override;
  void RestoreClip(TClipHandle handle) override;
  // Anti-aliased full mode with CacheGlyphs set: glyphs come from the calling thread's mask
  // cache.
  bool CachesGlyphs() const override;
  void FillGlyph(const TGlyphKey& key, const TGlyphOutlineSource& outline) override;
  bool BeginLayer(std::optional<TPackedColor> backdrop) override;
  void EndLayerAsMask(bool luminosity, const std::vector<std::uint8_t>& transfer) override;
  void EndLayer() override;
  void SetBlendMode(TBlendMode mode) override;
  void SetAlphaIsShape(bool shape) override;
  bool BeginGroup(bool isolated, bool knockout) override;
  void EndGroup(double alpha, TBlendMode mode) override;
  bool BeginGroupShape() override;
  void EndGroupShape() override;

  // The bitmap stretched into an axis-aligned rectangle, sampled as paths are smoothed.
  void DrawBitmapRect(const TCanvasBitmap& bitmap, double x, double y, double w, double h);

  // The current point: the end of the last MoveTo, LineTo, CurveTo or QuadTo; after ClosePath
  // the start of the closed subpath.
  double CurrentX() const;
  double CurrentY() const;
  // Clip snapshots taken so far (each SaveClip after a clip change adds one).
  std::size_t ClipSnapshotCount() const;
  // Times the library reported an error and was reset; 0 unless input slipped past checks.
  std::size_t BackendErrorCount() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> m_impl;
};

// ARGB for the library: alpha = Round(alpha * 255) in the top byte, then red, green, blue.
std::uint32_t PackedToARGB(TPackedColor color, double alpha);

}  // namespace kestrel
