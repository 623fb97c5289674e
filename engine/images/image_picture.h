#pragma once
// A decoded image in the compact form it is cached in (8-bit gray or RGB samples and an
// optional opacity plane of its own size), and the bitmap the canvas draws made from it at the
// size it is drawn.
#include <array>
#include <cstdint>
#include <vector>

#include "engine/graphics/canvas.h"
#include "engine/syntax/bytes.h"

namespace kestrel {

// Rows top-down, `Channels` bytes a pixel (1 gray or opacity, 3 red green blue).
struct TImagePlane {
  int Width = 0;
  int Height = 0;
  int Channels = 0;
  TBytes Data;

  bool Empty() const { return Data.empty(); }
};

struct TDecodedPicture {
  TImagePlane Color;  // empty for a stencil mask
  TImagePlane Alpha;  // opacity, 255 opaque; a stencil's painted area
  bool Stencil = false;
  bool Interpolate = false;
  // One-bit samples (or a stencil): enlarged without blurring their edges.
  bool Bilevel = false;

  bool Empty() const { return Color.Empty() && Alpha.Empty(); }
  int Width() const;   // the larger of the planes
  int Height() const;
  std::uint64_t Bytes() const { return Color.Data.size() + Alpha.Data.size(); }
};

// Undoes colours pre-blended with a matte colour (red, green, blue) by the alpha of the same
// size: c = matte + (c - matte) / alpha. Pictures whose planes differ in size are left alone.
void RemoveMatte(TDecodedPicture& picture, const std::uint8_t matte[3]);

// The plane at another size: each target pixel is the average of the source area it covers
// when the plane shrinks along an axis, the nearest source pixel when it grows.
TImagePlane ResizePlane(const TImagePlane& plane, int width, int height);

// ResizePlane for a plane whose rows come one at a time, top down: a large image is read into
// the size it is drawn at without being held whole. Gives what ResizePlane gives.
class TPlaneResizer {
 public:
  TPlaneResizer(int sourceWidth, int sourceHeight, int channels, int width, int height);
  // The next source row: sourceWidth × channels bytes. Rows past the source's height are
  // ignored.
  void AddRow(const std::uint8_t* row);
  // The resized plane (empty for unusable sizes); rows never added count as rows of `fill`.
  TImagePlane Finish(std::uint8_t fill);

  // Source contributions of one target coordinate: [First, First + Count) with weights.
  struct TSpan {
    int First = 0;
    int Count = 0;
    int Weights = 0;  // offset into the weight table
  };

 private:
  void Horizontal(const std::uint8_t* row);

  int sourceWidth_, sourceHeight_;
  TImagePlane out_;
  std::size_t rowBytes_ = 0;
  std::vector<TSpan> xs_, ys_;
  std::vector<int> xw_, yw_;
  std::vector<std::uint32_t> hrow_;  // the last source row resized horizontally
  // Sums of the target rows in progress: at most two at once, told apart by parity.
  std::array<std::vector<std::uint64_t>, 2> acc_;
  int added_ = 0;  // source rows so far
  int next_ = 0;   // first target row not yet finished
};

// The picture as a canvas bitmap of the given size; a stencil is painted in `fill`.
TCanvasBitmap MakeCanvasBitmap(const TDecodedPicture& picture, int width, int height,
                               TPackedColor fill);

// How big to make the bitmap for a picture drawn over `deviceWidth` × `deviceHeight` pixels
// (the parallelogram's side lengths), and how the canvas should sample it: a picture drawn
// smaller is averaged down to about its device size; one drawn larger keeps its pixels and is
// smoothed unless it is bilevel or enlarged four times or more without Interpolate.
struct TImageDrawPlan {
  int Width = 0;
  int Height = 0;
  TImageSampling Sampling = TImageSampling::Smooth;
};
TImageDrawPlan PlanImageDraw(const TDecodedPicture& picture, double deviceWidth,
                             double deviceHeight);
// The bitmap's side for `pixels` of the picture drawn over `device` pixels: the device size
// rounded up when that is smaller, else the picture's own.
int DrawnSide(int pixels, double device);

}  // namespace kestrel
