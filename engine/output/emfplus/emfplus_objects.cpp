#include "engine/output/emfplus/emfplus_objects.h"

#include <algorithm>
#include <cmath>

#include "engine/output/emfplus/emfplus_writer.h"
#include "engine/output/raster/png_writer.h"

namespace kestrel::emfplus {

namespace {

constexpr std::uint8_t kPointStart = 0;
constexpr std::uint8_t kPointLine = 1;
constexpr std::uint8_t kPointBezier = 3;
constexpr std::uint8_t kPointClose = 0x80;

// Pen data flags for the optional fields written.
constexpr std::uint32_t kPenStartCap = 0x02;
constexpr std::uint32_t kPenEndCap = 0x04;
constexpr std::uint32_t kPenJoin = 0x08;
constexpr std::uint32_t kPenMiterLimit = 0x10;
constexpr std::uint32_t kPenLineStyle = 0x20;
constexpr std::uint32_t kPenDashedLineCap = 0x40;
constexpr std::uint32_t kPenDashOffset = 0x80;
constexpr std::uint32_t kPenDashedLine = 0x100;

constexpr std::uint32_t kPixelFormat32bppARGB = 0x0026200A;

// EMF+ line caps: flat 0, square 1, round 2. Line joins: miter 0, bevel 1, round 2.
std::uint32_t PlusCap(int cap) { return cap == 1 ? 2 : cap == 2 ? 1 : 0; }
std::uint32_t PlusJoin(int join) { return join == 1 ? 2 : join == 2 ? 1 : 0; }

}  // namespace

std::uint32_t ToArgb(std::uint32_t packed, double alpha) {
  const double a = std::isnan(alpha) ? 1.0 : std::clamp(alpha, 0.0, 1.0);
  const auto a8 = static_cast<std::uint32_t>(std::nearbyint(a * 255));
  const std::uint32_t r = packed & 0xFF, g = (packed >> 8) & 0xFF, b = (packed >> 16) & 0xFF;
  return a8 << 24 | r << 16 | g << 8 | b;
}

float ClampCoord(double v) {
  if (std::isnan(v)) return 0;
  return static_cast<float>(std::clamp(v, -kMaxCoord, kMaxCoord));
}

std::optional<TBytes> PathObject(const std::vector<TPathOp>& ops) {
  std::vector<TPDFPoint> points;
  std::vector<std::uint8_t> types;
  bool figureHasSegment = false;
  TPDFPoint start{};
  bool haveStart = false;
  auto beginSegment = [&] {
    if (figureHasSegment) return;
    points.push_back(start);
    types.push_back(kPointStart);
    figureHasSegment = true;
  };
  for (const TPathOp& op : ops) {
    if (points.size() > kMaxPathPoints) return std::nullopt;
    switch (op.kind) {
      case TPathOpKind::Move:
        start = op.p[0];
        haveStart = true;
        figureHasSegment = false;
        break;
      case TPathOpKind::Line:
        if (!haveStart) break;
        beginSegment();
        points.push_back(op.p[0]);
        types.push_back(kPointLine);
        break;
      case TPathOpKind::Curve:
        if (!haveStart) break;
        beginSegment();
        for (int i = 0; i < 3; ++i) {
          points.push_back(op.p[i]);
          types.push_back(kPointBezier);
        }
        break;
      case TPathOpKind::Close:
        if (figureHasSegment) types.back() |= kPointClose;
        // A segment after a close starts a new figure at the closed figure's start.
        figureHasSegment = false;
        break;
    }
  }
  if (points.empty() || points.size() > kMaxPathPoints) return std::nullopt;
  TBytes data;
  data.reserve(12 + points.size() * 9 + 4);
  TByteSink s(data);
  s.U32(kEmfPlusVersion);
  s.U32(static_cast<std::uint32_t>(points.size()));
  s.U32(0);  // float points, one type byte each
  for (const TPDFPoint& p : points) {
    s.F32(ClampCoord(p.x));
    s.F32(ClampCoord(p.y));
  }
  for (std::uint8_t t : types) s.U8(t);
  s.PadTo4();
  return data;
}

TBytes PenObject(const TPenStyle& pen) {
  TBytes data;
  TByteSink s(data);
  s.U32(kEmfPlusVersion);
  s.U32(0);  // pen type
  std::uint32_t flags = kPenStartCap | kPenEndCap | kPenJoin | kPenMiterLimit;
  const bool dashed = !pen.Dashes.empty();
  if (dashed) flags |= kPenLineStyle | kPenDashedLineCap | kPenDashOffset | kPenDashedLine;
  s.U32(flags);
  s.U32(0);  // width in world units, which are pixels here
  s.F32(pen.Width);
  s.U32(PlusCap(pen.Cap));
  s.U32(PlusCap(pen.Cap));
  s.U32(PlusJoin(pen.Join));
  s.F32(pen.MiterLimit);
  if (dashed) {
    s.U32(5);                        // custom line style
    s.U32(pen.Cap == 1 ? 2 : 0);     // dash ends: round for round caps, else flat
    s.F32(pen.DashOffset);
    s.U32(static_cast<std::uint32_t>(pen.Dashes.size()));
    for (float d : pen.Dashes) s.F32(d);
  }
  // The pen's brush: a solid colour.
  s.U32(kEmfPlusVersion);
  s.U32(0);
  s.U32(pen.Argb);
  return data;
}

TBytes BitmapObject(int width, int height, std::span<const std::uint32_t> argb) {
  const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  TBytes png;
  if (width > 0 && height > 0 && argb.size() >= pixels) {
    // The words read as 0x00RRGGBB pixels (the top byte is ignored there); alpha goes in a
    // mask of its own.
    const TPixelView colour{reinterpret_cast<const std::uint8_t*>(argb.data()), width, height,
                            static_cast<std::ptrdiff_t>(width) * 4, TPixelLayout::kXRGB32};
    TPNGWriter writer(colour);
    std::vector<std::uint8_t> alpha;
    if (std::any_of(argb.begin(), argb.begin() + static_cast<std::ptrdiff_t>(pixels),
                    [](std::uint32_t p) { return p >> 24 != 0xFF; })) {
      alpha.reserve(pixels);
      for (std::size_t i = 0; i < pixels; ++i) alpha.push_back(static_cast<std::uint8_t>(argb[i] >> 24));
      writer.SetAlphaMask(TPixelView{alpha.data(), width, height, width, TPixelLayout::kGray8},
                          false);
    }
    png = writer.WriteTo();
  }
  TBytes data;
  data.reserve(28 + png.size() + 3);
  TByteSink s(data);
  s.U32(kEmfPlusVersion);
  s.U32(1);  // bitmap image
  s.I32(width);
  s.I32(height);
  s.I32(width * 4);
  s.U32(kPixelFormat32bppARGB);
  s.U32(1);  // compressed: an image file follows
  s.Bytes(png);
  s.PadTo4();
  return data;
}

TBytes ImageAttributesObject() {
  TBytes data;
  TByteSink s(data);
  s.U32(kEmfPlusVersion);
  s.U32(0);
  s.U32(3);  // wrap mode: tile flipped on both axes
  s.U32(0);  // clamp colour
  s.U32(0);  // clamp to the rectangle
  s.U32(0);
  return data;
}

}  // namespace kestrel::emfplus
