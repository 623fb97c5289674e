#include "engine/output/emfplus/emfplus_canvas.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "engine/output/emfplus/emfplus_objects.h"
#include "engine/output/emfplus/emfplus_writer.h"
#include "engine/graphics/canvas_geometry.h"
#include "engine/graphics/graphics_limits.h"
#include "engine/graphics/canvas_path.h"

namespace kestrel {

using namespace emfplus;

namespace {

// Object table slots: each kind of object has its own, redefined whenever it changes (the
// table has 64 entries; a slot is only referred to right after it was defined).
constexpr std::uint8_t kSlotPath = 0;
constexpr std::uint8_t kSlotPen = 1;
constexpr std::uint8_t kSlotImage = 2;
constexpr std::uint8_t kSlotClipPath = 3;
constexpr std::uint8_t kSlotImageAttributes = 4;

// Geometry beyond this distance from the origin is cut to a box around the page first, so
// that floats keep their precision where it matters.
constexpr double kDirectLimit = 4'000'000;
constexpr double kMaxMiterLimit = 1e4;
// Clip data kept for re-applying snapshots (see limits::kMaxClipPaths).
constexpr std::size_t kMaxClipBytes = std::size_t{64} << 20;
// Pictures larger than this are reduced (nearest sample) before they are written.
constexpr std::size_t kMaxImagePixels = std::size_t{1} << 24;

// EMF+ mode values.
constexpr std::uint16_t kSmoothingNone = 3, kSmoothingAntiAlias = 4;
constexpr std::uint16_t kInterpolationBicubic = 4, kInterpolationNearest = 5;
constexpr std::uint16_t kPixelOffsetHalf = 4;
constexpr std::uint16_t kUnitPixel = 2;
constexpr std::uint16_t kCombineReplace = 0, kCombineIntersect = 1;

struct TClipNode {
  TBytes path;  // path object data
  int parent = -1;
  int depth = 1;
};

}  // namespace

struct TEmfPlusCanvas::Impl {
  Impl(std::int32_t w, std::int32_t h, double dpi, const TGDIPlusSettings& s)
      : writer(w, h, dpi), settings(s) {}

  TEmfPlusWriter writer;
  TGDIPlusSettings settings;
  bool finished = false;
  std::size_t dropped = 0;

  TPDFPoint current{};
  TPackedColor fillColor = 0, strokeColor = 0;
  double fillAlpha = 1, strokeAlpha = 1;
  double lineWidth = 1;
  TLineCap lineCap = TLineCap::Butt;
  TLineJoin lineJoin = TLineJoin::Miter;
  double miterLimit = 10;
  TGPDashArray dashes;
  double dashPhase = 0;
  int fillRule = 0;  // recorded, see SetFillRule

  TCanvasPath path;
  bool hasPath = false;

  // What the file's state holds now.
  std::optional<TPenStyle> penInSlot;
  std::uint16_t smoothing = 0, interpolation = 0;
  bool attributesWritten = false;

  bool clipPending = false;
  bool clipChanged = true;
  TClipHandle currentSnapshot = 0;
  int currentClip = -1;  // node in effect, -1 for none
  std::vector<TClipNode> clipNodes;
  std::size_t clipBytes = 0;
  std::vector<int> snapshots;

  void Start();
  void Mode(std::uint16_t type, std::uint16_t value, std::uint16_t& state);
  void PathModes();
  bool Record(std::uint16_t type, std::uint16_t flags, std::string_view data = {});
  bool DefineObject(TObjectType type, std::uint8_t slot, std::string_view data);

