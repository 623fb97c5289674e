#pragma once
// TSVGCanvas: the page as an SVG 1.1 document. Paths become <path> elements with their fill
// rule, stroke style and opacity; clips become nested groups; glyph outlines are defined once
// per glyph and size and placed with <use>; pictures (images, and shadings the renderer draws
// as pictures) are embedded as PNG or JPEG data; soft-mask layers become <mask> elements.
// Coordinates are the renderer's device pixels; the document's size is the page's in points.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "engine/graphics/canvas.h"
#include "engine/syntax/bytes.h"

namespace kestrel {

class TSVGCanvas final : public TPDFGenericCanvas {
 public:
  // A page of `width` × `height` device units shown as `widthPt` × `heightPt` points. Unless
  // `transparent`, the page starts white.
  TSVGCanvas(double width, double height, double widthPt, double heightPt, bool transparent);

  // The whole document; drawing after the byte budget was reached is left out (Dropped()).
  TBytes Finish();
  static constexpr std::size_t kMaxDocumentBytes = std::size_t{256} << 20;
  std::size_t MaxBytes = kMaxDocumentBytes;
  std::size_t Dropped() const { return dropped_; }

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

  void SetFillColor(TPackedColor c) override { fillColor_ = c; }
  void SetStrokeColor(TPackedColor c) override { strokeColor_ = c; }
  void SetFillAlpha(double a) override { fillAlpha_ = a; }
  void SetStrokeAlpha(double a) override { strokeAlpha_ = a; }
  void SetLineWidth(double w) override { lineWidth_ = w; }
  void SetLineCap(TLineCap cap) override { cap_ = cap; }
  void SetLineJoin(TLineJoin join) override { join_ = join; }
  void SetMiterLimit(double limit) override { miterLimit_ = limit; }
  void SetDash(const TGPDashArray& dashes, double phase) override;
  void SetFillRule(int rule) override;

  void SetClip(int rule) override { clipRule_ = rule; }
  void EndPath() override;
  TClipHandle SaveClip() override;
  void RestoreClip(TClipHandle handle) override;

  bool CachesGlyphs() const override { return true; }
  void FillGlyph(const TGlyphKey& key, const TGlyphOutlineSource& outline) override;

  bool BeginLayer(std::optional<TPackedColor> backdrop) override;
  void EndLayerAsMask(bool luminosity, const std::vector<std::uint8_t>& transfer) override;
  void EndLayer() override;

 private:
  // What drawing goes into: the page, or a layer being recorded.
  struct TBody {
    std::string Text;
    std::vector<int> OpenClips;  // clip groups open in Text, outermost first
    int Mask = 0;                // the mask the layer is shown through (0: none)
  };

  TBody& Body() { return bodies_.back(); }
  bool Room() const;
  // Opens and closes clip groups so that the body's open clips are the clips in force.
  void SyncClip();
  // Closes the body's clip groups (before a layer starts or ends: groups never span one).
  void CloseClips();
  // Adds the path just painted or ended as a clip when SetClip asked for it.
  void TakeClip();
  void Paint(bool fill, bool stroke);
  std::string StrokeAttributes() const;
  std::string PictureData(const TCanvasBitmap& bitmap, bool& hasPixels);

  double width_, height_;
  std::string defs_;
  std::vector<TBody> bodies_;
  std::string path_;
  bool hasPoint_ = false;
  double startX_ = 0, startY_ = 0, lastX_ = 0, lastY_ = 0;

  TPackedColor fillColor_ = 0, strokeColor_ = 0;
  double fillAlpha_ = 1, strokeAlpha_ = 1, lineWidth_ = 1, miterLimit_ = 10;
  TLineCap cap_ = TLineCap::Butt;
  TLineJoin join_ = TLineJoin::Miter;
  TGPDashArray dashes_;
  double dashPhase_ = 0;
  bool evenOdd_ = false;

  int clipRule_ = 0;
  std::vector<int> clips_;                   // the clips in force (ids), outermost first
  std::vector<std::vector<int>> snapshots_;  // SaveClip's snapshots, handle = index + 1
  int nextId_ = 0;
  int pendingMask_ = 0;

  // Glyph definitions by font, glyph name and the matrix's linear part.
  std::map<std::tuple<std::uint64_t, std::string, double, double, double, double>, int> glyphs_;
  // Pictures by a hash of their pixels and their size; id 0 for a picture with nothing to see.
  std::map<std::tuple<std::uint64_t, int, int>, int> pictures_;
  std::size_t dropped_ = 0;
};

}  // namespace kestrel
