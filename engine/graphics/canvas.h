#pragma once
// The drawing target of the page renderer. Coordinates are device coordinates (pixels with y
// growing downwards for raster targets). Only neutral types cross this interface.
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace kestrel {

// Packed colour 0x00BBGGRR: red in the low byte.
using TPackedColor = std::uint32_t;

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

// Fill rule numbers as the renderer passes them; other values leave the path's rule alone.
inline constexpr int kFillRuleNonZero = 1;
inline constexpr int kFillRuleEvenOdd = 2;

// Pixels whose red, green and blue each lie within [low, high] are drawn transparent.
struct TCanvasColorKey {
  std::array<std::uint8_t, 3> Low{};   // red, green, blue
  std::array<std::uint8_t, 3> High{};  // red, green, blue

  // Whether the key hides a 0xAARRGGBB pixel.
  bool Hides(std::uint32_t argb) const {
    const std::uint8_t r = (argb >> 16) & 0xFF, g = (argb >> 8) & 0xFF, b = argb & 0xFF;
    return r >= Low[0] && r <= High[0] && g >= Low[1] && g <= High[1] && b >= Low[2] &&
           b <= High[2];
  }
};

// A picture handed to DrawBitmap: rows top-down, each pixel 0xAARRGGBB in a native uint32 with
// straight (not premultiplied) alpha. Pixels.size() must be at least Width * Height.
struct TCanvasBitmap {
  int Width = 0;
  int Height = 0;
  std::vector<std::uint32_t> Pixels;
  std::optional<TCanvasColorKey> ColorKey;
};

// Default follows the canvas settings (smooth-images flag); the others force a sampling.
enum class TImageSampling { Default, Nearest, Smooth };

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
  virtual void SetLineCap(int) {}       // 0 butt, 1 round, 2 square
  virtual void SetLineJoin(int) {}      // 0 miter, 1 round, 2 bevel
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
};

}  // namespace kestrel
