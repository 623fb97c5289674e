#pragma once
// TEmfPlusCanvas: a canvas that records the page as an enhanced metafile of EMF+ records only
// (paths, pens, clipping and pictures in pixel units), written into a byte buffer while the
// page is drawn; Finish() completes the file.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "engine/graphics/canvas.h"
#include "engine/render/render_settings.h"
#include "engine/syntax/bytes.h"

namespace kestrel {

class TEmfPlusCanvas final : public TPDFGenericCanvas {
 public:
  // Pages wider or taller than this many pixels are not recorded (see Create).
  static constexpr std::int64_t kMaxExtent = 1'000'000;

  // A canvas for a width × height pixel page at `dpi` with the settings' smoothing choices;
  // null when the size or resolution is unusable.
  static std::unique_ptr<TEmfPlusCanvas> Create(std::int64_t width, std::int64_t height,
                                                double dpi, const TGDIPlusSettings& settings);
  ~TEmfPlusCanvas() override;
  TEmfPlusCanvas(const TEmfPlusCanvas&) = delete;
  TEmfPlusCanvas& operator=(const TEmfPlusCanvas&) = delete;

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

  // Completes the metafile and returns its bytes; drawing afterwards records nothing.
  TBytes Finish();
  // Paintings and pictures left out because the file reached its size bounds or a path was
  // too long (0 for any ordinary page).
  std::size_t DroppedCount() const;

 private:
  struct Impl;
  explicit TEmfPlusCanvas(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> m_impl;
};

}  // namespace kestrel