  void CurveTo(TPDFPoint c1, TPDFPoint c2, TPDFPoint to);
  void PreparePath();
  void DiscardPath();
  TBox PageBox(double margin) const;
  std::vector<TPathOp> FillOps() const;
  std::optional<TPenStyle> Pen(std::vector<TPathOp>& strokeOps) const;
  void Paint(bool fill, bool stroke);
  void EndPath();
  void ApplyPendingClip(std::optional<TBytes> fillPath, bool inPathSlot);
  void SetClipFromSlot(std::uint8_t slot, std::uint16_t combine);
  bool EmitClipNode(int node, std::uint16_t combine);
  void MoveClipTo(int node);
  TClipHandle SaveClip();
  void RestoreClip(TClipHandle handle);
  void DrawBitmap(const TCanvasBitmap& bitmap, TPDFPoint p1, TPDFPoint p2, TPDFPoint p3,
                  TImageSampling sampling);
};

// ---- file state ----

void TEmfPlusCanvas::Impl::Start() {
  // Page unit pixel at scale 1: world coordinates are the page's pixels.
  TBytes scale;
  TByteSink(scale).F32(1.0f);
  Record(kSetPageTransform, kUnitPixel, scale);
  Record(kSetPixelOffsetMode, kPixelOffsetHalf);
  PathModes();
}

bool TEmfPlusCanvas::Impl::Record(std::uint16_t type, std::uint16_t flags,
                                  std::string_view data) {
  if (finished) return false;
  if (writer.Record(type, flags, data)) return true;
  ++dropped;
  return false;
}

bool TEmfPlusCanvas::Impl::DefineObject(TObjectType type, std::uint8_t slot,
                                        std::string_view data) {
  if (finished) return false;
  if (writer.Object(type, slot, data)) return true;
  ++dropped;
  return false;
}

void TEmfPlusCanvas::Impl::Mode(std::uint16_t type, std::uint16_t value, std::uint16_t& state) {
  if (state == value + 1) return;  // state holds value + 1 so that 0 means "not written yet"
  if (Record(type, value)) state = static_cast<std::uint16_t>(value + 1);
}

void TEmfPlusCanvas::Impl::PathModes() {
  // Anti-alias mode: smoothing mode in bits 1 to 7, the anti-alias bit in bit 0.
  const bool aa = settings.AntiAlias;
  Mode(kSetAntiAliasMode,
       aa ? static_cast<std::uint16_t>(kSmoothingAntiAlias << 1 | 1) : kSmoothingNone << 1,
       smoothing);
  Mode(kSetInterpolationMode, aa ? kInterpolationBicubic : kInterpolationNearest, interpolation);
}

// ---- path building ----

void TEmfPlusCanvas::Impl::CurveTo(TPDFPoint c1, TPDFPoint c2, TPDFPoint to) {
  if (hasPath) path.CurveTo(current, c1, c2, to);
  current = to;
}

void TEmfPlusCanvas::Impl::PreparePath() {
  path.AddEndSegmentToSingleLine(current);
}

void TEmfPlusCanvas::Impl::DiscardPath() {
  path.Clear();
  hasPath = false;
}

TBox TEmfPlusCanvas::Impl::PageBox(double margin) const {
  return {-margin, -margin, writer.Width() + margin, writer.Height() + margin};
}

std::vector<TPathOp> TEmfPlusCanvas::Impl::FillOps() const {
  if (BoundsInside(path.Bounds(), kDirectLimit)) return path.Ops();
  return PolylinesToOps(
      ClipPolygons(FlattenPath(path.Ops(), limits::kFlattenTolerance), PageBox(16)));
}

// The pen for the current state. When the path reaches far beyond the page it is cut to the
// page first, and a dash pattern is then applied here (cutting would shift it) and the pen
// drawn solid: `strokeOps` receives that geometry, or stays empty for the path as it is.
std::optional<TPenStyle> TEmfPlusCanvas::Impl::Pen(std::vector<TPathOp>& strokeOps) const {
  TPenStyle pen;
  pen.Argb = ToArgb(strokeColor, strokeAlpha);
  const double requested = std::isfinite(lineWidth) ? std::clamp(lineWidth, 0.0, limits::kMaxLineWidth)
                                                    : 1.0;
  // Lines thinner than a pixel are drawn one pixel wide; dash lengths stay in widths of the
  // line asked for.
  const double width = std::max(requested, 1.0);
  const double unit = requested > 0 ? requested : 1.0;
  pen.Width = static_cast<float>(width);
  pen.Cap = static_cast<int>(lineCap);
  pen.Join = static_cast<int>(lineJoin);
  pen.MiterLimit = static_cast<float>(
      std::isnan(miterLimit) ? 10.0 : std::clamp(miterLimit, 1.0, kMaxMiterLimit));

  // Dashes in pixels; an unusable pattern (negative, not finite, too fine, too long) is solid.
  std::vector<double> pixels;
  bool usable = !dashes.empty() && dashes.size() <= limits::kMaxDashEntries;
  double period = 0;
  for (float d : dashes) {
    if (!std::isfinite(d) || d < 0) usable = false;
    pixels.push_back(static_cast<double>(d) * unit);
    period += pixels.back();
  }
  if (pixels.size() % 2 == 1) {
    // An odd count repeats with the roles of dashes and gaps swapped.
    const std::size_t n = pixels.size();
    for (std::size_t i = 0; i < n; ++i) pixels.push_back(pixels[i]);
    period *= 2;
  }
  // Patterns finer than the one the raster canvas draws are solid there too.
  usable = usable && std::isfinite(period) && period >= kMinDashPeriod;
  const double phase = std::isfinite(dashPhase) ? dashPhase * unit : 0.0;

  strokeOps.clear();
  if (!BoundsInside(path.Bounds(), kDirectLimit)) {
    const double reach = width / 2 * (pen.Join == 0 ? std::max<double>(pen.MiterLimit, 1.5) : 1.5);
    const TBox guard = PageBox(std::min(reach, 2 * kDirectLimit) + 16);
    const std::vector<TPolyline> lines = FlattenPath(path.Ops(), limits::kFlattenTolerance);
    if (usable) {
      if (auto dashed = DashPolylines(lines, pixels, phase, guard, limits::kMaxDashSteps)) {
        strokeOps = std::move(*dashed);
        return pen;
      }
    }
    strokeOps = PolylinesToOps(ClipPolylines(lines, guard));
    if (strokeOps.empty()) return std::nullopt;
    return pen;
  }
  if (usable) {
    // The pen's pattern is in pen widths; zero-length dashes (dots with round caps) become
    // very short ones, since a pattern entry must be positive.
    for (double p : pixels) pen.Dashes.push_back(static_cast<float>(std::max(p / width, 1e-3)));
    const double offset = std::fmod(phase, period);
    pen.DashOffset = static_cast<float>((offset < 0 ? offset + period : offset) / width);
  }
  return pen;
}

// ---- painting ----

void TEmfPlusCanvas::Impl::Paint(bool fill, bool stroke) {
  if (finished) return;
  if (!hasPath) {
    clipPending = false;
    currentSnapshot = 0;
    return;
  }
  PreparePath();
  std::optional<TBytes> fillPath;
  bool fillInSlot = false;
  if (!path.Empty()) {
    if (fill) {
      fillPath = PathObject(FillOps());
      if (fillPath && DefineObject(kObjectPath, kSlotPath, *fillPath)) {
        fillInSlot = true;
        TBytes colour;
        TByteSink(colour).U32(ToArgb(fillColor, fillAlpha));
        Record(kFillPath, 0x8000 | kSlotPath, colour);  // S: the brush is a colour
      } else if (!fillPath) {
        ++dropped;
      }
    }
    if (stroke) {
      std::vector<TPathOp> strokeOps;
      const std::optional<TPenStyle> pen = Pen(strokeOps);
      bool pathReady = false;
      if (pen && strokeOps.empty() && fillInSlot && BoundsInside(path.Bounds(), kDirectLimit)) {
        pathReady = true;  // the filled path is the stroked one
      } else if (pen) {
        const std::optional<TBytes> data =
            PathObject(strokeOps.empty() ? path.Ops() : strokeOps);
        if (!data) ++dropped;
        pathReady = data && DefineObject(kObjectPath, kSlotPath, *data);
        fillInSlot = false;
      }
      if (pathReady && penInSlot != pen) {
        penInSlot.reset();
        if (DefineObject(kObjectPen, kSlotPen, PenObject(*pen))) penInSlot = pen;
      }
      if (pathReady && penInSlot) {
        TBytes id;
        TByteSink(id).U32(kSlotPen);
        Record(kDrawPath, kSlotPath, id);
      }
    }
  }
  if (clipPending) ApplyPendingClip(std::move(fillPath), fillInSlot);
  DiscardPath();
}

void TEmfPlusCanvas::Impl::EndPath() {
  if (!finished && hasPath) {
    PreparePath();
    if (clipPending) ApplyPendingClip(std::nullopt, false);
  }
  DiscardPath();
}

// ---- clipping ----

void TEmfPlusCanvas::Impl::ApplyPendingClip(std::optional<TBytes> fillPath, bool inPathSlot) {
  clipPending = false;
  currentSnapshot = 0;
  if (!fillPath) fillPath = PathObject(FillOps());
  // A clip by a path with no segments leaves nothing visible; an empty path object stands
  // for it (two coincident points enclose no area).
  if (!fillPath) {
    std::vector<TPathOp> nothing{{TPathOpKind::Move, {{0, 0}}}, {TPathOpKind::Line, {{0, 0}}}};
    fillPath = PathObject(nothing);
    inPathSlot = false;
  }
  const int depth = currentClip < 0 ? 1 : clipNodes[currentClip].depth + 1;
  if (clipNodes.size() >= limits::kMaxClipPaths || clipBytes + fillPath->size() > kMaxClipBytes ||
      depth > limits::kMaxClipDepth) {
    ++dropped;
    return;
  }
  clipBytes += fillPath->size();
  clipNodes.push_back({std::move(*fillPath), currentClip, depth});
  currentClip = static_cast<int>(clipNodes.size()) - 1;
  if (inPathSlot) {
    SetClipFromSlot(kSlotPath, kCombineIntersect);
  } else {
    EmitClipNode(currentClip, kCombineIntersect);
  }
}

void TEmfPlusCanvas::Impl::SetClipFromSlot(std::uint8_t slot, std::uint16_t combine) {
  Record(kSetClipPath, static_cast<std::uint16_t>(combine << 8 | slot));
}

bool TEmfPlusCanvas::Impl::EmitClipNode(int node, std::uint16_t combine) {
  if (!DefineObject(kObjectPath, kSlotClipPath, clipNodes[node].path)) return false;
  SetClipFromSlot(kSlotClipPath, combine);
  return true;
}

void TEmfPlusCanvas::Impl::MoveClipTo(int node) {
  if (node == currentClip) return;
  // The chain of clip paths from the outermost to `node`.
  std::vector<int> chain;
  for (int n = node; n >= 0; n = clipNodes[n].parent) chain.push_back(n);
  std::reverse(chain.begin(), chain.end());
  // Going deeper from the clip in effect needs only the paths below it; anything else starts
  // again from the outermost path.
  auto below = std::find(chain.begin(), chain.end(), currentClip);
  currentClip = node;
  if (currentClip != -1 && below != chain.end()) {
    for (auto it = below + 1; it != chain.end(); ++it) EmitClipNode(*it, kCombineIntersect);
    return;
  }
  if (chain.empty()) {
    Record(kResetClip, 0);
    return;
  }
  EmitClipNode(chain.front(), kCombineReplace);
  for (auto it = chain.begin() + 1; it != chain.end(); ++it) EmitClipNode(*it, kCombineIntersect);
}

TClipHandle TEmfPlusCanvas::Impl::SaveClip() {
  if (!clipChanged) return currentSnapshot;
  if (snapshots.size() >= 0xFFFFFFF0u) return currentSnapshot;
  clipChanged = false;
  snapshots.push_back(currentClip);
  currentSnapshot = static_cast<TClipHandle>(snapshots.size());
  return currentSnapshot;
}

void TEmfPlusCanvas::Impl::RestoreClip(TClipHandle handle) {
  if (finished || handle == currentSnapshot) return;
  if (handle == 0 || handle > snapshots.size()) return;  // not a snapshot of this canvas
  currentSnapshot = handle;
  clipChanged = false;
  MoveClipTo(snapshots[handle - 1]);
}

// ---- pictures ----

void TEmfPlusCanvas::Impl::DrawBitmap(const TCanvasBitmap& bitmap, TPDFPoint p1, TPDFPoint p2,
                                      TPDFPoint p3, TImageSampling sampling) {
  if (finished || bitmap.Width <= 0 || bitmap.Height <= 0) return;
  const auto w = static_cast<std::size_t>(bitmap.Width);
  const auto h = static_cast<std::size_t>(bitmap.Height);
  if (w > std::numeric_limits<std::size_t>::max() / h || bitmap.Pixels.size() < w * h) return;
  if (!IsFinitePoint(p1) || !IsFinitePoint(p2) || !IsFinitePoint(p3)) return;
  const double area = std::fabs((p2.x - p1.x) * (p3.y - p1.y) - (p2.y - p1.y) * (p3.x - p1.x));
  if (!(area > 1e-6) || !std::isfinite(area)) return;

  // A picture past the pixel bound is reduced by a whole factor, sampling the nearest pixel.
  std::size_t step = 1;
  while ((w + step - 1) / step * ((h + step - 1) / step) > kMaxImagePixels) ++step;
  const std::size_t ow = (w + step - 1) / step, oh = (h + step - 1) / step;
  if (!writer.HasRoom(ow * oh * 4 + 256)) {
    ++dropped;
    return;
  }
  std::vector<std::uint32_t> pixels;
  pixels.reserve(ow * oh);
  const TCanvasColorKey* key = bitmap.ColorKey ? &*bitmap.ColorKey : nullptr;
  for (std::size_t y = 0; y < oh; ++y) {
    for (std::size_t x = 0; x < ow; ++x) {
      std::uint32_t p = bitmap.Pixels[y * step * w + x * step];
      if (key) {
        const std::uint8_t r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
        if (r >= key->Low[0] && r <= key->High[0] && g >= key->Low[1] && g <= key->High[1] &&
            b >= key->Low[2] && b <= key->High[2]) {
          p = 0;  // keyed out: transparent
        }
      }
      pixels.push_back(p);
    }
  }
  if (!attributesWritten) {
    attributesWritten =
        DefineObject(static_cast<TObjectType>(kObjectImageAttributes), kSlotImageAttributes,
                     ImageAttributesObject());
  }
  if (!DefineObject(kObjectImage, kSlotImage,
                    BitmapObject(static_cast<int>(ow), static_cast<int>(oh), pixels))) {
    return;
  }
  const bool smooth = sampling == TImageSampling::Smooth ||
                      (sampling == TImageSampling::Default && settings.SmoothImages);
  if (smooth) {
    Mode(kSetInterpolationMode, kInterpolationBicubic, interpolation);
  } else {
    Mode(kSetAntiAliasMode, kSmoothingNone << 1, smoothing);
    Mode(kSetInterpolationMode, kInterpolationNearest, interpolation);
  }
  TBytes data;
  TByteSink s(data);
  s.U32(attributesWritten ? kSlotImageAttributes : 0xFFFFFFFFu);
  s.U32(kUnitPixel);
  s.F32(0), s.F32(0), s.F32(static_cast<float>(ow)), s.F32(static_cast<float>(oh));
  s.U32(3);
  for (TPDFPoint p : {p1, p2, p3}) {
    s.F32(ClampCoord(p.x));
    s.F32(ClampCoord(p.y));
  }
  Record(kDrawImagePoints, kSlotImage, data);
  PathModes();
}

// ---- the canvas ----

std::unique_ptr<TEmfPlusCanvas> TEmfPlusCanvas::Create(std::int64_t width, std::int64_t height,
                                                       double dpi,
                                                       const TGDIPlusSettings& settings) {
  if (width < 1 || height < 1 || width > kMaxExtent || height > kMaxExtent) return nullptr;
  if (!(dpi > 0) || !std::isfinite(dpi)) return nullptr;
  auto impl = std::make_unique<Impl>(static_cast<std::int32_t>(width),
                                     static_cast<std::int32_t>(height), dpi, settings);
  impl->Start();
  return std::unique_ptr<TEmfPlusCanvas>(new TEmfPlusCanvas(std::move(impl)));
}

TEmfPlusCanvas::TEmfPlusCanvas(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
TEmfPlusCanvas::~TEmfPlusCanvas() = default;

void TEmfPlusCanvas::BeginPath() {
  m_impl->path.Clear();
  m_impl->hasPath = true;
}

void TEmfPlusCanvas::MoveTo(double x, double y) {
  m_impl->current = {x, y};
  if (m_impl->hasPath) m_impl->path.MoveTo(m_impl->current);
}

void TEmfPlusCanvas::LineTo(double x, double y) {
  const TPDFPoint to{x, y};
  if (m_impl->hasPath) m_impl->path.LineTo(m_impl->current, to);
  m_impl->current = to;
}

void TEmfPlusCanvas::CurveTo(double x1, double y1, double x2, double y2, double x3, double y3) {
  m_impl->CurveTo({x1, y1}, {x2, y2}, {x3, y3});
}

void TEmfPlusCanvas::QuadTo(double x1, double y1, double x2, double y2) {
  const TPDFPoint p0 = m_impl->current;
  m_impl->CurveTo({p0.x + (x1 - p0.x) * 2.0 / 3.0, p0.y + (y1 - p0.y) * 2.0 / 3.0},
                  {x1 + (x2 - x1) / 3.0, y1 + (y2 - y1) / 3.0}, {x2, y2});
}

void TEmfPlusCanvas::ClosePath() {
  if (!m_impl->hasPath) return;
  m_impl->path.ClosePath();
  if (m_impl->path.HasFigure()) m_impl->current = m_impl->path.FigureStart();
}

void TEmfPlusCanvas::StrokePath() { m_impl->Paint(false, true); }
void TEmfPlusCanvas::FillPath() { m_impl->Paint(true, false); }
void TEmfPlusCanvas::FillStrokePath() { m_impl->Paint(true, true); }

void TEmfPlusCanvas::DrawBitmap(const TCanvasBitmap& bitmap, double x1, double y1, double x2,
                                double y2, double x3, double y3, TImageSampling sampling) {
  m_impl->DrawBitmap(bitmap, {x1, y1}, {x2, y2}, {x3, y3}, sampling);
}

void TEmfPlusCanvas::SetFillColor(TPackedColor color) { m_impl->fillColor = color; }
void TEmfPlusCanvas::SetStrokeColor(TPackedColor color) { m_impl->strokeColor = color; }
void TEmfPlusCanvas::SetFillAlpha(double alpha) { m_impl->fillAlpha = alpha; }
void TEmfPlusCanvas::SetStrokeAlpha(double alpha) { m_impl->strokeAlpha = alpha; }
void TEmfPlusCanvas::SetLineWidth(double width) { m_impl->lineWidth = width; }
void TEmfPlusCanvas::SetLineCap(TLineCap cap) { m_impl->lineCap = cap; }
void TEmfPlusCanvas::SetLineJoin(TLineJoin join) { m_impl->lineJoin = join; }
void TEmfPlusCanvas::SetMiterLimit(double limit) { m_impl->miterLimit = limit; }

void TEmfPlusCanvas::SetDash(const TGPDashArray& dashes, double phase) {
  m_impl->dashes = dashes;
  m_impl->dashPhase = phase;
}

// EMF+ path objects carry no fill rule (readers fill them alternate), so the rule is kept
// only as state.
void TEmfPlusCanvas::SetFillRule(int rule) { m_impl->fillRule = rule; }

void TEmfPlusCanvas::SetClip(int rule) {
  SetFillRule(rule);
  m_impl->clipPending = true;
  m_impl->clipChanged = true;
}

void TEmfPlusCanvas::EndPath() { m_impl->EndPath(); }
TClipHandle TEmfPlusCanvas::SaveClip() { return m_impl->SaveClip(); }
void TEmfPlusCanvas::RestoreClip(TClipHandle handle) { m_impl->RestoreClip(handle); }

TBytes TEmfPlusCanvas::Finish() {
  if (m_impl->finished) return {};
  m_impl->finished = true;
  return m_impl->writer.Finish();
}

std::size_t TEmfPlusCanvas::DroppedCount() const { return m_impl->dropped; }

}  // namespace kestrel
