#pragma once
// The drawing target of the page renderer. Coordinates are device coordinates (pixels with y
// growing downwards for raster targets). Only neutral types cross this interface.
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "engine/graphics/matrix.h"

namespace kestrel {

// One pixel byte order per purpose, each a native 32-bit word:
// - TPackedColor 0x00BBGGRR (red in the low byte): a fill or stroke colour set on a canvas;
// - TArgbPixel 0xAARRGGBB, straight alpha: a pixel of a picture handed to DrawBitmap;
// - TRgbPixel 0x00RRGGBB (Cairo RGB24): a pixel of the page raster (TRasterImage).
using TPackedColor = std::uint32_t;
using TArgbPixel = std::uint32_t;
using TRgbPixel = std::uint32_t;

constexpr TPackedColor PackRGB(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  return TPackedColor{r} | (TPackedColor{g} << 8) | (TPackedColor{b} << 16);
}
constexpr std::uint8_t PackedRed(TPackedColor c) { return c & 0xFF; }
constexpr std::uint8_t PackedGreen(TPackedColor c) { return (c >> 8) & 0xFF; }
constexpr std::uint8_t PackedBlue(TPackedColor c) { return (c >> 16) & 0xFF; }

// Dash lengths and phase are measured in line widths (single precision, as the pen takes them).
using TGPDashArray = std::vector<float>;

// A clip snapshot; 0 is "no snapshot".
using TClipHandle = std::uint32_t;

enum class TLineCap : int { Butt = 0, Round = 1, Square = 2 };
enum class TLineJoin : int { Miter = 0, Round = 1, Bevel = 2 };
// The style a content-stream number names; numbers outside 0 to 2 give the default style.
constexpr TLineCap LineCapFrom(int n) { return n == 1 || n == 2 ? TLineCap(n) : TLineCap::Butt; }
constexpr TLineJoin LineJoinFrom(int n) { return n == 1 || n == 2 ? TLineJoin(n) : TLineJoin::Miter; }

// Fill rule numbers as the renderer passes them; other values leave the path's rule alone.
inline constexpr int kFillRuleNonZero = 1;
inline constexpr int kFillRuleEvenOdd = 2;

// Pixels whose red, green and blue each lie within [low, high] are drawn transparent.
struct TCanvasColorKey {
  std::array<std::uint8_t, 3> Low{};   // red, green, blue
  std::array<std::uint8_t, 3> High{};  // red, green, blue

  // Whether the key hides a picture pixel.
  bool Hides(TArgbPixel argb) const {
    const std::uint8_t r = (argb >> 16) & 0xFF, g = (argb >> 8) & 0xFF, b = argb & 0xFF;
    return r >= Low[0] && r <= High[0] && g >= Low[1] && g <= High[1] && b >= Low[2] &&
           b <= High[2];
  }
};

// A picture handed to DrawBitmap: rows top-down, TArgbPixel pixels. Pixels.size() must be at
// least Width * Height.
struct TCanvasBitmap {
  int Width = 0;
  int Height = 0;
  std::vector<TArgbPixel> Pixels;
  std::optional<TCanvasColorKey> ColorKey;
};

// How what is painted combines with what lies below it: the sixteen blend modes, in the order
// of their names' table (BlendModeFrom).
enum class TBlendMode : std::uint8_t {
  Normal, Multiply, Screen, Overlay, Darken, Lighten, ColorDodge, ColorBurn, HardLight,
  SoftLight, Difference, Exclusion, Hue, Saturation, Color, Luminosity
};
// The mode a name gives (Compatible and unknown names give Normal).
TBlendMode BlendModeFrom(std::string_view name);

// Default follows the canvas settings (smooth-images flag); the others force a sampling.
enum class TImageSampling { Default, Nearest, Smooth };

// One glyph as text shows it: the font that drew it (a number no other loaded font shares),
// its name as the font's rasteriser takes it, and the matrix from the rasteriser's outline
// space to the device (its translation is the glyph origin).
struct TGlyphKey {
  std::uint64_t Font = 0;
  std::string_view Glyph;
  TPDFMatrix Matrix;
};

class TPDFGenericCanvas;

// Adds a glyph outline, mapped through a matrix, to a canvas's current path; asked only when
// the canvas has no picture of the glyph yet.
class TGlyphOutlineSource {
 public:
  virtual ~TGlyphOutlineSource() = default;
  virtual void AddOutline(TPDFGenericCanvas& canvas, const TPDFMatrix& m) const = 0;
};

class TPDFGenericCanvas {
 public:
  virtual ~TPDFGenericCanvas() = default;

