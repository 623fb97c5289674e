#include "engine/output/raster/raster_canvas.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/graphics/raster_image.h"
#include "engine/output/raster/raster_canvas_impl.h"

namespace kestrel {

std::uint32_t PackedToARGB(TPackedColor color, double alpha) {
  if (std::isnan(alpha)) alpha = 1;
  alpha = std::clamp(alpha, 0.0, 1.0);
  const auto a = static_cast<std::uint32_t>(std::nearbyint(alpha * 255));
  return (a << 24) | (std::uint32_t{PackedRed(color)} << 16) |
         (std::uint32_t{PackedGreen(color)} << 8) | PackedBlue(color);
}

TPDFPicasso::TPDFPicasso() : m_impl(std::make_unique<Impl>()) {}
TPDFPicasso::~TPDFPicasso() = default;

bool TPDFPicasso::AttachGDI(const TPixelBuffer& target) { return m_impl->Attach(target, false); }

bool TPDFPicasso::AttachLibrary(const TPixelBuffer& target, const TGDIPlusSettings& settings) {
  m_impl->settings = settings;
  return m_impl->Attach(target, settings.UseLibrary);
}

namespace {

TPixelBuffer BufferOf(TRasterImage& raster) {
  return {raster.Data(), raster.SizeBytes(), raster.Width(), raster.Height(), raster.Stride()};
}

}  // namespace

bool TPDFPicasso::AttachGDI(TRasterImage& raster) { return AttachGDI(BufferOf(raster)); }

bool TPDFPicasso::AttachLibrary(TRasterImage& raster, const TGDIPlusSettings& settings) {
  return AttachLibrary(BufferOf(raster), settings);
}

TPDFPicasso::TMode TPDFPicasso::Mode() const { return m_impl->mode; }

void TPDFPicasso::SetMaxTileSize(int pixels) { m_impl->maxTile = pixels; }

void TPDFPicasso::BeginPath() { m_impl->BeginPath(); }
void TPDFPicasso::MoveTo(double x, double y) { m_impl->MoveTo(x, y); }
void TPDFPicasso::LineTo(double x, double y) { m_impl->LineTo(x, y); }

void TPDFPicasso::CurveTo(double x1, double y1, double x2, double y2, double x3, double y3) {
  m_impl->CurveTo(x1, y1, x2, y2, x3, y3);
}

void TPDFPicasso::QuadTo(double x1, double y1, double x2, double y2) {
  const TPDFPoint p0 = m_impl->current;
  const double c1x = p0.x + (x1 - p0.x) * 2.0 / 3.0, c1y = p0.y + (y1 - p0.y) * 2.0 / 3.0;
  const double c2x = x1 + (x2 - x1) / 3.0, c2y = y1 + (y2 - y1) / 3.0;
  m_impl->CurveTo(c1x, c1y, c2x, c2y, x2, y2);
}

void TPDFPicasso::ClosePath() { m_impl->ClosePath(); }
void TPDFPicasso::StrokePath() { m_impl->Paint(false, true); }
void TPDFPicasso::FillPath() { m_impl->Paint(true, false); }
void TPDFPicasso::FillStrokePath() { m_impl->Paint(true, true); }

void TPDFPicasso::DrawBitmap(const TCanvasBitmap& bitmap, double x1, double y1, double x2,
                             double y2, double x3, double y3, TImageSampling sampling) {
  m_impl->DrawBitmap(bitmap, {x1, y1}, {x2, y2}, {x3, y3}, sampling);
}

void TPDFPicasso::DrawBitmapRect(const TCanvasBitmap& bitmap, double x, double y, double w,
                                 double h) {
  const bool smooth = m_impl->settings.AntiAlias;
  m_impl->DrawBitmap(bitmap, {x, y}, {x + w, y}, {x, y + h},
                     smooth ? TImageSampling::Smooth : TImageSampling::Nearest);
}

void TPDFPicasso::SetFillColor(TPackedColor color) { m_impl->fillColor = color & 0xFFFFFF; }
void TPDFPicasso::SetStrokeColor(TPackedColor color) { m_impl->strokeColor = color & 0xFFFFFF; }
void TPDFPicasso::SetFillAlpha(double alpha) { m_impl->fillAlpha = alpha; }
void TPDFPicasso::SetStrokeAlpha(double alpha) { m_impl->strokeAlpha = alpha; }
void TPDFPicasso::SetLineWidth(double width) { m_impl->lineWidth = width; }
void TPDFPicasso::SetLineCap(TLineCap cap) { m_impl->lineCap = cap; }
void TPDFPicasso::SetLineJoin(TLineJoin join) { m_impl->lineJoin = join; }
void TPDFPicasso::SetMiterLimit(double limit) { m_impl->miterLimit = limit; }

void TPDFPicasso::SetDash(const TGPDashArray& dashes, double phase) {
  m_impl->dashes = dashes;
  m_impl->dashPhase = phase;
}

void TPDFPicasso::SetFillRule(int rule) { m_impl->SetFillRule(rule); }

void TPDFPicasso::SetClip(int rule) {
  m_impl->SetFillRule(rule);
  m_impl->clipPending = true;
  m_impl->clipChanged = true;
}

void TPDFPicasso::EndPath() { m_impl->EndPath(); }
bool TPDFPicasso::BeginLayer(std::optional<TPackedColor> backdrop) {
  using TStart = Impl::TLayerStart;
  return m_impl->BeginLayer(backdrop ? TStart::Colour : TStart::Transparent, backdrop.value_or(0),
                            false);
}
bool TPDFPicasso::BeginGroup(bool isolated, bool knockout) {
  using TStart = Impl::TLayerStart;
  return m_impl->BeginLayer(isolated ? TStart::Transparent : TStart::CopyBelow, 0, knockout);
}
void TPDFPicasso::EndGroup(double alpha, TBlendMode mode) { m_impl->EndGroup(alpha, mode); }
bool TPDFPicasso::BeginGroupShape() {
  return m_impl->BeginLayer(Impl::TLayerStart::Transparent, 0, false);
}
void TPDFPicasso::EndGroupShape() { m_impl->EndLayerAsShape(); }
void TPDFPicasso::SetBlendMode(TBlendMode mode) { m_impl->paintOp = picasso::BlendOperator(mode); }
void TPDFPicasso::SetAlphaIsShape(bool shape) { m_impl->alphaIsShape = shape; }
void TPDFPicasso::EndLayerAsMask(bool luminosity, const std::vector<std::uint8_t>& transfer) {
  m_impl->EndLayerAsMask(luminosity, transfer);
}
void TPDFPicasso::EndLayer() { m_impl->EndLayer(); }
TClipHandle TPDFPicasso::SaveClip() { return m_impl->SaveClip(); }
void TPDFPicasso::RestoreClip(TClipHandle handle) { m_impl->RestoreClip(handle); }

bool TPDFPicasso::CachesGlyphs() const {
  // Without anti-aliasing a mask and a fill of the page decide some edge pixels differently.
  return m_impl->mode == TMode::Library && m_impl->settings.CacheGlyphs &&
         m_impl->settings.AntiAlias;
}

void TPDFPicasso::FillGlyph(const TGlyphKey& key, const TGlyphOutlineSource& outline) {
  if (!CachesGlyphs() || !m_impl->FillGlyph(key, outline, *this))
    TPDFGenericCanvas::FillGlyph(key, outline);
}

double TPDFPicasso::CurrentX() const { return m_impl->current.x; }
double TPDFPicasso::CurrentY() const { return m_impl->current.y; }
std::size_t TPDFPicasso::ClipSnapshotCount() const { return m_impl->snapshots.size(); }
std::size_t TPDFPicasso::BackendErrorCount() const { return m_impl->backendErrors; }

}  // namespace kestrel
