#pragma once
// A canvas that writes every call as one text line, so that the renderer can be tested
// without pixels. Numbers are written with up to four decimals ("nan"/"inf" when not finite).
//
//   BeginPath | MoveTo x y | LineTo x y | CurveTo x1 y1 x2 y2 x3 y3 | QuadTo x1 y1 x2 y2
//   ClosePath | StrokePath | FillPath | FillStrokePath | EndPath
//   DrawBitmap WxH x1 y1 x2 y2 x3 y3 default|nearest|smooth [key r,g,b-r,g,b]
//   SetFillColor 0xBBGGRR | SetStrokeColor 0xBBGGRR | SetFillAlpha a | SetStrokeAlpha a
//   SetLineWidth w | SetLineCap n | SetLineJoin n | SetMiterLimit m | SetDash [d1 d2 ...] phase
//   SetFillRule n | SetClip n | SaveClip -> h | RestoreClip h
#include <cstddef>
#include <string>
#include <vector>

#include "engine/graphics/canvas.h"

namespace kestrel {

class TRecordingCanvas final : public TPDFGenericCanvas {
 public:
  // With recordState false only the ten path and image operations, EndPath and the clip calls
  // are written, not the state setters.
  explicit TRecordingCanvas(bool recordState = true, std::size_t maxLines = 1'000'000);

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
  // Clip snapshots follow the raster canvas: SaveClip hands out a new handle only after
  // SetClip changed the clip, and RestoreClip of the current handle is not written.
  void SetClip(int rule) override;
  void EndPath() override;
  TClipHandle SaveClip() override;
  void RestoreClip(TClipHandle handle) override;

  const std::vector<std::string>& Lines() const { return m_lines; }
  // All lines, each ended by a line feed.
  std::string Text() const;
  void Clear();
  // Lines not kept because maxLines was reached.
  std::size_t Dropped() const { return m_dropped; }

 private:
  void Add(std::string line);
  void AddState(std::string line);

  bool m_recordState;
  std::size_t m_maxLines;
  std::size_t m_dropped = 0;
  std::vector<std::string> m_lines;
  bool m_clipChanged = true;
  TClipHandle m_snapshot = 0;
  TClipHandle m_lastHandle = 0;
};

}  // namespace kestrel