  // The ten path and image operations, in their slot order.
  virtual void BeginPath() = 0;
  virtual void MoveTo(double x, double y) = 0;
  virtual void LineTo(double x, double y) = 0;
  virtual void CurveTo(double x1, double y1, double x2, double y2, double x3, double y3) = 0;
  // Quadratic Bezier with control (x1, y1) ending at (x2, y2), drawn as the equivalent cubic.
  virtual void QuadTo(double x1, double y1, double x2, double y2) = 0;
  virtual void ClosePath() = 0;
  virtual void StrokePath() = 0;
  virtual void FillPath() = 0;
  virtual void FillStrokePath() = 0;
  // Draws the bitmap into the parallelogram with upper-left (x1, y1), upper-right (x2, y2) and
  // lower-left (x3, y3).
  virtual void DrawBitmap(const TCanvasBitmap& bitmap, double x1, double y1, double x2,
                          double y2, double x3, double y3, TImageSampling sampling) = 0;

  // State that the renderer pushes before painting. A canvas without such state (the EPS
  // writer's outline canvas) keeps these no-op defaults.
  virtual void SetFillColor(TPackedColor) {}
  virtual void SetStrokeColor(TPackedColor) {}
  virtual void SetFillAlpha(double) {}
  virtual void SetStrokeAlpha(double) {}
  virtual void SetLineWidth(double) {}  // device pixels
  virtual void SetLineCap(TLineCap) {}
  virtual void SetLineJoin(TLineJoin) {}
  virtual void SetMiterLimit(double) {}
  virtual void SetDash(const TGPDashArray&, double /*phase*/) {}  // empty: solid
  virtual void SetFillRule(int) {}

  // Clipping: SetClip marks the current path as a clip (by intersection) that is applied when
  // the path is next painted or ended by EndPath. SaveClip returns a snapshot of the current
  // clip; RestoreClip replaces the clip with a snapshot taken earlier on this canvas.
  virtual void SetClip(int /*rule*/) {}
  virtual void EndPath() {}
  virtual TClipHandle SaveClip() { return 0; }
  virtual void RestoreClip(TClipHandle) {}

  // Glyphs filled one at a time in the fill colour and alpha (nonzero rule). A canvas that
  // keeps glyph pictures says so; the renderer then hands it each plainly filled glyph
  // instead of one path per text operator. The default fills the outline as a path.
  virtual bool CachesGlyphs() const { return false; }
  virtual void FillGlyph(const TGlyphKey& key, const TGlyphOutlineSource& outline);

  // Soft masks. BeginLayer starts an offscreen layer that takes all drawing until it ends; it
  // starts filled with `backdrop` (opaque) or, without one, transparent. A canvas without
  // layers answers false and draws on as before. EndLayerAsMask ends the innermost layer and
  // keeps its luminosity (or its opacity), looked up in `transfer` (256 entries; empty for
  // none), as the mask of the next layer begun; EndLayer puts the innermost layer onto what
  // lies below it, through its mask if it has one.
  virtual bool BeginLayer(std::optional<TPackedColor> /*backdrop*/) { return false; }
  virtual void EndLayerAsMask(bool /*luminosity*/, const std::vector<std::uint8_t>& /*transfer*/) {}
  virtual void EndLayer() {}

  // Blend mode for everything painted from now on (paths, glyphs, pictures).
  virtual void SetBlendMode(TBlendMode) {}
  // Whether the opacities that follow are shape rather than opacity (alpha is shape): inside a
  // knockout group an element then replaces that fraction of what its group holds beneath it,
  // instead of knocking it out down to the group's backdrop.
  virtual void SetAlphaIsShape(bool) {}
  // Transparency groups. BeginGroup starts a layer that takes all drawing until EndGroup: an
  // isolated group starts transparent, any other with a copy of what lies below; in a knockout
  // group each element replaces the ones before it instead of being painted over them.
  // EndGroup puts the layer down with the opacity and blend mode given (and through the mask
  // ended last by EndLayerAsMask, if one is pending for it). A canvas without layers answers
  // false; the renderer then draws the group's content straight onto the page.
  virtual bool BeginGroup(bool /*isolated*/, bool /*knockout*/) { return false; }
  virtual void EndGroup(double /*alpha*/, TBlendMode /*mode*/) { EndLayer(); }
  // A non-isolated group that is put down with a blend mode: its content is drawn first
  // between BeginGroupShape and EndGroupShape (on a transparent layer, for the group's shape),
  // then again in a BeginGroup(false, false) layer over what lies below. EndGroup then takes
  // what lies below out of that layer again (by the shape) and blends the rest onto it.
  // False when the canvas cannot; the group is then drawn once.
  virtual bool BeginGroupShape() { return false; }
  virtual void EndGroupShape() {}
};

}  // namespace kestrel
